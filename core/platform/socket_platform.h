#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zk::core {

// The IPv4 UDP receive calls of the sample sources and the priority of their receive thread; one
// implementation file per platform, and nothing else in the core sees a socket call.

// A socket or wake channel; kClosedSocket when closed (0 is a valid descriptor: standard input).
using SocketHandle = int;
inline constexpr SocketHandle kClosedSocket = -1;

// A non-blocking IPv4 UDP socket; kClosedSocket on failure.
SocketHandle openUdpSocket() noexcept;

// Asks for a SO_RCVBUF of `bytes`; false when refused. The system may grant less.
bool setReceiveBufferBytes(SocketHandle socket, int bytes) noexcept;

// Binds to every local IPv4 address at `port`; port 0 lets the system pick a free one.
bool bindUdpAnyAddress(SocketHandle socket, std::uint16_t port) noexcept;

// The local port the socket is bound to; 0 when it is not bound or cannot be asked.
std::uint16_t boundUdpPort(SocketHandle socket) noexcept;

// A channel that another thread signals to end a waitForDatagram at once; kClosedSocket on failure.
SocketHandle openWakeChannel() noexcept;
void signalWakeChannel(SocketHandle wake) noexcept;

// Closes a socket or wake channel and sets the handle to kClosedSocket; a closed handle is left alone.
void closeSocket(SocketHandle& handle) noexcept;

enum class SocketWait { Readable, TimedOut, Woken, Failed };

// Waits up to timeoutMs for a datagram (or a pending socket error) on `socket` or a signal on `wake`;
// Woken wins over Readable. A wait cut short by a signal handler is waited again. Failed: the wait
// itself failed or the socket is no longer open, so waiting again cannot succeed.
SocketWait waitForDatagram(SocketHandle socket, SocketHandle wake, int timeoutMs) noexcept;

enum class ReceiveStatus { Datagram, NothingQueued, Failed };

// Where a datagram came from: the IPv4 address and port, in host byte order.
struct DatagramSender {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    friend bool operator==(const DatagramSender&, const DatagramSender&) = default;
};

struct ReceiveResult {
    ReceiveStatus status = ReceiveStatus::Failed;
    std::size_t bytes = 0;  // payload length of a Datagram (0 for an empty datagram)
    // Datagrams the system dropped on this socket so far (its buffer was full), when it says.
    std::optional<std::uint32_t> systemDrops;
    std::optional<DatagramSender> sender;  // of a Datagram, when the system names an IPv4 one
};

// Asks the system to report its drop count with each datagram; false when it cannot.
bool enableDropCounter(SocketHandle socket) noexcept;

// Takes the next queued datagram into `buffer` without blocking, with its sender; a receive cut short
// by a signal handler is retried. Failed covers socket errors, such as an ICMP error queued on the socket.
ReceiveResult receiveDatagram(SocketHandle socket, std::span<std::uint8_t> buffer) noexcept;

// Raises the calling thread's priority a little above the normal threads when the system allows it.
void raiseCurrentThreadPriority() noexcept;

}  // namespace zk::core
