#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

namespace zk::device {

// Every exchange with the array's control port. Lives on the DeviceController's serial thread and is
// reached only by queued calls by slot name; each call opens the port, detects the protocol, runs its
// operation, closes the port and answers with exactly one signal. Keeps no state between calls.
class SerialWorker : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

  signals:
    void probeFinished(const QString& portName, const QString& protocol);
    void pageReady(quint32 addr, const QByteArray& page);
    void gainSent(int value);
    void resetSent();
    void actSent(bool on);
    void writeFinished(quint32 addr, bool ok, const QString& detail);
    void operationFailed(const QString& action, const QString& error);

  public slots:
    // The first of the ports whose device answers in either protocol; empty texts when none does.
    void probePorts(const QStringList& portNames);
    void readPage(const QString& portName, quint32 addr);
    // Erase, blank verify, write and read back; a payload that is empty or longer than a sector is
    // refused before the port is opened.
    void writeSector(const QString& portName, quint32 addr, const QByteArray& payload);
    void sendGain(const QString& portName, int value);
    void sendReset(const QString& portName);
    void sendAct(const QString& portName, bool on);
};

}  // namespace zk::device
