#pragma once

#include <QSet>
#include <QString>
#include <QVariantList>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/noise_calibration.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_store.h"
#include "core/streaming/noise_floor_profile.h"

namespace zk::app {

// A hash text longer than 16 characters as its first 8, "..." and its last 8; shorter ones unchanged.
inline QString shortenedHash(const QString& hash) {
    return hash.size() > 16 ? hash.left(8) + QStringLiteral("...") + hash.right(8) : hash;
}

// A frozen device profile as its lines name it: id, schema and model, in the language of the call.
QString profileInfoText(const std::string& profileId, std::int64_t schemaVersion, const std::string& model);

// The open Project, its Measurement list and the selected Measurement; GUI thread only.
struct ProjectState {
    bool open = false;
    core::ProjectRecord record;  // empty while no Project is open
    QString path;                // the directory text as it was given to create or open

    // One row per Measurement, newest registration first, with the store records in the same order.
    QVariantList rows;
    std::vector<core::MeasurementRecord> records;

    int selectedIndex = -1;
    core::MeasurementRecord selected;  // valid while selectedIndex >= 0
    bool selectedRawAvailable = false;
    QString selectedRawProblem;  // why the selected raw file cannot be read; empty when it can
    QString selectedVideoPath;   // absolute, or empty without a video file inside the Measurement

    QVariantList recent;  // the recent Projects, newest first, at most 8

    // Unreadable-file lines already reported since the list was last rebuilt (each once per open or
    // refresh, however often the runs are read again).
    QSet<QString> reportedUnreadable;
    // Project folders already reported as taking no file locks: said once per Project.
    QSet<QString> unguardedReported;
};

// The open Project's noise floor as the engines share it; GUI thread only.
struct ProjectNoiseFloor {
    std::shared_ptr<const core::NoiseFloorProfile> profile;
    bool subtractionEnabled = false;
    QString info;  // the noise-profile text of the page
    NoiseCalibrationRun calibration;
};

}  // namespace zk::app
