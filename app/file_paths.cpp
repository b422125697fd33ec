#include "app/file_paths.h"

#include <chrono>
#include <system_error>
#include <thread>
#include <vector>

namespace zk::app {

namespace fs = std::filesystem;

namespace {

constexpr int kRemovalAttempts = 10;
constexpr auto kRemovalPause = std::chrono::milliseconds(60);

// The elements of a path without the empty one a trailing separator leaves.
std::vector<fs::path> elementsOf(const fs::path& path) {
    std::vector<fs::path> elements;
    for (const fs::path& element : path) {
        if (!element.empty()) elements.push_back(element);
    }
    return elements;
}

}  // namespace

bool isPathWithin(const fs::path& base, const fs::path& candidate) noexcept {
    try {
        if (base.empty() || candidate.empty()) return false;
        std::error_code error;
        const fs::path canonicalBase = fs::weakly_canonical(base, error);
        if (error) return false;
        const fs::path canonicalCandidate = fs::weakly_canonical(candidate, error);
        if (error) return false;
        const std::vector<fs::path> baseElements = elementsOf(canonicalBase);
        const std::vector<fs::path> candidateElements = elementsOf(canonicalCandidate);
        if (candidateElements.size() < baseElements.size()) return false;
        for (std::size_t i = 0; i < baseElements.size(); ++i) {
            if (baseElements[i] != candidateElements[i]) return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool isPathWithin(const QString& base, const QString& candidate) noexcept {
    try {
        return isPathWithin(toFsPath(base), toFsPath(candidate));
    } catch (...) {
        return false;
    }
}

bool removeDirectoryTree(const fs::path& directory) noexcept {
    for (int attempt = 0; attempt < kRemovalAttempts; ++attempt) {
        std::error_code error;
        fs::remove_all(directory, error);
        error.clear();
        const fs::file_status status = fs::symlink_status(directory, error);
        if (!error && !fs::exists(status)) return true;
        if (error && error == std::errc::no_such_file_or_directory) return true;
        if (attempt + 1 < kRemovalAttempts) std::this_thread::sleep_for(kRemovalPause);
    }
    return false;
}

}  // namespace zk::app
