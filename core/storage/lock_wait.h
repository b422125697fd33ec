#pragma once

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "core/platform/file_platform.h"

namespace zk::core {

// How long a writer waits for a lock another program holds. A program that is stopped or hangs while
// it holds one must never stop this one for good, so every wait is bounded; the GUI thread does not
// wait at all (it passes no wait) and refuses at once instead.

// The bound of a waiting action (a Recording's finalize, a save off the GUI thread): 10 s unless set.
std::chrono::milliseconds lockWaitLimit();
// Sets that bound for the whole process (tests shorten it).
void setLockWaitLimit(std::chrono::milliseconds limit);

// When one action stops waiting: fixed as the action starts and handed down to every wait inside it,
// so that waits one inside another never add up past it. Implicit from a duration, counted from the
// moment it is made; 0 never waits.
class LockDeadline {
  public:
    LockDeadline() : LockDeadline(lockWaitLimit()) {}
    LockDeadline(std::chrono::milliseconds allowed);  // NOLINT(google-explicit-constructor)

    std::chrono::steady_clock::time_point at() const { return at_; }
    std::chrono::milliseconds allowed() const { return allowed_; }  // as a refusal states the wait

  private:
    std::chrono::milliseconds allowed_;
    std::chrono::steady_clock::time_point at_;
};

// What a refused operation could not have. Its entry and reason are what callers tell the user (the
// application words them in the user's language); what() is the same in English.
class EntryUnavailable : public std::runtime_error {
  public:
    enum class Entry { Project, Measurement, NoiseFloor, Recording };
    enum class Why {
        Held,   // another program holds its lock (still, after `waited`); nothing was changed
        Gone,   // it no longer exists: another program removed it; nothing was changed
        Taken,  // another program's recovery took what it was writing: it writes nothing more
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

// EntryLock::take, waiting for another holder until `deadline`; Busy once it has passed.
EntryLock::Take takeEntryLockWithin(const std::filesystem::path& path, const LockDeadline& deadline,
                                    EntryLock& lock);

// Locks the lock file at `path`, created when missing with the permissions the umask gives every
// other file, so each user of a shared Project can take it. A link in its place is never ours and is
// replaced (a dangling one would have the file created outside the Project); a folder in its place
// is locked as it is. EntryUnavailable (Held, `what`) when another holder keeps it past `deadline`;
// std::filesystem::filesystem_error "lock" when it cannot be made or locked.
EntryLock takeLockFile(const std::filesystem::path& path, EntryUnavailable::Entry what,
                       const LockDeadline& deadline);

}  // namespace zk::core
