#include "message_capture.h"

#include <QMutexLocker>
#include <atomic>
#include <cstdio>

namespace zk::qmltest {

namespace {
std::atomic<MessageCapture*> active{nullptr};  // the installed capture; set and cleared on the test thread

// Qt Multimedia's report that the machine runs no sound server (build machines have none), and Qt's
// animation timer told to stop once more, seen only on a loaded machine: neither says anything about
// the interface, and no QML can cause or avoid them.
bool aboutTheMachine(const QString& text) {
    return text == QLatin1String("PulseAudioService: pa_context_connect() failed") ||
           text == QLatin1String("QUnifiedTimer::stopAnimationDriver: driver is not running");
}
}  // namespace

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
    if (self && type != QtDebugMsg && type != QtInfoMsg && !aboutTheMachine(text)) {
        QMutexLocker lock(&self->mutex_);
        self->messages_.append(text);
    }
    if (self && self->previous_)
        self->previous_(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

}  // namespace zk::qmltest
