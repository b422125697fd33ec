#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/platform/socket_platform.h"
#include "core/signal/interleaved_sample_buffer.h"
#include "core/storage/device_profile.h"
#include "core/streaming/raw_sample_source.h"

namespace zk::core {

struct UdpReceiveStats {
    std::uint64_t datagramsReceived = 0;  // non-empty datagrams, accepted or dropped
    std::uint64_t datagramsDroppedWrongSize = 0;
    std::uint64_t bytesReceived = 0;
    std::uint64_t receiveErrors = 0;
    std::uint64_t bufferedFrames = 0;              // frames in the buffer after the last append or read
    std::uint64_t datagramsDroppedBufferFull = 0;  // whole datagrams the bounded buffer had no room for
    std::uint64_t datagramsDroppedBySocket = 0;    // dropped by the system: the socket's buffer was full
    std::uint64_t emptyDatagrams = 0;
    // Datagrams of the wrong length from a sender of no whole datagram: no part of the array's stream,
    // so they break nothing. Counted in datagramsDroppedWrongSize too.
    std::uint64_t strayDatagrams = 0;
    std::uint64_t lastStrayBytes = 0;  // length of the last stray datagram
    DatagramSender lastStraySender;    // and where it came from
};

/// "a.b.c.d:port".
[[nodiscard]] std::string senderText(const DatagramSender& sender);

/// The most senders of whole datagrams the source tells apart; past them every sender counts as the
/// array's.
inline constexpr std::size_t kUdpMaxArraySenders = 8;

/// Frames handed to a reader; gapBefore says that samples were dropped right before them.
struct UdpRead {
    std::vector<std::int16_t> samples;
    bool gapBefore = false;
};

/// The longest span the sample buffer holds, and its byte cap whatever the profile's rate.
inline constexpr double kUdpBufferSeconds = 2.0;
inline constexpr std::uint64_t kUdpBufferMaxBytes = std::uint64_t{64} << 20;

/// The live receiver: binds a UDP port, receives the array's datagrams on its own thread, checks their
/// length against the profile's layout and reassembles the samples into a bounded buffer: a datagram
/// of the wrong length, or one that does not fit, is dropped whole, counted, and the reader is told of
/// the gap. A datagram of the wrong length from an address that has sent no whole datagram since the
/// start is a stray: it cannot stand in for one of the stream, so it is counted and dropped without a
/// gap.
/// configure, start and stop belong to one controlling thread; readFrames and statistics may be called
/// from another.
class UdpSource final : public IRawSampleSource {
  public:
    /// receiveBufferBytes is the SO_RCVBUF size asked for, timeoutMs the longest wait of one readFrames.
    /// Throws std::invalid_argument "invalid UDP receive buffer or timeout" unless both are positive,
    /// and "invalid UDP port" for a port outside 0..65535 (0 binds a free port, see boundPort).
    UdpSource(std::int32_t port, std::int32_t receiveBufferBytes, std::int32_t timeoutMs);
    ~UdpSource() override;

    UdpSource(const UdpSource&) = delete;
    UdpSource& operator=(const UdpSource&) = delete;

    [[nodiscard]] SourceKind kind() const override { return SourceKind::Udp; }

    /// Copies the profile and starts an empty buffer for its wireChannelCount, discarding buffered
    /// samples; std::logic_error "cannot configure UDP source while running".
    void configure(const DeviceProfile& profile) override;

    /// Binds the port and starts the receive thread. std::logic_error "UDP source requires a configured
    /// profile"; std::runtime_error "socket creation failed" or "UDP bind failed" with nothing left open.
    void start() override;

    /// Ends and joins the receive thread, closes the socket and wakes a waiting reader. Buffered samples
    /// stay readable.
    void stop() override;

    /// Waits up to timeoutMs for frameCount frames (not at all once stopped) and returns what is there.
    [[nodiscard]] std::vector<std::int16_t> readFrames(std::uint64_t frameCount) override;

    /// As readFrames, but a read never spans dropped samples: it ends before a gap, and the read after
    /// the gap carries gapBefore.
    [[nodiscard]] UdpRead readBlock(std::uint64_t frameCount);

    /// Why the receive thread ended while the source still runs (a failed wait, an exception); none
    /// while it receives. Cleared by start.
    [[nodiscard]] std::optional<std::string> receiveStopReason() const;

    /// The most frames the buffer holds: kUdpBufferSeconds of the profile's stream within
    /// kUdpBufferMaxBytes, and at least one datagram.
    [[nodiscard]] std::uint64_t bufferCapacityFrames() const;

    /// Bytes the buffer holds reserved, filled or not.
    [[nodiscard]] std::uint64_t reservedBufferBytes() const;

    [[nodiscard]] UdpReceiveStats statistics() const;

    /// The local port while running (the one the system picked when port 0 was asked); 0 otherwise.
    /// For the controlling thread.
    [[nodiscard]] std::uint16_t boundPort() const { return boundPort_; }

  private:
    void receiveLoop(SocketHandle socket, SocketHandle wake, std::optional<std::uint32_t> datagramBytes);
    void countReceiveError();
    void endReception(const char* reason) noexcept;
    void acceptDatagram(std::span<const std::uint8_t> payload);
    void markGap();  // under mutex_: samples were dropped after the ones appended so far
    // Receive thread only: whether a sender is the array's, and the sender of a whole datagram noted.
    [[nodiscard]] bool fromArray(const std::optional<DatagramSender>& sender) const;
    void noteArraySender(const std::optional<DatagramSender>& sender);

    const std::int32_t port_;
    const std::int32_t receiveBufferBytes_;
    const std::int32_t timeoutMs_;

    DeviceProfile profile_;                            // written by configure under mutex_
    std::unique_ptr<InterleavedSampleBuffer> buffer_;  // guarded by mutex_
    UdpReceiveStats stats_;                            // guarded by mutex_
    std::uint64_t capacityFrames_ = 0;                 // guarded by mutex_; set by configure
    std::uint64_t keptFrames_ = 0;                     // guarded by mutex_; set by configure
    std::uint64_t appendedFrames_ = 0;                 // guarded by mutex_; frames ever appended
    std::uint64_t takenFrames_ = 0;                    // guarded by mutex_; frames ever taken
    std::optional<std::string> stopReason_;            // guarded by mutex_
    std::uint64_t socketDropsBefore_ = 0;  // guarded by mutex_; system drops of the sockets closed before
    std::deque<std::uint64_t> gaps_;  // guarded by mutex_; appendedFrames_ at each drop not yet read past

    // The addresses whole datagrams came from since the start (at most kUdpMaxArraySenders; past them
    // arraySendersFull_): the receive thread's alone while it runs, emptied by start before it does.
    std::vector<std::uint32_t> arraySenders_;
    bool arraySendersFull_ = false;

    // Written only by start and stop on the controlling thread; the receive thread gets copies.
    SocketHandle socket_ = kClosedSocket;
    SocketHandle wake_ = kClosedSocket;
    std::uint16_t boundPort_ = 0;
    std::thread receiver_;

    // Set by start, cleared by stop (controlling thread); read by the receive thread and by readers.
    std::atomic<bool> running_{false};
    // Guards buffer_, profile_ and stats_ against the receive, reader and controlling threads.
    mutable std::mutex mutex_;
    // Waited on by readers under mutex_; broadcast after each accepted datagram and by stop.
    std::condition_variable dataArrived_;
};

}  // namespace zk::core
