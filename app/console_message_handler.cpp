#include "app/console_message_handler.h"

#include <QByteArray>
#include <QString>

#include "app/platform/console_output.h"

namespace zk::app {

void consoleMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    try {
        QByteArray bytes = qFormatLogMessage(type, context, message).toLocal8Bit();
        const std::string_view lineEnd = platform::consoleLineEnd();
        bytes.append(lineEnd.data(), static_cast<qsizetype>(lineEnd.size()));
        platform::writeConsoleMessage(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    } catch (...) {
        // Out of memory while formatting: the message is lost, the process goes on.
    }
}

}  // namespace zk::app
