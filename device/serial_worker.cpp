#include "device/serial_worker.h"

#include <QSerialPort>
#include <QThread>
#include <exception>
#include <functional>

#include "device/serial_transport.h"

namespace zk::device {
namespace {

using PortOperation = std::function<QString(QSerialPort&, DeviceProtocol)>;

// Opens the port, detects the protocol and runs the operation, which returns its failure text (empty
// on success). The port is closed when this returns, before any answer goes out; nothing thrown
// leaves it, so the serial thread keeps serving.
QString runOnDevice(const QString& portName, const PortOperation& operation) {
    try {
        // Closing has begun: the port is not even opened.
        if (QThread::currentThread()->isInterruptionRequested()) {
            return SerialWorker::tr("cancelled: the serial thread is stopping");
        }
        QSerialPort port;
        QString error;
        if (!openDevicePort(port, portName, error)) return error;
        const DeviceProtocol protocol = detectProtocol(port);
        error = operation(port, protocol);
        port.close();
        return error;
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return SerialWorker::tr("unexpected error");
    }
}

QString errorOf(const TransactionResult& result) {
    if (result.ok) return {};
    return result.error.isEmpty() ? SerialWorker::tr("unexpected error") : result.error;
}

}  // namespace

void SerialWorker::probePorts(const QStringList& portNames) {
    for (const QString& name : portNames) {
        if (QThread::currentThread()->isInterruptionRequested()) break;
        DeviceProtocol found = DeviceProtocol::Unknown;
        runOnDevice(name, [&found](QSerialPort&, DeviceProtocol protocol) {
            found = protocol;
            return QString();
        });
        if (found != DeviceProtocol::Unknown) {
            emit probeFinished(name, protocolName(found));
            return;
        }
    }
    emit probeFinished(QString(), QString());
}

void SerialWorker::readPage(const QString& portName, quint32 addr) {
    QByteArray page;
    const QString error = runOnDevice(portName, [&](QSerialPort& port, DeviceProtocol protocol) {
        if (protocol == DeviceProtocol::Unknown) return tr("no device answered");
        TransactionResult result = readPageOnPort(port, protocol, addr, kReadPageRequestMs);
        page = result.data;
        return errorOf(result);
    });
    if (error.isEmpty()) {
        emit pageReady(addr, page);
    } else {
        emit operationFailed(tr("read(%1)").arg(addr), error);
    }
}

void SerialWorker::writeSector(const QString& portName, quint32 addr, const QByteArray& payload) {
    QString error = sectorPayloadError(payload);
    if (error.isEmpty()) {
        error = runOnDevice(portName, [&](QSerialPort& port, DeviceProtocol protocol) {
            if (protocol == DeviceProtocol::Unknown) return tr("no device answered");
            return errorOf(writeSectorOnPort(port, protocol, addr, payload));
        });
    }
    if (error.isEmpty()) {
        emit writeFinished(addr, true, tr("readback verified"));
    } else {
        emit writeFinished(addr, false, error);
    }
}

void SerialWorker::sendGain(const QString& portName, int value) {
    const QString error = runOnDevice(portName, [value](QSerialPort& port, DeviceProtocol protocol) {
        return errorOf(sendGainOnPort(port, protocol, value));
    });
    if (error.isEmpty()) {
        emit gainSent(value);
    } else {
        emit operationFailed(tr("gain"), error);
    }
}

void SerialWorker::sendReset(const QString& portName) {
    const QString error = runOnDevice(portName, [](QSerialPort& port, DeviceProtocol protocol) {
        return errorOf(sendResetOnPort(port, protocol));
    });
    if (error.isEmpty()) {
        emit resetSent();
    } else {
        emit operationFailed(tr("reset"), error);
    }
}

void SerialWorker::sendAct(const QString& portName, bool on) {
    const QString error = runOnDevice(portName, [on](QSerialPort& port, DeviceProtocol protocol) {
        if (protocol != DeviceProtocol::UartV2) return tr("SET_ACT requires a ZK-UART v2 device");
        return errorOf(sendActOnPort(port, on));
    });
    if (error.isEmpty()) {
        emit actSent(on);
    } else {
        emit operationFailed(tr("act"), error);
    }
}

}  // namespace zk::device
