#include "device/serial_transport.h"

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <functional>
#include <stdexcept>

#include "device/page_payloads.h"
#include "device/platform/serial_hangup.h"
#include "device/serial_worker.h"
#include "device/uart_v2_codec.h"

namespace zk::device {
namespace {

constexpr int kWriteWaitMs = 1000;
constexpr int kPollMs = 100;
constexpr int kLegacyQuietMs = 300;
constexpr qsizetype kLegacyReplyLimit = 65536;
constexpr int kUartV2PageMs = 3000;
constexpr int kUartV2ShortMs = 1000;
// What is left of an erase + write pair may still run this long once closing has begun.
constexpr qint64 kClosingPairGraceMs = 3000;

QByteArray bytesOf(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

ByteSpan spanOf(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

QByteArray addressBytes(std::uint32_t address) {
    const auto bytes = encodePageAddress(address);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), 2);
}

QByteArray legacyCommand(std::string_view word, std::uint32_t argument) {
    return bytesOf(word) + QByteArray::number(argument) + ')';
}

// Set by the controller's destructor as closing begins: no request starts and running waits end.
bool stopRequested() { return QThread::currentThread()->isInterruptionRequested(); }

// Whether a wait gives up now; checked before a request goes out and before every poll.
using Cancelled = std::function<bool()>;

// Once the erase request is out, the sector stays erased unless the write follows, so closing does
// not cut the pair short; it only bounds what is left of it.
class PairGrace {
  public:
    bool expired() {
        if (!stopRequested()) return false;
        if (!closingSeen_.isValid()) closingSeen_.start();
        return closingSeen_.hasExpired(kClosingPairGraceMs);
    }

  private:
    QElapsedTimer closingSeen_;
};

// Empty while the port is usable; else why not. A vanished port answers every wait at once (an
// unplugged adapter) or reports input that reads as nothing (a hung-up terminal): waiting on is
// pointless either way.
QString lostPortError(const QSerialPort& port) {
    if (port.error() == QSerialPort::ResourceError) return port.errorString();
    if (serialPortHungUp(port)) return SerialWorker::tr("serial port hung up");
    return {};
}

QString stoppedText() { return SerialWorker::tr("cancelled: the serial thread is stopping"); }

TransactionResult failure(const QString& error) {
    TransactionResult result;
    result.error = error;
    return result;
}

TransactionResult success() {
    TransactionResult result;
    result.ok = true;
    return result;
}

void writeAndWait(QSerialPort& port, const QByteArray& bytes, int waitMs) {
    port.write(bytes);
    port.waitForBytesWritten(waitMs);
}

TransactionResult transact(QSerialPort& port, std::uint8_t command, const QByteArray& data, int timeoutMs,
                           const Cancelled& cancelled) {
    if (cancelled()) return failure(stoppedText());
    const ByteVector request = buildUartV2Request(command, spanOf(data));
    port.clear(QSerialPort::Input);
    port.write(reinterpret_cast<const char*>(request.data()), static_cast<qint64>(request.size()));
    if (!port.waitForBytesWritten(kWriteWaitMs)) return failure(SerialWorker::tr("write timeout"));

    QElapsedTimer elapsed;
    elapsed.start();
    ByteVector buffer;
    while (elapsed.elapsed() < timeoutMs) {
        if (cancelled()) return failure(stoppedText());
        if (const QString lost = lostPortError(port); !lost.isEmpty()) return failure(lost);
        if (port.bytesAvailable() <= 0 && !port.waitForReadyRead(kPollMs)) continue;
        const QByteArray chunk = port.readAll();
        // Every frame already buffered is examined, so an answer that arrives together with a late
        // answer to an earlier request is not left waiting for bytes that never come.
        for (auto frame = takeUartV2Frame(buffer, spanOf(chunk)); frame;
             frame = takeUartV2Frame(buffer, {})) {
            if (frame->command != command) continue;
            TransactionResult result;
            result.ok = frame->status == 0;
            result.status = frame->status;
            result.data = QByteArray(reinterpret_cast<const char*>(frame->data.data()),
                                     static_cast<qsizetype>(frame->data.size()));
            if (!result.ok) result.error = QString::fromLatin1(uartV2StatusName(frame->status));
            return result;
        }
    }
    return failure(SerialWorker::tr("response timeout"));
}

TransactionResult uartV2ReadPage(QSerialPort& port, const QByteArray& address, int timeoutMs,
                                 const Cancelled& cancelled = stopRequested) {
    return transact(port, uart_v2_command::kReadPage, address, timeoutMs, cancelled);
}

TransactionResult writeSectorUartV2(QSerialPort& port, std::uint32_t address, const QByteArray& payload) {
    if (stopRequested()) return failure(stoppedText());
    PairGrace grace;
    const Cancelled pairCancelled = [&grace] { return grace.expired(); };
    const QByteArray addr = addressBytes(address);
    const TransactionResult erase =
        transact(port, uart_v2_command::kEraseSector, addr, kUartV2PageMs, pairCancelled);
    if (!erase.ok) return failure(SerialWorker::tr("erase: %1").arg(erase.error));

    bool blank = false;
    for (int attempt = 0; attempt < 3 && !blank; ++attempt) {
        if (grace.expired()) return failure(stoppedText());
        if (attempt > 0) QThread::msleep(20);
        const TransactionResult read = uartV2ReadPage(port, addr, kUartV2PageMs, pairCancelled);
        blank = read.ok && read.data.size() >= static_cast<qsizetype>(kSectorBytes) &&
                isBlankSector(spanOf(read.data));
    }
    if (!blank) return failure(SerialWorker::tr("erase verify: sector not blank (write aborted)"));

    const TransactionResult write =
        transact(port, uart_v2_command::kWriteSector, addr + payload, kUartV2PageMs, pairCancelled);
    if (!write.ok) return failure(SerialWorker::tr("write: %1").arg(write.error));

    const TransactionResult back = uartV2ReadPage(port, addr, kUartV2PageMs);
    if (!back.ok || back.data.size() < payload.size()) return failure(SerialWorker::tr("readback timeout"));
    if (back.data.first(payload.size()) != payload) return failure(SerialWorker::tr("readback mismatch"));
    return success();
}

TransactionResult writeSectorLegacy(QSerialPort& port, std::uint32_t address, const QByteArray& payload) {
    // Once erased, the sector is written whatever happens meanwhile; both steps are bounded.
    if (stopRequested()) return failure(stoppedText());
    writeAndWait(port, legacyCommand(kLegacyEraseWord, address), kWriteWaitMs);
    QThread::msleep(500);
    writeAndWait(port, legacyCommand(kLegacyWriteWord, address) + payload + bytesOf(kLegacyTrailer), 2000);
    QThread::msleep(100);
    const QByteArray back = legacyExchange(port, address, kReadPageRequestMs);
    if (back.size() < payload.size()) {
        return failure(SerialWorker::tr("readback timeout (%1 bytes)").arg(back.size()));
    }
    if (back.first(payload.size()) != payload) return failure(SerialWorker::tr("readback mismatch"));
    return success();
}

}  // namespace

QString protocolName(DeviceProtocol protocol) {
    switch (protocol) {
        case DeviceProtocol::LegacyAscii:
            return QStringLiteral("legacy ASCII");
        case DeviceProtocol::UartV2:
            return QStringLiteral("ZK-UART v2");
        default:
            return QStringLiteral("unknown");
    }
}

bool openDevicePort(QSerialPort& port, const QString& name, QString& error) {
    port.setPortName(name);
    port.setBaudRate(QSerialPort::Baud115200);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (port.open(QIODevice::ReadWrite)) return true;
    error = SerialWorker::tr("failed to open serial port: %1").arg(port.errorString());
    return false;
}

DeviceProtocol detectProtocol(QSerialPort& port) {
    const TransactionResult identify = runUartV2Transaction(port, uart_v2_command::kIdentify, {}, 800);
    if (identify.ok && identify.data.startsWith(bytesOf(kIdentifyMarker))) return DeviceProtocol::UartV2;
    if (stopRequested()) return DeviceProtocol::Unknown;
    const QByteArray reply = legacyExchange(port, 0, 700);
    if (reply.size() >= 12 && reply.contains(bytesOf(kLegacyTrailer))) return DeviceProtocol::LegacyAscii;
    return DeviceProtocol::Unknown;
}

TransactionResult runUartV2Transaction(QSerialPort& port, std::uint8_t command, const QByteArray& data,
                                       int timeoutMs) {
    return transact(port, command, data, timeoutMs, stopRequested);
}

QByteArray legacyExchange(QSerialPort& port, std::uint32_t argument, int timeoutMs) {
    port.clear(QSerialPort::Input);
    writeAndWait(port, legacyCommand(kLegacyReadWord, argument), kWriteWaitMs);

    const int quietLimitMs = timeoutMs > 0 && timeoutMs < kLegacyQuietMs ? timeoutMs : kLegacyQuietMs;
    QByteArray reply;
    int quietMs = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    while (reply.size() < kLegacyReplyLimit && elapsed.elapsed() < timeoutMs && !stopRequested() &&
           lostPortError(port).isEmpty()) {
        if (port.bytesAvailable() > 0 || port.waitForReadyRead(kPollMs)) {
            reply += port.readAll();
            quietMs = 0;
        } else {
            quietMs += kPollMs;
            if (!reply.isEmpty() && quietMs >= quietLimitMs) break;
        }
    }
    return reply;
}

TransactionResult readPageOnPort(QSerialPort& port, DeviceProtocol protocol, std::uint32_t address,
                                 int timeoutMs) {
    if (protocol == DeviceProtocol::UartV2) {
        return uartV2ReadPage(port, addressBytes(address), std::max(timeoutMs, kUartV2PageMs));
    }
    const QByteArray reply = legacyExchange(port, address, timeoutMs);
    if (reply.isEmpty()) return failure(SerialWorker::tr("read timeout"));
    TransactionResult result = success();
    result.data = reply;
    return result;
}

QString sectorPayloadError(const QByteArray& payload) {
    if (payload.isEmpty()) return SerialWorker::tr("refused: empty sector payload");
    if (payload.size() > static_cast<qsizetype>(kSectorBytes)) {
        return SerialWorker::tr("refused: %1 bytes exceed the %2-byte sector")
            .arg(payload.size())
            .arg(kSectorBytes);
    }
    return {};
}

TransactionResult writeSectorOnPort(QSerialPort& port, DeviceProtocol protocol, std::uint32_t address,
                                    const QByteArray& payload) {
    const QString refusal = sectorPayloadError(payload);
    if (!refusal.isEmpty()) return failure(refusal);
    return protocol == DeviceProtocol::UartV2 ? writeSectorUartV2(port, address, payload)
                                              : writeSectorLegacy(port, address, payload);
}

TransactionResult sendGainOnPort(QSerialPort& port, DeviceProtocol protocol, int value) {
    if (protocol == DeviceProtocol::UartV2) {
        return runUartV2Transaction(port, uart_v2_command::kSetGain,
                                    QByteArray(1, static_cast<char>(value & 0xFF)), kUartV2ShortMs);
    }
    writeAndWait(port, legacyCommand(kLegacyGainWord, static_cast<std::uint32_t>(value)), kWriteWaitMs);
    return success();
}

TransactionResult sendResetOnPort(QSerialPort& port, DeviceProtocol protocol) {
    if (protocol == DeviceProtocol::UartV2) {
        return runUartV2Transaction(port, uart_v2_command::kReset, {}, kUartV2ShortMs);
    }
    writeAndWait(port, bytesOf(kLegacyResetWord), kWriteWaitMs);
    return success();
}

TransactionResult sendActOnPort(QSerialPort& port, bool on) {
    return runUartV2Transaction(port, uart_v2_command::kSetAct, QByteArray(1, on ? '\x01' : '\x00'),
                                kUartV2ShortMs);
}

}  // namespace zk::device
