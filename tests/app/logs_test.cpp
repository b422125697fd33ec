// Status line, event log, diagnostics log, media log and the re-translation of the held texts.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTranslator>
#include <thread>

#include "app/ui_controller.h"
#include "app_test_support.h"

namespace zk::app::test {
namespace {

using ControllerLogs = ControllerSettingsTest;

// "HH:mm:ss", two blanks, the text.
const QRegularExpression kLogLine(QStringLiteral("^([0-2][0-9]):([0-5][0-9]):([0-5][0-9])  (.*)$"),
                                  QRegularExpression::DotMatchesEverythingOption);

QString textOf(const QString& line) {
    const QRegularExpressionMatch match = kLogLine.match(line);
    return match.hasMatch() ? match.captured(4) : QStringLiteral("<malformed: %1>").arg(line);
}

TEST_F(ControllerLogs, LinesCarryTheLocalTimeAndTheText) {
    UiController ui;
    const QTime before = QTime::currentTime();
    ui.reportEvent(QStringLiteral("Live stopped"));
    const QTime after = QTime::currentTime();
    const QString line = ui.eventLog().back();
    const QRegularExpressionMatch match = kLogLine.match(line);
    ASSERT_TRUE(match.hasMatch()) << line.toStdString();
    EXPECT_EQ(match.captured(4), QStringLiteral("Live stopped"));
    const QTime stamp = QTime::fromString(line.left(8), QStringLiteral("HH:mm:ss"));
    ASSERT_TRUE(stamp.isValid());
    const QTime first(before.hour(), before.minute(), before.second());
    if (first <= after) {  // not across midnight
        EXPECT_TRUE(stamp >= first && stamp <= after) << line.toStdString();
    }
    EXPECT_EQ(ui.diagnosticsLog().back(), line);
}

TEST_F(ControllerLogs, BothLogsKeepTheNewestThreeHundredLinesOldestFirst) {
    UiController ui;
    for (int i = 1; i <= 301; ++i) ui.appendEventLog(QStringLiteral("event %1").arg(i));
    for (int i = 1; i <= 305; ++i) ui.appendDiagnosticsLog(QStringLiteral("trail %1").arg(i));
    const QStringList events = ui.eventLog();
    ASSERT_EQ(events.size(), 300);
    // The camera line of the start and the first event went first.
    EXPECT_EQ(textOf(events.front()), QStringLiteral("event 2"));
    EXPECT_EQ(textOf(events.back()), QStringLiteral("event 301"));
    const QStringList trail = ui.diagnosticsLog();
    ASSERT_EQ(trail.size(), 300);
    EXPECT_EQ(textOf(trail.front()), QStringLiteral("trail 6"));
    EXPECT_EQ(textOf(trail.back()), QStringLiteral("trail 305"));
    for (qsizetype i = 1; i < events.size(); ++i) {
        EXPECT_EQ(textOf(events[i]), QStringLiteral("event %1").arg(i + 2));
    }
}

TEST_F(ControllerLogs, OnlyTheEventLogSignalsAndStatusTextsGoToTheTrail) {
    UiController ui;
    QSignalSpy events(&ui, &UiController::eventLogChanged);
    QSignalSpy status(&ui, &UiController::statusTextChanged);
    ui.appendDiagnosticsLog(QStringLiteral("trail only"));
    EXPECT_EQ(events.count(), 0);
    ui.setStatusText(QStringLiteral("status only"));
    EXPECT_EQ(events.count(), 0);
    EXPECT_EQ(status.count(), 1);
    EXPECT_EQ(textOf(ui.diagnosticsLog().back()), QStringLiteral("status only"));
    EXPECT_EQ(textOf(ui.eventLog().back()), textOf(ui.eventLog().front()));  // still the camera line alone
    ui.reportEvent(QStringLiteral("reported"));
    ui.reportEvent(QStringLiteral("reported"));
    EXPECT_EQ(events.count(), 2);
    EXPECT_EQ(status.count(), 2);  // the second report finds the same status text
    const QStringList log = ui.eventLog();
    EXPECT_EQ(textOf(log[log.size() - 1]), QStringLiteral("reported"));
    EXPECT_EQ(textOf(log[log.size() - 2]), QStringLiteral("reported"));
    const QStringList trail = ui.diagnosticsLog();
    EXPECT_EQ(textOf(trail[trail.size() - 1]), QStringLiteral("reported"));
    EXPECT_EQ(textOf(trail[trail.size() - 2]), QStringLiteral("reported"));
}

TEST_F(ControllerLogs, TheSameStatusTextKeepsThePromptFlagAndEmitsNothing) {
    UiController ui;
    QSignalSpy status(&ui, &UiController::statusTextChanged);
    const qsizetype trailBefore = ui.diagnosticsLog().size();
    ui.setStatusText(QStringLiteral("Load a validated Device Profile to begin"));
    EXPECT_EQ(status.count(), 0);
    EXPECT_TRUE(ui.statusIsInitialPrompt());
    EXPECT_EQ(ui.diagnosticsLog().size(), trailBefore + 1);
    ui.setStatusText(QStringLiteral("Something else"));
    EXPECT_FALSE(ui.statusIsInitialPrompt());
    EXPECT_EQ(status.count(), 1);
}

TEST_F(ControllerLogs, LiveMetricsSignalOnlyOnChange) {
    UiController ui;
    QSignalSpy metrics(&ui, &UiController::liveMetricsChanged);
    ui.setLiveMetricsText(QStringLiteral("Live stopped"));
    EXPECT_EQ(metrics.count(), 0);
    ui.setLiveMetricsText(QStringLiteral("hops 1"));
    ui.setLiveMetricsText(QStringLiteral("hops 1"));
    EXPECT_EQ(metrics.count(), 1);
    EXPECT_EQ(ui.liveMetrics(), QStringLiteral("hops 1"));
}

// A translation of the controller's context that marks every text it translates.
class MarkingTranslator : public QTranslator {
  public:
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (qstrcmp(context, "UiController") != 0) return {};
        return QStringLiteral("[xx] ") + QString::fromUtf8(sourceText);
    }
    bool isEmpty() const override { return false; }
};

TEST_F(ControllerLogs, ALanguageChangeRetranslatesTheHeldTexts) {
    UiController ui;
    QSignalSpy diagnostics(&ui, &UiController::diagnosticsUpdated);
    QSignalSpy window(&ui, &UiController::analysisWindowChanged);
    QSignalSpy camera(&ui, &UiController::cameraParametersChanged);
    QSignalSpy noise(&ui, &UiController::noiseSubtractionChanged);
    MarkingTranslator translator;
    ASSERT_TRUE(QCoreApplication::installTranslator(&translator));
    ui.refreshLocalizedStrings();
    QCoreApplication::removeTranslator(&translator);

    EXPECT_EQ(ui.statusText(), QStringLiteral("[xx] Load a validated Device Profile to begin"));
    EXPECT_TRUE(ui.statusIsInitialPrompt());
    EXPECT_EQ(textOf(ui.eventLog().back()), QStringLiteral("[xx] Load a validated Device Profile to begin"));
    EXPECT_EQ(ui.liveMetrics(), QStringLiteral("[xx] Live stopped"));
    EXPECT_EQ(ui.noiseProfileInfo(), QStringLiteral("[xx] Not calibrated"));
    EXPECT_EQ(ui.diagnosticSummary(), QStringLiteral("[xx] Waiting for raw samples"));
    EXPECT_EQ(diagnostics.count(), 1);
    EXPECT_EQ(window.count(), 1);
    EXPECT_EQ(camera.count(), 1);
    EXPECT_EQ(noise.count(), 1);

    // Back to the source language: the prompt is still up, so it is reported again.
    ui.refreshLocalizedStrings();
    EXPECT_EQ(ui.statusText(), QStringLiteral("Load a validated Device Profile to begin"));
    EXPECT_TRUE(ui.statusIsInitialPrompt());
}

TEST_F(ControllerLogs, AfterAnotherStatusTextTheLanguageChangeLeavesTheStatusAlone) {
    UiController ui;
    ui.setStatusText(QStringLiteral("Profile validation failed: x"));
    const qsizetype events = ui.eventLog().size();
    MarkingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    ui.refreshLocalizedStrings();
    QCoreApplication::removeTranslator(&translator);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Profile validation failed: x"));
    EXPECT_EQ(ui.eventLog().size(), events);
}

// A catalogue text on the status line follows the language; the event log keeps it as written, and a
// worker's plain text that replaced it, even while the two race, is never turned back into it.
TEST_F(ControllerLogs, ACatalogueStatusTextFollowsTheLanguageUntilAnotherTextReplacesIt) {
    UiController ui;
    ui.reportLocalized("Export failed: %1", {QStringLiteral("disk full")});
    MarkingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    ui.refreshLocalizedStrings();
    EXPECT_EQ(ui.statusText(), QStringLiteral("[xx] Export failed: disk full"));
    EXPECT_EQ(textOf(ui.eventLog().back()), QStringLiteral("Export failed: disk full"));

    std::thread worker([&ui] {
        for (int i = 0; i < 2000; ++i) ui.setStatusText(QStringLiteral("worker %1").arg(i));
    });
    for (int i = 0; i < 200; ++i) {
        ui.reportLocalized("Export failed: %1", {QString::number(i)});
        ui.refreshLocalizedStrings();
    }
    worker.join();
    ui.setStatusText(QStringLiteral("worker done"));
    ui.refreshLocalizedStrings();
    QCoreApplication::removeTranslator(&translator);
    EXPECT_EQ(ui.statusText(), QStringLiteral("worker done"));
}

TEST_F(ControllerLogs, MediaMessagesAreAppendedToTheTemporaryFolderLog) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QByteArray previous = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    UiController ui;
    ui.logMediaDiagnostic(QStringLiteral("camera started"));
    ui.logMediaDiagnostic(QStringLiteral("two\nlines · ü"));
    if (previous.isEmpty()) {
        qunsetenv("TMPDIR");
    } else {
        qputenv("TMPDIR", previous);
    }

    QFile log(temp.filePath(QStringLiteral("sorvanta_media.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    const QRegularExpression format(
        QStringLiteral("^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{3}  camera started\\n"
                       "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{3}  two\\nlines · ü\\n$"));
    EXPECT_TRUE(format.match(text).hasMatch()) << text.toStdString();
    EXPECT_TRUE(ui.eventLog().size() == 1);  // the media log reports nothing
}

}  // namespace
}  // namespace zk::app::test
