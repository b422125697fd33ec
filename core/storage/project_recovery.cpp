#include "core/storage/project_recovery.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <tuple>
#include <vector>

#include "core/storage/analysis_map.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/device_profile.h"
#include "core/storage/durable_file.h"
#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"
#include "core/storage/measurement_store.h"
#include "core/storage/recording.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kCreatingSuffix = ".creating";
constexpr std::string_view kRecordingSuffix = ".recording.raw.tmp";
constexpr std::string_view kDescriptionSuffix = ".recording.json";
constexpr std::string_view kDeletingSuffix = ".deleting";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The names replaceFileContent gives its temporary files: "." + target name + "." + digits + "-" +
// digits + ".tmp". Nothing else in a Project is named so (a Recording's staging file ends in ".raw.tmp").
bool isRewriteTemporary(std::string_view name) {
    if (name.size() < 9 || name.front() != '.' || !name.ends_with(".tmp")) return false;
    name.remove_suffix(4);
    const auto skipDigits = [&name] {
        const std::size_t before = name.size();
        while (!name.empty() && isDigit(name.back())) name.remove_suffix(1);
        return name.size() < before;
    };
    if (!skipDigits() || !name.ends_with('-')) return false;
    name.remove_suffix(1);
    if (!skipDigits() || !name.ends_with('.')) return false;
    return name.size() > 2;  // a leading dot and a target name before the number
}

// The id inside "." + id + suffix, or nothing when the name has another form.
std::optional<std::string> idInside(std::string_view name, std::string_view suffix) {
    if (name.size() <= suffix.size() + 1 || name.front() != '.' || !name.ends_with(suffix)) return {};
    return std::string(name.substr(1, name.size() - 1 - suffix.size()));
}

bool isPlainName(const std::string& name) {
    try {
        validateMeasurementId(name);
        return true;
    } catch (const std::invalid_argument&) {
        return false;
    }
}

// A name the Measurement list takes as a folder of its own: "measurements" would name the folder of
// all Measurements.
bool isMeasurementFolderName(const std::string& name) { return isPlainName(name) && name != "measurements"; }

// The folder an entry of project.json names: a plain name, or one under "measurements/" as the
// Measurement list also takes it; nothing for an entry the list refuses.
std::optional<std::string> folderNamedBy(const std::string& entry) {
    const fs::path given(entry);
    if (given.has_root_path()) return {};
    std::vector<std::string> elements;
    for (const fs::path& element : given)
        if (!element.empty()) elements.push_back(element.string());
    if (!elements.empty() && elements.front() == "measurements") elements.erase(elements.begin());
    if (elements.size() != 1) return {};
    return elements.front();
}

// The file's modification time, or now when it cannot be read or lies outside what the clocks hold.
std::string utcTextOf(const fs::path& path) {
    using namespace std::chrono;
    std::error_code error;
    const fs::file_time_type time = fs::last_write_time(path, error);
    if (error) return utcTimestampNow();
    // In whole seconds before the change of clock: in nanoseconds a time past 2262 would overflow.
    const auto system = file_clock::to_sys(floor<seconds>(time));
    if (system < sys_days{year{1} / 1 / 1} || system >= sys_days{year{10000} / 1 / 1})
        return utcTimestampNow();
    const auto day = floor<days>(system);
    const year_month_day date{day};
    const hh_mm_ss<seconds> clock{system - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::string hashOfFirstBytes(const fs::path& path, std::uint64_t bytes) {
    FileHandle file = openFileForReading(path);
    std::vector<std::byte> chunk(kFileChunkBytes);
    std::uint64_t hash = fnv1a64(std::span<const std::byte>{});
    while (file && bytes > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, chunk.size()));
        if (std::fread(chunk.data(), 1, want, file.get()) != want) break;
        hash = fnv1a64Append(hash, std::span<const std::byte>(chunk.data(), want));
        bytes -= want;
    }
    if (!file || bytes > 0) throw std::runtime_error("cannot read raw recording staging file");
    return formatHash64(hash);
}

// Throws with the reason unless `dir` holds a whole Measurement named `id`: a readable manifest
// naming it and a raw file of the size its frame count gives; with `verifyHashes` the frozen files
// also match the manifest's hashes and a named video exists.
MeasurementRecord wholeMeasurement(const fs::path& dir, const std::string& id, bool verifyHashes) {
    MeasurementRecord m = readMeasurementManifest(dir);
    if (m.measurementId != id) throw std::runtime_error("manifest names another Measurement");
    if (m.wireChannelCount == 0 || !isPlainName(m.rawFile) || !isPlainName(m.deviceProfileFile))
        throw std::runtime_error("manifest names no raw file");
    // Divided, not multiplied: a frame count near 2^64 would wrap to the size of an empty file.
    const std::uint64_t frameBytes = 2ULL * m.wireChannelCount;
    const std::uintmax_t rawBytes = fs::file_size(dir / m.rawFile);
    if (rawBytes % frameBytes != 0 || rawBytes / frameBytes != m.totalFrames)
        throw std::runtime_error("raw file size does not match its frame count");
    if (!verifyHashes) return m;
    if (formatHash64(hashFile(dir / m.rawFile)) != m.rawHash)
        throw std::runtime_error("raw integrity hash does not match manifest");
    if (formatHash64(hashFile(dir / m.deviceProfileFile)) != m.profileHash)
        throw std::runtime_error("frozen Profile hash does not match manifest");
    if (!m.videoFile.empty() && (!isPlainName(m.videoFile) || !fs::is_regular_file(dir / m.videoFile)))
        throw std::runtime_error("video file is missing");
    return m;
}

void wholeRun(const fs::path& dir, const std::string& id) {
    const AnalysisRunRecord run = readAnalysisRun(dir);
    if (run.analysisId != id) throw std::runtime_error("analysis manifest names another run");
    if (run.resultFile.empty()) return;
    if (!isPlainName(run.resultFile)) throw std::runtime_error("analysis manifest names no map file");
    // Checked against the manifest's checksum as every later read of the run will.
    loadAnalysisRunMap(run);
}

class Recovery {
  public:
    explicit Recovery(ProjectRecord& project) : project_(project), root_(project.directory) {}

    ProjectRecoveryReport run() {
        removeTemporariesIn(root_);
        removeTemporariesIn(root_ / "noise_floor");
        const fs::path measurements = root_ / "measurements";
        std::error_code error;
        if (!fs::is_directory(measurements, error)) return std::move(report_);
        removeTemporariesIn(measurements);
        // Staging folders first: an incomplete one may hold a second name of a Recording's samples,
        // which the Recording's own staging file still keeps.
        for (const fs::path& entry : entriesOf(measurements)) {
            const std::string name = entry.filename().string();
            if (const auto id = idInside(name, kCreatingSuffix); id && isDirectory(entry)) {
                if (isMeasurementFolderName(*id)) {
                    recoverMeasurementStaging(entry, *id);
                } else {
                    fail(entry, "folder name is not a Measurement name");  // never made by this program
                }
            }
            if (const auto id = idInside(name, kDeletingSuffix); id && isDirectory(entry))
                finishDeletion(entry, *id);
        }
        for (const fs::path& entry : entriesOf(measurements)) {
            const std::string name = entry.filename().string();
            if (const auto id = idInside(name, kRecordingSuffix); id && isRegularFile(entry))
                recoverRecording(measurements, *id);
        }
        for (const fs::path& entry : entriesOf(measurements)) {
            const std::string name = entry.filename().string();
            const auto id = idInside(name, kDescriptionSuffix);
            if (id && isRegularFile(entry) && !fs::exists(recordingStagingPath(measurements, *id), error))
                remove(entry, Removal::Leftover);
        }
        for (const fs::path& entry : entriesOf(measurements)) {
            const std::string name = entry.filename().string();
            if (name.front() == '.' || !isDirectory(entry)) continue;
            if (isMeasurementFolderName(name)) {
                recoverMeasurementFolder(entry, name);
            } else {
                // Registered, it would make the whole Project unopenable.
                fail(entry, "folder name is not a Measurement name");
            }
        }
        return std::move(report_);
    }

  private:
    std::string relative(const fs::path& path) const {
        return path.lexically_relative(root_).generic_string();
    }

    void fail(const fs::path& path, const std::string& error) {
        report_.failures.push_back({relative(path), error});
    }

    static bool isDirectory(const fs::path& path) {
        std::error_code error;
        return fs::is_directory(fs::symlink_status(path, error));
    }
    static bool isRegularFile(const fs::path& path) {
        std::error_code error;
        return fs::is_regular_file(fs::symlink_status(path, error));
    }

    std::vector<fs::path> entriesOf(const fs::path& dir) {
        std::vector<fs::path> entries;
        std::error_code error;
        if (!fs::is_directory(dir, error)) return entries;
        fs::directory_iterator it(dir, error);
        for (; !error && it != fs::directory_iterator(); it.increment(error)) entries.push_back(it->path());
        if (error) fail(dir, error.message());
        std::sort(entries.begin(), entries.end());
        return entries;
    }

    enum class Removal { Temporary, Leftover, PartOfRecovery };

    bool remove(const fs::path& path, Removal kind) {
        std::error_code error;
        fs::remove_all(path, error);
        if (error) {
            fail(path, error.message());
            return false;
        }
        if (kind == Removal::Temporary) report_.removedTemporaries.push_back(relative(path));
        if (kind == Removal::Leftover) report_.removedLeftovers.push_back(relative(path));
        return true;
    }

    void removeTemporariesIn(const fs::path& dir) {
        for (const fs::path& entry : entriesOf(dir))
            if (isRewriteTemporary(entry.filename().string()) && isRegularFile(entry))
                remove(entry, Removal::Temporary);
    }

    void recoverMeasurementStaging(const fs::path& staging, const std::string& id) {
        try {
            wholeMeasurement(staging, id, true);
        } catch (const std::exception&) {
            remove(staging, Removal::Leftover);
            return;
        }
        const fs::path finalDir = staging.parent_path() / fs::path(id);
        try {
            commitStagingDirectory(staging, finalDir);
        } catch (const std::exception& error) {
            fail(staging, error.what());
        }
    }

    // The user asked for the deletion; a crash between moving the folder aside and removing it must
    // neither bring the Measurement back nor leave it listed without its files.
    void finishDeletion(const fs::path& aside, const std::string& id) {
        try {
            for (const std::string& entry : std::vector<std::string>(project_.measurements))
                if (folderNamedBy(entry) == id) project_.unregisterMeasurement(entry);
        } catch (const std::exception& error) {
            fail(aside, error.what());
            return;
        }
        remove(aside, Removal::Leftover);
    }

    void recoverRecording(const fs::path& measurements, const std::string& id) {
        const fs::path raw = recordingStagingPath(measurements, id);
        const fs::path description = recordingDescriptionPath(measurements, id);
        try {
            const std::uint64_t size = fs::file_size(raw);
            if (!isRegularFile(description)) {
                // Without its description the samples cannot become a Measurement: only an empty file goes.
                if (size == 0) {
                    remove(raw, Removal::Leftover);
                } else {
                    report_.undescribedRecordings.push_back({relative(raw), size});
                }
                return;
            }
            const RecordingDescription described = readRecordingDescription(description);
            if (described.measurementId != id)
                throw std::runtime_error("recording description names another Measurement");
            const std::uint64_t frameBytes =
                2ULL * parseDeviceProfile(described.profileText).wireChannelCount;
            if (frameBytes == 0) throw std::runtime_error("recording description has no wire channels");
            const std::uint64_t whole = size / frameBytes * frameBytes;
            const fs::path finalDir = measurements / fs::path(id);
            Removal removal = Removal::Leftover;
            if (fs::exists(finalDir)) {
                // Committed before the crash: the staging file is a leftover once the Measurement holds it.
                if (!holdsSamples(finalDir, id, raw, whole))
                    throw std::runtime_error("Measurement directory already exists");
            } else if (whole != 0) {
                if (whole != size) fs::resize_file(raw, whole);
                releaseRecordingReserve(description);  // the room the commit needs on a full disk
                finalizeRecording(measurements, described, raw);
                removal = Removal::PartOfRecovery;
            }
            if (remove(raw, removal)) remove(description, removal);
        } catch (const std::exception& error) {
            fail(raw, error.what());
        }
    }

    static bool holdsSamples(const fs::path& finalDir, const std::string& id, const fs::path& raw,
                             std::uint64_t whole) {
        const MeasurementRecord m = wholeMeasurement(finalDir, id, false);
        std::error_code error;
        if (fs::equivalent(finalDir / m.rawFile, raw, error)) return true;
        return fs::file_size(finalDir / m.rawFile) == whole && hashOfFirstBytes(raw, whole) == m.rawHash;
    }

    void finalizeRecording(const fs::path& measurements, const RecordingDescription& described,
                           const fs::path& raw) {
        const std::string& id = described.measurementId;
        try {
            createMeasurement(root_, id, described.profileText, raw, described.startedAt, utcTextOf(raw),
                              described.source, fs::path(), RawFileTransfer::Link);
        } catch (...) {
            // Its staging folder would block the id; the samples stay in the staging file.
            std::error_code ignored;
            fs::remove_all(measurements / fs::path("." + id + std::string(kCreatingSuffix)), ignored);
            throw;
        }
        finalizedRecordings_.insert(id);
    }

    void recoverMeasurementFolder(const fs::path& dir, const std::string& id) {
        removeTemporariesIn(dir);
        removeTemporariesIn(dir / "derived");
        recoverRuns(dir, id);
        for (const std::string& entry : project_.measurements)
            if (folderNamedBy(entry) == id) return;
        try {
            const MeasurementRecord m = wholeMeasurement(dir, id, false);
            registerInOrder(id, m.startedAt);
        } catch (const std::exception& error) {
            fail(dir, error.what());
            return;
        }
        (finalizedRecordings_.count(id) != 0 ? report_.recoveredRecordings : report_.recoveredMeasurements)
            .push_back(id);
    }

    void recoverRuns(const fs::path& measurementDir, const std::string& measurementId) {
        const fs::path analyses = measurementDir / "analyses";
        for (const fs::path& entry : entriesOf(analyses)) {
            const auto id = idInside(entry.filename().string(), kCreatingSuffix);
            if (!id || !isDirectory(entry)) continue;
            try {
                wholeRun(entry, *id);
            } catch (const std::exception&) {
                remove(entry, Removal::Leftover);
                continue;
            }
            try {
                commitStagingDirectory(entry, analyses / fs::path(*id));
                report_.recoveredRuns.push_back(measurementId + "/" + *id);
            } catch (const std::exception& error) {
                fail(entry, error.what());
            }
        }
    }

    std::optional<std::string> startedAtOf(const std::string& entry) {
        const auto [found, inserted] = startedAt_.try_emplace(entry);
        const std::optional<std::string> folder = folderNamedBy(entry);
        if (inserted && folder) {
            try {
                found->second = readMeasurementManifest(root_ / "measurements" / fs::path(*folder)).startedAt;
            } catch (const std::exception&) {
                // placed among the others by the readable ones only
            }
        }
        return found->second;
    }

    // Before the first Measurement that started later, so the list stays in recording order.
    void registerInOrder(const std::string& id, const std::string& startedAt) {
        std::vector<std::string>& list = project_.measurements;
        std::size_t position = list.size();
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::optional<std::string> other = startedAtOf(list[i]);
            if (other && std::tie(*other, list[i]) > std::tie(startedAt, id)) {
                position = i;
                break;
            }
        }
        const std::string modifiedBefore = project_.modifiedAt;
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(position), id);
        project_.modifiedAt = utcTimestampNow();
        try {
            project_.save();
        } catch (...) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(position));
            project_.modifiedAt = modifiedBefore;
            throw;
        }
        startedAt_[id] = startedAt;
    }

    ProjectRecord& project_;
    fs::path root_;
    ProjectRecoveryReport report_;
    std::set<std::string> finalizedRecordings_;
    std::map<std::string, std::optional<std::string>> startedAt_;
};

}  // namespace

ProjectRecoveryReport recoverProject(ProjectRecord& project) { return Recovery(project).run(); }

bool isRewriteTemporaryName(std::string_view name) { return isRewriteTemporary(name); }

fs::path measurementDeletionPath(const fs::path& measurementsDir, const std::string& measurementId) {
    return measurementsDir / fs::path("." + measurementId + std::string(kDeletingSuffix));
}

}  // namespace zk::core
