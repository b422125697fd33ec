#pragma once

#include <string>
#include <string_view>

namespace zk::core {

// The current system time in whole seconds, UTC, as "%Y-%m-%dT%H:%M:%SZ" (20 characters). Safe to
// call from several threads at once.
std::string utcTimestampNow();

// Accept exactly the ids that are one plain path component; otherwise std::invalid_argument
// "measurementId must be a non-empty directory name" (and "analysisId ..." respectively).
void validateMeasurementId(std::string_view measurementId);
void validateAnalysisId(std::string_view analysisId);

}  // namespace zk::core
