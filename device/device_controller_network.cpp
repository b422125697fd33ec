#include <QTimer>

#include "device/device_controller.h"

namespace zk::device {
namespace {

constexpr std::size_t kMaxCandidates = 8;
constexpr int kProbeKillMs = 2500;
constexpr std::uint16_t kDefaultSourcePort = 5555;
// The port on which live acquisition receives the array's stream.
constexpr std::uint16_t kLiveTargetPort = 6666;
constexpr MacBytes kDefaultBoardMac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

ByteSpan spanOf(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

QString macText(const MacBytes& mac) { return QString::fromStdString(formatMacText(mac)); }
QString ipText(const Ipv4Bytes& ip) { return QString::fromStdString(formatIpv4Text(ip)); }

}  // namespace

QVariantList DeviceController::networkAdapters() const {
    QVariantList list;
    try {
        for (const NetworkAdapterEntry& adapter : collectNetworkAdapters(networkProbe_->interfaces())) {
            list.push_back(QVariantMap{{QStringLiteral("label"), adapter.label},
                                       {QStringLiteral("ip"), ipText(adapter.ip)},
                                       {QStringLiteral("mask"), ipText(adapter.netmask)}});
        }
    } catch (...) {
        list.clear();  // an enumeration that fails offers no adapter
    }
    return list;
}

void DeviceController::autoConfigureNetwork(int adapterIndex) {
    runGuarded("auto-net", [&] {
        if (busy() || autoNetRunning()) {
            appendLog(tr("auto-net rejected: another device action is running"));
            return;
        }
        if (!canOperate()) {
            appendLog(tr("auto-net rejected: no serial port selected"));
            return;
        }
        const QList<NetworkAdapterEntry> adapters = collectNetworkAdapters(networkProbe_->interfaces());
        if (adapterIndex < 0 || adapterIndex >= adapters.size()) {
            appendLog(tr("auto-net rejected: no usable network adapter - connect the array's cable first"));
            return;
        }
        const NetworkAdapterEntry& adapter = adapters[adapterIndex];
        std::vector<Ipv4Bytes> candidates = addressCandidates(adapter.ip, adapter.netmask, kMaxCandidates);
        if (candidates.empty()) {
            appendLog(tr("auto-net rejected: adapter %1 has no usable IPv4 subnet").arg(adapter.label));
            return;
        }

        const quint64 lastProbeRun = autoNet_.probeRun;  // kept, so timers of an earlier setup stay stale
        autoNet_ = AutoNetState{};
        autoNet_.probeRun = lastProbeRun;
        autoNet_.record.boardMac = kDefaultBoardMac;
        autoNet_.record.targetMac = adapter.mac;
        autoNet_.record.targetIp = adapter.ip;
        autoNet_.record.sourcePort = kDefaultSourcePort;
        autoNet_.record.targetPort = kLiveTargetPort;
        autoNet_.candidates = std::move(candidates);
        autoNet_.portName = selectedPortName();
        autoNet_.adapter = adapter;
        autoNet_.stage = AutoNetStage::ReadingParameters;

        beginAction(tr("auto-net"));
        appendLog(tr("auto-net: adapter %1, target %2 @ %3 - reading current device parameters")
                      .arg(adapter.label, macText(adapter.mac), ipText(adapter.ip)));
        const quint32 addr = 256;
        invokeWorker("readPage", Q_ARG(QString, autoNet_.portName), Q_ARG(quint32, addr));
    });
}

void DeviceController::takeAutoNetParameters(const QByteArray& page) {
    const auto device = isBlankSector(spanOf(page)) ? std::nullopt : unpackNetworkRecord(spanOf(page));
    if (device) {
        autoNet_.record.boardMac = device->boardMac;
        if (device->sourcePort != 0) autoNet_.record.sourcePort = device->sourcePort;
        appendLog(tr("auto-net: keeping device board MAC %1 and ports %2/%3")
                      .arg(macText(autoNet_.record.boardMac), QString::number(autoNet_.record.sourcePort),
                           QString::number(autoNet_.record.targetPort)));
        // The stream must reach the port live acquisition listens on, whatever the page held.
        if (device->targetPort != kLiveTargetPort) {
            appendLog(tr("auto-net: device target port %1 replaced by %2, the live stream's port")
                          .arg(device->targetPort)
                          .arg(kLiveTargetPort));
        }
    }
    autoNet_.stage = AutoNetStage::Probing;
    probeNextCandidate();
}

void DeviceController::probeNextCandidate() {
    if (autoNet_.candidateIndex >= autoNet_.candidates.size()) {
        autoNet_.stage = AutoNetStage::Idle;
        appendLog(tr("auto-net: every candidate address is occupied - aborted"));
        return;
    }
    beginAction(tr("auto-net: probe"));
    appendLog(tr("auto-net: probing %1 for conflicts...")
                  .arg(ipText(autoNet_.candidates[autoNet_.candidateIndex])));
    autoNet_.arpPending = false;
    startProbeRun(false);
}

void DeviceController::startProbeRun(bool neighbours) {
    const quint64 run = ++autoNet_.probeRun;
    autoNet_.probeRunning = true;
    // Bound to this run only: a timer left from an earlier, shorter run finds a newer run number.
    QTimer::singleShot(kProbeKillMs, this, [this, run] {
        if (autoNet_.probeRun == run && autoNet_.probeRunning) networkProbe_->cancel();
    });
    if (neighbours) {
        networkProbe_->startNeighbourQuery();
    } else {
        networkProbe_->startPing(ipText(autoNet_.candidates[autoNet_.candidateIndex]));
    }
}

void DeviceController::onPingFinished(NetworkProbe::PingOutcome outcome, const QString& detail) {
    runGuarded("auto-net", [&] {
        if (!autoNet_.probeRunning || autoNet_.arpPending) return;
        autoNet_.probeRunning = false;
        finishAction();
        if (autoNet_.stage != AutoNetStage::Probing || autoNet_.candidateIndex >= autoNet_.candidates.size())
            return;
        const QString candidate = ipText(autoNet_.candidates[autoNet_.candidateIndex]);
        // A ping that could not run says nothing about the address: it is never taken as free.
        if (outcome == NetworkProbe::PingOutcome::Error) {
            abortAutoNet(tr("auto-net: aborted - ping of %1 failed: %2").arg(candidate, detail));
            return;
        }
        autoNet_.pingReplied = outcome == NetworkProbe::PingOutcome::Reply;
        autoNet_.arpPending = true;
        beginAction(tr("auto-net: probe"));
        startProbeRun(true);
    });
}

void DeviceController::onNeighboursRead(bool ok, const QString& lines, const QString& error) {
    runGuarded("auto-net", [&] {
        if (!autoNet_.probeRunning || !autoNet_.arpPending) return;
        autoNet_.probeRunning = false;
        autoNet_.arpPending = false;
        finishAction();
        if (autoNet_.stage != AutoNetStage::Probing || autoNet_.candidateIndex >= autoNet_.candidates.size())
            return;
        const Ipv4Bytes candidate = autoNet_.candidates[autoNet_.candidateIndex];
        const QString candidateText = ipText(candidate);
        if (!ok) {
            abortAutoNet(tr("auto-net: aborted - neighbour table unreadable: %1").arg(error));
            return;
        }
        const bool arpHit = neighbourTableHasEntry(lines, candidateText);
        if (autoNet_.pingReplied || arpHit) {
            appendLog(tr("auto-net: %1 is occupied (%2), trying next")
                          .arg(candidateText, autoNet_.pingReplied ? tr("ping reply") : tr("ARP entry")));
            ++autoNet_.candidateIndex;
            probeNextCandidate();
            return;
        }
        appendLog(tr("auto-net: %1 appears free (no ping reply, no ARP entry)").arg(candidateText));
        autoNet_.record.boardIp = candidate;
        autoNet_.stage = AutoNetStage::Writing;
        const ByteVector packed = packNetworkRecord(autoNet_.record);
        const QByteArray bytes(reinterpret_cast<const char*>(packed.data()),
                               static_cast<qsizetype>(packed.size()));
        beginAction(tr("auto-net: write(256)"));
        appendLog(tr("auto-net: writing device @ %1 -> target %2:%3")
                      .arg(candidateText, ipText(autoNet_.record.targetIp),
                           QString::number(autoNet_.record.targetPort)));
        const quint32 addr = 256;
        invokeWorker("writeSector", Q_ARG(QString, autoNet_.portName), Q_ARG(quint32, addr),
                     Q_ARG(QByteArray, bytes));
    });
}

void DeviceController::continueAutoNetAfterWrite() {
    // The page read and the reset are queued together; the worker runs them in this order and busy
    // holds until both have answered.
    const quint32 addr = 256;
    beginAction(tr("read(256)"));
    invokeWorker("readPage", Q_ARG(QString, autoNet_.portName), Q_ARG(quint32, addr));
    autoNet_.stage = AutoNetStage::Resetting;
    appendLog(tr("auto-net: write verified - rebooting device (.reset)"));
    beginAction(tr("auto-net: reset"));
    invokeWorker("sendReset", Q_ARG(QString, autoNet_.portName));
}

void DeviceController::completeAutoNetAfterReset() {
    autoNet_.stage = AutoNetStage::Idle;
    const NetworkParameterRecord& r = autoNet_.record;
    appendLog(
        tr("auto-net: complete - device %1 @ %2 -> target %3 @ %4:%5 (device is rebooting, parameters take "
           "effect now)")
            .arg(macText(r.boardMac), ipText(r.boardIp), macText(r.targetMac), ipText(r.targetIp),
                 QString::number(r.targetPort)));
}

void DeviceController::abortAutoNet(const QString& text) {
    autoNet_.stage = AutoNetStage::Idle;
    appendLog(text);
}

}  // namespace zk::device
