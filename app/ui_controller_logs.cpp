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

QStringList unsharedCopies(const QStringList& texts) {
    QStringList copies;
    for (const QString& text : texts) copies.append(unsharedCopy(text));
    return copies;
}

QString localizedText(const char* source, const QStringList& arguments, int count) {
    QString text = QCoreApplication::translate("UiController", source, nullptr, count);
    for (const QString& argument : arguments) text = text.arg(argument);
    return text;
}

void appendLine(std::deque<QString>& log, const QString& text) {
    log.push_back(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") +
                  text);
    while (log.size() > kLogLineLimit) log.pop_front();
}

}  // namespace

void UiController::appendEventLog(const QString& text) {
    {
        std::lock_guard lock(texts_.logMutex);
        appendLine(texts_.eventLog, text);
    }
    emit eventLogChanged();
}

void UiController::appendDiagnosticsLog(const QString& text) {
    std::lock_guard lock(texts_.logMutex);
    appendLine(texts_.diagnosticsLog, text);
}

void UiController::showStatus(const QString& text, StatusWeight weight) {
    appendDiagnosticsLog(text);
    {
        std::lock_guard lock(texts_.statusMutex);
        if (weight == StatusWeight::Advisory && texts_.statusHeld) return;
        texts_.statusHeld = weight == StatusWeight::Held;
        if (texts_.statusText == text) return;
        texts_.statusText = unsharedCopy(text);
        texts_.statusSource = nullptr;
        texts_.statusArguments.clear();
        texts_.statusCount = -1;
    }
    texts_.initialPrompt.store(false);
    emit statusTextChanged();
}

void UiController::setStatusText(const QString& text) { showStatus(text, StatusWeight::Plain); }

void UiController::setAdvisoryStatus(const QString& text) { showStatus(text, StatusWeight::Advisory); }

void UiController::reportEvent(const QString& text) {
    appendEventLog(text);
    setStatusText(text);
}

void UiController::reportLocalized(const char* source, const QStringList& arguments, int count) {
    const QString text = localizedText(source, arguments, count);
    reportEvent(text);
    std::lock_guard lock(texts_.statusMutex);
    // Another thread may have replaced the text meanwhile; its own text then stands.
    if (texts_.statusText != text) return;
    texts_.statusSource = source;
    texts_.statusArguments = unsharedCopies(arguments);
    texts_.statusCount = count;
}

void UiController::reportAdvisory(const QString& text) {
    appendEventLog(text);
    setAdvisoryStatus(text);
}

std::optional<QString> UiController::heldStatus() const {
    std::lock_guard lock(texts_.statusMutex);
    if (!texts_.statusHeld) return std::nullopt;
    return unsharedCopy(texts_.statusText);
}

void UiController::setLiveMetricsText(const QString& text) {
    {
        std::lock_guard lock(texts_.liveMetricsMutex);
        if (texts_.liveMetrics == text) return;
        texts_.liveMetrics = unsharedCopy(text);
    }
    emit liveMetricsChanged();
}

QString UiController::statusText() const {
    std::lock_guard lock(texts_.statusMutex);
    return unsharedCopy(texts_.statusText);
}

QString UiController::liveMetrics() const {
    std::lock_guard lock(texts_.liveMetricsMutex);
    return unsharedCopy(texts_.liveMetrics);
}

QStringList UiController::eventLog() const {
    std::lock_guard lock(texts_.logMutex);
    return unsharedCopies(texts_.eventLog);
}

QStringList UiController::diagnosticsLog() const {
    std::lock_guard lock(texts_.logMutex);
    return unsharedCopies(texts_.diagnosticsLog);
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
        if (texts_.initialPrompt.load()) {
            reportEvent(
                QCoreApplication::translate("UiController", "Load a validated Device Profile to begin"));
            texts_.initialPrompt.store(true);
        }
        const char* statusSource = nullptr;
        QStringList statusArguments;
        int statusCount = -1;
        {
            std::lock_guard lock(texts_.statusMutex);
            statusSource = texts_.statusSource;
            statusArguments = unsharedCopies(texts_.statusArguments);
            statusCount = texts_.statusCount;
        }
        if (statusSource != nullptr) {
            // Status only: the event log keeps the text as it was written.
            const QString text = localizedText(statusSource, statusArguments, statusCount);
            setStatusText(text);
            std::lock_guard lock(texts_.statusMutex);
            if (texts_.statusText == text) {
                texts_.statusSource = statusSource;
                texts_.statusArguments = unsharedCopies(statusArguments);
                texts_.statusCount = statusCount;
            }
        }
        if (!run_.liveRunning.load() && !run_.replayRunning.load()) {
            setLiveMetricsText(QCoreApplication::translate("UiController", "Live stopped"));
        }
        rebuildNoiseProfileInfo();
        emit noiseSubtractionChanged();
        {
            std::lock_guard lock(diagnostics_.mutex);
            if (diagnostics_.outputs.diagnosticSource.load() == 0) {
                diagnostics_.state.setSummaryNote(
                    QCoreApplication::translate("UiController", "Waiting for raw samples"));
            }
        }
        emit diagnosticsUpdated();
        // The reasons of disabled actions are translated texts.
        emit uiStateChanged();
        // The parameter fields carry translated labels.
        emit algorithmChanged();
        emit analysisAlgorithmChanged();
        emit analysisWindowChanged();
        emit cameraParametersChanged();
    } catch (const std::exception& error) {
        reportEvent(UiText::tr("Language refresh failed: %1").arg(QString::fromUtf8(error.what())));
    }
}

}  // namespace zk::app
