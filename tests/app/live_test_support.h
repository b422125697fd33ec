#pragma once

// Live-session helpers: a sender of the array's datagrams on 127.0.0.1, a watcher of the maps the
// controller hands to QML, the names of the process's threads and a probe of a UDP port.

#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QObject>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/pacing_clock.h"
#include "app/ui_controller.h"
#include "core/storage/device_profile.h"
#include "steering_test_model.h"

namespace zk::app::test {

using namespace std::chrono_literals;

inline constexpr std::uint16_t kArrayPort = 6666;

// Sanitizers slow the numeric path several times over; deadlines stretch with them.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
inline constexpr int kSlowdown = 10;
#else
inline constexpr int kSlowdown = 1;
#endif

// The profile of the live sessions: the shipped 128-microphone array, or under a sanitizer, where that
// array's numeric path runs tens of times slower than it streams, the 4-microphone one, which drives
// the same threads, queues and hand-offs.
inline const char* liveProfileFile() {
    return kSlowdown > 1 ? "small-4.device.json" : "TM27-128-H1.6.2.device.json";
}

// The names of the process's threads, from its task list.
inline std::vector<std::string> threadNames() {
    std::vector<std::string> names;
    DIR* tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr) return names;
    while (const dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        names.push_back(name);
    }
    ::closedir(tasks);
    return names;
}

// How many threads carry one of the live workers' names (or a name they passed on to threads they
// started themselves).
inline int liveWorkerThreads() {
    int count = 0;
    for (const std::string& name : threadNames()) {
        if (name == "zk-acquisition" || name == "zk-dsp" || name == "zk-live-map" || name == "zk-live-diag") {
            ++count;
        }
    }
    return count;
}

// Whether a UDP socket can bind the port on every address right now.
inline bool udpPortIsFree(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

// Whether a UDP socket of this process is bound to the port: the sockets of /proc/net/udp{,6} on that
// local port, matched by inode against this process's open descriptors. Other programs on the machine
// may use the port too; they do not count.
inline bool processHoldsUdpPort(std::uint16_t port) {
    std::vector<std::string> inodes;
    for (const char* table : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);  // header
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >>
                inode;
            const std::size_t colon = local.rfind(':');
            if (colon == std::string::npos) continue;
            if (std::stoul(local.substr(colon + 1), nullptr, 16) == port)
                inodes.push_back("socket:[" + inode + "]");
        }
    }
    DIR* fds = ::opendir("/proc/self/fd");
    if (fds == nullptr) return false;
    bool held = false;
    while (const dirent* entry = ::readdir(fds)) {
        char target[128] = {};
        const std::string path = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        for (const std::string& inode : inodes) held = held || inode == target;
    }
    ::closedir(fds);
    return held;
}

// Other sessions on a shared machine run their own tests on the array's port: wait until it is free.
inline bool waitForFreeUdpPort(std::uint16_t port) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!udpPortIsFree(port)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

// Starts a live session over UDP on the array's port. Other programs on a shared machine bind the port
// too, also between the wait for it and the start: a start that their socket refused is tried again
// once the port is free. `states`, when given, holds the state changes of the last try only.
inline void startLiveOnTheArrayPort(UiController& ui, QSignalSpy* states = nullptr) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    for (;;) {
        ASSERT_TRUE(waitForFreeUdpPort(kArrayPort)) << "UDP port 6666 stays held by another program";
        if (states) states->clear();
        ui.startLive();
        if (ui.sessionState() == QLatin1String("Running")) return;
        const bool refusedByAnother =
            ui.statusText().endsWith(QLatin1String("UDP bind failed")) && !processHoldsUdpPort(kArrayPort);
        ASSERT_TRUE(refusedByAnother && std::chrono::steady_clock::now() < deadline)
            << ui.sessionState().toStdString() << ": " << ui.statusText().toStdString();
    }
}

// Holds the port bound for as long as it lives, as another program would.
class PortBlocker {
  public:
    explicit PortBlocker(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~PortBlocker() {
        if (fd_ >= 0) ::close(fd_);
    }
    PortBlocker(const PortBlocker&) = delete;
    PortBlocker& operator=(const PortBlocker&) = delete;
    bool bound() const { return bound_; }

  private:
    int fd_;
    bool bound_ = false;
};

// Waits, running the event loop, until done() holds or the time is up; returns done().
// The limit is what an idle machine needs; a test run shares the machine with many others, so the
// deadline is five times that (a met condition returns at once). Speed is measured in the benchmarks.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    constexpr int kLoadMargin = 5;
    return QTest::qWaitFor(done, static_cast<int>(limit.count() * kSlowdown * kLoadMargin));
}

// A tone between the bins of a 1024-point frame from the source, and independent noise of the given rms
// on every microphone.
struct ToneInNoise {
    double frequencyHz = 4020.0;  // whole hertz unless periodFrames is given: a second holds whole periods
    double amplitude = 6500.0;
    double noiseRms = 1000.0;
    std::size_t periodFrames = 0;  // frames that repeat, whole datagrams and tone periods; 0: about a second
};

// Streams a far-field plane wave from (horizontalDeg, verticalDeg) in the profile's datagram layout
// to 127.0.0.1 at the array's own pace (one datagram per samplesPerDatagram / sampleRate seconds): a
// tone on every bin of a 1024-point frame across the third-octave band around centreHz and two bins
// beyond, so any part of the band peaks on the source, and 1024 frames repeat exactly and are built once;
// or an off-bin tone in noise, of which about a second repeats.
class PlaneWaveSender {
  public:
    PlaneWaveSender(const core::DeviceProfile& profile, double horizontalDeg, double verticalDeg,
                    double centreHz = 4000.0, std::uint16_t port = kArrayPort)
        : PlaneWaveSender(profile, port) {
        std::vector<double> tones;
        const double binHz = profile.sampleRateHz / 1024.0;
        const double edge = std::pow(2.0, 1.0 / 6.0);
        const long lowBin = std::lround(centreHz / edge / binHz) - 2;
        const long highBin = std::lround(centreHz * edge / binHz) + 2;
        for (long k = lowBin; k <= highBin; ++k) tones.push_back(static_cast<double>(k) * binHz);
        const double amplitude = 16000.0 / static_cast<double>(tones.size());  // never clips
        constexpr std::size_t kPeriodFrames = 1024;
        split(profile, core::testmodel::planeWaveSamples(mics_, horizontalDeg, verticalDeg, tones, amplitude,
                                                         profile.sampleRateHz, kPeriodFrames, 343.0));
    }
    PlaneWaveSender(const core::DeviceProfile& profile, double horizontalDeg, double verticalDeg,
                    const ToneInNoise& wave, std::uint16_t port = kArrayPort)
        : PlaneWaveSender(profile, port) {
        // Whole periods of the tone in whole datagrams, at least a second of them.
        const auto rate = static_cast<std::uint64_t>(profile.sampleRateHz);
        const std::uint64_t tonePeriod = rate / std::gcd(rate, static_cast<std::uint64_t>(wave.frequencyHz));
        const std::uint64_t unit = std::lcm(tonePeriod, std::uint64_t{profile.udp->samplesPerDatagram});
        const std::uint64_t frames =
            wave.periodFrames != 0 ? wave.periodFrames : (rate + unit - 1) / unit * unit;
        EXPECT_EQ(frames % profile.udp->samplesPerDatagram, 0u);
        std::vector<std::int16_t> logical =
            core::testmodel::planeWaveSamples(mics_, horizontalDeg, verticalDeg, {wave.frequencyHz},
                                              wave.amplitude, profile.sampleRateHz, frames, 343.0);
        std::mt19937 rng(29);
        std::normal_distribution<double> noise(0.0, wave.noiseRms);
        for (std::int16_t& v : logical) {
            v = static_cast<std::int16_t>(std::clamp(std::lround(v + noise(rng)), -32768L, 32767L));
        }
        split(profile, logical);
    }
    ~PlaneWaveSender() {
        stop();
        if (fd_ >= 0) ::close(fd_);
    }
    PlaneWaveSender(const PlaneWaveSender&) = delete;
    PlaneWaveSender& operator=(const PlaneWaveSender&) = delete;

    // Sends `factor` times the array's pace from the next start on.
    void setRateFactor(double factor) { interval_ /= factor; }
    // The next `count` datagrams go out `bytes` long, zeros, in place of whole ones, whose samples are lost.
    void sendWrongLength(std::size_t bytes, std::uint64_t count) {
        wrongBytes_.store(bytes);
        wrongLeft_.store(count);
    }
    // The datagrams of one period of the wave, in the order they go out.
    const std::vector<std::vector<std::uint8_t>>& datagrams() const { return datagrams_; }
    void start() {
        running_.store(true);
        thread_ = std::thread([this] { run(); });
    }
    void stop() {
        running_.store(false);
        if (thread_.joinable()) thread_.join();
    }
    // Stops sending until resume; the wave goes on where it left off.
    void pause() { paused_.store(true); }
    // Sends `count` datagrams as fast as the socket takes them, then the normal pace again.
    void resumeWithFlood(std::uint64_t count) {
        flood_.store(count);
        paused_.store(false);
    }
    std::uint64_t sent() const { return sent_.load(); }

  private:
    PlaneWaveSender(const core::DeviceProfile& profile, std::uint16_t port)
        : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        EXPECT_GE(fd_, 0);
        to_.sin_family = AF_INET;
        to_.sin_port = htons(port);
        to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        interval_ = std::chrono::duration<double>(static_cast<double>(profile.udp->samplesPerDatagram) /
                                                  profile.sampleRateHz);
        for (const auto& m : profile.microphones) mics_.push_back({m.x, m.y, m.z});
    }
    // Logical frames of the microphones into the profile's wire order, cut into its datagrams.
    void split(const core::DeviceProfile& profile, const std::vector<std::int16_t>& logical) {
        const std::size_t perDatagram = profile.udp->samplesPerDatagram;
        const std::size_t frames = logical.size() / mics_.size();
        const std::size_t wires = profile.wireChannelCount;
        std::vector<std::int16_t> wire(frames * wires, 0);
        for (std::size_t f = 0; f < frames; ++f) {
            for (std::size_t l = 0; l < mics_.size(); ++l) {
                wire[f * wires + profile.logicalToWire[l]] = logical[f * mics_.size() + l];
            }
        }
        for (std::size_t first = 0; first + perDatagram <= frames; first += perDatagram) {
            std::vector<std::uint8_t> bytes;
            for (std::size_t i = first * wires; i < (first + perDatagram) * wires; ++i) {
                const auto v = static_cast<std::uint16_t>(wire[i]);
                bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
                bytes.push_back(static_cast<std::uint8_t>(v >> 8));
            }
            datagrams_.push_back(std::move(bytes));
        }
    }
    void sendNext() {
        const auto& d = datagrams_[next_ % datagrams_.size()];
        if (wrongLeft_.load() > 0) {
            ++next_;
            wrongLeft_.fetch_sub(1);
            const std::vector<std::uint8_t> wrong(wrongBytes_.load(), 0);
            ::sendto(fd_, wrong.data(), wrong.size(), 0, reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
            return;
        }
        // A datagram the system refused (no buffer on a loaded machine) goes out again: an array
        // loses nothing before the wire, so a splice in what the program received would be its own.
        while (::sendto(fd_, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&to_), sizeof to_) !=
               static_cast<ssize_t>(d.size())) {
            if (!running_.load()) return;
            std::this_thread::sleep_for(1ms);
        }
        ++next_;
        sent_.fetch_add(1);
    }
    void run() {
        using Clock = std::chrono::steady_clock;
        Clock::time_point due = Clock::now();
        while (running_.load()) {
            if (paused_.load()) {
                std::this_thread::sleep_for(1ms);
                due = Clock::now();
                continue;
            }
            for (std::uint64_t n = flood_.exchange(0); n > 0 && running_.load(); --n) sendNext();
            sendNext();
            due += std::chrono::duration_cast<Clock::duration>(interval_);
            std::this_thread::sleep_until(due);
        }
    }

    int fd_;
    sockaddr_in to_{};
    std::chrono::duration<double> interval_{};
    std::vector<core::MicrophonePosition> mics_;
    std::vector<std::vector<std::uint8_t>> datagrams_;
    std::size_t next_ = 0;                     // sender thread only
    std::atomic<bool> running_{false};         // set by start, cleared by stop; read by the sender
    std::atomic<bool> paused_{false};          // set by pause, cleared by resume; read by the sender
    std::atomic<std::uint64_t> flood_{0};      // datagrams to send at once; taken by the sender
    std::atomic<std::uint64_t> sent_{0};       // written by the sender
    std::atomic<std::size_t> wrongBytes_{0};   // set by sendWrongLength; read by the sender
    std::atomic<std::uint64_t> wrongLeft_{0};  // set by sendWrongLength; counted down by the sender
    std::thread thread_;
};

// One heatmapUpdated as the GUI thread saw it.
struct MapEvent {
    bool hasHeatmap = false;
    QString source;
    double peakAzimuth = 0.0;
    double peakElevation = 0.0;
    int algorithmId = 0;
    quint64 parameterRevision = 0;
    double bandLowHz = 0.0;
    double bandHighHz = 0.0;
};

// Records every heatmapUpdated that reaches the GUI thread (the controller emits it on its map thread;
// the connection queues it to the controller's thread, as QML's does).
class MapWatcher {
  public:
    explicit MapWatcher(UiController& ui) : ui_(ui) {
        QObject::connect(&ui, &UiController::heatmapUpdated, &context_, [this] {
            events_.push_back({ui_.hasHeatmap(), ui_.mapSource(), ui_.peakAzimuth(), ui_.peakElevation(),
                               ui_.mapAlgorithmId(), ui_.mapParameterRevision(), ui_.effectiveBandLowHz(),
                               ui_.effectiveBandHighHz()});
        });
    }
    // Live maps seen so far.
    std::vector<MapEvent> liveMaps() const {
        std::vector<MapEvent> maps;
        for (const MapEvent& e : events_) {
            if (e.hasHeatmap && e.source == QLatin1String("live")) maps.push_back(e);
        }
        return maps;
    }
    std::size_t liveMapCount() const { return liveMaps().size(); }
    void clear() { events_.clear(); }

  private:
    UiController& ui_;
    QObject context_;  // lives on the GUI thread, so the connection is queued there
    std::vector<MapEvent> events_;
};

// One live map as its publisher saw it: level, peak and direction of exactly that map.
struct PublishedMap {
    double peakDbfs = 0.0;
    double peakAzimuth = 0.0;
    double peakElevation = 0.0;
};

// Records every live map on the thread that publishes it, the moment it is published, so no map is
// missed or read after a newer one replaced it. The record outlives this object in the connection, so a
// map thread still publishing after an early return of the test writes into it safely.
class PublishedMaps {
  public:
    explicit PublishedMaps(UiController& ui) {
        QObject::connect(
            &ui, &UiController::heatmapUpdated, &context_,
            [record = record_, &ui] {
                if (!ui.hasHeatmap() || ui.mapSource() != QLatin1String("live")) return;
                const PublishedMap map{ui.peakLevelDbfs(), ui.peakAzimuth(), ui.peakElevation()};
                const std::lock_guard lock(record->mutex);
                record->maps.push_back(map);
            },
            Qt::DirectConnection);
    }
    std::vector<PublishedMap> maps() const {
        const std::lock_guard lock(record_->mutex);
        return record_->maps;
    }
    std::size_t count() const {
        const std::lock_guard lock(record_->mutex);
        return record_->maps.size();
    }

  private:
    struct Record {
        std::mutex mutex;  // guards maps: the live map thread appends, the test thread reads
        std::vector<PublishedMap> maps;
    };
    std::shared_ptr<Record> record_ = std::make_shared<Record>();
    QObject context_;
};

// The mean level of maps [first, end) of a steady source: what its live maps settle on.
inline double meanPeakDbfs(const std::vector<PublishedMap>& maps, std::size_t first, std::size_t end) {
    double sum = 0.0;
    for (std::size_t i = first; i < end; ++i) sum += maps[i].peakDbfs;
    return sum / static_cast<double>(end - first);
}

// Every map from `first` on reads no more than 1 dB below the settled level and lies within 2 degrees of
// the source. A map of a restarted average that lacks bins reads tens of dB lower; one whose bins first
// reached by later hops start from 0 reads 2 to 3 dB lower; one of each bin's first frame, taken whole,
// reads the settled level within the spread of the noise.
inline void expectMapsOnTheSource(const std::vector<PublishedMap>& maps, std::size_t first,
                                  double settledDbfs, double horizontalDeg, double verticalDeg) {
    for (std::size_t i = first; i < maps.size(); ++i) {
        EXPECT_GE(maps[i].peakDbfs, settledDbfs - 1.0) << "map " << i << " of " << maps.size();
        EXPECT_LE(std::abs(maps[i].peakAzimuth - horizontalDeg), 2.0)
            << "map " << i << ": " << maps[i].peakAzimuth;
        EXPECT_LE(std::abs(maps[i].peakElevation - verticalDeg), 2.0)
            << "map " << i << ": " << maps[i].peakElevation;
    }
}

// The steady clock, keeping every deadline a paced stream waits for: the stream runs in real time, and
// its pace is read from the deadlines it computed, which no load on the machine moves.
class DeadlineRecorder : public PacingClock {
  public:
    void sleepUntil(Clock::time_point deadline) override {
        {
            std::lock_guard lock(mutex_);
            deadlines_.push_back(deadline);
        }
        PacingClock::sleepUntil(deadline);
    }
    std::vector<Clock::time_point> deadlines() const {
        std::lock_guard lock(mutex_);
        return deadlines_;
    }

  private:
    mutable std::mutex mutex_;  // guards deadlines_: the paced thread appends, the test thread reads
    std::vector<Clock::time_point> deadlines_;
};

// A clock that stands still until the test moves it, and counts how often it is read. The acquisition
// thread of a UDP session reads it once a pass, before it reads the receiver's counters: once the count
// has grown by two after something came, a whole pass has seen it and said what it had to.
class StandInClock : public PacingClock {
  public:
    Clock::time_point now() override {
        reads_.fetch_add(1);
        return Clock::time_point(Clock::duration(ticks_.load()));
    }
    // A paced source would run flat out on it; the UDP sessions it is made for never sleep on it.
    void sleepUntil(Clock::time_point) override {}
    void advance(Clock::duration by) { ticks_.fetch_add(by.count()); }
    std::uint64_t reads() const { return reads_.load(); }
    // Waits until the clock has been read `passes` more times; false if the session stopped reading it.
    bool waitForPasses(int passes = 2) const {
        const std::uint64_t target = reads() + static_cast<std::uint64_t>(passes);
        return QTest::qWaitFor([&] { return reads() >= target; }, 5000 * kSlowdown);
    }

  private:
    // The time: moved by the test, read by the acquisition thread.
    std::atomic<Clock::rep> ticks_{
        std::chrono::duration_cast<Clock::duration>(std::chrono::hours(1)).count()};
    std::atomic<std::uint64_t> reads_{0};  // by the acquisition thread, read by the test
};

inline bool logContains(const QStringList& lines, const QString& text) {
    for (const QString& line : lines) {
        if (line.endsWith(text)) return true;
    }
    return false;
}

}  // namespace zk::app::test
