#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/uart_v2_codec.h"

// The payloads of the array's flash pages: page addresses, blank sectors, address texts, the network
// parameter record of page 256 and the FIR taps of page 768. Pure functions without state.
namespace zk::device {

using Ipv4Bytes = std::array<std::uint8_t, 4>;  // text order: first dotted number first
using MacBytes = std::array<std::uint8_t, 6>;   // text order

inline constexpr std::size_t kSectorBytes = 256;
inline constexpr std::size_t kNetworkRecordBytes = 24;

// The content of page 256; ports in host order here, big-endian on the page.
struct NetworkParameterRecord {
    MacBytes boardMac{};
    Ipv4Bytes boardIp{};
    MacBytes targetMac{};
    Ipv4Bytes targetIp{};
    std::uint16_t sourcePort = 0;
    std::uint16_t targetPort = 0;

    friend bool operator==(const NetworkParameterRecord&, const NetworkParameterRecord&) = default;
};

// Low byte, then bits 8-15 (the address modulo 65536, little-endian).
std::array<std::uint8_t, 2> encodePageAddress(std::uint32_t address);

// True only for a non-empty span of 0xFF bytes (an erased flash sector).
bool isBlankSector(ByteSpan bytes);

// Exactly four dot-separated decimal parts of 1 to 3 digits, each at most 255; no spaces.
std::optional<Ipv4Bytes> parseIpv4Text(std::string_view text);
std::string formatIpv4Text(const Ipv4Bytes& ip);

// Twelve hexadecimal digits in either case; spaces, "-" and ":" between them are skipped.
std::optional<MacBytes> parseMacText(std::string_view text);
// Lower-case pairs joined by ":".
std::string formatMacText(const MacBytes& mac);

ByteVector packNetworkRecord(const NetworkParameterRecord& record);
// Empty for fewer than 24 bytes or a first 24 bytes all 0x00 or all 0xFF; later bytes are ignored.
std::optional<NetworkParameterRecord> unpackNetworkRecord(ByteSpan bytes);

// Two bytes per tap, high byte first. Throws std::invalid_argument "FIR tap out of int16 range".
ByteVector packFirTaps(const std::vector<std::int32_t>& taps);
// Complete byte pairs only, sign-extended; a trailing odd byte is ignored.
std::vector<std::int16_t> unpackFirTaps(ByteSpan bytes);

}  // namespace zk::device
