#pragma once

#include <filesystem>
#include <string>

#include "core/storage/project_store.h"

namespace zk::core {

// Repairs of a Project root before it is created or opened; the folders inside are recoverProject's.

// True when the directory is absent or holds nothing but hidden temporary files of atomic rewrites
// (isRewriteTemporaryName) that no living writer holds, such as a Create Project that was killed
// before its rename leaves: such a folder counts as empty. Throws std::filesystem::filesystem_error
// when it cannot be listed.
bool isEmptyButForRewriteTemporaries(const std::filesystem::path& directory);

// Removes those temporary files from the directory; failures are ignored.
void removeRewriteTemporaries(const std::filesystem::path& directory);

// A Create Project killed between writing project.json under its temporary name and the rename
// leaves the complete file under that name: when project.json is absent and such a temporary, held by
// no living writer, parses as a project.json, it is renamed into place. True when it did.
bool finishInterruptedProjectFile(const std::filesystem::path& directory);

// What loadProjectOrRebuild found.
struct ProjectRebuild {
    std::string damage;     // the reader's text for the damaged or missing project.json; empty when it loaded
    std::string asideName;  // the name the damaged file was kept under, beside it; empty when not moved
    std::string unsaved;    // why the rebuilt list could not be saved; empty when it was
};

// loadProject, except that a project.json that cannot be read (malformed, past the bound, a failed
// read, a pipe or a folder in its place) is replaced by a new record named after the folder, listing
// the Measurement folders whose manifests name them in the order of their start times. The rebuilt
// list is written beside it first; only then is the damaged file kept aside as
// "project.json.damaged-<UTC yyyyMMddTHHmmssZ>" (never over an older copy) and the new one put in its
// place, or the damaged file is put back. A folder without project.json but with such a damaged copy
// (an earlier repair that could not finish) is rebuilt the same way. Where the list cannot be written
// (a full disk, read-only media) the record is returned unsaved and the folder is left as it was.
// Runs under the lock of the Project folder, so two programs never repair one Project at once; never
// waits for it (the open runs on the GUI thread): while another program holds it, EntryUnavailable
// (Held) is thrown and nothing is changed. No
// project.json (and no damaged copy), or a regular one that cannot be opened (no permission), throws
// as loadProject does.
ProjectRecord loadProjectOrRebuild(const std::filesystem::path& directory, ProjectRebuild& rebuild);

}  // namespace zk::core
