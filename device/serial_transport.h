#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QString>
#include <cstdint>

#include "device/serial_protocol.h"

// The blocking exchanges of SerialWorker on an open port. Serial thread only; every wait is bounded
// and ends early when the thread is asked to stop (QThread::requestInterruption), except what is
// left of a sector's erase + write pair, which gets a few seconds more so the sector is not left
// erased. A port that hangs up ends a wait at once.
namespace zk::device {

struct TransactionResult {
    bool ok = false;
    std::uint8_t status = 0;  // response status byte
    QByteArray data;          // response data
    QString error;
};

inline constexpr int kReadPageRequestMs = 2500;

// 115200 baud 8N1 without flow control, read-write; error "failed to open serial port: %1".
bool openDevicePort(QSerialPort& port, const QString& name, QString& error);
DeviceProtocol detectProtocol(QSerialPort& port);
TransactionResult runUartV2Transaction(QSerialPort& port, std::uint8_t command, const QByteArray& data,
                                       int timeoutMs);
// Sends the legacy read word with argument and collects the reply until it goes quiet.
QByteArray legacyExchange(QSerialPort& port, std::uint32_t argument, int timeoutMs);

TransactionResult readPageOnPort(QSerialPort& port, DeviceProtocol protocol, std::uint32_t address,
                                 int timeoutMs);
// The refusal text for an empty payload or one longer than a sector, else empty.
QString sectorPayloadError(const QByteArray& payload);
// Erase, blank verify, write and read back; a payload sectorPayloadError refuses is refused first.
TransactionResult writeSectorOnPort(QSerialPort& port, DeviceProtocol protocol, std::uint32_t address,
                                    const QByteArray& payload);
TransactionResult sendGainOnPort(QSerialPort& port, DeviceProtocol protocol, int value);
TransactionResult sendResetOnPort(QSerialPort& port, DeviceProtocol protocol);
// uart_v2 only.
TransactionResult sendActOnPort(QSerialPort& port, bool on);

}  // namespace zk::device
