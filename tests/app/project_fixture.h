#pragma once

// Projects and Measurements made through the storage layer, so the controller's view of them can be
// checked against files written independently of it.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app_test_support.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"

namespace zk::app::test {

inline std::filesystem::path fsPath(const QString& path) { return std::filesystem::path(path.toStdString()); }

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string shippedProfileText(const char* fileName) {
    return readBytes(fsPath(shippedProfile(fileName)));
}

// 64-bit FNV-1a over a whole file, written out here rather than taken from the store.
inline std::string fnv1aHexOfFile(const std::filesystem::path& path) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : readBytes(path)) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// Records `frames` frames of a ramp (wireChannels samples each) as a registered Measurement.
inline core::MeasurementRecord recordMeasurement(const QString& projectDir, const std::string& id,
                                                 std::uint64_t frames, const std::string& profileText,
                                                 std::uint32_t wireChannels,
                                                 const std::filesystem::path& video = {}) {
    core::Recording recording(fsPath(projectDir), id, profileText, "Synthetic");
    std::vector<std::int16_t> samples(frames * wireChannels);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i % 2000 - 1000);
    recording.append(samples);
    return recording.finalize(video).measurement;
}

// A Project in a temporary folder holding Measurements "m_1" .. "m_<count>" of the 4-channel profile,
// registered in that order; Measurement k holds 1600 * k frames (k / 10 s at 16 kHz).
class StoredProject {
  public:
    explicit StoredProject(int count, const std::string& name = "Stored") {
        path_ = dir_.filePath(QStringLiteral("project"));
        core::createProject(fsPath(path_), name);
        const std::string profile = shippedProfileText("small-4.device.json");
        for (int k = 1; k <= count; ++k)
            recordMeasurement(path_, "m_" + std::to_string(k), 1600u * k, profile, 4);
    }
    const QString& path() const { return path_; }
    std::filesystem::path measurementDir(const std::string& id) const {
        return fsPath(path_) / "measurements" / id;
    }
    QString tempPath(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
    QString path_;
};

inline QString lastEvent(const UiController& ui) {
    const QStringList log = ui.eventLog();
    return log.isEmpty() ? QString() : log.back().mid(10);
}

inline QStringList rowIds(const UiController& ui) {
    QStringList ids;
    for (const QVariant& row : ui.measurements())
        ids.append(row.toMap().value(QStringLiteral("id")).toString());
    return ids;
}

}  // namespace zk::app::test
