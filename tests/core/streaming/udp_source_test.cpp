#include "core/streaming/udp_source.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "streaming/udp_test_support.h"
#include "test_support.h"

namespace zk::core {
namespace {

using namespace std::chrono_literals;
using zk::test::expectThrowExactly;
using zk::test::LoopbackSender;

constexpr std::int32_t kReceiveBuffer = 1 << 22;

DeviceProfile streamProfile(std::uint32_t wireChannels, std::optional<std::uint32_t> samplesPerDatagram) {
    DeviceProfile p;
    p.schemaVersion = 2;
    p.profileId = "udp-test";
    p.channelCount = p.wireChannelCount = wireChannels;
    p.sampleRateHz = 48000;
    for (std::uint32_t c = 0; c < wireChannels; ++c) {
        p.microphones.push_back({c, c, 0.01 * c, 0.0, 0.0});
        p.logicalToWire.push_back(c);
    }
    if (samplesPerDatagram) {
        p.udp = UdpStreamLayout{2,
                                *samplesPerDatagram,
                                wireChannels * 2 * *samplesPerDatagram,
                                "signed-int16",
                                "little-endian",
                                "sample-major"};
    }
    return p;
}

std::vector<std::uint8_t> littleEndianBytes(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> bytes;
    for (const std::int16_t s : samples) {
        bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(s) >> 8) & 0xFF));
    }
    return bytes;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

bool waitForDatagrams(const UdpSource& source, std::uint64_t count) {
    return waitUntil([&] { return source.statistics().datagramsReceived >= count; });
}

TEST(UdpSource, RefusesBadArguments) {
    for (const auto& [buffer, timeout] : {std::pair{0, 250}, std::pair{-1, 250}, std::pair{4096, 0}}) {
        expectThrowExactly<std::invalid_argument>([&] { UdpSource source(6666, buffer, timeout); },
                                                  "invalid UDP receive buffer or timeout");
    }
    // htons would turn 70000 into 4464 and bind that port without a word.
    for (const std::int32_t port : {-1, 65536, 70000}) {
        expectThrowExactly<std::invalid_argument>([&] { UdpSource source(port, 4096, 250); },
                                                  "invalid UDP port");
    }
    UdpSource highest(65535, 4096, 250);
    EXPECT_EQ(highest.kind(), SourceKind::Udp);
}

TEST(UdpSource, LifecycleRules) {
    UdpSource source(0, kReceiveBuffer, 250);
    expectThrowExactly<std::logic_error>([&] { source.start(); }, "UDP source requires a configured profile");
    source.stop();  // never started: nothing to do
    EXPECT_TRUE(source.readFrames(16).empty());

    source.configure(streamProfile(2, std::nullopt));
    source.start();
    const std::uint16_t port = source.boundPort();
    EXPECT_NE(port, 0);
    source.start();  // already running: the same socket stays
    EXPECT_EQ(source.boundPort(), port);
    expectThrowExactly<std::logic_error>([&] { source.configure(streamProfile(2, std::nullopt)); },
                                         "cannot configure UDP source while running");
    LoopbackSender(port).send(littleEndianBytes({1, 2, 3, 4}));
    ASSERT_TRUE(waitForDatagrams(source, 1));
    source.stop();
    source.stop();
    EXPECT_EQ(source.boundPort(), 0);

    // A restart binds again and keeps what was buffered.
    source.start();
    EXPECT_NE(source.boundPort(), 0);
    LoopbackSender(source.boundPort()).send(littleEndianBytes({5, 6}));
    ASSERT_TRUE(waitForDatagrams(source, 2));
    EXPECT_EQ(source.readFrames(8), (std::vector<std::int16_t>{1, 2, 3, 4, 5, 6}));
    source.stop();

    source.configure(streamProfile(2, std::nullopt));  // allowed once stopped; the buffer starts empty
    EXPECT_TRUE(source.readFrames(8).empty());
}

TEST(UdpSource, WrongSizeDatagramsAreCountedAndDropped) {
    UdpSource source(0, kReceiveBuffer, 250);
    source.configure(streamProfile(8, 32));  // datagramBytes 512
    source.start();
    LoopbackSender sender(source.boundPort());
    std::vector<std::int16_t> good(8 * 32);
    for (std::size_t i = 0; i < good.size(); ++i) good[i] = static_cast<std::int16_t>(i * 97 - 9000);
    std::vector<std::int16_t> next(good.rbegin(), good.rend());
    // Before the first sample a wrong length breaks nothing; between two whole datagrams it stands in for
    // one, and the read after it is marked like any other gap. An empty datagram carries nothing.
    sender.send(std::vector<std::uint8_t>(511, 0x11));
    sender.send(littleEndianBytes(good));
    sender.send(std::vector<std::uint8_t>(513, 0x22));
    sender.send({});
    sender.send(littleEndianBytes(next));
    ASSERT_TRUE(waitForDatagrams(source, 4));

    const UdpRead first = source.readBlock(100);
    EXPECT_EQ(first.samples, good);
    EXPECT_FALSE(first.gapBefore);
    const UdpRead second = source.readBlock(100);
    EXPECT_EQ(second.samples, next);
    EXPECT_TRUE(second.gapBefore);
    const UdpReceiveStats stats = source.statistics();
    EXPECT_EQ(stats.datagramsReceived, 4u);
    EXPECT_EQ(stats.emptyDatagrams, 1u);
    EXPECT_EQ(stats.datagramsDroppedWrongSize, 2u);
    EXPECT_EQ(stats.bytesReceived, 511u + 513u + 2u * 512u);
    EXPECT_EQ(stats.receiveErrors, 0u);
    EXPECT_EQ(stats.bufferedFrames, 0u);
}

// One datagram a sender sends: a whole one of the layout, or one of `bytes` bytes.
struct SentDatagram {
    int from;           // 0: the array's socket on 127.0.0.1; 1: a sender on 127.0.0.2; 2: on 127.0.0.3
    std::size_t bytes;  // 0: a whole datagram (512 bytes), numbered in sending order
};

struct SenderCase {
    const char* name;
    std::vector<SentDatagram> sent;
    std::vector<bool> gapBefore;  // of each whole datagram, as the reads hand them over
    std::uint64_t strays;
};

void PrintTo(const SenderCase& c, std::ostream* out) { *out << c.name; }

class UdpSenders : public ::testing::TestWithParam<SenderCase> {};

// A datagram of the wrong length from an address that has sent no whole datagram cannot stand in for
// one of the stream: it is counted and dropped, and the samples on either side of it join without a
// gap. From an address whose whole datagrams are in the stream, it breaks the stream as before.
TEST_P(UdpSenders, AWrongLengthBreaksTheStreamOnlyFromASenderOfWholeDatagrams) {
    const SenderCase& c = GetParam();
    UdpSource source(0, kReceiveBuffer, 250);
    source.configure(streamProfile(8, 32));  // datagramBytes 512, 32 frames
    source.start();
    const LoopbackSender senders[] = {LoopbackSender(source.boundPort(), 0x7F000001),
                                      LoopbackSender(source.boundPort(), 0x7F000002),
                                      LoopbackSender(source.boundPort(), 0x7F000003)};
    std::vector<std::vector<std::int16_t>> whole;
    std::uint64_t wrongBytes = 0;
    int lastStrayFrom = -1;  // the last wrong length from another socket than the array's
    for (const SentDatagram& d : c.sent) {
        if (d.bytes == 0) {
            std::vector<std::int16_t> samples(8 * 32);
            for (std::size_t i = 0; i < samples.size(); ++i)
                samples[i] = static_cast<std::int16_t>(whole.size() * 1000 + i);
            senders[d.from].send(littleEndianBytes(samples));
            whole.push_back(std::move(samples));
        } else {
            senders[d.from].send(std::vector<std::uint8_t>(d.bytes, 0x5A));
            wrongBytes += d.bytes;
            if (d.from != 0) lastStrayFrom = d.from;
        }
    }
    ASSERT_TRUE(waitForDatagrams(source, c.sent.size()));

    ASSERT_EQ(whole.size(), c.gapBefore.size());
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const UdpRead read = source.readBlock(32);
        EXPECT_EQ(read.samples, whole[i]) << "whole datagram " << i;
        EXPECT_EQ(read.gapBefore, c.gapBefore[i]) << "whole datagram " << i;
    }
    const UdpReceiveStats stats = source.statistics();
    EXPECT_EQ(stats.datagramsDroppedWrongSize, c.sent.size() - whole.size());
    EXPECT_EQ(stats.strayDatagrams, c.strays);
    EXPECT_EQ(stats.bytesReceived, whole.size() * 512 + wrongBytes);
    if (c.strays > 0) {
        ASSERT_GE(lastStrayFrom, 1);
        const auto [address, port] = senders[lastStrayFrom].source();
        EXPECT_EQ(stats.lastStraySender, (DatagramSender{address, port}));
        EXPECT_EQ(senderText(stats.lastStraySender),
                  "127.0.0." + std::to_string(lastStrayFrom + 1) + ":" + std::to_string(port));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Senders, UdpSenders,
    ::testing::Values(
        SenderCase{"StraysBetweenWholeOnes",
                   {{0, 0}, {1, 100}, {0, 0}, {1, 513}, {1, 511}, {0, 0}},
                   {false, false, false},
                   3},
        SenderCase{
            "WrongLengthFromTheArray", {{0, 0}, {0, 100}, {0, 0}, {1, 100}, {0, 0}}, {false, true, false}, 1},
        // Nothing tells the array apart yet: the datagram counts as its own, with nothing to break.
        SenderCase{"BeforeTheFirstWholeOne", {{1, 100}, {0, 0}, {1, 100}, {0, 0}}, {false, false}, 1},
        // Its samples are in the stream, so it may be the array (or part of what the port receives).
        SenderCase{"ASecondSenderOfWholeOnes",
                   {{0, 0}, {1, 0}, {1, 100}, {0, 0}, {2, 100}, {0, 0}},
                   {false, false, true, false},
                   1}),
    [](const ::testing::TestParamInfo<SenderCase>& info) { return std::string(info.param.name); });

TEST(UdpSource, OddBytesRunOnAcrossDatagramsWithoutALayout) {
    UdpSource source(0, kReceiveBuffer, 250);
    source.configure(streamProfile(2, std::nullopt));
    source.start();
    const std::vector<std::int16_t> samples{0x0102, -2, 0x7FFF, -32768, 0x1234, 5, -300, 77};
    const std::vector<std::uint8_t> bytes = littleEndianBytes(samples);
    LoopbackSender sender(source.boundPort());
    sender.send({bytes.begin(), bytes.begin() + 3});
    sender.send({bytes.begin() + 3, bytes.end()});
    ASSERT_TRUE(waitForDatagrams(source, 2));
    EXPECT_EQ(source.statistics().bufferedFrames, 4u);
    EXPECT_EQ(source.readFrames(10), samples);
}

TEST(UdpSource, ReadTakesWhatIsAskedAndAStoppedSourceHandsOverTheRestAtOnce) {
    // A long timeout: any wait it does not need to make would show.
    UdpSource source(0, kReceiveBuffer, 60'000);
    source.configure(streamProfile(2, std::nullopt));
    source.start();
    std::vector<std::int16_t> samples(2 * 300);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i);
    const std::vector<std::uint8_t> bytes = littleEndianBytes(samples);
    LoopbackSender sender(source.boundPort());
    for (std::size_t part = 0; part < 3; ++part)
        sender.send({bytes.begin() + part * 400, bytes.begin() + part * 400 + 400});
    ASSERT_TRUE(waitUntil([&] { return source.statistics().bufferedFrames == 300; }));

    const std::vector<std::int16_t> first = source.readFrames(256);
    EXPECT_EQ(first, std::vector<std::int16_t>(samples.begin(), samples.begin() + 512));
    EXPECT_EQ(source.statistics().bufferedFrames, 44u);

    source.stop();
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(source.readFrames(256), std::vector<std::int16_t>(samples.begin() + 512, samples.end()));
    EXPECT_TRUE(source.readFrames(256).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - before, 30s);
}

TEST(UdpSource, StopWakesABlockedReader) {
    UdpSource source(0, kReceiveBuffer, 60'000);
    source.configure(streamProfile(2, std::nullopt));
    source.start();
    std::atomic<bool> returned{false};  // set by the reader thread once readFrames is back
    std::thread reader([&] {
        EXPECT_TRUE(source.readFrames(256).empty());
        returned = true;
    });
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(returned);
    const auto before = std::chrono::steady_clock::now();
    source.stop();
    reader.join();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 30s);
}

std::size_t openDescriptorCount() {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                  std::filesystem::directory_iterator()));
}

TEST(UdpSource, BindingABusyPortFailsAndLeavesNothingOpen) {
    UdpSource holder(0, kReceiveBuffer, 250);
    holder.configure(streamProfile(2, std::nullopt));
    holder.start();
    UdpSource second(holder.boundPort(), kReceiveBuffer, 250);
    second.configure(streamProfile(2, std::nullopt));
    const std::size_t descriptors = openDescriptorCount();
    expectThrowExactly<std::runtime_error>([&] { second.start(); }, "UDP bind failed");
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_EQ(second.boundPort(), 0);
    second.stop();
}

std::atomic<int> signalsCaught{0};  // written by the signal handler, read by the test thread
static_assert(std::atomic<int>::is_always_lock_free);

void countSignal(int) { signalsCaught.fetch_add(1, std::memory_order_relaxed); }

// Interrupts every other thread of the process, the receive thread among them.
void signalOtherThreads(int signal) {
    const auto self = static_cast<pid_t>(::syscall(SYS_gettid));
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        const auto tid = static_cast<pid_t>(std::stol(task.path().filename().string()));
        if (tid != self) ::syscall(SYS_tgkill, ::getpid(), tid, signal);
    }
}

TEST(UdpSource, SignalsDoNotEndReception) {
    struct sigaction action {};
    action.sa_handler = countSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: waits and receives return EINTR
    ASSERT_EQ(::sigaction(SIGUSR1, &action, nullptr), 0);

    UdpSource source(0, kReceiveBuffer, 250);
    source.configure(streamProfile(2, std::nullopt));
    source.start();
    LoopbackSender sender(source.boundPort());
    sender.send(littleEndianBytes({1, 2}));
    ASSERT_TRUE(waitForDatagrams(source, 1));
    signalsCaught = 0;
    for (int i = 0; i < 300; ++i) {
        signalOtherThreads(SIGUSR1);
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_GT(signalsCaught.load(), 0);
    sender.send(littleEndianBytes({3, 4}));
    EXPECT_TRUE(waitForDatagrams(source, 2));
    EXPECT_EQ(source.statistics().receiveErrors, 0u);
    source.stop();
    // The counting handler stays: a signal still pending on some thread would kill the process under the
    // default action.
}

TEST(UdpSource, FailureThatEndsReceptionIsCounted) {
    UdpSource source(0, kReceiveBuffer, 250);
    source.configure(streamProfile(2, std::nullopt));
    source.start();
    EXPECT_FALSE(source.receiveStopReason());
    const int fd = zk::test::socketBoundTo(source.boundPort());
    ASSERT_GE(fd, 0);
    // Pull the socket from under the receive thread: its next wait cannot succeed, ever.
    ::close(fd);
    EXPECT_TRUE(waitUntil([&] { return source.statistics().receiveErrors > 0; }));
    std::this_thread::sleep_for(300ms);  // three waits' worth: an ended thread counts nothing more
    EXPECT_EQ(source.statistics().receiveErrors, 1u);
    EXPECT_EQ(source.receiveStopReason(),
              std::optional<std::string>("the socket can no longer be waited on"));

    // Give stop a descriptor of our own to close under the old number.
    const int placeholder = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(placeholder, 0);
    if (placeholder != fd) {
        ::dup2(placeholder, fd);
        ::close(placeholder);
    }
    source.stop();
}

// One datagram of the flood's layout (8 channels, 32 frames): every frame is value + channel.
std::vector<std::uint8_t> patternDatagram(std::int16_t value) {
    std::vector<std::int16_t> samples(8 * 32);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(value + i % 8);
    return littleEndianBytes(samples);
}

TEST(UdpSource, FloodKeepsTheCountsConsistent) {
    constexpr int kDatagrams = 100'000;
    UdpSource source(0, kReceiveBuffer, 250);
    source.configure(streamProfile(8, 32));
    source.start();

    std::atomic<bool> stopped{false};  // set by the test thread after stop; read by the reader
    std::uint64_t framesRead = 0;      // reader thread only until joined
    std::uint64_t badFrames = 0;
    std::thread reader([&] {
        std::int16_t blockValue = 0;
        for (;;) {
            const std::vector<std::int16_t> frames = source.readFrames(256);
            if (frames.empty() && stopped) return;
            for (std::size_t f = 0; f < frames.size() / 8; ++f, ++framesRead) {
                const std::int16_t* frame = frames.data() + 8 * f;
                if (framesRead % 32 == 0) blockValue = frame[0];
                for (int c = 0; c < 8; ++c)
                    badFrames += frame[c] != static_cast<std::int16_t>(blockValue + c);
            }
        }
    });

    const std::vector<std::size_t> wrongSizes{0, 1, 511, 513, 1024};
    std::thread sender([&] {
        LoopbackSender out(source.boundPort());
        for (int i = 0; i < kDatagrams; ++i) {
            if (i % 4 == 3) {
                out.send(std::vector<std::uint8_t>(wrongSizes[(i / 4) % wrongSizes.size()], 0xA5));
            } else {
                out.send(patternDatagram(static_cast<std::int16_t>(i % 30000)));
            }
        }
    });
    sender.join();
    // Let what loopback still holds come in: until the count stands still for 50 ms.
    std::uint64_t seen = 0;
    for (int i = 0; i < 40 && source.statistics().datagramsReceived != seen; ++i) {
        seen = source.statistics().datagramsReceived;
        std::this_thread::sleep_for(50ms);
    }
    source.stop();
    stopped = true;
    reader.join();

    const UdpReceiveStats stats = source.statistics();
    EXPECT_EQ(badFrames, 0u);
    EXPECT_EQ(framesRead % 32, 0u);
    const std::uint64_t accepted = framesRead / 32;
    RecordProperty("accepted", std::to_string(accepted));
    RecordProperty("droppedWrongSize", std::to_string(stats.datagramsDroppedWrongSize));
    EXPECT_EQ(stats.datagramsReceived,
              accepted + stats.datagramsDroppedWrongSize + stats.datagramsDroppedBufferFull);
    EXPECT_GT(accepted, 0u);
    EXPECT_GT(stats.datagramsDroppedWrongSize, 0u);
    EXPECT_LE(stats.datagramsDroppedWrongSize, kDatagrams / 4 * 4 / 5);  // the empty ones are not counted
    EXPECT_GE(stats.bytesReceived, accepted * 512 + stats.datagramsDroppedWrongSize);
    EXPECT_LE(stats.bytesReceived, accepted * 512 + stats.datagramsDroppedWrongSize * 1024);
    EXPECT_EQ(stats.receiveErrors, 0u);
    EXPECT_EQ(stats.bufferedFrames, 0u);
}

// A datagram of 8 channels and 32 frames whose frame f carries the stream index first + f on every channel.
std::vector<std::uint8_t> rampDatagram(std::int16_t first) {
    std::vector<std::int16_t> samples(8 * 32);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(first + i / 8);
    return littleEndianBytes(samples);
}

TEST(UdpSource, AStalledReaderCostsWholeDatagramsAndSeesOneGap) {
    UdpSource source(0, kReceiveBuffer, 250);
    DeviceProfile profile = streamProfile(8, 32);
    profile.sampleRateHz = 1000;  // two seconds are 2000 frames: 62 datagrams fit, the 63rd does not
    source.configure(profile);
    ASSERT_EQ(source.bufferCapacityFrames(), 2000u);
    source.start();
    LoopbackSender sender(source.boundPort());
    for (int d = 0; d < 100; ++d) sender.send(rampDatagram(static_cast<std::int16_t>(32 * d)));
    ASSERT_TRUE(waitForDatagrams(source, 100));
    UdpReceiveStats stats = source.statistics();
    EXPECT_EQ(stats.datagramsDroppedBufferFull, 38u);
    EXPECT_EQ(stats.bufferedFrames, 62u * 32);
    EXPECT_LE(source.reservedBufferBytes(), 2000u * 8 * 2);

    // The reader catches up: every frame before the drop comes, in order and unmarked, and not one more.
    std::uint64_t frames = 0;
    for (;;) {
        const UdpRead read = source.readBlock(256);
        EXPECT_FALSE(read.gapBefore);
        if (read.samples.empty()) break;
        for (std::size_t i = 0; i < read.samples.size(); ++i)
            ASSERT_EQ(read.samples[i], static_cast<std::int16_t>(frames + i / 8));
        frames += read.samples.size() / 8;
    }
    EXPECT_EQ(frames, 62u * 32);
    // The drained backlog's memory went back, all but room for four datagrams.
    EXPECT_LE(source.reservedBufferBytes(), 4u * 32 * 8 * 2);

    // The stream goes on: the next read is marked and starts at the first frame that was kept.
    sender.send(rampDatagram(32 * 100));
    ASSERT_TRUE(waitForDatagrams(source, 101));
    const UdpRead after = source.readBlock(32);
    EXPECT_TRUE(after.gapBefore);
    ASSERT_EQ(after.samples.size(), 8u * 32);
    EXPECT_EQ(after.samples.front(), 32 * 100);
    sender.send(rampDatagram(32 * 101));
    ASSERT_TRUE(waitForDatagrams(source, 102));
    EXPECT_FALSE(source.readBlock(32).gapBefore);
    stats = source.statistics();
    EXPECT_EQ(stats.datagramsReceived, 102u);
    EXPECT_EQ(stats.datagramsDroppedBufferFull, 38u);
    source.stop();
}

TEST(UdpSource, DatagramsTheSystemDropsAreCounted) {
    // The smallest socket buffer the system grants and a burst from this process, which hands each
    // datagram over synchronously and so outruns the receive thread.
    constexpr int kBurst = 20'000;
    UdpSource source(0, 1, 250);
    DeviceProfile profile = streamProfile(8, 32);
    profile.sampleRateHz = 400'000;  // two seconds hold the whole burst: only the system drops
    source.configure(profile);
    source.start();
    LoopbackSender sender(source.boundPort());
    for (int d = 0; d < kBurst; ++d) sender.send(rampDatagram(0));
    // The system tells its count with the next datagram it delivers: one after the burst has drained.
    std::uint64_t seen = 0;
    for (int i = 0; i < 40 && source.statistics().datagramsReceived != seen; ++i) {
        seen = source.statistics().datagramsReceived;
        std::this_thread::sleep_for(50ms);
    }
    sender.send(rampDatagram(0));
    ASSERT_TRUE(waitForDatagrams(source, seen + 1));
    const UdpReceiveStats stats = source.statistics();
    if (stats.datagramsDroppedBySocket == 0) GTEST_SKIP() << "the receive thread kept up with the burst";
    EXPECT_EQ(stats.datagramsReceived + stats.datagramsDroppedBySocket, kBurst + 1u);
    // The samples on the two sides of the system's drops are not contiguous: a read says so.
    ASSERT_EQ(stats.datagramsDroppedBufferFull, 0u);
    source.stop();
    bool gapSeen = false;
    for (UdpRead read = source.readBlock(4096); !read.samples.empty(); read = source.readBlock(4096))
        gapSeen = gapSeen || read.gapBefore;
    EXPECT_TRUE(gapSeen);
}

// The shipped layout (128 wire channels, 128 frames per datagram) read as the acquisition thread reads
// it, 256 frames at a time, each read draining the buffer: the block handed out is the one allocation.
TEST(UdpSource, ASteadyStreamAllocatesOnlyTheBlocksItHandsOut) {
    UdpSource source(0, kReceiveBuffer, 250);
    const DeviceProfile profile = streamProfile(128, 128);
    source.configure(profile);
    source.start();
    LoopbackSender sender(source.boundPort());
    const std::vector<std::uint8_t> datagram(128 * 2 * 128, 1);
    std::uint64_t sent = 0;
    // Two datagrams, then one read of both; false when they did not arrive or the read came back short.
    const auto cycle = [&] {
        sender.send(datagram);
        sender.send(datagram);
        sent += 2;
        for (int i = 0; i < 10'000 && source.statistics().datagramsReceived < sent; ++i)
            std::this_thread::sleep_for(1ms);
        return source.readFrames(256).size() == 256u * 128;
    };
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(cycle());  // the buffer reaches its working size

    constexpr int kReads = 20;
    int whole = 0;
    const zk::test::AllocationCounter counter;
    for (int i = 0; i < kReads; ++i) whole += cycle() ? 1 : 0;
    const std::uint64_t allocations = counter.allocations();
    EXPECT_EQ(whole, kReads);
    EXPECT_LE(allocations, static_cast<std::uint64_t>(kReads));
    EXPECT_EQ(source.statistics().bufferedFrames, 0u);
    source.stop();
}

TEST(UdpSource, BufferBoundFollowsTheStreamWithinTheByteCap) {
    struct Case {
        std::uint32_t rateHz;
        std::uint32_t wires;
        std::uint64_t frames;
    };
    for (const Case& c :
         {Case{48000, 8, 96000}, Case{20'000'000, 128, kUdpBufferMaxBytes / 256}, Case{1, 8, 32}}) {
        UdpSource source(0, kReceiveBuffer, 250);
        DeviceProfile profile = streamProfile(c.wires, 32);
        profile.sampleRateHz = c.rateHz;
        source.configure(profile);
        EXPECT_EQ(source.bufferCapacityFrames(), c.frames) << c.rateHz;
    }
}

}  // namespace
}  // namespace zk::core
