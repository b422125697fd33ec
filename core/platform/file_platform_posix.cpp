#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/platform/file_platform.h"

namespace zk::core {

std::FILE* openFileForBinaryRead(const std::filesystem::path& path) { return std::fopen(path.c_str(), "rb"); }

bool renameWithoutReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                          std::error_code& error) {
    error.clear();
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    const int renameErrno = errno;
    // File systems without RENAME_NOREPLACE: a hard link fails when the target exists, which gives
    // the same guarantee; the source name is dropped afterwards.
    if (renameErrno != EINVAL && renameErrno != ENOSYS && renameErrno != ENOTSUP) {
        error.assign(renameErrno, std::generic_category());
        return false;
    }
    if (::link(from.c_str(), to.c_str()) != 0) {
        error.assign(errno, std::generic_category());
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

}  // namespace zk::core
