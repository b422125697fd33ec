#include "device/device_controller.h"

#include <QSerialPortInfo>
#include <QTime>
#include <algorithm>
#include <exception>

#include "device/serial_worker.h"

namespace zk::device {
namespace {

constexpr qsizetype kLogLimit = 20000;
const QString kGainKey = QStringLiteral("deviceGain");

}  // namespace

QList<SerialPortListing> listSystemSerialPorts() {
    QList<SerialPortListing> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        ports.push_back({info.portName(), info.description()});
    }
    return ports;
}

DeviceController::DeviceController(Services services, QObject* parent)
    : QObject(parent),
      activeProfileSource_(std::move(services.activeProfile)),
      listPorts_(std::move(services.listPorts)),
      networkProbe_(std::move(services.networkProbe)) {
    if (!listPorts_) listPorts_ = listSystemSerialPorts;
    if (!networkProbe_) networkProbe_ = createSystemNetworkProbe();
    connect(networkProbe_.get(), &NetworkProbe::pingFinished, this, &DeviceController::onPingFinished);
    connect(networkProbe_.get(), &NetworkProbe::neighboursRead, this, &DeviceController::onNeighboursRead);

    worker_ = new SerialWorker;
    worker_->moveToThread(&serialThread_);
    connect(&serialThread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &SerialWorker::probeFinished, this, &DeviceController::onProbeFinished);
    connect(worker_, &SerialWorker::pageReady, this, &DeviceController::onPageReady);
    connect(worker_, &SerialWorker::gainSent, this, &DeviceController::onGainSent);
    connect(worker_, &SerialWorker::resetSent, this, &DeviceController::onResetSent);
    connect(worker_, &SerialWorker::actSent, this, &DeviceController::onActSent);
    connect(worker_, &SerialWorker::writeFinished, this, &DeviceController::onWriteFinished);
    connect(worker_, &SerialWorker::operationFailed, this, &DeviceController::onOperationFailed);
    serialThread_.start(QThread::InheritPriority);

    gain_ = std::clamp(settings_.value(kGainKey, 3).toInt(), 0, 10);
    refreshPorts();
}

DeviceController::~DeviceController() {
    // No probe answer may reach a controller that is half destroyed.
    networkProbe_->disconnect(this);
    networkProbe_.reset();
    // No answer is taken any more; the connections end here, on the thread that made them.
    disconnect(worker_, nullptr, this, nullptr);
    // Closing begins: no queued request starts, a running one ends at its next wait, except an erase
    // + write pair in flight, which finishes within a few seconds so its sector is not left erased.
    serialThread_.requestInterruption();
    serialThread_.quit();
    serialThread_.wait();
}

void DeviceController::setSelectedPortIndex(int index) {
    if (index == selectedPortIndex_) return;
    selectedPortIndex_ = index;
    emit selectedPortIndexChanged();
    emit stateChanged();
}

bool DeviceController::canOperate() const { return !busy() && !selectedPortName().isEmpty(); }

QString DeviceController::selectedPortName() const {
    if (selectedPortIndex_ < 0 || selectedPortIndex_ >= portNames_.size()) return {};
    return portNames_[selectedPortIndex_];
}

const core::DeviceProfile* DeviceController::activeProfile() const {
    return activeProfileSource_ ? activeProfileSource_() : nullptr;
}

QStringList DeviceController::firPresetIds() const {
    QStringList ids;
    const core::DeviceProfile* profile = activeProfile();
    if (profile == nullptr || !profile->fir) return ids;
    for (const core::FirPreset& preset : profile->fir->presets)
        ids.push_back(QString::fromStdString(preset.id));
    return ids;
}

void DeviceController::beginAction(const QString& label) {
    pendingActions_.push_back(label);
    emit busyChanged();
    emit stateChanged();
}

void DeviceController::finishAction() {
    if (!pendingActions_.empty()) pendingActions_.pop_front();
    emit busyChanged();
    emit stateChanged();
}

void DeviceController::invokeWorker(const char* slot, QGenericArgument a, QGenericArgument b,
                                    QGenericArgument c) {
    if (!QMetaObject::invokeMethod(worker_, slot, Qt::QueuedConnection, a, b, c)) {
        // Only a mismatch of slot and arguments gets here; no answer would ever come.
        finishAction();
        appendLog(tr("%1 failed: %2").arg(QString::fromLatin1(slot), tr("serial worker call refused")));
    }
}

void DeviceController::runGuarded(const char* action, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        appendLog(tr("%1 failed: %2").arg(QString::fromLatin1(action), QString::fromUtf8(e.what())));
    } catch (...) {
        appendLog(tr("%1 failed: %2").arg(QString::fromLatin1(action), tr("unexpected error")));
    }
}

void DeviceController::appendLog(const QString& text) {
    logText_.prepend(
        QStringLiteral("[%1] %2\n").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), text));
    if (logText_.size() > kLogLimit) {
        logText_.truncate(kLogLimit);
        const qsizetype lastLineFeed = logText_.lastIndexOf(QLatin1Char('\n'));
        if (lastLineFeed > 0) logText_.truncate(lastLineFeed + 1);
    }
    emit logTextChanged();
}

void DeviceController::clearLog() {
    logText_.clear();
    emit logTextChanged();
}

void DeviceController::refreshPorts() {
    runGuarded("refreshPorts", [this] {
        serialPorts_.clear();
        portNames_.clear();
        const QList<SerialPortListing> ports = listPorts_();
        for (const SerialPortListing& port : ports) {
            const QString description =
                port.description.isEmpty() ? QStringLiteral("serial") : port.description;
            serialPorts_.push_back(QStringLiteral("%1 - %2").arg(port.name, description));
            portNames_.push_back(port.name);
        }
        if (selectedPortIndex_ >= portNames_.size()) selectedPortIndex_ = -1;
        if (selectedPortIndex_ < 0) {
            const auto ch340 = std::find_if(ports.cbegin(), ports.cend(), [](const SerialPortListing& port) {
                return port.description.contains(QLatin1String("CH340"), Qt::CaseInsensitive);
            });
            if (ch340 != ports.cend()) {
                selectedPortIndex_ = static_cast<int>(ch340 - ports.cbegin());
            } else if (!portNames_.isEmpty()) {
                selectedPortIndex_ = 0;
            }
        }
        emit serialPortsChanged();
        emit selectedPortIndexChanged();
        emit stateChanged();
    });
}

void DeviceController::probeAndSelect() {
    runGuarded("probe", [this] {
        if (busy()) return;
        if (portNames_.isEmpty()) refreshPorts();
        if (portNames_.isEmpty()) {
            appendLog(tr("probe: no serial ports found"));
            return;
        }
        beginAction(tr("probe"));
        // English has a singular; the catalogues give each count its own form (%n).
        const auto ports = static_cast<int>(portNames_.size());
        appendLog(ports == 1 ? tr("probing %n port...", nullptr, 1)
                             : tr("probing %n ports...", nullptr, ports));
        const QStringList names = portNames_;
        invokeWorker("probePorts", Q_ARG(QStringList, names));
    });
}

void DeviceController::readPage(const QString& refusal, const QString& label, quint32 addr) {
    if (!canOperate()) {
        appendLog(refusal);
        return;
    }
    beginAction(label);
    const QString port = selectedPortName();
    invokeWorker("readPage", Q_ARG(QString, port), Q_ARG(quint32, addr));
}

void DeviceController::readHardwareId() {
    runGuarded("read(0)", [this] { readPage(tr("read(0): no serial port selected"), tr("read(0)"), 0); });
}

void DeviceController::readNetParams() {
    runGuarded("read(256)",
               [this] { readPage(tr("read(256): no serial port selected"), tr("read(256)"), 256); });
}

void DeviceController::readFir() {
    runGuarded("read(768)",
               [this] { readPage(tr("read(768): no serial port selected"), tr("read(768)"), 768); });
}

void DeviceController::rebootDevice() {
    runGuarded("reset", [this] {
        if (!canOperate()) {
            appendLog(tr("reset rejected: no serial port selected"));
            return;
        }
        beginAction(tr("reset"));
        appendLog(tr("Reboot command sent - device rebooting, network parameters take effect"));
        const QString port = selectedPortName();
        invokeWorker("sendReset", Q_ARG(QString, port));
    });
}

void DeviceController::setActEnabled(bool on) {
    runGuarded("act", [this, on] {
        if (!canOperate()) {
            appendLog(tr("act rejected: no serial port selected"));
            return;
        }
        beginAction(tr("act %1").arg(on ? 1 : 0));
        const QString port = selectedPortName();
        invokeWorker("sendAct", Q_ARG(QString, port), Q_ARG(bool, on));
    });
}

void DeviceController::setGain(int value) {
    runGuarded("gain", [this, value] {
        gain_ = std::clamp(value, 0, 10);
        settings_.setValue(kGainKey, gain_);
        emit gainChanged();
        if (!canOperate()) {
            appendLog(tr("gain %1 stored; no serial port selected").arg(gain_));
            return;
        }
        beginAction(tr("gain %1").arg(gain_));
        const QString port = selectedPortName();
        const int level = gain_;
        invokeWorker("sendGain", Q_ARG(QString, port), Q_ARG(int, level));
    });
}

void DeviceController::onProbeFinished(const QString& portName, const QString& protocol) {
    runGuarded("probe", [&] {
        finishAction();
        if (portName.isEmpty()) {
            appendLog(tr("probe: no device answered"));
            return;
        }
        const qsizetype index = portNames_.indexOf(portName);
        if (index >= 0) {
            selectedPortIndex_ = static_cast<int>(index);
            emit selectedPortIndexChanged();
            emit stateChanged();
        }
        appendLog(tr("probe: device answered on %1 (%2)").arg(portName, protocol));
        readHardwareId();
    });
}

void DeviceController::onGainSent(int value) {
    runGuarded("gain", [&] {
        finishAction();
        appendLog(tr("gain level %1 applied").arg(value));
    });
}

void DeviceController::onResetSent() {
    runGuarded("reset", [&] {
        finishAction();
        appendLog(tr("reset: done (device is rebooting)"));
        if (autoNet_.stage == AutoNetStage::Resetting) completeAutoNetAfterReset();
    });
}

void DeviceController::onActSent(bool on) {
    runGuarded("act", [&] {
        finishAction();
        appendLog(tr("UDP output %1 (SET_ACT)").arg(on ? tr("enabled") : tr("disabled")));
    });
}

void DeviceController::onOperationFailed(const QString& action, const QString& error) {
    runGuarded("device action", [&] {
        finishAction();
        appendLog(tr("%1 failed: %2").arg(action, error));
        if (autoNetRunning()) abortAutoNet(tr("auto-net: aborted"));
    });
}

void DeviceController::onWriteFinished(quint32 addr, bool ok, const QString& detail) {
    runGuarded("write", [&] {
        finishAction();
        appendLog(tr("write(%1) %2: %3").arg(QString::number(addr), ok ? tr("OK") : tr("FAILED"), detail));
        if (!ok) {
            if (autoNetRunning()) abortAutoNet(tr("auto-net: aborted (write failed)"));
            return;
        }
        if (addr == 256 && autoNet_.stage == AutoNetStage::Writing) {
            continueAutoNetAfterWrite();
        } else if (addr == 256) {
            readNetParams();
            emit netParamsWritten();
        } else if (addr == 768) {
            readFir();
        }
    });
}

}  // namespace zk::device
