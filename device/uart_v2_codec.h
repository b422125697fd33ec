#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// The framed serial protocol of the array ("uart_v2"): frames, CRC and the stream decoder. Pure
// functions without state or I/O.
namespace zk::device {

using ByteVector = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

inline constexpr std::uint8_t kUartV2Sync0 = 0xAA;
inline constexpr std::uint8_t kUartV2Sync1 = 0x5A;
// One 256-byte page plus its 2-byte address fits in a single write frame.
inline constexpr std::size_t kUartV2MaxData = 258;

// Command codes the host sends.
namespace uart_v2_command {
inline constexpr std::uint8_t kIdentify = 0x30;
inline constexpr std::uint8_t kReadPage = 0x10;
inline constexpr std::uint8_t kEraseSector = 0x21;
inline constexpr std::uint8_t kWriteSector = 0x20;
inline constexpr std::uint8_t kReset = 0x42;
inline constexpr std::uint8_t kSetGain = 0x43;
inline constexpr std::uint8_t kSetAct = 0x44;
}  // namespace uart_v2_command

// A decoded response frame.
struct UartV2Frame {
    std::uint8_t command = 0;
    std::uint8_t status = 0;
    ByteVector data;
};

// CRC-16/CCITT-FALSE (polynomial 0x1021, initial 0xFFFF, no reflection, no final XOR).
std::uint16_t crc16Ccitt(ByteSpan bytes);

// Sync, command, optional status byte, 16-bit little-endian length, data and CRC (low byte first)
// over everything after the sync. Throws std::invalid_argument "uart_v2 frame data exceeds 258 bytes".
ByteVector encodeUartV2Frame(std::uint8_t command, bool withStatus, std::uint8_t status, ByteSpan data);

// The request form (no status byte).
ByteVector buildUartV2Request(std::uint8_t command, ByteSpan data);

// Appends incoming to buffer and extracts at most one response frame from its front, skipping noise
// one byte at a time. Bytes behind the frame stay buffered for the next call. Never throws.
std::optional<UartV2Frame> takeUartV2Frame(ByteVector& buffer, ByteSpan incoming);

// "OK", "ERR_CRC", ... by the low 8 bits of status; "ERR_UNKNOWN" for codes without a name.
std::string_view uartV2StatusName(unsigned status);

}  // namespace zk::device
