#pragma once

#include <QString>
#include <string_view>

// The firmware's fixed byte strings, chosen once here for both protocols the array speaks.
namespace zk::device {

// Protocol numbers of the detection.
enum class DeviceProtocol { Unknown = 0, LegacyAscii = 1, UartV2 = 2 };

// "legacy ASCII", "ZK-UART v2", else "unknown".
QString protocolName(DeviceProtocol protocol);

// The first data bytes of a uart_v2 identify reply.
inline constexpr std::string_view kIdentifyMarker = "ZK-UV2";

// Legacy command words. A word with an argument is followed by the decimal argument and ")"; the
// reset word goes alone.
inline constexpr std::string_view kLegacyReadWord = ".read(";
inline constexpr std::string_view kLegacyResetWord = ".reset";
inline constexpr std::string_view kLegacyGainWord = ".gain(";
inline constexpr std::string_view kLegacyEraseWord = ".erase_sector(";
inline constexpr std::string_view kLegacyWriteWord = ".write(";
// Ends every legacy sector write; a legacy page-0 reply holds it.
inline constexpr std::string_view kLegacyTrailer = "\xCA\xFE\xBA\xBE";

static_assert(kIdentifyMarker.size() == 6);
static_assert(kLegacyReadWord.size() == 6 && kLegacyResetWord.size() == 6 && kLegacyGainWord.size() == 6);
static_assert(kLegacyEraseWord.size() == 14 && kLegacyWriteWord.size() == 7 && kLegacyTrailer.size() == 4);

}  // namespace zk::device
