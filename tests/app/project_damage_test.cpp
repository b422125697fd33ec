// One damaged file of a Project at a time, opened through the real controller: the Project opens (a
// damaged project.json is kept aside and the list rebuilt), the undamaged Measurements select,
// recompute, save and export, and the damaged item shows why it cannot be used.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QSettings>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "analysis_fixture.h"
#include "app_test_support.h"
#include "core/streaming/noise_floor_profile.h"
#include "file_fault_support.h"
#include "project_fixture.h"

namespace zk::app::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

enum class Kind {
    ProjectJson,
    Manifest,
    AnalysisJson,
    MapBin,
    DeviceProfile,
    CacheBin,
    CacheJson,
    NoiseJson,
    NoiseBin
};
enum class Damage { Empty, Half, Flipped, Garbage, Fifo, Sparse, Large };

const char* nameOf(Kind kind) {
    static const char* const names[] = {"ProjectJson", "Manifest",      "AnalysisJson",
                                        "MapBin",      "DeviceProfile", "CacheBin",
                                        "CacheJson",   "NoiseJson",     "NoiseBin"};
    return names[static_cast<int>(kind)];
}
const char* nameOf(Damage damage) {
    static const char* const names[] = {"Empty", "Half", "Flipped", "Garbage", "Fifo", "Sparse", "Large"};
    return names[static_cast<int>(damage)];
}

// Above every per-file bound of the readers (the largest, 16 MiB) many times over.
constexpr std::uint64_t kSparseBytes = std::uint64_t{256} << 20;
constexpr std::uint64_t kLargeBytes = std::uint64_t{100} << 20;

void configureTinyAnalysis(UiController& ui) {
    ui.setAnalysisBandMode(QStringLiteral("Single"));
    ui.setAnalysisFrequencyHz(2000.0);
    ui.setAnalysisFrameSize(256);
    ui.setAnalysisHopSize(128);
    ui.setAnalysisGridStepDeg(5.0);
}

char noiseByte(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<char>(state >> 24);
}

// m_1 .. m_3 of the 4-channel profile (0.1 to 0.3 s), a saved run on m_1 and m_3 and two on m_2, each
// Measurement's derived cache entry, and a noise floor; made once, copied for every case.
struct DamageFixture {
    QTemporaryDir folder;
    QString path;
    std::string damagedRun;  // the newest run of m_2
    std::string otherRun;    // its older run

    DamageFixture() {
        path = folder.filePath(QStringLiteral("project"));
        core::createProject(fsPath(path), "Damage");
        const std::string profile = shippedProfileText("small-4.device.json");
        for (int k = 1; k <= 3; ++k) recordMeasurement(path, "m_" + std::to_string(k), 1600u * k, profile, 4);

        core::NoiseFloorProfile floor;
        floor.profileHash = fnv1aHexOfFile(fsPath(shippedProfile("small-4.device.json")));
        floor.sampleRateHz = 16000;
        floor.channelCount = 4;
        floor.fftSize = 256;
        floor.averagedFrames = 10;
        floor.createdAtUtc = "2024-05-06T07:08:09Z";
        floor.matrices.assign(129, core::MatrixRows(4, std::vector<std::complex<double>>(4, {1e-6, 0.0})));
        core::saveNoiseFloorProfile(fsPath(path), floor);

        {
            UiController ui;
            ui.openProject(path);
            configureTinyAnalysis(ui);
            for (const int row : {2, 1, 1, 0}) {
                ui.selectMeasurement(row);
                if (!runAnalysis(ui, std::chrono::seconds(60)))
                    throw std::runtime_error("fixture recompute failed");
                ui.savePendingAnalysis();
            }
            ui.selectMeasurement(1);
            if (ui.analysisRunCount() != 2) throw std::runtime_error("fixture runs missing");
            otherRun = ui.analysisRuns().at(0).toMap().value(QStringLiteral("id")).toString().toStdString();
            damagedRun = ui.analysisRuns().at(1).toMap().value(QStringLiteral("id")).toString().toStdString();
        }
    }
};

fs::path onlyFileIn(const fs::path& dir, const std::string& suffix) {
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().ends_with(suffix)) return entry.path();
    throw std::runtime_error("no " + suffix + " in " + dir.string());
}

fs::path targetOf(Kind kind, const fs::path& project, const std::string& run) {
    const fs::path m2 = project / "measurements" / "m_2";
    switch (kind) {
        case Kind::ProjectJson:
            return project / "project.json";
        case Kind::Manifest:
            return m2 / "manifest.json";
        case Kind::AnalysisJson:
            return m2 / "analyses" / run / "analysis.json";
        case Kind::MapBin:
            return m2 / "analyses" / run / "map.bin";
        case Kind::DeviceProfile:
            return m2 / "device_profile.json";
        case Kind::CacheBin:
            return onlyFileIn(m2 / "derived", ".bin");
        case Kind::CacheJson:
            return onlyFileIn(m2 / "derived", ".json");
        case Kind::NoiseJson:
            return core::noiseFloorManifestPath(project);
        case Kind::NoiseBin:
            return core::noiseFloorPayloadPath(project);
    }
    return {};
}

void writeAll(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// False when the damage could not be made.
bool damage(const fs::path& file, Damage kind) {
    std::string bytes = readBytes(file);
    std::uint32_t seed = 2463534242u;
    switch (kind) {
        case Damage::Empty:
            writeAll(file, {});
            return true;
        case Damage::Half:
            writeAll(file, bytes.substr(0, bytes.size() / 2));
            return true;
        case Damage::Flipped:
            // A few bits of the payload, well past any header; for a JSON text also its closing brace.
            for (std::size_t i = bytes.size() / 2; i < bytes.size(); i += 97) bytes[i] ^= 0x10;
            bytes[bytes.size() - 2] ^= 0x10;
            writeAll(file, bytes);
            return true;
        case Damage::Garbage:
            for (char& c : bytes) c = noiseByte(seed);
            writeAll(file, bytes);
            return true;
        case Damage::Fifo:
            fs::remove(file);
            return ::mkfifo(file.c_str(), 0644) == 0;
        case Damage::Sparse:
            fs::remove(file);
            writeAll(file, {});
            fs::resize_file(file, kSparseBytes);
            return true;
        case Damage::Large: {
            // Noise, so that no reader finds a valid header or document in it.
            std::string chunk(std::size_t{1} << 20, '\0');
            for (char& c : chunk) c = noiseByte(seed);
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            for (std::uint64_t written = 0; written < kLargeBytes; written += chunk.size())
                out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            return static_cast<bool>(out);
        }
    }
    return false;
}

// Whether the thread's status file reads "sleeping" (waiting on an event, not for a processor).
bool sleeping(const std::string& task) {
    std::ifstream in(task + "/stat");
    std::string text;
    std::getline(in, text);
    const std::size_t end = text.rfind(')');  // the name in parentheses may hold anything
    return end != std::string::npos && end + 2 < text.size() && text[end + 2] == 'S';
}

// Whether a thread of this process sleeps in an open that may block, as a reader waiting for the
// writer of a named pipe does. An open with O_NONBLOCK never waits there, however long a loaded
// machine takes to run it.
bool threadWaitsInABlockingOpen() {
    DIR* tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr) return false;
    bool waits = false;
    while (const dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.' || waits) continue;
        const std::string task = std::string("/proc/self/task/") + entry->d_name;
        if (!sleeping(task)) continue;
        std::ifstream in(task + "/syscall");  // number and arguments; "running" for a running thread
        long number = -1;
        std::vector<unsigned long long> arguments;
        std::string word;
        if (!(in >> number)) continue;
        while (arguments.size() < 3 && in >> word) arguments.push_back(std::stoull(word, nullptr, 16));
        std::size_t flags = number == SYS_openat ? 2 : arguments.size();
#ifdef SYS_open
        if (number == SYS_open) flags = 1;
#endif
        // Asleep before and after the look at its call: the call it sleeps in.
        waits = flags < arguments.size() && (arguments[flags] & O_NONBLOCK) == 0 && sleeping(task);
    }
    ::closedir(tasks);
    return waits;
}

// Makes a case fail instead of hanging: a reader waiting on the named pipe is released (the write end
// opened and closed gives it an end of file) and the case is marked; past `hard` anything else stuck
// ends the process with a message.
class Deadline {
  public:
    Deadline(fs::path fifo, std::chrono::seconds hard)
        : watcher_([this, fifo = std::move(fifo), hard] {
              const Clock::time_point start = Clock::now();
              while (!done_.load()) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
                  // The code under test opens the pipe for a moment to see what it is: only a reader that
                  // waits counts.
                  if (!fifo.empty() && threadWaitsInABlockingOpen()) {
                      const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                      if (writer >= 0) {
                          ::close(writer);
                          releasedReader_.store(true);
                      }
                  }
                  if (Clock::now() - start > hard) {
                      std::fprintf(stderr, "damage case still running after %lld s\n",
                                   static_cast<long long>(hard.count()));
                      std::_Exit(3);
                  }
              }
          }) {}
    ~Deadline() {
        done_.store(true);
        watcher_.join();
    }
    bool releasedReader() const { return releasedReader_.load(); }

  private:
    std::atomic<bool> done_{false};            // set by the owner when the case ended; read by the watcher
    std::atomic<bool> releasedReader_{false};  // set by the watcher, read by the owner
    std::thread watcher_;
};

int linesNaming(const UiController& ui, const fs::path& file) {
    int count = 0;
    for (const QString& line : ui.eventLog())
        count += line.contains(QString::fromStdString(file.string())) ? 1 : 0;
    return count;
}

QVariantMap rowOf(const UiController& ui, int index) { return ui.measurements().at(index).toMap(); }

int runRowOf(const UiController& ui, const std::string& id) {
    const QVariantList rows = ui.analysisRuns();
    for (int i = 0; i < rows.size(); ++i)
        if (rows[i].toMap().value(QStringLiteral("id")).toString().toStdString() == id) return i;
    return -1;
}

void checkCase(const DamageFixture& fixture, Kind kind, Damage how) {
    QFile::remove(QSettings().fileName());
    QTemporaryDir copyRoot;
    const fs::path project = fsPath(copyRoot.filePath(QStringLiteral("project")));
    fs::copy(fsPath(fixture.path), project, fs::copy_options::recursive);
    const fs::path target = targetOf(kind, project, fixture.damagedRun);
    ASSERT_TRUE(damage(target, how));

    const Deadline deadline(how == Damage::Fifo ? target : fs::path(), std::chrono::seconds(120));
    UiController ui;
    configureTinyAnalysis(ui);
    const double frequency = ui.analysisFrequencyHz();
    ui.openProject(QString::fromStdString(project.string()));

    ASSERT_TRUE(ui.hasProject()) << ui.statusText().toStdString();
    if (kind == Kind::ProjectJson) {
        // Kept aside as it was, the list rebuilt from the folders in the order they were recorded; said once.
        std::vector<fs::path> aside;
        for (const fs::directory_entry& entry : fs::directory_iterator(project))
            if (entry.path().filename().string().starts_with("project.json.damaged-")) aside.push_back(entry);
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(fs::symlink_status(aside[0]).type(),
                  how == Damage::Fifo ? fs::file_type::fifo : fs::file_type::regular);
        int lines = 0;
        for (const QString& line : ui.eventLog())
            lines += line.contains(QStringLiteral("project.json could not be read (")) ? 1 : 0;
        EXPECT_EQ(lines, 1) << ui.eventLog().join('\n').toStdString();
        EXPECT_TRUE(eventLogHas(ui, QString::fromStdString("kept as " + aside[0].filename().string())));
        ui.openProject(QString::fromStdString(project.string()));
        EXPECT_EQ(ui.statusText(), QStringLiteral("Project opened: project · 3 Measurements"));
    }
    ASSERT_EQ(rowIds(ui), (QStringList{"m_3", "m_2", "m_1"})) << ui.statusText().toStdString();
    EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_3"));

    // The undamaged Measurements select; m_2 selects unless its own manifest or profile is damaged.
    ui.selectMeasurement(2);
    EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_1"));
    ui.selectMeasurement(1);
    const bool m2Usable = kind != Kind::Manifest && kind != Kind::DeviceProfile;
    EXPECT_EQ(ui.selectedMeasurementId(), m2Usable ? QStringLiteral("m_2") : QStringLiteral("m_1"));
    EXPECT_EQ(rowOf(ui, 1).value(QStringLiteral("valid")).toBool(), m2Usable);
    EXPECT_TRUE(rowOf(ui, 0).value(QStringLiteral("valid")).toBool());
    EXPECT_TRUE(rowOf(ui, 2).value(QStringLiteral("valid")).toBool());
    if (!m2Usable) {
        const QString reason = rowOf(ui, 1).value(QStringLiteral("error")).toString();
        EXPECT_TRUE(
            reason.startsWith(QString::fromStdString(target.filename().string()) + QStringLiteral(": ")))
            << reason.toStdString();
        EXPECT_DOUBLE_EQ(ui.analysisFrequencyHz(), frequency)
            << "a Measurement that failed changes no setting";
        ui.selectMeasurement(1);
        EXPECT_EQ(ui.selectedMeasurementId(), QStringLiteral("m_1")) << "an invalid row cannot be selected";
        EXPECT_EQ(linesNaming(ui, target), 1) << ui.eventLog().join('\n').toStdString();
    }

    if (kind == Kind::AnalysisJson) {
        const int damagedRow = runRowOf(ui, fixture.damagedRun);
        // A named pipe too is listed with its reason rather than vanishing.
        ASSERT_GE(damagedRow, 0);
        const QVariantMap run = ui.analysisRuns().at(damagedRow).toMap();
        EXPECT_FALSE(run.value(QStringLiteral("valid")).toBool());
        EXPECT_TRUE(
            run.value(QStringLiteral("error")).toString().startsWith(QStringLiteral("analysis.json: ")));
        EXPECT_EQ(rowOf(ui, 1).value(QStringLiteral("analyses")).toList().size(), 2);
        EXPECT_EQ(ui.selectedAnalysisId().toStdString(), fixture.otherRun) << "the newest readable run";
        ui.selectAnalysisRun(damagedRow);
        EXPECT_EQ(ui.selectedAnalysisId().toStdString(), fixture.otherRun);
        ui.openAnalysisRun(QStringLiteral("m_2"), QString::fromStdString(fixture.damagedRun));
        EXPECT_TRUE(ui.statusText().startsWith(QStringLiteral("Open AnalysisRun result failed: ")));
        ui.selectMeasurement(2);
        ui.selectMeasurement(1);
        EXPECT_EQ(linesNaming(ui, target), 1) << ui.eventLog().join('\n').toStdString();
    }
    if (kind == Kind::MapBin) {
        EXPECT_TRUE(eventLogHas(ui, QStringLiteral("Open AnalysisRun result failed: ")))
            << ui.eventLog().join('\n').toStdString();
        EXPECT_FALSE(ui.hasSelectedAnalysis());
        ui.selectAnalysisRun(runRowOf(ui, fixture.otherRun));
        EXPECT_EQ(ui.selectedAnalysisId().toStdString(), fixture.otherRun);
        EXPECT_TRUE(ui.hasHeatmap());
    }
    if (kind == Kind::NoiseJson || kind == Kind::NoiseBin) {
        EXPECT_TRUE(eventLogHas(ui, QStringLiteral("Noise floor load failed: ")))
            << ui.eventLog().join('\n').toStdString();
        EXPECT_EQ(ui.noiseProfileInfo(), QStringLiteral("Not calibrated"));
    }

    // Recompute, save and export on a usable Measurement; m_2's cache is used unless it was damaged.
    ui.selectMeasurement(m2Usable ? 1 : 2);
    ASSERT_TRUE(runAnalysis(ui, std::chrono::seconds(60))) << ui.analysisStatus().toStdString();
    ui.savePendingAnalysis();
    const QString saved = ui.selectedAnalysisId();
    ASSERT_TRUE(ui.statusText() == QStringLiteral("AnalysisRun saved: ") + saved)
        << ui.statusText().toStdString();
    const bool cacheDamaged = kind == Kind::CacheBin || kind == Kind::CacheJson;
    EXPECT_EQ(
        ui.analysisRuns().at(ui.selectedAnalysisIndex()).toMap().value(QStringLiteral("mode")).toString(),
        cacheDamaged ? QStringLiteral("full") : QStringLiteral("fast"))
        << "a damaged cache entry is a miss, an intact one a hit";
    EXPECT_EQ(rowOf(ui, ui.selectedMeasurementIndex())
                  .value(QStringLiteral("analyses"))
                  .toList()
                  .front()
                  .toMap()
                  .value(QStringLiteral("id")),
              saved);
    ui.exportSelectedAnalysis();
    EXPECT_TRUE(ui.statusText().startsWith(QStringLiteral("Exported map.csv + export.json to ")))
        << ui.statusText().toStdString();
    EXPECT_TRUE(fs::is_regular_file(project / "exports" / saved.toStdString() / "export.json"));
    EXPECT_FALSE(deadline.releasedReader()) << "a reader waited on the named pipe";
}

using ProjectDamage = ControllerSettingsTest;

// The rebuilt list cannot be written (a read-only folder): the Project opens from its folders and says
// so; once the folder is writable again the next open repairs it.
TEST_F(ProjectDamage, ADamagedProjectOnReadOnlyMediaOpensFromItsFoldersAndIsRepairedLater) {
    StoredProject project(2);
    writeAll(fsPath(project.path()) / "project.json", "{");
    UiController ui;
    {
        const WithoutPermissionOverride asUser;
        if (!makeReadOnly(project.path())) GTEST_SKIP() << "the folder cannot be made read-only here";
        ui.openProject(project.path());
        makeWritable(project.path());
    }
    EXPECT_EQ(rowIds(ui), (QStringList{QStringLiteral("m_2"), QStringLiteral("m_1")}));
    EXPECT_TRUE(
        eventLogHas(ui, QStringLiteral("project.json could not be read (expected string): the "
                                       "Measurement list was rebuilt from 2 Measurement folders but "
                                       "could not be saved (cannot write project.json")))
        << ui.eventLog().join('\n').toStdString();
    ui.openProject(project.path());
    EXPECT_TRUE(eventLogHas(ui, QStringLiteral("kept as project.json.damaged-")));
    EXPECT_EQ(core::loadProject(fsPath(project.path())).measurements,
              (std::vector<std::string>{"m_1", "m_2"}));
}

// One table of cases in one process: the Project is recorded and recomputed once, then copied.
TEST_F(ProjectDamage, EveryFileEveryDamageOpensAndKeepsEveryOtherItemUsable) {
    const DamageFixture fixture;
    for (const Kind kind :
         {Kind::ProjectJson, Kind::Manifest, Kind::AnalysisJson, Kind::MapBin, Kind::DeviceProfile,
          Kind::CacheBin, Kind::CacheJson, Kind::NoiseJson, Kind::NoiseBin}) {
        for (const Damage how : {Damage::Empty, Damage::Half, Damage::Flipped, Damage::Garbage, Damage::Fifo,
                                 Damage::Sparse, Damage::Large}) {
            SCOPED_TRACE(std::string(nameOf(kind)) + " " + nameOf(how));
            checkCase(fixture, kind, how);
        }
    }
}

}  // namespace
}  // namespace zk::app::test
