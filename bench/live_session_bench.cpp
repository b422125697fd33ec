// A whole live session through the UiController, fed at the array's full rate over UDP: the shipped
// 128-microphone profile (48 kHz, 128 frames per 32768-byte datagram, 375 datagrams per second) on
// 127.0.0.1:6666 for 30 s, with the controller's own threads, engine, painter and queued signals.
//
// The sender repeats 224 datagrams of silence and 56 of a plane wave from (12, -8) degrees (tones on the
// bins 80 to 92 of 1024 around the 4 kHz third-octave band), so every onset is aligned to a hop of the
// engine. Latency of one onset: from the moment its first datagram left the sender to the first
// heatmapUpdated whose peak level rose 6 dB above the last map before it; taken at the emission on the
// map thread (emitMs) and where QML gets it, on the GUI thread (guiMs).
//
// Counters: maps delivered per second on the GUI thread, frames dropped from the DSP and diagnostics
// queues (from the metrics line; 0 frames means 0 blocks), process CPU time over wall time in cores
// (the in-process sender included), and latency p50 / p95.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <numbers>
#include <random>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "app/ui_controller.h"
#include "beamforming_settings_peer.h"
#include "controller_bench_main.h"
#include "core/storage/device_profile.h"
#include "core/streaming/udp_source.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kRunTime = 30s;
constexpr std::size_t kSilentDatagrams = 224;
constexpr std::size_t kLoudDatagrams = 56;

const char* kProfile = ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json";

// One period (1024 frames) of a plane wave from the camera direction (h, v) in wire order, as
// little-endian datagrams: tones on bins of the 1024-point frame repeat exactly after it.
std::vector<std::vector<std::uint8_t>> planeWaveDatagrams(const zk::core::DeviceProfile& profile, double h,
                                                          double v) {
    const double tx = std::tan(h * std::numbers::pi / 180.0);
    const double ty = std::tan(v * std::numbers::pi / 180.0);
    const double n = std::sqrt(1.0 + tx * tx + ty * ty);
    const std::size_t wires = profile.wireChannelCount;
    const std::size_t perDatagram = profile.udp->samplesPerDatagram;
    const double fs = profile.sampleRateHz;
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * std::numbers::pi);
    std::vector<double> phases;
    for (int k = 80; k <= 92; ++k) phases.push_back(phase(rng));
    std::vector<std::int16_t> wire(1024 * wires, 0);
    for (std::size_t m = 0; m < profile.microphones.size(); ++m) {
        const auto& mic = profile.microphones[m];
        const double delay = -(tx * mic.x + ty * mic.y + mic.z) / n / 343.0;
        for (std::size_t f = 0; f < 1024; ++f) {
            double value = 0.0;
            for (int k = 80; k <= 92; ++k) {
                value += 800.0 * std::sin(2.0 * std::numbers::pi * (k * fs / 1024.0) *
                                              (static_cast<double>(f) / fs - delay) +
                                          phases[static_cast<std::size_t>(k - 80)]);
            }
            wire[f * wires + profile.logicalToWire[m]] = static_cast<std::int16_t>(std::lround(value));
        }
    }
    std::vector<std::vector<std::uint8_t>> datagrams;
    for (std::size_t first = 0; first < 1024; first += perDatagram) {
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = first * wires; i < (first + perDatagram) * wires; ++i) {
            const auto u = static_cast<std::uint16_t>(wire[i]);
            bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(u >> 8));
        }
        datagrams.push_back(std::move(bytes));
    }
    return datagrams;
}

// A loopback socket to the array's port, and a thread that calls `step(k)` for datagram k at the
// array's pace from its start until stop().
class PacedSender {
  public:
    PacedSender() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        to_.sin_family = AF_INET;
        to_.sin_port = htons(6666);
        to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~PacedSender() {
        stop();
        ::close(fd_);
    }
    PacedSender(const PacedSender&) = delete;
    PacedSender& operator=(const PacedSender&) = delete;

    bool send(const std::vector<std::uint8_t>& d) {
        return ::sendto(fd_, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&to_), sizeof to_) ==
               static_cast<ssize_t>(d.size());
    }
    template <typename Step>
    void start(std::chrono::duration<double> interval, Step step) {
        sending_.store(true);
        thread_ = std::thread([this, interval, step]() mutable {
            const Clock::time_point start = Clock::now();
            for (std::size_t k = 0; sending_.load(); ++k) {
                std::this_thread::sleep_until(
                    start + std::chrono::duration_cast<Clock::duration>(interval * static_cast<double>(k)));
                step(k);
            }
        });
    }
    void stop() {
        sending_.store(false);
        if (thread_.joinable()) thread_.join();
    }

  private:
    int fd_;
    sockaddr_in to_{};
    std::atomic<bool> sending_{false};  // set by start, cleared by stop; read by the sending thread
    std::thread thread_;
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct MapMark {
    Clock::time_point at;
    double levelDb;
};

// Latency of each onset: the first map after it whose level rose 6 dB over the last map before it.
std::vector<double> onsetLatenciesMs(const std::vector<Clock::time_point>& onsets,
                                     const std::vector<MapMark>& maps) {
    std::vector<double> latencies;
    for (const Clock::time_point onset : onsets) {
        double before = -1e9;
        for (const MapMark& m : maps) {
            if (m.at < onset) {
                before = m.levelDb;
                continue;
            }
            if (m.levelDb > before + 6.0) {
                latencies.push_back(std::chrono::duration<double, std::milli>(m.at - onset).count());
                break;
            }
        }
    }
    return latencies;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

double metricsCount(const QString& line, const QString& pattern) {
    const QRegularExpressionMatch match = QRegularExpression(pattern).match(line);
    return match.hasMatch() ? match.captured(1).toDouble() : -1.0;
}

void BM_LiveSessionFromUdp(benchmark::State& state) {
    const auto algorithm = static_cast<int>(state.range(0));
    const zk::core::DeviceProfile profile = zk::core::loadDeviceProfile(kProfile);
    const auto loud = planeWaveDatagrams(profile, 12.0, -8.0);
    const std::vector<std::uint8_t> silent(profile.udp->datagramBytes, 0);
    const std::chrono::duration<double> interval(static_cast<double>(profile.udp->samplesPerDatagram) /
                                                 profile.sampleRateHz);

    for (auto _ : state) {
        zk::app::UiController ui;
        ui.importProfile(QString::fromLatin1(kProfile));
        ui.setSource(QStringLiteral("UDP"));
        ui.setFrequency(4000.0);
        ui.setFrequencyBandMode(QStringLiteral("1/3 octave"));
        ui.setAlgorithm(algorithm == 3 ? QStringLiteral("03 MVDR / Capon")
                                       : QStringLiteral("01 DAS / Conventional"));

        std::mutex marksMutex;  // guards emitted; the map thread appends, this thread reads after stop
        std::vector<MapMark> emitted;
        std::vector<MapMark> delivered;  // GUI thread only
        QObject::connect(&ui, &zk::app::UiController::heatmapUpdated, &ui, [&] {
            if (ui.hasHeatmap()) delivered.push_back({Clock::now(), ui.peakLevelDbfs()});
        });
        QObject::connect(
            &ui, &zk::app::UiController::heatmapUpdated, &ui,
            [&] {
                if (!ui.hasHeatmap()) return;
                const MapMark mark{Clock::now(), ui.peakLevelDbfs()};
                std::lock_guard lock(marksMutex);
                emitted.push_back(mark);
            },
            Qt::DirectConnection);

        ui.startLive();
        if (ui.sessionState() != QStringLiteral("Running")) {
            state.SkipWithError(ui.statusText().toStdString().c_str());
            return;
        }

        std::vector<Clock::time_point> onsets;  // the sender's until it is stopped
        PacedSender sender;
        sender.start(interval, [&](std::size_t k) {
            const std::size_t phase = k % (kSilentDatagrams + kLoudDatagrams);
            const std::vector<std::uint8_t>& d =
                phase < kSilentDatagrams ? silent : loud[phase % loud.size()];
            if (phase == kSilentDatagrams) onsets.push_back(Clock::now());
            sender.send(d);
        });

        const double cpu0 = cpuSeconds();
        const Clock::time_point wall0 = Clock::now();
        QEventLoop loop;
        QTimer::singleShot(kRunTime, &loop, &QEventLoop::quit);
        loop.exec();
        const double wallSeconds = std::chrono::duration<double>(Clock::now() - wall0).count();
        const double cores = (cpuSeconds() - cpu0) / wallSeconds;
        const QString metrics = ui.liveMetrics();
        sender.stop();
        ui.stopLive();
        QCoreApplication::processEvents();

        std::vector<MapMark> emittedCopy;
        {
            std::lock_guard lock(marksMutex);
            emittedCopy = emitted;
        }
        const std::vector<double> emitLatency = onsetLatenciesMs(onsets, emittedCopy);
        const std::vector<double> guiLatency = onsetLatenciesMs(onsets, delivered);
        state.counters["mapsPerS"] = static_cast<double>(delivered.size()) / wallSeconds;
        state.counters["dspDropFr"] = metricsCount(metrics, QStringLiteral("DSP q \\d+/\\d+ drop (\\d+) fr"));
        state.counters["diagDropFr"] = metricsCount(metrics, QStringLiteral("diag drop (\\d+) fr"));
        state.counters["dgrams"] = metricsCount(metrics, QStringLiteral("^UDP (\\d+) dgrams"));
        state.counters["cores"] = cores;
        state.counters["onsets"] = static_cast<double>(onsets.size());
        state.counters["found"] = static_cast<double>(guiLatency.size());
        state.counters["emitP50Ms"] = percentile(emitLatency, 0.50);
        state.counters["emitP95Ms"] = percentile(emitLatency, 0.95);
        state.counters["guiP50Ms"] = percentile(guiLatency, 0.50);
        state.counters["guiP95Ms"] = percentile(guiLatency, 0.95);
    }
}
BENCHMARK(BM_LiveSessionFromUdp)
    ->ArgName("algorithm")
    ->Arg(1)
    ->Arg(3)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// Resident memory in MiB: "VmRSS" now or "VmHWM", the peak since the last resetPeakResident.
double residentMib(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == key + ":") {
            double kib = 0.0;
            status >> kib;
            return kib / 1024.0;
        }
    }
    return -1.0;
}

void resetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The live road under 1x, 10x and 100x the array's datagram rate (375, 3750 and 37500 datagrams/s of
// 32768 bytes, from a thread of this process on 127.0.0.1:6666) for kOverloadRunTime with DAS: every
// datagram sent accounted for by a counter (a last datagram after the run brings the system's drop
// count), maps per second, DSP queue drops, resident memory at start, peak and end, CPU cores.
constexpr auto kOverloadRunTime = 15s;

void BM_LiveSessionOverload(benchmark::State& state) {
    const auto factor = static_cast<double>(state.range(0));
    const zk::core::DeviceProfile profile = zk::core::loadDeviceProfile(kProfile);
    const auto loud = planeWaveDatagrams(profile, 12.0, -8.0);
    const std::chrono::duration<double> interval(static_cast<double>(profile.udp->samplesPerDatagram) /
                                                 profile.sampleRateHz / factor);
    for (auto _ : state) {
        zk::app::UiController ui;
        zk::app::BeamformingSettingsTestPeer peer(ui);
        ui.importProfile(QString::fromLatin1(kProfile));
        ui.setSource(QStringLiteral("UDP"));
        ui.setFrequency(4000.0);
        ui.setFrequencyBandMode(QStringLiteral("1/3 octave"));
        ui.setAlgorithm(QStringLiteral("01 DAS / Conventional"));
        std::uint64_t delivered = 0;  // GUI thread only
        QObject::connect(&ui, &zk::app::UiController::heatmapUpdated, &ui,
                         [&] { delivered += ui.hasHeatmap(); });
        ui.startLive();
        if (ui.sessionState() != QStringLiteral("Running")) {
            state.SkipWithError(ui.statusText().toStdString().c_str());
            return;
        }
        QCoreApplication::processEvents();
        resetPeakResident();
        const double startMib = residentMib("VmRSS");

        std::atomic<std::uint64_t> sent{0};  // written by the sender, read after it is joined
        PacedSender sender;
        const auto sendOne = [&](std::size_t k) {
            if (sender.send(loud[k % loud.size()])) sent.fetch_add(1);
        };
        sender.start(interval, sendOne);

        const double cpu0 = cpuSeconds();
        const Clock::time_point wall0 = Clock::now();
        const std::uint64_t delivered0 = delivered;
        QEventLoop loop;
        QTimer::singleShot(kOverloadRunTime, &loop, &QEventLoop::quit);
        loop.exec();
        const double wallSeconds = std::chrono::duration<double>(Clock::now() - wall0).count();
        const double cores = (cpuSeconds() - cpu0) / wallSeconds;
        const std::uint64_t maps = delivered - delivered0;
        sender.stop();
        QTimer::singleShot(500ms, &loop, &QEventLoop::quit);
        loop.exec();
        sendOne(0);
        QTimer::singleShot(800ms, &loop, &QEventLoop::quit);
        loop.exec();
        const zk::core::UdpReceiveStats udp = peer.udpSource()->statistics();
        const zk::app::BoundedBlockingQueue::Statistics dsp = peer.liveSession().dspQueue.statistics();
        const double peakMib = residentMib("VmHWM");
        const double endMib = residentMib("VmRSS");
        ui.stopLive();
        QCoreApplication::processEvents();

        state.counters["sent"] = static_cast<double>(sent.load());
        state.counters["received"] = static_cast<double>(udp.datagramsReceived);
        state.counters["dropSocket"] = static_cast<double>(udp.datagramsDroppedBySocket);
        state.counters["dropBufFull"] = static_cast<double>(udp.datagramsDroppedBufferFull);
        state.counters["dropWrongSize"] = static_cast<double>(udp.datagramsDroppedWrongSize);
        state.counters["unaccounted"] =
            static_cast<double>(sent.load()) -
            static_cast<double>(udp.datagramsReceived + udp.datagramsDroppedBySocket);
        state.counters["dspDropBlocks"] = static_cast<double>(dsp.droppedBlocks);
        state.counters["mapsPerS"] = static_cast<double>(maps) / wallSeconds;
        state.counters["rssStartMiB"] = startMib;
        state.counters["rssPeakMiB"] = peakMib;
        state.counters["rssEndMiB"] = endMib;
        state.counters["cores"] = cores;
    }
}
BENCHMARK(BM_LiveSessionOverload)
    ->ArgName("rateX")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// The live view with the DSP thread slowed on purpose: before each block it takes, it waits until the
// acquisition has handed over `pace` blocks' worth of frames since the last one (pace 1 is the array's
// own rate, pace 4 a quarter of it). A steady plane wave from (12, -8) degrees at the array's rate for
// kSlowDspRunTime with DAS over the 4 kHz third-octave band. Counters: maps delivered per second on the
// GUI thread, blocks dropped from the DSP queue, the median peak level of the maps (dBFS), how far the
// lowest one falls below it (dB), and how many maps peak more than 2 degrees off the source.
constexpr auto kSlowDspRunTime = 15s;

void BM_LiveSessionSlowDsp(benchmark::State& state) {
    const auto pace = static_cast<std::uint64_t>(state.range(0));
    const zk::core::DeviceProfile profile = zk::core::loadDeviceProfile(kProfile);
    const auto loud = planeWaveDatagrams(profile, 12.0, -8.0);
    const std::chrono::duration<double> interval(static_cast<double>(profile.udp->samplesPerDatagram) /
                                                 profile.sampleRateHz);
    const std::uint64_t blockSamples = 256u * profile.wireChannelCount;
    for (auto _ : state) {
        std::uint64_t takenAt = 0;  // the DSP thread's: ingress when it took its last block
        zk::app::UiController ui;
        zk::app::BeamformingSettingsTestPeer peer(ui);
        ui.importProfile(QString::fromLatin1(kProfile));
        ui.setSource(QStringLiteral("UDP"));
        ui.setFrequency(4000.0);
        ui.setFrequencyBandMode(QStringLiteral("1/3 octave"));
        ui.setAlgorithm(QStringLiteral("01 DAS / Conventional"));
        zk::app::LiveSessionState& live = peer.liveSession();
        live.beforeDspBlock = [&](std::stop_token stop) {
            while (!stop.stop_requested() &&
                   live.counters.ingressSamples.load() < takenAt + pace * blockSamples) {
                std::this_thread::sleep_for(1ms);
            }
            takenAt = live.counters.ingressSamples.load();
        };
        struct Shown {
            double levelDb, azimuthDeg, elevationDeg;
        };
        std::vector<Shown> shown;  // GUI thread only
        QObject::connect(&ui, &zk::app::UiController::heatmapUpdated, &ui, [&] {
            if (ui.hasHeatmap()) shown.push_back({ui.peakLevelDbfs(), ui.peakAzimuth(), ui.peakElevation()});
        });
        ui.startLive();
        if (ui.sessionState() != QStringLiteral("Running")) {
            state.SkipWithError(ui.statusText().toStdString().c_str());
            return;
        }
        PacedSender sender;
        sender.start(interval, [&](std::size_t k) { sender.send(loud[k % loud.size()]); });
        // The first second settles the average; the maps after it are counted.
        QEventLoop loop;
        QTimer::singleShot(1s, &loop, &QEventLoop::quit);
        loop.exec();
        const std::size_t first = shown.size();
        const Clock::time_point wall0 = Clock::now();
        QTimer::singleShot(kSlowDspRunTime, &loop, &QEventLoop::quit);
        loop.exec();
        const double wallSeconds = std::chrono::duration<double>(Clock::now() - wall0).count();
        const std::vector<Shown> counted(shown.begin() + static_cast<std::ptrdiff_t>(first), shown.end());
        const zk::app::BoundedBlockingQueue::Statistics dsp = live.dspQueue.statistics();
        sender.stop();
        ui.stopLive();
        QCoreApplication::processEvents();

        std::vector<double> levels;
        double offSource = 0;
        for (const Shown& s : counted) {
            levels.push_back(s.levelDb);
            if (std::abs(s.azimuthDeg - 12.0) > 2.0 || std::abs(s.elevationDeg + 8.0) > 2.0) offSource += 1;
        }
        const double median = percentile(levels, 0.5);
        state.counters["mapsPerS"] = static_cast<double>(counted.size()) / wallSeconds;
        state.counters["dspDropBlocks"] = static_cast<double>(dsp.droppedBlocks);
        state.counters["medianDbfs"] = median;
        state.counters["lowestBelowDb"] =
            levels.empty() ? 0.0 : median - *std::min_element(levels.begin(), levels.end());
        state.counters["offSource"] = offSource;
    }
}
BENCHMARK(BM_LiveSessionSlowDsp)
    ->ArgName("pace")
    ->Arg(1)
    ->Arg(4)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return zk::bench::runControllerBenchmarks(argc, argv, "live-session"); }
