#pragma once

#include <QtGlobal>

class QMessageLogContext;
class QString;

namespace zk::app {

// The process-wide Qt message handler (install with qInstallMessageHandler): every message, formatted
// with the message pattern, goes to standard error as one write. Any thread; it never ends the
// process, whatever the message type.
void consoleMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);

}  // namespace zk::app
