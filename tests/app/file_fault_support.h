#pragma once

// Real file-system refusals for the tests: a file size limit that makes writes stop short, and a
// read-only folder that binds even when the tests run as root.

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QString>

#include "permission_support.h"

namespace zk::app::test {

// While alive, no file of the process may grow past `bytes`: the kernel ends writes there (EFBIG
// instead of the SIGXFSZ that would end the process).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }

  private:
    rlimit saved_{};
    sighandler_t previousHandler_ = SIG_DFL;
    bool active_ = false;
};

using zk::test::WithoutPermissionOverride;

// Makes a folder read-only; true when it now refuses a new entry to this thread.
inline bool makeReadOnly(const QString& folder) {
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::ExeOther);
    const QString probe = QDir(folder).filePath(QStringLiteral(".probe"));
    if (QDir().mkdir(probe)) {
        QDir().rmdir(probe);
        return false;
    }
    return true;
}

inline void makeWritable(const QString& folder) {
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

}  // namespace zk::app::test
