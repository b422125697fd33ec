#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/file_platform.h"
#include "core/storage/project_store.h"

namespace zk::core {

// What recoverProject did, each entry named by its path relative to the Project directory (generic
// form) or by its id.
struct ProjectRecoveryReport {
    struct KeptFile {
        std::string path;
        std::uint64_t bytes = 0;
    };
    struct Failure {
        std::string path;
        std::string error;
    };

    std::vector<std::string> recoveredMeasurements;  // committed folders registered again
    std::vector<std::string> recoveredRecordings;    // staging raw files finalized into Measurements
    std::vector<std::string> recoveredRuns;          // "<measurementId>/<analysisId>", committed
    std::vector<std::string> removedLeftovers;       // incomplete staging folders and empty recordings
    std::vector<std::string> removedTemporaries;     // hidden temporary files of atomic rewrites
    std::vector<KeptFile> undescribedRecordings;     // staging raw files with samples but no description
    std::vector<std::string> discardedVideos;        // unfinished camera videos of recovered Recordings
    std::vector<std::string> inUse;                  // held by a living program: left alone
    std::vector<Failure> failures;                   // leftovers left as they were
    // The Project's folder takes no locks: what may be in use was left alone by its age or its
    // writer instead, and nothing keeps two programs from changing the Project at once.
    bool unguarded = false;

    bool changedProjectFile() const { return !recoveredMeasurements.empty() || !recoveredRecordings.empty(); }
};

// Finishes or removes what an interrupted writer left in the Project: a committed Measurement folder
// that project.json lacks is registered again (placed by its start time, so the registration order
// stays chronological); a staging folder of a Measurement or an AnalysisRun is committed when its
// content is complete and readable and removed otherwise; a Recording's staging raw file with its
// description and at least one whole frame becomes a Measurement (truncated to whole frames) and is
// registered; a Measurement folder moved aside for deletion ("." + id + ".deleting") is unregistered
// and removed, finishing the deletion; hidden temporary files of atomic rewrites and of the derived
// cache are removed. A staging raw file without a description is never touched. Nothing is ever
// replaced.
//
// Every writer holds what it works on (staged_commit.h) and the recovery acts only on what no living
// program holds, so another program may record, save, export or delete in the Project meanwhile; a
// held entry is reported in inUse and left alone. The camera video of a recovered Recording goes into
// its Measurement when the recorder finished the file, and is removed (reported in discardedVideos)
// otherwise; unfinished exports and noise-floor saves are removed, and an older export or noise floor
// they had set aside is put back. One leftover that cannot be handled is reported and left as it was;
// the rest go on. `project` is the loaded record; it is updated and saved when
// Measurements are registered.
//
// Where the folder takes no locks (unguarded), what may still be in use (claimLeftover) is left alone
// and reported in inUse the same way.
ProjectRecoveryReport recoverProject(ProjectRecord& project);

// The names replaceFileContent gives its temporary files: "." + target name + "." + digits + "-" +
// digits + ".tmp". Nothing else in a Project is named so (a Recording's staging file ends in ".raw.tmp").
bool isRewriteTemporaryName(std::string_view name);

// Where a Measurement folder is moved before it is unregistered and removed: measurementsDir / ("." +
// measurementId + ".deleting"), a name no reader lists and recoverProject finishes deleting.
std::filesystem::path measurementDeletionPath(const std::filesystem::path& measurementsDir,
                                              const std::string& measurementId);

// The first part of deleting a Measurement: holds its folder (so that another program's recovery
// leaves the deletion to this one), moves it to measurementDeletionPath and unregisters
// `registeredName` from project.json, under the Project's lock. The caller removes `doomed` while
// it holds `lock`. Where the move is refused the folder is unregistered where it is (`doomed` is
// then the folder itself); when unregistering fails the folder is moved back and the error passes
// through. Never waits: EntryUnavailable (Held) while another program holds the folder or the
// Project's lock, and nothing changed.
struct MeasurementDeletion {
    std::filesystem::path doomed;
    EntryLock lock;
};
MeasurementDeletion beginMeasurementDeletion(const std::filesystem::path& projectDir,
                                             const std::filesystem::path& measurementDir,
                                             const std::string& registeredName);

}  // namespace zk::core
