// Where the file system takes no locks: which leftovers an opening program may take, judged by the
// writer a Recording names (its process id only within that id's scope) and by ages read on the
// file system's own clock; and a writer whose staging file was taken stops and says so.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "core/platform/file_platform.h"
#include "core/storage/measurement_files.h"
#include "core/storage/measurement_store.h"
#include "core/storage/project_recovery.h"
#include "core/storage/recording.h"
#include "core/storage/staged_commit.h"
#include "storage/recording_pattern.h"
#include "storage/storage_driver_process.h"
#include "storage/storage_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using zk::test::entryNames;
using zk::test::fileText;
using Names = std::vector<std::string>;

constexpr const char* kTaken =
    "another program that opened the Project has taken over the Recording's samples";
const std::string kRecording = "measurements/.m2.recording.raw.tmp";

// The id of a process that has ended (and was reaped) in this scope.
std::int64_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// As a file server's clock runs `offset` from this computer's, for as long as it lives.
struct FileServerClock {
    explicit FileServerClock(std::chrono::seconds offset) { setFileSystemClockOffsetForTesting(offset); }
    ~FileServerClock() { setFileSystemClockOffsetForTesting(0s); }
    FileServerClock(const FileServerClock&) = delete;
    FileServerClock& operator=(const FileServerClock&) = delete;
};

// A Project with the Measurement "m", on a file system that takes no locks.
struct Unguarded : ::testing::Test {
    zk::test::TempFolder folder;
    fs::path project = folder / "p";
    fs::path measurements = project / "measurements";
    std::string profile = zk::test::threeChannelProfile();
    std::string samples = zk::test::bytesOf(zk::test::samplesFrom(0, 3 * 50));

    void SetUp() override { reset(); }
    void reset() {
        std::error_code ignored;
        fs::remove_all(project, ignored);
        createProject(project, "p");
        Recording recording(project, "m", profile, "s");
        recording.append(zk::test::samplesFrom(0, 3 * 10));
        recording.finalize("");
    }
    // What a Recording "m2" of `writer` left (or is still writing).
    void leaveRecording(const WriterIdentity& writer) {
        zk::test::writeText(recordingStagingPath(measurements, "m2"), samples);
        zk::test::writeText(recordingDescriptionPath(measurements, "m2"),
                            writeRecordingDescription({"m2", profile, "s", "2030-01-01T00:00:00Z",
                                                       writer.host, writer.processId, writer.scope}));
    }
    // Every entry of the Project as the file system stamps a change `age` ago (by its own clock).
    void changedAgo(std::chrono::seconds age) {
        const fs::file_time_type stamp = *fileSystemTimeNow(project) - age;
        fs::last_write_time(project, stamp);
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(project))
            fs::last_write_time(entry.path(), stamp);
    }
    ProjectRecoveryReport open() {
        const zk::test::LocksFail noLocks;
        ProjectRecord record = loadProject(project);
        return recoverProject(record);
    }
    // Left alone and named, or recovered whole and nothing left hidden.
    void expectRecordingLeftAlone(const ProjectRecoveryReport& report, bool alone) {
        EXPECT_TRUE(report.unguarded);
        if (alone) {
            EXPECT_EQ(report.inUse, Names{kRecording});
            EXPECT_TRUE(report.recoveredRecordings.empty());
            EXPECT_EQ(fileText(project / kRecording), samples);
        } else {
            EXPECT_TRUE(report.inUse.empty());
            EXPECT_EQ(report.recoveredRecordings, Names{"m2"});
            EXPECT_EQ(fileText(measurements / "m2" / "raw.int16"), samples);
            EXPECT_EQ(entryNames(measurements), (Names{"m", "m2"}));
        }
    }
};

// A process id tells whether its writer runs only where it names the same process: in this boot and
// this PID namespace. A writer in another (a sandboxed copy of the program) is judged by the age of
// what it wrote, whether or not its id runs here; one that names no scope (an earlier version) is
// kept while its id runs here.
TEST_F(Unguarded, AWritersProcessIdCountsOnlyInItsOwnScope) {
    const std::string here = processIdScope();
    ASSERT_FALSE(here.empty()) << "this system tells no scope";
    const std::string sandbox = "0f0e0d0c-0000-4000-8000-000000000000 pid:[4026531111]";
    const std::int64_t running = currentProcessId();
    const std::int64_t ended = endedProcess();
    const struct {
        const char* name;
        std::int64_t processId;
        std::string scope;
        std::chrono::seconds age;
        bool inUse;
    } cases[] = {
        {"this scope, running, aged", running, here, 2h, true},
        {"this scope, ended, fresh", ended, here, 0s, false},
        {"another namespace, its id ended here, fresh", ended, sandbox, 0s, true},
        {"another namespace, its id runs here, fresh", 1, sandbox, 0s, true},
        {"another namespace, its id runs here, aged", 1, sandbox, 2h, false},
        {"no scope, running, aged", running, "", 2h, true},
        {"no scope, ended, fresh", ended, "", 0s, true},
        {"no scope, ended, aged", ended, "", 2h, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        leaveRecording({hostName(), c.processId, c.scope});
        changedAgo(c.age);
        expectRecordingLeftAlone(open(), c.inUse);
    }
}

// Another computer's writer is judged by age alone, read on the file server's clock: with that clock
// two hours behind or ahead of this computer's, a fresh Recording stays and one idle for two hours
// is recovered.
TEST_F(Unguarded, AFileServerClockHoursFromThisComputersLosesNothingAndKeepsNothingForever) {
    const WriterIdentity otherComputer{"another-computer", 4242, "its own scope"};
    for (const std::chrono::seconds offset : {std::chrono::seconds(-2h), std::chrono::seconds(2h)}) {
        for (const std::chrono::seconds age : {std::chrono::seconds(0), std::chrono::seconds(2h)}) {
            SCOPED_TRACE("server clock " + std::to_string(offset.count()) + " s, idle " +
                         std::to_string(age.count()) + " s");
            reset();
            const FileServerClock server(offset);
            leaveRecording(otherComputer);
            changedAgo(age);
            expectRecordingLeftAlone(open(), age == 0s);
        }
    }
}

// A staging folder is as young as the newest file written in it, not as old as the folder's own
// time, which only changes when names are added.
TEST_F(Unguarded, AStagingFolderIsAsYoungAsTheNewestFileWrittenInIt) {
    const std::string folders[] = {"measurements/.m3.creating", "exports/.a1.exporting",
                                   "measurements/m/analyses/.a2.creating"};
    for (const std::string& staging : folders) {
        SCOPED_TRACE(staging);
        reset();
        fs::create_directories(project / staging / "sub");
        zk::test::writeText(project / staging / "sub" / "map.bin", "being written");
        changedAgo(2h);
        const fs::file_time_type now = *fileSystemTimeNow(project);
        fs::last_write_time(project / staging / "sub" / "map.bin", now);
        ProjectRecoveryReport report = open();
        EXPECT_EQ(report.inUse, Names{staging});
        EXPECT_EQ(fileText(project / staging / "sub" / "map.bin"), "being written");
        changedAgo(2h);
        report = open();
        EXPECT_TRUE(report.inUse.empty());
        EXPECT_EQ(report.removedLeftovers, Names{staging});
    }
}

// A Recording of another computer, stalled past the hour before a block or before its finalize, is
// taken by the next open: the Measurement gets the whole frames on disk in a file of its own, and the
// writer, going on, finds its staging file taken, says so and writes nothing into what was committed.
TEST_F(Unguarded, AStalledWriterWhoseRecordingWasTakenStopsAndTheMeasurementStaysWhole) {
    constexpr int kBlocks = 4;
    constexpr std::size_t kBlockFrames = 70'000;  // 420 kB: the 1 MiB buffer has spilled by the third
    for (const int stalledAfter : {kBlocks - 1, kBlocks}) {
        SCOPED_TRACE(stalledAfter == kBlocks ? "stalled before its finalize" : "stalled before a block");
        reset();
        zk::test::Driver a(project, kBlocks, kBlockFrames, true);
        ASSERT_TRUE(a.started());
        ASSERT_EQ(a.readLine(), "started");
        for (int b = 1; b <= stalledAfter; ++b) {
            a.step();
            ASSERT_EQ(a.readLine(), "appended " + std::to_string(b));
        }
        // As the program of another computer names itself.
        const fs::path description = recordingDescriptionPath(measurements, "m1");
        RecordingDescription described = readRecordingDescription(description);
        described.writerHost = "another-computer";
        zk::test::writeText(description, writeRecordingDescription(described));
        changedAgo(2h);
        const std::uint64_t frameBytes = 2 * zk::test::kPatternWire;
        const std::uint64_t onDisk =
            fs::file_size(recordingStagingPath(measurements, "m1")) / frameBytes * frameBytes;
        ASSERT_GT(onDisk, 0u);

        const ProjectRecoveryReport report = open();
        ASSERT_EQ(report.recoveredRecordings, Names{"m1"});
        const std::string committed = fileText(measurements / "m1" / "raw.int16");
        EXPECT_TRUE(committed == zk::test::bytesOf(zk::test::samplesFrom(0, onDisk / 2)))
            << "the whole frames";

        a.step();
        EXPECT_EQ(a.readLine(), std::string("failed ") + kTaken);
        const int status = a.wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
        const MeasurementRecord m = readMeasurementManifest(measurements / "m1");
        EXPECT_EQ(compareMeasurementFiles(m), MeasurementFiles::Match);
        EXPECT_TRUE(fileText(measurements / "m1" / "raw.int16") == committed) << "nothing written into it";
        EXPECT_EQ(loadProject(project).measurements, (Names{"m", "m1"}));
        EXPECT_EQ(entryNames(measurements), (Names{"m", "m1"})) << "nothing left hidden";
    }
}

// The same program in another PID namespace, for real where this process may make one (root).
bool canMakePidNamespaces() { return ::geteuid() == 0; }

// An opener in a PID namespace of its own, where the writer's id names no process, leaves the living
// Recording alone; the Recording ends saved and whole.
TEST_F(Unguarded, AnOpenerInAnotherPidNamespaceLeavesALivingRecordingAlone) {
    if (!canMakePidNamespaces()) GTEST_SKIP() << "only root can make a PID namespace here";
    constexpr int kBlocks = 2;
    constexpr std::size_t kBlockFrames = 1000;
    zk::test::Driver a(project, kBlocks, kBlockFrames, true);
    ASSERT_TRUE(a.started());
    ASSERT_EQ(a.readLine(), "started");
    a.step();
    ASSERT_EQ(a.readLine(), "appended 1");

    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t opener = ::fork();
    ASSERT_GE(opener, 0);
    if (opener == 0) {
        ::close(channel[0]);
        // Its next child is the first process of the new namespace.
        if (::unshare(CLONE_NEWPID) != 0) {
            (void)!::write(channel[1], "s", 1);
            ::_exit(0);
        }
        const pid_t inside = ::fork();
        if (inside == 0) {
            char verdict = 'x';
            try {
                const ProjectRecoveryReport report = open();
                if (currentProcessId() == 1 && report.recoveredRecordings.empty() &&
                    report.inUse == Names{"measurements/.m1.recording.raw.tmp"})
                    verdict = 'k';
            } catch (...) {
            }
            (void)!::write(channel[1], &verdict, 1);
            ::_exit(0);
        }
        ::waitpid(inside, nullptr, 0);
        ::_exit(0);
    }
    ::close(channel[1]);
    char verdict = 0;
    const bool told = ::read(channel[0], &verdict, 1) == 1;
    ::close(channel[0]);
    ::waitpid(opener, nullptr, 0);
    ASSERT_TRUE(told);
    if (verdict == 's') GTEST_SKIP() << "this system refuses a new PID namespace";
    EXPECT_EQ(verdict, 'k') << "the opener took the living Recording";

    a.step();
    ASSERT_EQ(a.readLine(), "appended 2");
    a.step();
    EXPECT_EQ(a.readLine(), "saved");
    EXPECT_TRUE(fileText(measurements / "m1" / "raw.int16") ==
                zk::test::bytesOf(zk::test::samplesFrom(0, kBlocks * kBlockFrames * zk::test::kPatternWire)));
}

// A Recording made in a PID namespace of its own (as pid 1 there, an id that always runs here) and
// killed: kept while what it wrote is fresh, recovered once it has aged.
TEST_F(Unguarded, ACrashedRecordingOfAnotherPidNamespaceIsRecoveredOnceItAged) {
    if (!canMakePidNamespaces()) GTEST_SKIP() << "only root can make a PID namespace here";
    constexpr int kBlocks = 4;
    constexpr std::size_t kBlockFrames = 70'000;  // the 1 MiB buffer has spilled by the third
    zk::test::Driver a(project, kBlocks, kBlockFrames, true, {"unshare", "--pid", "--fork", "--kill-child"});
    ASSERT_TRUE(a.started());
    if (a.readLine() != "started") GTEST_SKIP() << "unshare could not run the driver in a new PID namespace";
    for (int b = 1; b < kBlocks; ++b) {
        a.step();
        ASSERT_EQ(a.readLine(), "appended " + std::to_string(b));
    }
    const RecordingDescription described =
        readRecordingDescription(recordingDescriptionPath(measurements, "m1"));
    EXPECT_EQ(described.writerProcess, 1);
    EXPECT_NE(described.writerScope, processIdScope());
    a.kill();
    const std::string raw = "measurements/.m1.recording.raw.tmp";
    const std::uint64_t frameBytes = 2 * zk::test::kPatternWire;
    const std::uint64_t frames = fs::file_size(project / raw) / frameBytes;
    ASSERT_GT(frames, 0u);

    ProjectRecoveryReport report = open();
    EXPECT_EQ(report.inUse, Names{raw}) << "fresh: its writer may still run";
    changedAgo(2h);
    report = open();
    EXPECT_TRUE(report.inUse.empty());
    EXPECT_EQ(report.recoveredRecordings, Names{"m1"});
    EXPECT_EQ(readMeasurementManifest(measurements / "m1").totalFrames, frames);
    EXPECT_EQ(entryNames(measurements), (Names{"m", "m1"})) << "nothing left hidden";
}

}  // namespace
}  // namespace zk::core
