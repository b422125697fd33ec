// The averaged spectrum of a raw file's window against tones of known bin and amplitude, and the
// controller's analysis spectrum of a selected Measurement.
#include "app/analysis_spectrum.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <numbers>
#include <vector>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "core/storage/recording.h"
#include "project_fixture.h"
#include "render/diagnostic_image_provider.h"

namespace zk::app::test {
namespace {

// wireChannels interleaved int16 channels: channel 0 a sine of the given amplitude at bin `bin` of an
// N-point transform (a whole number of cycles per transform, so it sits on the bin centre), the
// others silent.
std::vector<std::int16_t> toneFrames(std::uint64_t frames, std::uint32_t wireChannels, double bin,
                                     std::size_t n, double amplitude) {
    std::vector<std::int16_t> samples(frames * wireChannels, 0);
    for (std::uint64_t f = 0; f < frames; ++f) {
        const double phase = 2.0 * std::numbers::pi * bin * static_cast<double>(f) / static_cast<double>(n);
        samples[f * wireChannels] = static_cast<std::int16_t>(std::lround(amplitude * std::sin(phase)));
    }
    return samples;
}

void writeRaw(const std::filesystem::path& path, const std::vector<std::int16_t>& samples) {
    std::ofstream out(path, std::ios::binary);
    for (const std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        out.put(static_cast<char>(u & 0xFF));
        out.put(static_cast<char>(u >> 8));
    }
}

std::size_t argmax(const std::vector<double>& values) {
    return static_cast<std::size_t>(std::max_element(values.begin(), values.end()) - values.begin());
}

TEST(WindowSpectrum, TheTransformLengthFollowsTheWindow) {
    EXPECT_EQ(analysisSpectrumFftSize(4800), 2048u);  // 0.1 s at 48 kHz
    EXPECT_EQ(analysisSpectrumFftSize(16384), 8192u);
    EXPECT_EQ(analysisSpectrumFftSize(16383), 4096u);
    EXPECT_EQ(analysisSpectrumFftSize(1024), 512u);
    EXPECT_EQ(analysisSpectrumFftSize(1023), 256u);
    EXPECT_EQ(analysisSpectrumFftSize(0), 256u);
}

TEST(WindowSpectrum, AToneAtABinCentrePeaksThereAtItsLevel) {
    QTemporaryDir dir;
    const std::filesystem::path raw = fsPath(dir.filePath(QStringLiteral("raw.int16")));
    constexpr std::size_t kN = 1024;
    // Half of full scale on channel 0, channel 1 silent: the peak hold reads -6.02 dBFS, the average
    // over both channels half of that amplitude.
    writeRaw(raw, toneFrames(10 * kN, 2, 100.0, kN, 16384.0));
    const std::atomic<bool> cancel{false};
    const WindowSpectrum spectrum = computeWindowSpectrum(raw, 2, 0, 10 * kN, kN, kN / 2, cancel);
    ASSERT_EQ(spectrum.averageDbfs.size(), kN / 2 + 1);
    ASSERT_EQ(spectrum.peakDbfs.size(), kN / 2 + 1);
    EXPECT_EQ(argmax(spectrum.peakDbfs), 100u);
    EXPECT_EQ(argmax(spectrum.averageDbfs), 100u);
    EXPECT_NEAR(spectrum.peakDbfs[100], 20.0 * std::log10(0.5), 0.01);
    EXPECT_NEAR(spectrum.averageDbfs[100], 20.0 * std::log10(0.25), 0.01);
    // Far from the tone the Hann window's leakage is gone; silence reads the -120 dBFS floor.
    EXPECT_LT(spectrum.peakDbfs[300], -90.0);
    EXPECT_GE(*std::min_element(spectrum.averageDbfs.begin(), spectrum.averageDbfs.end()), -120.0);
}

TEST(WindowSpectrum, OnlyTheWindowsFramesCount) {
    QTemporaryDir dir;
    const std::filesystem::path raw = fsPath(dir.filePath(QStringLiteral("raw.int16")));
    constexpr std::size_t kN = 512;
    std::vector<std::int16_t> samples = toneFrames(8 * kN, 1, 40.0, kN, 8000.0);
    const std::vector<std::int16_t> second = toneFrames(8 * kN, 1, 150.0, kN, 8000.0);
    samples.insert(samples.end(), second.begin(), second.end());
    writeRaw(raw, samples);
    const std::atomic<bool> cancel{false};
    EXPECT_EQ(argmax(computeWindowSpectrum(raw, 1, 0, 8 * kN, kN, kN / 2, cancel).peakDbfs), 40u);
    EXPECT_EQ(argmax(computeWindowSpectrum(raw, 1, 8 * kN, 8 * kN, kN, kN / 2, cancel).peakDbfs), 150u);
    // A count past the end stops at the end; a start past it gives nothing.
    EXPECT_EQ(argmax(computeWindowSpectrum(raw, 1, 8 * kN, 100 * kN, kN, kN / 2, cancel).peakDbfs), 150u);
    EXPECT_TRUE(computeWindowSpectrum(raw, 1, 16 * kN, kN, kN, kN / 2, cancel).peakDbfs.empty());
    // Fewer frames than one transform, or an unusable shape, give nothing.
    EXPECT_TRUE(computeWindowSpectrum(raw, 1, 0, kN - 1, kN, kN / 2, cancel).averageDbfs.empty());
    EXPECT_TRUE(computeWindowSpectrum(raw, 0, 0, kN, kN, kN / 2, cancel).averageDbfs.empty());
    EXPECT_TRUE(computeWindowSpectrum(raw, 1, 0, kN, 4, 2, cancel).averageDbfs.empty());
    EXPECT_TRUE(computeWindowSpectrum(raw, 1, 0, kN, kN, 0, cancel).averageDbfs.empty());

    const std::atomic<bool> cancelled{true};
    EXPECT_TRUE(computeWindowSpectrum(raw, 1, 0, 8 * kN, kN, kN / 2, cancelled).averageDbfs.empty());
    EXPECT_THROW(
        computeWindowSpectrum(fsPath(dir.filePath(QStringLiteral("none"))), 1, 0, kN, kN, kN / 2, cancel),
        std::runtime_error);
}

using AnalysisSpectrum = ControllerSettingsTest;

TEST_F(AnalysisSpectrum, SelectingAMeasurementPaintsItsSpectrum) {
    StoredProject project(0);
    {
        core::Recording recording(fsPath(project.path()), "tone", shippedProfileText("small-4.device.json"),
                                  "Synthetic");
        recording.append(toneFrames(16384, 4, 512.0, 8192, 12000.0));  // 1000 Hz at 16 kHz
        recording.finalize({});
    }
    UiController ui;
    importShippedProfile(ui, "small-4.device.json");
    QSignalSpy painted(&ui, &UiController::analysisSpectrumChanged);
    ui.openProject(project.path());
    ASSERT_TRUE(ui.hasSelectedMeasurement()) << ui.statusText().toStdString();
    EXPECT_EQ(ui.analysisSpectrumNyquistHz(), 8000.0);
    const quint64 before = ui.analysisSpectrumRevision();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.analysisSpectrumRevision() > before; }, 10000));
    QSize size;
    const QImage image =
        ui.diagnosticImageProvider()->requestImage(QStringLiteral("analysisSpectrum?1"), &size, {});
    EXPECT_GT(image.width(), 2);
    EXPECT_GT(image.height(), 2);
    EXPECT_GE(painted.count(), 1);
    // The video frame of a Measurement without a window is its middle: 16384 frames at 16 kHz.
    EXPECT_DOUBLE_EQ(ui.analysisVideoFrameSeconds(), 0.512);
}

}  // namespace
}  // namespace zk::app::test
