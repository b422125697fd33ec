#pragma once

#include <cstdint>
#include <vector>

// CRC-16/CCITT-FALSE computed one message bit at a time (a bit-serial shift register), a form
// independent of the byte-wise loop of the code under test.
inline std::uint16_t bitSerialCrc16(const std::vector<std::uint8_t>& bytes) {
    std::uint16_t reg = 0xFFFF;
    for (const std::uint8_t byte : bytes) {
        for (int bit = 7; bit >= 0; --bit) {
            const unsigned in = (byte >> bit) & 1u;
            const unsigned top = (reg >> 15) & 1u;
            reg = static_cast<std::uint16_t>(reg << 1);
            if ((in ^ top) != 0) reg ^= 0x1021;
        }
    }
    return reg;
}
