#include "device/network_adapters.h"

#include <QRegularExpression>
#include <algorithm>
#include <array>

namespace zk::device {
namespace {

constexpr std::array kVirtualAdapterWords{"VMware",    "VirtualBox", "Hyper-V",   "Loopback",
                                          "Teredo",    "isatap",     "Bluetooth", "WAN Miniport",
                                          "Tailscale", "ZeroTier",   "OpenVPN",   "WireGuard"};
constexpr std::array<std::uint32_t, 16> kHostNumbers{100, 200, 101, 102, 103, 104, 105, 106,
                                                     107, 108, 109, 110, 20,  50,  150, 250};

bool isVirtual(const QString& name) {
    return std::any_of(kVirtualAdapterWords.begin(), kVirtualAdapterWords.end(), [&](const char* word) {
        return name.contains(QLatin1String(word), Qt::CaseInsensitive);
    });
}

std::uint32_t toValue(const Ipv4Bytes& ip) {
    return (std::uint32_t{ip[0]} << 24) | (std::uint32_t{ip[1]} << 16) | (std::uint32_t{ip[2]} << 8) | ip[3];
}

Ipv4Bytes fromValue(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

bool isLinkLocal(const Ipv4Bytes& ip) { return ip[0] == 169 && ip[1] == 254; }

}  // namespace

QList<NetworkAdapterEntry> collectNetworkAdapters(const QList<NetworkInterfaceInfo>& interfaces) {
    QList<NetworkAdapterEntry> entries;
    for (const NetworkInterfaceInfo& info : interfaces) {
        if (!info.up || !info.running || info.loopback || isVirtual(info.humanReadableName)) continue;
        const auto mac = parseMacText(info.hardwareAddress.toStdString());
        if (!mac) continue;
        for (const QNetworkAddressEntry& address : info.addresses) {
            if (address.ip().protocol() != QAbstractSocket::IPv4Protocol || address.ip().isNull()) continue;
            const QString ipText = address.ip().toString();
            const auto ip = parseIpv4Text(ipText.toStdString());
            const auto mask = parseIpv4Text(address.netmask().toString().toStdString());
            if (!ip || !mask) continue;
            entries.push_back(
                {QStringLiteral("%1 - %2").arg(info.humanReadableName, ipText), *ip, *mask, *mac});
            break;
        }
    }
    std::stable_partition(entries.begin(), entries.end(),
                          [](const NetworkAdapterEntry& entry) { return !isLinkLocal(entry.ip); });
    return entries;
}

std::vector<Ipv4Bytes> addressCandidates(const Ipv4Bytes& address, const Ipv4Bytes& netmask,
                                         std::size_t maximum) {
    const std::uint32_t a = toValue(address);
    const std::uint32_t m = toValue(netmask);
    const bool contiguous = ((~m + 1) & ~m) == 0;  // the host bits are a run of low ones
    std::vector<Ipv4Bytes> candidates;
    if (m == 0 || m == 0xFFFFFFFFu || !contiguous) return candidates;
    const std::uint32_t network = a & m;
    const std::uint32_t broadcast = network | ~m;
    if (broadcast - network < 3) return candidates;
    for (const std::uint32_t host : kHostNumbers) {
        if (candidates.size() >= maximum) break;
        if ((host & m) != 0) continue;
        const std::uint32_t c = network | host;
        if (network < c && c < broadcast && c != a) candidates.push_back(fromValue(c));
    }
    return candidates;
}

bool neighbourTableHasEntry(const QString& table, const QString& candidate) {
    const QRegularExpression pattern(QRegularExpression::escape(candidate) +
                                     QStringLiteral(R"(\s+((?:[0-9A-Fa-f]{2}-){5}[0-9A-Fa-f]{2}))"));
    for (auto it = pattern.globalMatch(table); it.hasNext();) {
        if (it.next().captured(1).compare(QLatin1String("00-00-00-00-00-00"), Qt::CaseInsensitive) != 0)
            return true;
    }
    return false;
}

}  // namespace zk::device
