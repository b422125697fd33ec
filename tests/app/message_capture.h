#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <utility>
#include <vector>

// Records the Qt messages logged while it lives (any thread), then restores the previous handler.
class MessageCapture {
  public:
    MessageCapture() {
        instance() = this;
        previous_ = qInstallMessageHandler(&MessageCapture::handle);
    }
    ~MessageCapture() {
        qInstallMessageHandler(previous_);
        instance() = nullptr;
    }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    QStringList messages(QtMsgType type) const {
        QMutexLocker lock(&mutex_);
        QStringList out;
        for (const auto& [t, text] : records_)
            if (t == type) out << text;
        return out;
    }

  private:
    static MessageCapture*& instance() {
        static MessageCapture* current = nullptr;
        return current;
    }
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& text) {
        MessageCapture* self = instance();
        if (self == nullptr) return;
        QMutexLocker lock(&self->mutex_);
        self->records_.emplace_back(type, text);
    }

    mutable QMutex mutex_;  // guards records_; any thread that logs, and the test thread
    std::vector<std::pair<QtMsgType, QString>> records_;
    QtMessageHandler previous_ = nullptr;
};
