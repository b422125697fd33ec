#include "core/storage/project_in_use.h"

#include <system_error>

#include "core/platform/file_platform.h"
#include "core/storage/project_store.h"

namespace zk::core {

namespace fs = std::filesystem;

namespace {

bool held(const fs::path& path) {
    EntryLock lock;
    return EntryLock::take(path, false, lock) == EntryLock::Take::Busy;
}

}  // namespace

std::optional<std::string> entryInUse(const fs::path& projectDir) {
    // The list's lock is taken through "." as ProjectRecord::change takes it.
    if (held(projectDir / ".")) return std::string(kProjectFile);
    std::error_code error;
    fs::recursive_directory_iterator it(projectDir, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        const fs::file_type type = it->symlink_status(typeError).type();
        if (typeError || (type != fs::file_type::regular && type != fs::file_type::directory)) continue;
        if (held(it->path())) return it->path().lexically_relative(projectDir).generic_string();
    }
    return std::nullopt;
}

}  // namespace zk::core
