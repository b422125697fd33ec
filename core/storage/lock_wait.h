#pragma once

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "core/platform/file_platform.h"

namespace zk::core {

// How long a writer waits for a lock another program holds. A program that is stopped or hangs while
// it holds one must never stop this one for good, so every wait is bounded; the GUI thread does not
// wait at all (it passes no wait) and refuses at once instead.

// The bound of a waiting writer (a Recording's finalize, a save off the GUI thread): 10 s unless set.
std::chrono::milliseconds lockWaitLimit();
// Sets that bound for the whole process (tests shorten it).
void setLockWaitLimit(std::chrono::milliseconds limit);

// What a refused operation could not have: nothing was changed.
class EntryUnavailable : public std::runtime_error {
  public:
    enum class Entry { Project, Measurement, NoiseFloor };
    enum class Why {
        Held,  // another program holds its lock (still, after `waited`)
        Gone,  // it no longer exists: another program removed it
    };
    EntryUnavailable(Entry entry, Why why, std::chrono::milliseconds waited = {});

    Entry entry() const { return entry_; }
    Why why() const { return why_; }
    std::chrono::milliseconds waited() const { return waited_; }  // 0: refused without waiting

  private:
    Entry entry_;
    Why why_;
    std::chrono::milliseconds waited_;
};

// EntryLock::take, waiting at most `limit` for another holder; Busy once the limit has passed.
EntryLock::Take takeEntryLockWithin(const std::filesystem::path& path, std::chrono::milliseconds limit,
                                    EntryLock& lock);

// Locks the lock file at `path`, created when missing with the permissions the umask gives every
// other file, so each user of a shared Project can take it. A link in its place is never ours and is
// replaced (a dangling one would have the file created outside the Project); a folder in its place
// is locked as it is. EntryUnavailable (Held, `what`) when another holder keeps it past `wait`;
// std::filesystem::filesystem_error "lock" when it cannot be made or locked.
EntryLock takeLockFile(const std::filesystem::path& path, EntryUnavailable::Entry what,
                       std::chrono::milliseconds wait);

}  // namespace zk::core
