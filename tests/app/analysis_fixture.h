#pragma once

// A Project holding one Measurement of a plane wave recorded through the storage layer from the
// shipped 128-microphone profile, and the controller steps a user takes to recompute it.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/full_recompute.h"
#include "app/ui_controller.h"
#include "core/storage/device_profile.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "core/streaming/synthetic_source.h"
#include "project_fixture.h"

namespace zk::app::test {

inline constexpr const char* kArrayProfile = "TM27-128-H1.6.2.device.json";
// 8062.5 Hz is bin 172 of a 1024-point frame at 48 kHz; the direction lies on the 1 and 2 degree grids.
inline constexpr double kToneHz = 8062.5;
inline constexpr double kSourceAzimuthDeg = 10.0;
inline constexpr double kSourceElevationDeg = -5.0;
// The speed of sound the controller derives from its default air temperature of 20 degrees C.
inline const double kSpeedOfSound = 331.3 * std::sqrt(1.0 + 20.0 / 273.15);

// The plane wave of the core's synthetic source plus a little white noise on every wire channel, so
// that the matrices are not of rank one.
inline std::vector<std::int16_t> planeWaveSamples(const core::DeviceProfile& profile, std::uint64_t frames) {
    core::SyntheticSourceSettings settings;
    settings.frequencyHz = kToneHz;
    // The map's axes are the camera's image-plane angles.
    settings.tangentPlane = true;
    settings.tangentAngleXDeg = kSourceAzimuthDeg;
    settings.tangentAngleYDeg = kSourceElevationDeg;
    settings.speedOfSoundMps = kSpeedOfSound;
    settings.amplitude = 6000.0;
    core::SyntheticSource source(settings);
    source.configure(profile);
    std::vector<std::int16_t> samples = source.readFrames(frames);
    std::uint32_t state = 12345u;
    for (std::int16_t& sample : samples) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<std::int16_t>(sample + static_cast<int>(state >> 24) - 128);
    }
    return samples;
}

class PlaneWaveProject {
  public:
    explicit PlaneWaveProject(std::uint64_t frames = 48000, const std::string& id = "m_wave") {
        path_ = dir_.filePath(QStringLiteral("project"));
        core::createProject(fsPath(path_), "Wave");
        const std::string text = shippedProfileText(kArrayProfile);
        const core::DeviceProfile profile = core::parseDeviceProfile(text);
        core::Recording recording(fsPath(path_), id, text, "Synthetic");
        recording.append(planeWaveSamples(profile, frames));
        measurement_ = recording.finalize({}).measurement;
    }
    const QString& path() const { return path_; }
    const core::MeasurementRecord& measurement() const { return measurement_; }
    std::filesystem::path measurementDir() const { return measurement_.directory; }
    std::filesystem::path rawPath() const { return measurement_.directory / measurement_.rawFile; }

  private:
    QTemporaryDir dir_;
    QString path_;
    core::MeasurementRecord measurement_;
};

// A single-bin band on the tone at 1024 / 512 and the given grid.
inline void configureSingleBin(UiController& ui, double gridStepDeg = 2.0) {
    ui.setAnalysisBandMode(QStringLiteral("Single"));
    ui.setAnalysisFrequencyHz(kToneHz);
    ui.setAnalysisFrameSize(1024);
    ui.setAnalysisHopSize(512);
    ui.setAnalysisGridStepDeg(gridStepDeg);
}

// A Full Recompute of the project's Measurement over the single bin of the tone at 1024 / 512.
inline FullRecomputeJob singleBinJob(const PlaneWaveProject& project, double gridStepDeg,
                                     const std::string& analysisId) {
    FullRecomputeJob job;
    job.measurement = project.measurement();
    job.profile = core::loadDeviceProfile(project.measurementDir() / project.measurement().deviceProfileFile);
    job.request.frameSize = 1024;
    job.request.hopSize = 512;
    job.request.band = {0, 1, kToneHz, 2000.0, 0};
    job.request.gridStep = gridStepDeg;
    job.analysisId = analysisId;
    return job;
}

// Starts a Full Recompute and runs the event loop until its analysisFinished; returns its success.
inline bool runAnalysis(UiController& ui, std::chrono::seconds limit = std::chrono::seconds(240)) {
    QSignalSpy finished(&ui, &UiController::analysisFinished);
    ui.createFullRecomputeAnalysis();
    if (!ui.analysisBusy()) return false;
    if (!QTest::qWaitFor([&] { return finished.count() > 0; }, static_cast<int>(limit.count() * 1000)))
        return false;
    return finished.front().at(0).toBool();
}

inline bool eventLogHas(const UiController& ui, const QString& text) {
    for (const QString& line : ui.eventLog())
        if (line.contains(text)) return true;
    return false;
}

inline std::vector<std::filesystem::path> filesIn(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    if (!std::filesystem::exists(dir, error)) return found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        found.push_back(entry.path());
    return found;
}

}  // namespace zk::app::test
