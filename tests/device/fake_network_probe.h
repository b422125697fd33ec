#pragma once

#include <QHash>
#include <QTimer>

#include "device/platform/network_probe.h"

// The ping and neighbour-table layer with scripted answers. A ping of an address without a script
// gets NoReply; a scripted delay below 0 never answers until cancel().
class FakeNetworkProbe final : public zk::device::NetworkProbe {
  public:
    struct PingScript {
        PingOutcome outcome = PingOutcome::NoReply;
        int delayMs = 0;
    };

    QList<zk::device::NetworkInterfaceInfo> interfaceList;
    QHash<QString, PingScript> pings;
    QString neighbourLines;
    bool neighbourQueryFails = false;
    QStringList pinged;  // addresses in request order
    int cancels = 0;

    QList<zk::device::NetworkInterfaceInfo> interfaces() const override { return interfaceList; }

    void startPing(const QString& address) override {
        pinged.push_back(address);
        const PingScript script = pings.value(address);
        const quint64 request = ++request_;
        pending_ = Pending::Ping;
        if (script.delayMs < 0) return;
        QTimer::singleShot(script.delayMs, this, [this, request, script] {
            if (request != request_ || pending_ != Pending::Ping) return;
            pending_ = Pending::None;
            emit pingFinished(script.outcome, script.outcome == PingOutcome::Error
                                                  ? QStringLiteral("exit code 2")
                                                  : QString());
        });
    }

    void startNeighbourQuery() override {
        const quint64 request = ++request_;
        pending_ = Pending::Neighbours;
        QTimer::singleShot(0, this, [this, request] {
            if (request != request_ || pending_ != Pending::Neighbours) return;
            pending_ = Pending::None;
            if (neighbourQueryFails) {
                emit neighboursRead(false, {}, QStringLiteral("table unreadable"));
            } else {
                emit neighboursRead(true, neighbourLines, {});
            }
        });
    }

    void cancel() override {
        ++cancels;
        const Pending was = pending_;
        pending_ = Pending::None;
        if (was == Pending::Ping) emit pingFinished(PingOutcome::NoReply, QStringLiteral("killed"));
        if (was == Pending::Neighbours) emit neighboursRead(true, neighbourLines, {});
    }

  private:
    enum class Pending { None, Ping, Neighbours };
    Pending pending_ = Pending::None;
    quint64 request_ = 0;
};
