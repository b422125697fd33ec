// UdpSource on loopback with the shipped 128-microphone profile (128 wire channels, 128 frames per
// datagram, 32768-byte datagrams; the array sends 375 of them per second at 48 kHz). Each case paces a
// sender thread at a multiple of that rate for 10 s while a reader drains with readFrames(256), as the
// acquisition thread does. The highest multiple with clean = 1 (every datagram sent was received and
// accepted, no receive error) is the figure. The socket asks for 16 MiB of receive buffer like the
// application; the system grants at most net.core.rmem_max, reported as rmemMaxKiB.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "core/storage/device_profile.h"
#include "core/streaming/udp_source.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr double kArrayDatagramsPerSecond = 375.0;
constexpr auto kRunTime = 10s;

double rmemMaxKiB() {
    std::ifstream in("/proc/sys/net/core/rmem_max");
    double bytes = 0.0;
    in >> bytes;
    return bytes / 1024.0;
}

// Sends `payload` to 127.0.0.1:port at datagramsPerSecond for kRunTime; returns how many went out.
std::uint64_t sendPaced(std::uint16_t port, const std::vector<std::uint8_t>& payload,
                        double datagramsPerSecond, std::uint64_t& sendErrors) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::chrono::duration<double> interval(1.0 / datagramsPerSecond);
    const Clock::time_point start = Clock::now();
    std::uint64_t sent = 0;
    for (std::uint64_t k = 0;; ++k) {
        const auto due =
            start + std::chrono::duration_cast<Clock::duration>(interval * static_cast<double>(k));
        if (due - start >= kRunTime) break;
        std::this_thread::sleep_until(due);  // late datagrams go out at once, in a short burst
        if (::sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to) == static_cast<ssize_t>(payload.size())) {
            ++sent;
        } else {
            ++sendErrors;
        }
    }
    ::close(fd);
    return sent;
}

void BM_UdpSourcePacedRate(benchmark::State& state) {
    const zk::core::DeviceProfile profile =
        zk::core::loadDeviceProfile(std::filesystem::path(ZK_PROFILES_DIR) / "TM27-128-H1.6.2.device.json");
    const std::uint32_t datagramBytes = profile.udp->datagramBytes;
    const std::uint64_t framesPerDatagram = profile.udp->samplesPerDatagram;
    const double multiple = static_cast<double>(state.range(0));
    std::vector<std::uint8_t> payload(datagramBytes);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 31);

    for (auto _ : state) {
        zk::core::UdpSource source(0, 16 << 20, 250);
        source.configure(profile);
        source.start();

        std::atomic<bool> stopped{false};  // set after stop; read by the reader
        std::uint64_t framesRead = 0;      // reader thread only until joined
        std::thread reader([&] {
            for (;;) {
                const std::vector<std::int16_t> frames = source.readFrames(256);
                if (frames.empty() && stopped) return;
                framesRead += frames.size() / profile.wireChannelCount;
            }
        });

        std::uint64_t sendErrors = 0;
        const std::uint64_t sent =
            sendPaced(source.boundPort(), payload, multiple * kArrayDatagramsPerSecond, sendErrors);
        const Clock::time_point settle = Clock::now() + 1s;
        while (source.statistics().datagramsReceived < sent && Clock::now() < settle) {
            std::this_thread::sleep_for(1ms);
        }
        source.stop();
        stopped = true;
        reader.join();

        const zk::core::UdpReceiveStats stats = source.statistics();
        const std::uint64_t accepted = framesRead / framesPerDatagram;
        const bool clean = accepted == sent && stats.receiveErrors == 0 &&
                           stats.datagramsDroppedWrongSize == 0 && sendErrors == 0;
        state.counters["multiple"] = multiple;
        state.counters["sentPerSecond"] =
            static_cast<double>(sent) / std::chrono::duration<double>(kRunTime).count();
        const std::uint64_t lost = sent - std::min(sent, accepted);
        state.counters["lost"] = static_cast<double>(lost);
        state.counters["lostPercent"] =
            sent ? 100.0 * static_cast<double>(lost) / static_cast<double>(sent) : 0.0;
        state.counters["receiveErrors"] = static_cast<double>(stats.receiveErrors);
        state.counters["sendErrors"] = static_cast<double>(sendErrors);
        state.counters["clean"] = clean ? 1.0 : 0.0;
        state.counters["rmemMaxKiB"] = rmemMaxKiB();
        state.SetBytesProcessed(static_cast<std::int64_t>(accepted * datagramBytes));
    }
}
BENCHMARK(BM_UdpSourcePacedRate)
    ->Arg(10)
    ->Arg(20)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
