#pragma once

#include <QList>
#include <QNetworkAddressEntry>
#include <QString>
#include <cstdint>
#include <vector>

#include "device/page_payloads.h"

namespace zk::device {

// One network interface of the computer as the operating system lists it.
struct NetworkInterfaceInfo {
    QString humanReadableName;
    bool up = false;
    bool running = false;
    bool loopback = false;
    QString hardwareAddress;
    QList<QNetworkAddressEntry> addresses;
};

// An adapter the array can send to.
struct NetworkAdapterEntry {
    QString label;  // "%1 - %2": the interface's name and IPv4 text
    Ipv4Bytes ip{};
    Ipv4Bytes netmask{};
    MacBytes mac{};
};

// The interfaces that are up, running, not loopback, not virtual, with a hardware address and an
// IPv4 entry; link-local 169.254.x.x adapters after all others.
QList<NetworkAdapterEntry> collectNetworkAdapters(const QList<NetworkInterfaceInfo>& interfaces);

// Free-looking host addresses on the subnet of address/netmask, at most maximum of them, in the order
// of the fixed host-number list; empty for a mask that is zero, all ones, non-contiguous or too small.
std::vector<Ipv4Bytes> addressCandidates(const Ipv4Bytes& address, const Ipv4Bytes& netmask,
                                         std::size_t maximum);

// Whether the neighbour-table text ("ip  aa-bb-cc-dd-ee-ff" lines) holds a real hardware address for
// the candidate address text.
bool neighbourTableHasEntry(const QString& table, const QString& candidate);

}  // namespace zk::device
