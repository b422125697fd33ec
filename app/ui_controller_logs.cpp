// Status line, live metrics text, event log, diagnostics log and the media log file.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "app/ui_controller.h"

namespace zk::app {

namespace {

constexpr std::size_t kLogLineLimit = 300;

// Texts cross threads as copies that share no buffer, so a buffer's reference count only ever moves
// under the mutex that guards it (which also keeps ThreadSanitizer's view exact next to an
// uninstrumented Qt).
QString unsharedCopy(const QString& text) { return QString(text.constData(), text.size()); }

QStringList unsharedCopies(const std::deque<QString>& lines) {
    QStringList copies;
    copies.reserve(static_cast<qsizetype>(lines.size()));
    for (const QString& line : lines) copies.append(unsharedCopy(line));
    return copies;
}

void appendLine(std::deque<QString>& log, const QString& text) {
    log.push_back(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") +
                  text);
    while (log.size() > kLogLineLimit) log.pop_front();
}

}  // namespace

void UiController::appendEventLog(const QString& text) {
    {
        std::lock_guard lock(logMutex_);
        appendLine(eventLog_, text);
    }
    emit eventLogChanged();
}

void UiController::appendDiagnosticsLog(const QString& text) {
    std::lock_guard lock(logMutex_);
    appendLine(diagnosticsLog_, text);
}

void UiController::setStatusText(const QString& text) {
    appendDiagnosticsLog(text);
    {
        std::lock_guard lock(statusMutex_);
        if (statusText_ == text) return;
        statusText_ = unsharedCopy(text);
    }
    initialPrompt_.store(false);
    emit statusTextChanged();
}

void UiController::reportEvent(const QString& text) {
    appendEventLog(text);
    setStatusText(text);
}

void UiController::setLiveMetricsText(const QString& text) {
    {
        std::lock_guard lock(liveMetricsMutex_);
        if (liveMetrics_ == text) return;
        liveMetrics_ = unsharedCopy(text);
    }
    emit liveMetricsChanged();
}

QString UiController::statusText() const {
    std::lock_guard lock(statusMutex_);
    return unsharedCopy(statusText_);
}

QString UiController::liveMetrics() const {
    std::lock_guard lock(liveMetricsMutex_);
    return unsharedCopy(liveMetrics_);
}

QStringList UiController::eventLog() const {
    std::lock_guard lock(logMutex_);
    return unsharedCopies(eventLog_);
}

QStringList UiController::diagnosticsLog() const {
    std::lock_guard lock(logMutex_);
    return unsharedCopies(diagnosticsLog_);
}

void UiController::logMediaDiagnostic(const QString& message) {
    try {
        QFile file(QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                       .filePath(QStringLiteral("sorvanta_media.log")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) return;
        const QString line = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")) +
                             QStringLiteral("  ") + message + u'\n';
        file.write(line.toUtf8());
    } catch (const std::exception&) {
        // The media log never fails towards its caller.
    }
}

void UiController::refreshLocalizedStrings() {
    try {
        if (initialPrompt_.load()) {
            reportEvent(QCoreApplication::translate("UiController", "Load a validated Device Profile to begin"));
            initialPrompt_.store(true);
        }
        if (!liveRunning_.load() && !replayRunning_.load()) {
            setLiveMetricsText(QCoreApplication::translate("UiController", "Live stopped"));
        }
        rebuildNoiseProfileInfo();
        emit noiseSubtractionChanged();
        {
            std::lock_guard lock(diagnosticsMutex_);
            if (diagnosticOutputs_.diagnosticSource.load() == 0) {
                diagnosticsState_.summary = QCoreApplication::translate("UiController", "Waiting for raw samples");
            }
        }
        emit diagnosticsUpdated();
        emit analysisWindowChanged();
        emit cameraParametersChanged();
    } catch (const std::exception& error) {
        reportEvent(QStringLiteral("Language refresh failed: %1").arg(QString::fromUtf8(error.what())));
    }
}

}  // namespace zk::app
