#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <memory>

#include "device/network_adapters.h"

namespace zk::device {

// What the automatic network setup asks of the operating system: its interfaces, one echo request to
// an address, and the neighbour (address-resolution) table. GUI thread only; answers arrive later as
// signals on this object's thread, exactly one per request, never from inside the request call.
class NetworkProbe : public QObject {
    Q_OBJECT

  public:
    enum class PingOutcome { Reply, NoReply, Error };
    Q_ENUM(PingOutcome)

    using QObject::QObject;

    virtual QList<NetworkInterfaceInfo> interfaces() const = 0;
    // One echo request with a wait of about a second; answered by pingFinished. An outcome Error
    // (the command failed or could not be started) says nothing about the address.
    virtual void startPing(const QString& address) = 0;
    // Answered by neighboursRead with "ip  aa-bb-cc-dd-ee-ff" lines.
    virtual void startNeighbourQuery() = 0;
    // Ends the running request now; it still answers: a ping as NoReply, a query with what it read.
    virtual void cancel() = 0;

  signals:
    void pingFinished(zk::device::NetworkProbe::PingOutcome outcome, const QString& detail);
    void neighboursRead(bool ok, const QString& lines, const QString& error);
};

// The operating system's probe.
std::unique_ptr<NetworkProbe> createSystemNetworkProbe();

// The kernel's address-resolution table text (a header line, then the IP address in the first column
// and the hardware address in the fourth) as "ip  aa-bb-cc-dd-ee-ff" lines.
QString neighbourLinesFromArpTable(const QString& table);

}  // namespace zk::device
