#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace zk::qmltest {

// Collects every warning, critical and fatal message of the process while it lives (one at a time).
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    QStringList messages() const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text);

    QtMessageHandler previous_ = nullptr;
    mutable QMutex mutex_;  // guards messages_: any thread that logs, and the test thread
    QStringList messages_;
};

}  // namespace zk::qmltest
