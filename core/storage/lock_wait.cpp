#include "core/storage/lock_wait.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <system_error>
#include <thread>

#include "core/storage/file_io.h"
#include "core/storage/staged_commit.h"

namespace zk::core {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::atomic<std::chrono::milliseconds::rep> waitLimitMs{10'000};  // the bound of every waiting writer

std::string seconds(std::chrono::milliseconds waited) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(waited.count()) / 1000.0);
    return text;
}

std::string describe(EntryUnavailable::Entry entry, EntryUnavailable::Why why,
                     std::chrono::milliseconds waited) {
    using Entry = EntryUnavailable::Entry;
    if (why == EntryUnavailable::Why::Taken)
        return "another program that opened the Project has taken over the Recording's samples";
    if (why == EntryUnavailable::Why::Gone)
        return entry == Entry::Measurement ? "the Measurement no longer exists"
                                           : "the Project no longer exists";
    switch (entry) {
        case Entry::Project:
            return waited.count() > 0
                       ? "another program has held the Project's lock for more than " + seconds(waited) + " s"
                       : std::string("another program is changing the Project");
        case Entry::Measurement:
            return "another program is using the Measurement";
        case Entry::NoiseFloor:
            return "another program is saving the noise floor";
        case Entry::Recording:
            break;
    }
    return "another program is using the Recording";
}

}  // namespace

std::chrono::milliseconds lockWaitLimit() { return std::chrono::milliseconds(waitLimitMs.load()); }

LockDeadline::LockDeadline(std::chrono::milliseconds allowed)
    : allowed_(std::max(allowed, 0ms)), at_(std::chrono::steady_clock::now() + allowed_) {}

void setLockWaitLimit(std::chrono::milliseconds limit) { waitLimitMs.store(std::max(limit, 0ms).count()); }

EntryUnavailable::EntryUnavailable(Entry entry, Why why, std::chrono::milliseconds waited)
    : std::runtime_error(describe(entry, why, waited)), entry_(entry), why_(why), waited_(waited) {}

EntryLock::Take takeEntryLockWithin(const fs::path& path, const LockDeadline& deadline, EntryLock& lock) {
    // Polled rather than blocked in the system call, which no holder that stopped would ever end.
    std::chrono::milliseconds nap = 1ms;
    while (true) {
        const EntryLock::Take take = EntryLock::take(path, lock);
        const auto now = std::chrono::steady_clock::now();
        if (take != EntryLock::Take::Busy || now >= deadline.at()) return take;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(nap, deadline.at() - now));
        nap = std::min(nap * 2, 20ms);
    }
}

EntryLock takeLockFile(const fs::path& path, EntryUnavailable::Entry what, const LockDeadline& deadline) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::error_code error;
        const fs::file_type type = fs::symlink_status(path, error).type();
        if (type == fs::file_type::symlink) {
            fs::remove(path, error);
            continue;
        }
        // Created exclusively, so a link put there meanwhile is never followed; another program that
        // created it first is no failure.
        if (type == fs::file_type::not_found) {
            const FileHandle made(openNewFileForBinaryWrite(path));
        }
        EntryLock lock;
        switch (takeEntryLockWithin(path, deadline, lock)) {
            case EntryLock::Take::Taken:
                if (lock.isNamedBy(path)) return lock;
                break;  // replaced in between: locked anew
            case EntryLock::Take::Busy:
                throw EntryUnavailable(what, EntryUnavailable::Why::Held, deadline.allowed());
            case EntryLock::Take::Missing:
                break;
            case EntryLock::Take::Unlockable:
            case EntryLock::Take::Unsupported:
                // A file system without such locks: unguarded, as every entry there.
                return EntryLock();
        }
    }
    throw fs::filesystem_error("lock", path, std::make_error_code(std::errc::resource_unavailable_try_again));
}

}  // namespace zk::core
