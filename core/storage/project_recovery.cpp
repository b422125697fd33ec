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

#include "core/storage/analysis_export.h"
#include "core/storage/analysis_map.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/device_profile.h"
#include "core/storage/durable_file.h"
#include "core/storage/file_io.h"
#include "core/storage/fnv1a.h"
#include "core/storage/lock_wait.h"
#include "core/storage/measurement_files.h"
#include "core/storage/measurement_store.h"
#include "core/storage/recording.h"
#include "core/storage/staged_commit.h"
#include "core/storage/video_file.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kRecordingSuffix = ".recording.raw.tmp";
constexpr std::string_view kDescriptionSuffix = ".recording.json";
constexpr std::string_view kDeletingSuffix = ".deleting";
constexpr std::string_view kVideoSuffix = ".camera.tmp.mp4";
constexpr const char* kNoiseFloorName = "noise_floor";

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

// A new file at `to` holding the first `bytes` bytes of `from`, flushed to the device; throws
// std::runtime_error "cannot copy raw recording staging file".
void copyFirstBytes(const fs::path& from, const fs::path& to, std::uint64_t bytes) {
    FileHandle in = openFileForReading(from);
    FileHandle out(openNewFileForBinaryWrite(to));
    std::vector<std::byte> chunk(kFileChunkBytes);
    while (in && out && bytes > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, chunk.size()));
        if (std::fread(chunk.data(), 1, want, in.get()) != want ||
            std::fwrite(chunk.data(), 1, want, out.get()) != want)
            break;
        bytes -= want;
    }
    std::error_code error;
    const bool whole = in && out && bytes == 0 && syncFileToDisk(out.get(), error);
    if (!(closeFile(out) && whole)) throw std::runtime_error("cannot copy raw recording staging file");
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
    requireMatchingFiles(*compareMeasurementFiles(m), "manifest");
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
        report_.unguarded = !locksGuard(root_);
        removeTemporariesIn(root_);
        removeTemporariesIn(root_ / kNoiseFloorName);
        recoverNoiseFloor();
        recoverExports();
        const fs::path measurements = root_ / "measurements";
        std::error_code error;
        if (!fs::is_directory(measurements, error)) return std::move(report_);
        removeTemporariesIn(measurements);
        // Staging folders first: an incomplete one may hold a second name of a Recording's samples,
        // which the Recording's own staging file still keeps.
        for (const fs::path& entry : entriesOf(measurements)) {
            const std::string name = entry.filename().string();
            if (const auto id = idOfHiddenName(name, kCreatingSuffix); id && isDirectory(entry)) {
                if (isMeasurementFolderName(*id)) {
                    recoverMeasurementStaging(entry, *id);
                } else {
                    fail(entry, "folder name is not a Measurement name");  // never made by this program
                }
            }
            if (const auto id = idOfHiddenName(name, kDeletingSuffix); id && isDirectory(entry))
                finishDeletion(entry, *id);
        }
        for (const fs::path& entry : entriesOf(measurements)) {
            const std::string name = entry.filename().string();
            if (const auto id = idOfHiddenName(name, kRecordingSuffix); id && isRegularFile(entry))
                recoverRecording(measurements, *id);
        }
        for (const fs::path& entry : entriesOf(measurements)) {
            const std::string name = entry.filename().string();
            const auto id = idOfHiddenName(name, kDescriptionSuffix);
            if (id && isRegularFile(entry) && !fs::exists(recordingStagingPath(measurements, *id), error))
                remove(entry, Removal::Leftover);
        }
        // A camera video whose Recording is neither running nor left to recover was left by a
        // recorder that never stopped; the videos of recovered Recordings are taken already.
        for (const fs::path& entry : entriesOf(measurements)) {
            const auto id = idOfHiddenName(entry.filename().string(), kVideoSuffix);
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

    // Held for as long as the recovery acts on the entry; nothing, with one report line, when a
    // living program holds it.
    std::optional<EntryLock> claim(const fs::path& path, const WriterIdentity& writer = {}) {
        std::optional<EntryLock> lock = claimLeftover(path, writer);
        if (!lock) report_.inUse.push_back(relative(path));
        return lock;
    }

    // Another program is changing the Measurement list: what would change it waits for a later open.
    void projectFileInUse() {
        const std::string name = relative(root_ / "project.json");
        if (std::find(report_.inUse.begin(), report_.inUse.end(), name) == report_.inUse.end())
            report_.inUse.push_back(name);
    }

    // Files of atomic rewrites, and the directories a staging writer makes before it holds them.
    void removeTemporariesIn(const fs::path& dir) {
        for (const fs::path& entry : entriesOf(dir))
            if (isRewriteTemporary(entry.filename().string()) &&
                (isRegularFile(entry) || isDirectory(entry)) && claim(entry))
                remove(entry, Removal::Temporary);
    }

    // A save of the noise floor holds its lock file throughout; without a living one, its staging
    // folder is a leftover and a pair it set aside goes back in place.
    void recoverNoiseFloor() {
        const fs::path staging = hiddenPath(root_, kNoiseFloorName, kStagingSuffix);
        const fs::path retired = hiddenPath(root_, kNoiseFloorName, kRetiredSuffix);
        std::error_code error;
        if (!fs::exists(fs::symlink_status(staging, error)) &&
            !fs::exists(fs::symlink_status(retired, error)))
            return;
        const fs::path lockFile = hiddenPath(root_, kNoiseFloorName, kLockSuffix);
        if (!claim(lockFile)) return;
        if (fs::exists(fs::symlink_status(staging, error))) remove(staging, Removal::Leftover);
        if (!settleRetired(root_ / kNoiseFloorName, retired))
            fail(retired, "cannot put the noise floor back");
    }

    // An export holds its staging folder throughout; without a living one, the folder is a leftover
    // and an older export it set aside goes back in place.
    void recoverExports() {
        const fs::path exports = root_ / "exports";
        removeTemporariesIn(exports);
        for (const fs::path& entry : entriesOf(exports)) {
            const std::string name = entry.filename().string();
            std::optional<std::string> id = idOfHiddenName(name, kExportingSuffix);
            if (!id) id = idOfHiddenName(name, kReplacedSuffix);
            if (!id || !isPlainName(*id)) continue;
            const fs::path staging = hiddenPath(exports, *id, kExportingSuffix);
            const std::optional<EntryLock> held = claimLeftover(staging);
            if (!held) {
                report_.inUse.push_back(relative(entry));
                continue;
            }
            if (entry == staging) {
                remove(staging, Removal::Leftover);
            } else if (!settleRetired(exports / fs::path(*id), entry)) {
                fail(entry, "cannot put the older export back");
            }
        }
    }

    void recoverMeasurementStaging(const fs::path& staging, const std::string& id) {
        const std::optional<EntryLock> held = claim(staging);
        if (!held) {
            busyIds_.insert(id);
            return;
        }
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
        const std::optional<EntryLock> held = claim(aside);
        if (!held) return;
        try {
            const bool changed = project_.change(
                [&id](ProjectRecord& record) {
                    std::vector<std::string>& list = record.measurements;
                    const auto named = [&id](const std::string& entry) { return folderNamedBy(entry) == id; };
                    if (std::none_of(list.begin(), list.end(), named)) return false;
                    list.erase(std::remove_if(list.begin(), list.end(), named), list.end());
                    record.modifiedAt = utcTimestampNow();
                    return true;
                },
                false);
            if (!changed) {
                projectFileInUse();
                return;
            }
        } catch (const std::exception& error) {
            fail(aside, error.what());
            return;
        }
        remove(aside, Removal::Leftover);
    }

    void recoverRecording(const fs::path& measurements, const std::string& id) {
        const fs::path raw = recordingStagingPath(measurements, id);
        const fs::path description = recordingDescriptionPath(measurements, id);
        // A living Recording holds its staging file from start to end, its finalize included; where
        // locks fail, its description names the program that records.
        WriterIdentity writer;
        try {
            const RecordingDescription described = readRecordingDescription(description);
            writer = {described.writerHost, described.writerProcess, described.writerScope};
        } catch (const std::exception&) {
            // judged by its age
        }
        const std::optional<EntryLock> held = claim(raw, writer);
        if (!held) {
            busyIds_.insert(id);
            return;
        }
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
            } else if (whole != 0 && *held) {
                if (whole != size) fs::resize_file(raw, whole);
                releaseRecordingReserve(description);  // the room the commit needs on a full disk
                finalizeRecording(measurements, described, raw, utcTextOf(raw));
                removal = Removal::PartOfRecovery;
            } else if (whole != 0) {
                // Unheld (no locks here): its writer may only be stalled, and could write on into a
                // file the Measurement shared. The Measurement gets a copy of the whole frames instead,
                // which nothing writes to again; the writer finds its file gone and stops.
                const fs::path copy = temporaryPathBeside(raw);
                try {
                    copyFirstBytes(raw, copy, whole);
                    finalizeRecording(measurements, described, copy, utcTextOf(raw));
                } catch (...) {
                    removeFileQuietly(copy);
                    throw;
                }
                removeFileQuietly(copy);
                removal = Removal::PartOfRecovery;
            }
            if (remove(raw, removal)) remove(description, removal);
            std::error_code missing;
            settleVideo(measurements, id,
                        videoTaken_.count(id) != 0 || fs::exists(finalDir / "video_camera.mp4", missing));
        } catch (const std::exception& error) {
            fail(raw, error.what());
        }
    }

    // The camera video recorded beside a Recording that never finalized: taken into the recovered
    // Measurement when the recorder finished the file, otherwise removed and named.
    void settleVideo(const fs::path& measurements, const std::string& id, bool taken) {
        const fs::path video = hiddenPath(measurements, id, kVideoSuffix);
        if (!isRegularFile(video)) return;
        if (taken) {
            remove(video, Removal::PartOfRecovery);
        } else if (remove(video, Removal::PartOfRecovery)) {
            report_.discardedVideos.push_back(relative(video));
        }
    }

    static bool holdsSamples(const fs::path& finalDir, const std::string& id, const fs::path& raw,
                             std::uint64_t whole) {
        const MeasurementRecord m = wholeMeasurement(finalDir, id, false);
        std::error_code error;
        if (fs::equivalent(finalDir / m.rawFile, raw, error)) return true;
        return fs::file_size(finalDir / m.rawFile) == whole && hashOfFirstBytes(raw, whole) == m.rawHash;
    }

    // The samples stay in the staging file when this throws (createMeasurement removes its own
    // staging folder).
    void finalizeRecording(const fs::path& measurements, const RecordingDescription& described,
                           const fs::path& raw, const std::string& endedAt) {
        const std::string& id = described.measurementId;
        const fs::path video = hiddenPath(measurements, id, kVideoSuffix);
        const bool wholeVideo = isRegularFile(video) && isWholeMp4File(video);
        createMeasurement(root_, id, described.profileText, raw, described.startedAt, endedAt,
                          described.source, wholeVideo ? video : fs::path(), RawFileTransfer::Link);
        if (wholeVideo) videoTaken_.insert(id);
        finalizedRecordings_.insert(id);
    }

    void recoverMeasurementFolder(const fs::path& dir, const std::string& id) {
        // Committed by a living Recording that registers it itself.
        if (busyIds_.count(id) != 0) return;
        removeTemporariesIn(dir);
        removeTemporariesIn(dir / "derived");
        recoverRuns(dir, id);
        for (const std::string& entry : project_.measurements)
            if (folderNamedBy(entry) == id) return;
        try {
            const MeasurementRecord m = wholeMeasurement(dir, id, false);
            if (!registerInOrder(id, m.startedAt)) return;
        } catch (const std::exception& error) {
            fail(dir, error.what());
            return;
        }
        (finalizedRecordings_.count(id) != 0 ? report_.recoveredRecordings : report_.recoveredMeasurements)
            .push_back(id);
    }

    void recoverRuns(const fs::path& measurementDir, const std::string& measurementId) {
        const fs::path analyses = measurementDir / "analyses";
        removeTemporariesIn(analyses);
        for (const fs::path& entry : entriesOf(analyses)) {
            const auto id = idOfHiddenName(entry.filename().string(), kCreatingSuffix);
            if (!id || !isDirectory(entry)) continue;
            const std::optional<EntryLock> held = claim(entry);
            if (!held) continue;
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
    // Under the Project's lock, into the list as it is on disk: another program registering at the
    // same time keeps its entry. False when that list holds the id already.
    bool registerInOrder(const std::string& id, const std::string& startedAt) {
        bool added = false;
        try {
            const bool changed = project_.change(
                [&](ProjectRecord& record) {
                    std::vector<std::string>& list = record.measurements;
                    for (const std::string& entry : list)
                        if (folderNamedBy(entry) == id) return false;
                    std::size_t position = list.size();
                    for (std::size_t i = 0; i < list.size(); ++i) {
                        const std::optional<std::string> other = startedAtOf(list[i]);
                        if (other && std::tie(*other, list[i]) > std::tie(startedAt, id)) {
                            position = i;
                            break;
                        }
                    }
                    list.insert(list.begin() + static_cast<std::ptrdiff_t>(position), id);
                    record.modifiedAt = utcTimestampNow();
                    added = true;
                    return true;
                },
                false);
            if (!changed) projectFileInUse();
        } catch (...) {
            // The record keeps what the file holds.
            std::vector<std::string>& list = project_.measurements;
            if (added) list.erase(std::find(list.begin(), list.end(), id));
            throw;
        }
        startedAt_[id] = startedAt;
        return added;
    }

    ProjectRecord& project_;
    fs::path root_;
    ProjectRecoveryReport report_;
    std::set<std::string> finalizedRecordings_;
    std::set<std::string> videoTaken_;  // recovered Recordings that took their camera video
    std::set<std::string> busyIds_;     // Measurements a living program is creating
    std::map<std::string, std::optional<std::string>> startedAt_;
};

}  // namespace

ProjectRecoveryReport recoverProject(ProjectRecord& project) { return Recovery(project).run(); }

bool isRewriteTemporaryName(std::string_view name) { return isRewriteTemporary(name); }

fs::path measurementDeletionPath(const fs::path& measurementsDir, const std::string& measurementId) {
    return measurementsDir / fs::path("." + measurementId + std::string(kDeletingSuffix));
}

MeasurementDeletion beginMeasurementDeletion(const fs::path& projectDir, const fs::path& measurementDir,
                                             const std::string& registeredName) {
    MeasurementDeletion deletion;
    // Held throughout: the lock follows the folder to its new name. Never waited for: the user asked
    // on the GUI thread, which a program that stopped while holding it must not freeze.
    if (EntryLock::take(measurementDir, deletion.lock) == EntryLock::Take::Busy)
        throw EntryUnavailable(EntryUnavailable::Entry::Measurement, EntryUnavailable::Why::Held);
    deletion.doomed = measurementDir;
    // Moved aside, then unregistered: after a crash the next open finishes the deletion, and never
    // lists a Measurement without its files nor registers a complete folder again. Where the move is
    // refused, unregistering first keeps the second of those guarantees.
    const fs::path aside =
        measurementDeletionPath(measurementDir.parent_path(), measurementDir.filename().string());
    std::error_code moveError;
    if (renameWithoutReplace(measurementDir, aside, moveError)) deletion.doomed = aside;
    try {
        ProjectRecord project = loadProject(projectDir);
        const bool unregistered = project.change(
            [&registeredName](ProjectRecord& record) {
                std::vector<std::string>& list = record.measurements;
                const auto found = std::find(list.begin(), list.end(), registeredName);
                if (found == list.end()) return false;
                list.erase(found);
                record.modifiedAt = utcTimestampNow();
                return true;
            },
            false);
        if (!unregistered)
            throw EntryUnavailable(EntryUnavailable::Entry::Project, EntryUnavailable::Why::Held);
    } catch (...) {
        if (deletion.doomed != measurementDir) renameWithoutReplace(aside, measurementDir, moveError);
        throw;
    }
    return deletion;
}

}  // namespace zk::core
