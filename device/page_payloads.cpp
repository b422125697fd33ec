#include "device/page_payloads.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace zk::device {
namespace {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::array<std::uint8_t, 2> encodePageAddress(std::uint32_t address) {
    return {static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>((address >> 8) & 0xFF)};
}

bool isBlankSector(ByteSpan bytes) {
    return !bytes.empty() &&
           std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
}

std::optional<Ipv4Bytes> parseIpv4Text(std::string_view text) {
    Ipv4Bytes ip{};
    std::size_t field = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        const std::string_view digits = text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (field >= 4 || digits.empty() || digits.size() > 3) return std::nullopt;
        unsigned value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value > 255) return std::nullopt;
        ip[field++] = static_cast<std::uint8_t>(value);
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    if (field != 4) return std::nullopt;
    return ip;
}

std::string formatIpv4Text(const Ipv4Bytes& ip) {
    return std::to_string(ip[0]) + '.' + std::to_string(ip[1]) + '.' + std::to_string(ip[2]) + '.' +
           std::to_string(ip[3]);
}

std::optional<MacBytes> parseMacText(std::string_view text) {
    MacBytes mac{};
    std::size_t digits = 0;
    for (const char c : text) {
        if (c == ' ' || c == '-' || c == ':') continue;
        const int value = hexDigitValue(c);
        if (value < 0 || digits >= 12) return std::nullopt;
        mac[digits / 2] = static_cast<std::uint8_t>((mac[digits / 2] << 4) | value);
        ++digits;
    }
    if (digits != 12) return std::nullopt;
    return mac;
}

std::string formatMacText(const MacBytes& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

ByteVector packNetworkRecord(const NetworkParameterRecord& record) {
    ByteVector bytes;
    bytes.reserve(kNetworkRecordBytes);
    bytes.insert(bytes.end(), record.boardMac.begin(), record.boardMac.end());
    bytes.insert(bytes.end(), record.boardIp.begin(), record.boardIp.end());
    bytes.insert(bytes.end(), record.targetMac.begin(), record.targetMac.end());
    bytes.insert(bytes.end(), record.targetIp.begin(), record.targetIp.end());
    for (const std::uint16_t port : {record.sourcePort, record.targetPort}) {
        bytes.push_back(static_cast<std::uint8_t>(port >> 8));
        bytes.push_back(static_cast<std::uint8_t>(port & 0xFF));
    }
    return bytes;
}

std::optional<NetworkParameterRecord> unpackNetworkRecord(ByteSpan bytes) {
    if (bytes.size() < kNetworkRecordBytes) return std::nullopt;
    const ByteSpan record = bytes.first(kNetworkRecordBytes);
    const auto all = [&](std::uint8_t value) {
        return std::all_of(record.begin(), record.end(), [value](std::uint8_t b) { return b == value; });
    };
    if (all(0x00) || all(0xFF)) return std::nullopt;

    NetworkParameterRecord out;
    std::copy_n(record.begin(), 6, out.boardMac.begin());
    std::copy_n(record.begin() + 6, 4, out.boardIp.begin());
    std::copy_n(record.begin() + 10, 6, out.targetMac.begin());
    std::copy_n(record.begin() + 16, 4, out.targetIp.begin());
    out.sourcePort = static_cast<std::uint16_t>((record[20] << 8) | record[21]);
    out.targetPort = static_cast<std::uint16_t>((record[22] << 8) | record[23]);
    return out;
}

ByteVector packFirTaps(const std::vector<std::int32_t>& taps) {
    ByteVector bytes;
    bytes.reserve(taps.size() * 2);
    for (const std::int32_t tap : taps) {
        if (tap < -32768 || tap > 32767) throw std::invalid_argument("FIR tap out of int16 range");
        const auto bits = static_cast<std::uint16_t>(tap);
        bytes.push_back(static_cast<std::uint8_t>(bits >> 8));
        bytes.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    }
    return bytes;
}

std::vector<std::int16_t> unpackFirTaps(ByteSpan bytes) {
    std::vector<std::int16_t> taps;
    taps.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        taps.push_back(static_cast<std::int16_t>(static_cast<std::uint16_t>((bytes[i] << 8) | bytes[i + 1])));
    }
    return taps;
}

}  // namespace zk::device
