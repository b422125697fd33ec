#include "device/uart_v2_codec.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace zk::device {

std::uint16_t crc16Ccitt(ByteSpan bytes) {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t byte : bytes) {
        crc ^= static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = (crc & 0x8000) != 0;
            crc = static_cast<std::uint16_t>(crc << 1);
            if (carry) crc ^= 0x1021;
        }
    }
    return crc;
}

ByteVector encodeUartV2Frame(std::uint8_t command, bool withStatus, std::uint8_t status, ByteSpan data) {
    if (data.size() > kUartV2MaxData) {
        throw std::invalid_argument("uart_v2 frame data exceeds 258 bytes");
    }
    ByteVector frame;
    frame.reserve(7 + data.size() + (withStatus ? 1 : 0));
    frame.push_back(kUartV2Sync0);
    frame.push_back(kUartV2Sync1);
    frame.push_back(command);
    if (withStatus) frame.push_back(status);
    frame.push_back(static_cast<std::uint8_t>(data.size() & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(data.size() >> 8));
    frame.insert(frame.end(), data.begin(), data.end());
    const std::uint16_t crc = crc16Ccitt(ByteSpan(frame).subspan(2));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

ByteVector buildUartV2Request(std::uint8_t command, ByteSpan data) {
    return encodeUartV2Frame(command, false, 0, data);
}

std::optional<UartV2Frame> takeUartV2Frame(ByteVector& buffer, ByteSpan incoming) {
    buffer.insert(buffer.end(), incoming.begin(), incoming.end());
    constexpr std::array<std::uint8_t, 2> sync{kUartV2Sync0, kUartV2Sync1};
    for (;;) {
        const auto found = std::search(buffer.begin(), buffer.end(), sync.begin(), sync.end());
        if (buffer.size() < 2 || found == buffer.end()) {
            // A sync split across two reads keeps its first byte.
            const bool keepLast = !buffer.empty() && buffer.back() == kUartV2Sync0;
            buffer.erase(buffer.begin(), keepLast ? buffer.end() - 1 : buffer.end());
            return std::nullopt;
        }
        buffer.erase(buffer.begin(), found);
        if (buffer.size() < 6) return std::nullopt;

        const std::size_t length = buffer[4] | (std::size_t{buffer[5]} << 8);
        if (length > kUartV2MaxData) {
            buffer.erase(buffer.begin());
            continue;
        }
        if (buffer.size() < length + 8) return std::nullopt;

        const std::uint16_t stored =
            static_cast<std::uint16_t>(buffer[length + 6] | (buffer[length + 7] << 8));
        if (stored != crc16Ccitt(ByteSpan(buffer).subspan(2, length + 4))) {
            buffer.erase(buffer.begin());
            continue;
        }
        UartV2Frame frame;
        frame.command = buffer[2];
        frame.status = buffer[3];
        frame.data.assign(buffer.begin() + 6, buffer.begin() + 6 + static_cast<std::ptrdiff_t>(length));
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length + 8));
        return frame;
    }
}

std::string_view uartV2StatusName(unsigned status) {
    switch (status & 0xFFu) {
        case 0:
            return "OK";
        case 1:
            return "ERR_CRC";
        case 2:
            return "ERR_FRAME";
        case 3:
            return "ERR_CMD";
        case 4:
            return "ERR_PAGE";
        case 5:
            return "ERR_FLASH";
        case 6:
            return "ERR_PROTECTED";
        case 7:
            return "ERR_STATE";
        default:
            return "ERR_UNKNOWN";
    }
}

}  // namespace zk::device
