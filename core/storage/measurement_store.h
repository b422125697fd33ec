#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/storage/lock_wait.h"

namespace zk::core {

// One committed raw recording of a Project: the directory projectDir/measurements/<measurementId>
// with manifest.json, device_profile.json, raw.int16 and optionally video_camera.mp4.
struct MeasurementRecord {
    std::filesystem::path directory;
    std::string measurementId;
    std::uint32_t sampleRateHz = 0;
    std::uint32_t channelCount = 0;      // logical channels (microphones)
    std::uint32_t wireChannelCount = 0;  // int16 samples per raw frame
    std::string profileId;
    std::uint32_t profileSchemaVersion = 0;
    std::string deviceModel;
    std::string hardwareVersion;
    std::string geometryHash;  // 16 hex digits
    std::uint64_t totalFrames = 0;
    std::string source;
    std::string notes;
    std::string displayName;
    std::string location;
    std::string scene;
    std::string deviceProfileFile;
    std::string rawFile;
    std::string videoFile;    // "video_camera.mp4" or empty
    std::string profileHash;  // 16 hex digits
    std::string rawHash;      // 16 hex digits
    std::string startedAt;    // UTC timestamp text
    std::string endedAt;

    friend bool operator==(const MeasurementRecord&, const MeasurementRecord&) = default;
};

// Builds the Measurement under the hidden staging name "." + measurementId + ".creating", flushes
// every file to the device and renames it into place without ever replacing anything. rawPath and
// videoPath (may be empty) are copied and left in place; the timestamps default to now when empty.
// With RawFileTransfer::Link the raw file gets a second name instead of a copy where the file system
// allows (costing no space, so a Recording that filled the disk can still be committed); the caller
// then must never change rawPath again, only remove it.
// A staging directory of the id left by an earlier create is removed first (one a living writer holds
// fails with "Measurement staging directory already exists"), and a failure removes the one this call
// made, so a failed create can be retried. When `durable` is given it tells whether the
// measurements directory confirmed the new name: false means the Measurement is in place and
// complete, but a power cut could still lose it.
enum class RawFileTransfer { Copy, Link };
MeasurementRecord createMeasurement(const std::filesystem::path& projectDir, std::string_view measurementId,
                                    std::string_view profileText, const std::filesystem::path& rawPath,
                                    std::string_view startedAt, std::string_view endedAt,
                                    std::string_view source, const std::filesystem::path& videoPath,
                                    RawFileTransfer rawTransfer = RawFileTransfer::Copy,
                                    bool* durable = nullptr);

// The record of directory/manifest.json; std::runtime_error "cannot open measurement manifest" when
// it cannot be opened (or is not a regular file), "measurement manifest exceeds 16 MiB" past the
// bound, the JSON and accessor texts for a malformed one, and "measurement rawFile must be a plain
// file name" (likewise deviceProfileFile) unless the name is one file name inside the folder.
MeasurementRecord readMeasurementManifest(const std::filesystem::path& directory);
MeasurementRecord parseMeasurementManifest(const std::filesystem::path& directory, std::string_view text);
std::string writeMeasurementManifest(const MeasurementRecord& record);

// The labels one edit changes; the others keep what manifest.json holds when the edit is written.
struct MeasurementLabelEdit {
    std::optional<std::string> displayName = {};
    std::optional<std::string> location = {};
    std::optional<std::string> scene = {};
    std::optional<std::string> notes = {};
};

// Re-reads manifest.json under the lock of the Measurement folder and rewrites it with the labels of
// `edit` changed, through a temporary file renamed over it, so a crash leaves the old manifest or the
// new one, and two programs that edit one Measurement keep each other's labels. Waits until
// `deadline` for another holder of the folder (an edit or a deletion), then EntryUnavailable (Held);
// EntryUnavailable (Gone) when the folder no longer exists. std::invalid_argument "measurement labels
// would make the manifest exceed 16 MiB" when the new manifest would pass the readers' bound.
// Nothing is written on any failure before the rename.
void updateMeasurementLabels(const std::filesystem::path& directory, const MeasurementLabelEdit& edit,
                             const LockDeadline& deadline);
// All four labels at once, as above, waiting up to lockWaitLimit().
void updateMeasurementLabels(const std::filesystem::path& directory, std::string_view displayName,
                             std::string_view location, std::string_view scene, std::string_view notes);

// The current system time in whole seconds, UTC, as "%Y-%m-%dT%H:%M:%SZ" (20 characters). Safe to
// call from several threads at once.
std::string utcTimestampNow();

// Accept exactly the ids that are one plain path component; otherwise std::invalid_argument
// "measurementId must be a non-empty directory name" (and "analysisId ..." respectively).
void validateMeasurementId(std::string_view measurementId);
void validateAnalysisId(std::string_view analysisId);

}  // namespace zk::core
