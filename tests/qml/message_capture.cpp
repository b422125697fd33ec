#include "message_capture.h"

#include <QMutexLocker>
#include <atomic>
#include <cstdio>

namespace zk::qmltest {

namespace {
std::atomic<MessageCapture*> active{nullptr};  // the installed capture; set and cleared on the test thread
}

MessageCapture::MessageCapture() {
    active.store(this);
    previous_ = qInstallMessageHandler(&MessageCapture::handler);
}

MessageCapture::~MessageCapture() {
    qInstallMessageHandler(previous_);
    active.store(nullptr);
}

QStringList MessageCapture::messages() const {
    QMutexLocker lock(&mutex_);
    return messages_;
}

void MessageCapture::clear() {
    QMutexLocker lock(&mutex_);
    messages_.clear();
}

void MessageCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    MessageCapture* self = active.load();
    if (self && type != QtDebugMsg && type != QtInfoMsg) {
        QMutexLocker lock(&self->mutex_);
        self->messages_.append(text);
    }
    if (self && self->previous_)
        self->previous_(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

}  // namespace zk::qmltest
