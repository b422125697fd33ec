#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace zk::test {

// The descriptor of this process's IPv4 UDP socket bound to `port`, or -1.
inline int socketBoundTo(std::uint16_t port) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
            address.sin_family == AF_INET && ntohs(address.sin_port) == port) {
            return fd;
        }
    }
    return -1;
}

// Sends datagrams to 127.0.0.1 the way the array does: nothing is ever read back.
class LoopbackSender {
  public:
    explicit LoopbackSender(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        EXPECT_GE(fd_, 0);
        to_.sin_family = AF_INET;
        to_.sin_port = htons(port);
        to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    // Sends from another loopback address (host order, such as 0x7F000002 for 127.0.0.2): another
    // sender than the array, as the receiver sees it.
    LoopbackSender(std::uint16_t port, std::uint32_t fromAddress) : LoopbackSender(port) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(fromAddress);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<const sockaddr*>(&from), sizeof from), 0);
    }
    // The address and port the datagrams go out from, in host order; 0 before the first send.
    std::pair<std::uint32_t, std::uint16_t> source() const {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {0, 0};
        return {ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
    }
    ~LoopbackSender() { ::close(fd_); }
    LoopbackSender(const LoopbackSender&) = delete;
    LoopbackSender& operator=(const LoopbackSender&) = delete;

    // Whether the whole datagram went out.
    bool trySend(std::span<const std::uint8_t> payload) const {
        return ::sendto(fd_, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&to_),
                        sizeof to_) == static_cast<ssize_t>(payload.size());
    }
    void send(const std::vector<std::uint8_t>& payload) const { EXPECT_TRUE(trySend(payload)); }

  private:
    int fd_;
    sockaddr_in to_{};
};

}  // namespace zk::test
