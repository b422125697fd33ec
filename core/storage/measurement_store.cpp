#include "core/storage/measurement_store.h"

#include <chrono>
#include <ctime>
#include <stdexcept>

namespace zk::core {

namespace {

bool isPlainPathComponent(std::string_view id) {
    if (id.empty() || id == "." || id == "..") return false;
    if (id.find_first_of("/\\") != std::string_view::npos) return false;
    const bool asciiLetter = (id[0] >= 'A' && id[0] <= 'Z') || (id[0] >= 'a' && id[0] <= 'z');
    return !(id.size() >= 2 && asciiLetter && id[1] == ':');
}

}  // namespace

std::string utcTimestampNow() {
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    // gmtime_r rather than gmtime: the stores run on several threads and gmtime shares one buffer.
    std::tm utc{};
    if (::gmtime_r(&seconds, &utc) == nullptr) throw std::runtime_error("cannot convert time to UTC");
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(text, length);
}

void validateMeasurementId(std::string_view measurementId) {
    if (!isPlainPathComponent(measurementId))
        throw std::invalid_argument("measurementId must be a non-empty directory name");
}

void validateAnalysisId(std::string_view analysisId) {
    if (!isPlainPathComponent(analysisId))
        throw std::invalid_argument("analysisId must be a non-empty directory name");
}

}  // namespace zk::core
