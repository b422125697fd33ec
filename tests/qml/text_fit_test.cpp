// Every workspace and every dialog of the main window, drawn by OpenGL on a private Xvfb in each
// language and at a laptop's size as well as the full one, with long realistic texts everywhere: no text
// is wider than its box unless it is elided with the whole text in a tooltip that shows under the
// pointer, no text leaves the window or hides under a popup, no two texts overlap, every control is wide
// enough for its value, and every action is in sight or behind a scroll bar that shows.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFont>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QVariantList>
#include <QVariantMap>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/i18n_manager.h"
#include "app/settings_rules.h"
#include "message_capture.h"
#include "qml_test_context.h"
#include "render_environment.h"
#include "text_fit_judge.h"

namespace {

using zk::qmltest::kWorkspaces;
using zk::qmltest::Workspace;

class TextFit : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = zk::qmltest::openGlUnavailableReason(); !why.empty()) GTEST_SKIP() << why;
        capture_ = std::make_unique<zk::qmltest::MessageCapture>();
        engine_ = std::make_unique<QQmlEngine>();
        context_ = zk::qmltest::installQmlTestContext(*engine_);
        i18n_ = new zk::app::I18nManager(QCoreApplication::instance(), engine_.get());
        engine_->rootContext()->setContextProperty(QStringLiteral("i18n"), i18n_);
        fillController();
        QQmlComponent component(engine_.get(), QUrl(QStringLiteral("qrc:/qt/qml/SorvantaApp/Main.qml")));
        window_ = qobject_cast<QQuickWindow*>(component.create());
        ASSERT_NE(window_, nullptr) << component.errorString().toStdString();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
        // The private screen is larger than the window, which opens at its full size.
        ASSERT_GT(window_->screen()->availableSize().width(), 1680);
        ASSERT_EQ(window_->size(), QSize(1680, 1000));
        judge_ = std::make_unique<zk::qmltest::TextFitJudge>(window_);
    }

    void TearDown() override {
        delete window_;
        window_ = nullptr;
        if (i18n_) i18n_->setLanguage(QStringLiteral("en"));
        engine_.reset();
        if (capture_) {
            EXPECT_TRUE(capture_->messages().isEmpty()) << capture_->messages().join('\n').toStdString();
        }
    }

    static QVariantMap record(std::initializer_list<std::pair<const char*, QVariant>> entries) {
        QVariantMap map;
        for (const auto& [key, value] : entries) map.insert(QLatin1String(key), value);
        return map;
    }

    // A text of the controller in the language shown, as the controller writes it; a source the
    // catalogue does not translate is noted, so that no English slips into a Chinese or Japanese pass.
    QString tr(const char* source, const char* disambiguation = nullptr) {
        const QString text = QCoreApplication::translate("UiController", source, disambiguation);
        if (text == QString::fromUtf8(source)) untranslated_ << text;
        return text;
    }

    // The longest texts a user meets: a 100-character Project name, a 128-channel profile, a live session
    // of the synthetic source that records, a selected Measurement in replay, a saved AnalysisRun. The
    // texts the controller writes come with the language (fillTexts).
    void fillController() {
        QObject* ui = context_.ui;
        ui->setProperty("hasProject", true);
        const QString name = QStringLiteral(
            "Compressor hall west wall leak survey with the 128 channel array, "
            "second visit, morning shift");
        ui->setProperty("projectName", name.leftJustified(100, u'x'));
        ui->setProperty("projectPath", QStringLiteral("/home/operator/Sorvanta Projects/") + name);
        ui->setProperty("projectId", QStringLiteral("P-20260101-080000-7f3a"));
        ui->setProperty("hasProfile", true);
        ui->setProperty("source", QStringLiteral("Synthetic"));
        ui->setProperty("sessionState", QStringLiteral("Running"));
        ui->setProperty("canStop", true);
        ui->setProperty("recording", true);
        ui->setProperty("canStopRecording", true);
        ui->setProperty("recordingMeasurementId", QStringLiteral("M-20260101-120000-0001"));
        ui->setProperty("recordingElapsedSeconds", 7.4);
        ui->setProperty("recordingMaxDurationSeconds", 600.0);
        ui->setProperty("recordingBytes", 181403648.0);
        ui->setProperty("diagnosticChannelCount", 128);
        ui->setProperty("diagnosticMeterPerRow", 32);
        ui->setProperty("diagnosticSpectrumBinHz", 46.875);
        ui->setProperty("diagnosticWaterfallSpanS", 10.0);
        ui->setProperty("spectrumNyquistHz", 24000.0);
        ui->setProperty("waveformWindowS", 0.5);
        ui->setProperty("diagnosticChannel", 127);
        ui->setProperty("waterfallColormap", 3);
        // The map's read-outs and band line of a running map.
        ui->setProperty("hasHeatmap", true);
        ui->setProperty("peakAzimuth", -15.2);
        ui->setProperty("peakElevation", -10.4);
        ui->setProperty("peakLevelDbfs", -31.2);
        ui->setProperty("mapSpanDb", 17.9);
        ui->setProperty("effectiveBandLowHz", 1781.8);
        ui->setProperty("effectiveBandHighHz", 2244.9);
        ui->setProperty("effectiveBinCount", 40);
        ui->setProperty("mapParameterRevision", 128);
        ui->setProperty("noiseProfileValid", true);
        ui->setProperty("noiseSubtractionEnabled", true);
        // The live algorithm with the most parameters, as the controller lists them: its popup is open
        // over the map.
        const char* const algorithms[] = {"01 DAS / Conventional", "02 Functional", "03 MVDR / Capon",
                                          "04 Robust Capon",       "05 MUSIC",      "06 Auto-MUSIC",
                                          "07 Orthogonal",         "08 SRP-PHAT"};
        int most = 1;
        for (int id = 1; id <= 8; ++id)
            if (zk::app::parameterFieldsOf(id).size() > zk::app::parameterFieldsOf(most).size()) most = id;
        const QVariantList fields = zk::app::parameterFieldsOf(most);
        ui->setProperty("algorithm", QLatin1String(algorithms[most - 1]));
        ui->setProperty("algorithmParameterFields", fields);
        ui->setProperty("analysisAlgorithm", QLatin1String(algorithms[most - 1]));
        ui->setProperty("analysisAlgorithmParameterFields", fields);

        // A Measurement with video in replay, and its saved run.
        const QString measurement = QStringLiteral("M-20260101-120000-0001");
        ui->setProperty("hasSelectedMeasurement", true);
        ui->setProperty("selectedMeasurementIndex", 0);
        ui->setProperty("selectedMeasurementId", measurement);
        ui->setProperty("selectedMeasurementProfileHash",
                        QStringLiteral("9f2c4e1b7a6d3c8e5f0a1b2c3d4e5f60718293a4b5c6d7e8f90a1b2c3d4e5f6a"));
        ui->setProperty("selectedMeasurementGeometryHash",
                        QStringLiteral("0b1c2d3e4f5a6b7c8d9e0f1a2b3c4d5e6f708192a3b4c5d6e7f8091a2b3c4d5e"));
        ui->setProperty("selectedMeasurementRawHash",
                        QStringLiteral("3f2a5c7e9b1d4f6a8c0e2b4d6f8a1c3e5b7d9f0a2c4e6b8d0f1a3c5e7b9d9c1d"));
        ui->setProperty("selectedMeasurementRawAvailable", true);
        const QVariantMap run = record({{"id", "AR-20260101-120000-0001"},
                                        {"algorithm", QLatin1String(algorithms[most - 1])},
                                        {"mode", "1/3 octave"},
                                        {"frequencyHz", 2000.0},
                                        {"bandBinCount", 40},
                                        {"frameSize", 4096},
                                        {"hopSize", 2048},
                                        {"gridStepDeg", 0.5},
                                        {"peakAzimuth", -15.2},
                                        {"peakElevation", -10.4},
                                        {"peakDb", -31.2},
                                        {"windowStartSeconds", 4.0},
                                        {"windowEndSeconds", 6.0},
                                        {"valid", true},
                                        {"mapAvailable", true},
                                        {"error", ""}});
        const QVariantMap measurementRecord =
            record({{"id", measurement},
                    {"name", name},
                    {"displayName", name},
                    {"createdAt", "2026-01-01T12:00:00"},
                    {"startedAt", "2026-01-01T12:00:00"},
                    {"durationSeconds", 10.0},
                    {"channelCount", 128},
                    {"sampleRateHz", 48000},
                    {"source", "Synthetic"},
                    {"profileId", "TM27-128-H1.6.2"},
                    {"location", "Compressor hall, west wall, 3 m from the leak"},
                    {"scene", "Compressor running"},
                    {"notes", "Second visit; the leak sits behind the north flange of the suction line."},
                    {"valid", true},
                    {"rawAvailable", true},
                    {"videoFile", "video.mp4"},
                    {"error", ""},
                    {"analysisCount", 1},
                    {"analyses", QVariantList{run}},
                    {"path", "/m/" + measurement}});
        ui->setProperty("measurements", QVariantList{measurementRecord});
        ui->setProperty("measurementCount", 1);
        ui->setProperty("analysisRuns", QVariantList{run});
        ui->setProperty("analysisRunCount", 1);
        ui->setProperty(
            "recentProjects",
            QVariantList{record({{"name", name}, {"path", "/home/operator/Sorvanta Projects/" + name}})});
        ui->setProperty("replayState", QStringLiteral("Playing"));
        ui->setProperty("replayActive", true);
        ui->setProperty("canPauseReplay", true);
        ui->setProperty("canStopReplay", true);
        ui->setProperty("replayPositionSeconds", 4.25);
        ui->setProperty("replayDurationSeconds", 10.0);
        ui->setProperty("replayMeasurementId", measurement);
        ui->setProperty("hasSelectedAnalysis", true);
        ui->setProperty("selectedAnalysisIndex", 0);
        ui->setProperty("selectedAnalysisId", QStringLiteral("AR-20260101-120000-0001"));
        ui->setProperty(
            "selectedAnalysisAlgorithmParams",
            QStringLiteral("diagonal_loading=1.00e-3 uncertainty_epsilon=2.50e-1 max_iterations=50"));
        ui->setProperty("hasAnalysisWindow", true);
        ui->setProperty("analysisWindowSeconds", 2.0);
        ui->setProperty("analysisSpectrumNyquistHz", 24000.0);
        ui->setProperty("lastDiagnosticsPath",
                        QStringLiteral("/home/operator/.local/share/Sorvanta/diagnostics/"
                                       "sorvanta-diagnostics-20260101-120000.zip"));
    }

    // What the controller writes, in the language shown, as it writes it: the status line, the
    // summary, the information lines, a full event log and every diagnostic row.
    void fillTexts() {
        QObject* ui = context_.ui;
        const QString measurement = ui->property("selectedMeasurementId").toString();
        const QString profileId = QStringLiteral("TM27-128-H1.6.2");
        ui->setProperty("statusText", tr("Acquisition degraded: DSP queue / socket overflow (dropped frames "
                                         "are growing) - reduce imaging bins or close auxiliary views"));
        ui->setProperty("diagnosticSummary",
                        tr("CH %1 | DC %2 counts | RMS %3 dBFS | raw %4..%5 | peak %6 Hz / %7 dBFS | "
                           "silent %8/%9 | win %10 (df %11 Hz)")
                            .arg(128)
                            .arg(QStringLiteral("-3.2"), QStringLiteral("-23.4"), QStringLiteral("-18234"),
                                 QStringLiteral("17920"), QStringLiteral("2015.6"), QStringLiteral("-31.2"))
                            .arg(0)
                            .arg(128)
                            .arg(4096)
                            .arg(QStringLiteral("11.7")));
        ui->setProperty("diagnosticSilentChannels", 0);
        const QString profile =
            tr("%1 | %2 logical / %3 wire | %4\u00a0Hz")
                .arg(profileId, QStringLiteral("128"), QStringLiteral("128"), QStringLiteral("48000"));
        ui->setProperty("profileInfo", profile);
        ui->setProperty("noiseProfileInfo", tr("Calibrated %1").arg(QStringLiteral("2026-01-01T11:58:02")));
        ui->setProperty("selectedMeasurementInfo",
                        tr("%1 logical / %2 wire · %3 Hz · %4 s (%5 frames) · source %6 · %7")
                            .arg(128)
                            .arg(128)
                            .arg(48000)
                            .arg(QStringLiteral("10.00"))
                            .arg(480000)
                            .arg(QStringLiteral("Synthetic"), QStringLiteral("2026-01-01T12:00:00Z")));
        const QString frozen =
            tr("%1 · schema %2 · %3").arg(profileId).arg(1).arg(QStringLiteral("TM27-128 acoustic camera"));
        ui->setProperty("selectedMeasurementProfileInfo", frozen);
        ui->setProperty("replayProfileInfo", frozen);
        ui->setProperty("replayMetrics", tr("Complete · %1 hops · integrity verified").arg(234));
        const QString algorithm = ui->property("analysisAlgorithm").toString();
        ui->setProperty(
            "selectedAnalysisInfo",
            tr("%1 v%2 · %3 · frame %4 / hop %5 · grid %6° · %7 · peak %8 dB")
                .arg(algorithm, QStringLiteral("1"), tr("%1-%2 Hz · %3 bins").arg(1782).arg(2245).arg(40))
                .arg(4096)
                .arg(2048)
                .arg(QStringLiteral("0.5"), tr("focus %1 m").arg(QStringLiteral("10.0")),
                     QStringLiteral("-31.2")));
        ui->setProperty(
            "selectedAnalysisProvenance",
            tr("%1 recompute · %2 input / %3 processed frames · raw %4 · Profile %5 %6 · build %7")
                .arg(tr("full", "recompute"))
                .arg(480000)
                .arg(234)
                .arg(QStringLiteral("3f2a5c7e...5e7b9d9c"), profileId, QStringLiteral("9f2c4e1b7a6d3c8e"),
                     QStringLiteral("0.9.0")));
        ui->setProperty("analysisWindowInfo",
                        tr("Window %1–%2 s · width %3 s")
                            .arg(QStringLiteral("4.00"), QStringLiteral("6.00"), QStringLiteral("2.00")));
        const QString pending =
            tr("%1 · %2 Hz · frame %3/%4 · grid %5° · peak %6° / %7° · %8")
                .arg(algorithm, QStringLiteral("2000.0"), QStringLiteral("4096"), QStringLiteral("2048"),
                     QStringLiteral("0.5"), QStringLiteral("-15.2"), QStringLiteral("-10.4"))
                .arg(tr("full", "recompute"));
        ui->setProperty("pendingAnalysisInfo", pending);
        ui->setProperty("analysisStatus", tr("Analysis computed - not saved yet: %1").arg(pending));
        QStringList log;
        for (int i = 0; i < 60; ++i)
            log << QStringLiteral("12:%1:%2  ")
                           .arg(i / 60, 2, 10, QLatin1Char('0'))
                           .arg(i % 60, 2, 10, QLatin1Char('0')) +
                       tr("Measurement selected: %1 · frozen Profile %2").arg(measurement, profileId);
        ui->setProperty("eventLog", log);

        auto row = [this](const char* name, const QString& value) {
            return record({{"name", tr(name)}, {"value", value}});
        };
        const QVariantList rows{
            row("Process memory", QStringLiteral("1843.7 MB")),
            row("UDP datagrams", tr("%1  (%2 pkt/s)").arg(1228800).arg(3000)),
            row("UDP received", QStringLiteral("1597.4 MB")),
            row("Datagrams rejected / rx errors", QStringLiteral("0 / 0")),
            row("Datagrams dropped on overflow", QStringLiteral("12")),
            row("Ingress pending frames", QStringLiteral("512")),
            row("DSP queue occupancy / drop", tr("%1/%2  ·  %3 fr").arg(3).arg(16).arg(2048)),
            row("Diagnostic queue drop", tr("%1 fr").arg(0)),
            row("Processed frames", QStringLiteral("1228800")),
            row("Maps published", QStringLiteral("4096")),
            row("BF avg/p50/p95/p99/max", QStringLiteral("41.27/39.85/58.12/73.40/112.96 ms")),
            row("Map overwrite / DSP errors", QStringLiteral("3 / 0")),
            row("Recording rate", QStringLiteral("24.6 MB/s  ·  181.4 MB  ·  7.4 s")),
            row("Replay", ui->property("replayMetrics").toString()),
            row("Array profile", profile),
            row("Measurements / Analysis runs", QStringLiteral("1 / 1"))};
        ui->setProperty("diagnosticRows", rows);
    }

    void show(int workspace) {
        // The signal panels of the shown page are live, so their cover is down.
        context_.ui->setProperty("diagnosticSource",
                                 workspace == 4 ? QStringLiteral("replay") : QStringLiteral("live"));
        window_->setProperty("currentWorkspace", workspace);
        judge_->settle();
    }

    static QQuickItem* shownItemNamed(QQuickItem* item, const QString& name) {
        if (!item->isVisible()) return nullptr;
        if (item->objectName() == name) return item;
        for (QQuickItem* child : item->childItems())
            if (QQuickItem* found = shownItemNamed(child, name)) return found;
        return nullptr;
    }

    // The map is what the Live and Replay pages are for: its title and peak read-out and at least
    // 300 px of it show without scrolling, even with the algorithm parameters at hand.
    void expectMapInSight(int workspace, const QString& where) {
        const char* canvasName = workspace == 0   ? "acousticCanvas"
                                 : workspace == 4 ? "replayCanvas"
                                                  : nullptr;
        if (!canvasName) return;
        QQuickItem* canvas = shownItemNamed(window_->contentItem(), QLatin1String(canvasName));
        ASSERT_NE(canvas, nullptr) << canvasName;
        const QRectF box = canvas->mapRectToScene(QRectF(0, 0, canvas->width(), canvas->height()));
        const QRectF shown = zk::qmltest::TextFitJudge::shownPart(canvas);
        EXPECT_GE(shown.top(), box.top()) << where.toStdString();
        EXPECT_GE(shown.height(), 300) << where.toStdString() << ": the map starts at y " << box.top();
    }

    std::unique_ptr<zk::qmltest::MessageCapture> capture_;
    std::unique_ptr<QQmlEngine> engine_;
    zk::qmltest::QmlTestContext context_;
    zk::app::I18nManager* i18n_ = nullptr;
    QQuickWindow* window_ = nullptr;
    std::unique_ptr<zk::qmltest::TextFitJudge> judge_;
    QStringList untranslated_;  // sources fillTexts found without a translation
};

struct Pass {
    const char* language;
    int width;
    int height;
    bool screenshots;
};

void PrintTo(const Pass& pass, std::ostream* out) {
    *out << pass.language << ' ' << pass.width << 'x' << pass.height;
}

class TextFitIn : public TextFit, public ::testing::WithParamInterface<Pass> {};

TEST_P(TextFitIn, EveryWorkspaceAndDialogShowsItsTextsWholeAndItsActionsInReach) {
    const Pass& pass = GetParam();
    const QString language = QLatin1String(pass.language);
    // A window manager lets the user make the window this small; a laptop screen of 768 px gets a window
    // minimum of its own height (here the screen is larger).
    EXPECT_LE(window_->minimumWidth(), pass.width);
    EXPECT_LE(window_->minimumHeight(), std::max(pass.height, 800));
    window_->resize(pass.width, pass.height);
    context_.ui->setProperty("uiLanguage", language);
    i18n_->setLanguage(language);
    fillTexts();
    if (language != QLatin1String("en")) {
        EXPECT_TRUE(untranslated_.isEmpty()) << untranslated_.join(" | ").toStdString();
    }
    const QString where = QStringLiteral("%1 %2x%3").arg(language).arg(pass.width).arg(pass.height);
    const QString size =
        pass.width == 1680 ? QString() : QStringLiteral("_%1x%2").arg(pass.width).arg(pass.height);
    for (const Workspace& workspace : kWorkspaces) {
        show(workspace.index);
        ASSERT_EQ(window_->size(), QSize(pass.width, pass.height));
        const QString name = where + " " + QLatin1String(workspace.name);
        judge_->judge(window_->contentItem(), name);
        // The map's 300 px are kept from 800 px of window height up; a 768 px screen shows some 280.
        if (pass.height >= 800) expectMapInSight(workspace.index, name);
        if (judge_->setAuxiliaryView(1)) {
            judge_->judge(window_->contentItem(), name + " Channel RMS");
            judge_->setAuxiliaryView(0);
        }
        if (workspace.index == 2) {
            // The result of "Analyze at position" before it is saved: its Save and Discard.
            context_.ui->setProperty("hasPendingAnalysis", true);
            judge_->settle();
            judge_->judge(window_->contentItem(), name + " unsaved result");
            if (pass.screenshots)
                judge_->screenshot(QStringLiteral("workspace_analysis_unsaved_%1%2").arg(language, size));
            context_.ui->setProperty("hasPendingAnalysis", false);
            judge_->settle();
        }
        if (pass.screenshots)
            judge_->screenshot(
                QStringLiteral("workspace_%1_%2%3").arg(QLatin1String(workspace.name), language, size));
        // Pointing at the cut texts takes the tooltip's delay each: once a workspace at the smallest size.
        if (pass.width == 1280) judge_->hoverCutTexts(name);
        judge_->forgetCutTexts();
    }
    judge_->judgeSidebar(where);
    judge_->judgeDialogs(where);
    EXPECT_TRUE(judge_->problems().isEmpty()) << judge_->problems().size() << " problems:\n"
                                              << judge_->problems().join('\n').toStdString();
}

// Each language at the window's own size, at a common desktop size and at a laptop's; the shortest
// laptop screen in the two languages with the longest texts.
INSTANTIATE_TEST_SUITE_P(Languages, TextFitIn,
                         ::testing::Values(Pass{"en", 1680, 1000, true}, Pass{"zh_CN", 1680, 1000, false},
                                           Pass{"ja_JP", 1680, 1000, true}, Pass{"en", 1600, 900, false},
                                           Pass{"zh_CN", 1600, 900, false}, Pass{"ja_JP", 1600, 900, false},
                                           Pass{"en", 1366, 768, false}, Pass{"ja_JP", 1366, 768, false},
                                           Pass{"en", 1280, 800, false}, Pass{"zh_CN", 1280, 800, false},
                                           Pass{"ja_JP", 1280, 800, true}),
                         [](const ::testing::TestParamInfo<Pass>& info) {
                             return std::string(info.param.language) + "_" +
                                    std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

}  // namespace