#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "core/platform/socket_platform.h"

namespace zk::core {

SocketHandle openUdpSocket() noexcept {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    return fd < 0 ? kClosedSocket : fd;
}

bool setReceiveBufferBytes(SocketHandle socket, int bytes) noexcept {
    return ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

bool bindUdpAnyAddress(SocketHandle socket, std::uint16_t port) noexcept {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    return ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

std::uint16_t boundUdpPort(SocketHandle socket) noexcept {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        address.sin_family != AF_INET) {
        return 0;
    }
    return ntohs(address.sin_port);
}

SocketHandle openWakeChannel() noexcept {
    const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return fd < 0 ? kClosedSocket : fd;
}

void signalWakeChannel(SocketHandle wake) noexcept {
    const std::uint64_t one = 1;
    // Only fails when the counter is saturated, and then the channel is already readable.
    while (::write(wake, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void closeSocket(SocketHandle& handle) noexcept {
    if (handle == kClosedSocket) return;
    // Linux releases the descriptor even when close reports EINTR, so it is never retried.
    ::close(handle);
    handle = kClosedSocket;
}

SocketWait waitForDatagram(SocketHandle socket, SocketHandle wake, int timeoutMs) noexcept {
    pollfd fds[2] = {{wake, POLLIN, 0}, {socket, POLLIN, 0}};
    int ready = 0;
    do {
        ready = ::poll(fds, 2, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return SocketWait::Failed;
    if (ready == 0) return SocketWait::TimedOut;
    if (fds[0].revents != 0) return SocketWait::Woken;
    if ((fds[1].revents & POLLNVAL) != 0) return SocketWait::Failed;
    return SocketWait::Readable;
}

bool enableDropCounter(SocketHandle socket) noexcept {
    const int on = 1;
    return ::setsockopt(socket, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on) == 0;
}

ReceiveResult receiveDatagram(SocketHandle socket, std::span<std::uint8_t> buffer) noexcept {
    for (;;) {
        iovec part{buffer.data(), buffer.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))] = {};
        sockaddr_in from{};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t length = ::recvmsg(socket, &message, MSG_DONTWAIT);
        if (length >= 0) {
            ReceiveResult result{ReceiveStatus::Datagram, static_cast<std::size_t>(length), std::nullopt,
                                 std::nullopt};
            if (message.msg_namelen >= sizeof from && from.sin_family == AF_INET)
                result.sender = DatagramSender{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
            for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
                    std::uint32_t drops = 0;
                    std::memcpy(&drops, CMSG_DATA(c), sizeof drops);
                    result.systemDrops = drops;
                }
            }
            return result;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return {ReceiveStatus::NothingQueued, 0, std::nullopt, std::nullopt};
        return {ReceiveStatus::Failed, 0, std::nullopt, std::nullopt};
    }
}

void raiseCurrentThreadPriority() noexcept {
    // A lower nice value (per thread on Linux), not a real-time class: a real-time receiver blocked on
    // the mutex of a preempted normal-priority reader lost far more datagrams in trials.
    constexpr int kRaiseSteps = 5;
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, 0);
    if (current == -1 && errno != 0) return;
    // Best effort: without CAP_SYS_NICE the call fails (EACCES or EPERM), which is ignored on purpose.
    ::setpriority(PRIO_PROCESS, 0, current - kRaiseSteps);
}

}  // namespace zk::core
