// The text-fit judge over the application's own controller at a laptop's 1280 x 800 in each language: every
// text is the controller's own, met where a user meets it, along the flow of a session: a live session
// of the synthetic source while it records, the saved Measurement in replay, the result of "Analyze at
// position" before and after it is saved.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/i18n_manager.h"
#include "app/ui_controller.h"
#include "message_capture.h"
#include "qml_test_context.h"
#include "render_environment.h"
#include "text_fit_judge.h"

namespace {

using zk::qmltest::kWorkspaces;

// Generous: a 128-channel session and its recompute share this machine with other work.
constexpr int kStepLimitMs = 180000;

class TextFitOverTheController : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        if (const std::string why = zk::qmltest::openGlUnavailableReason(); !why.empty()) GTEST_SKIP() << why;
        language_ = QLatin1String(GetParam());
        QCoreApplication::setApplicationName(QStringLiteral("TextFitOverTheController.") + language_);
        ASSERT_TRUE(QSettings().fileName().contains(QStringLiteral("/.qttest/")));
        QFile::remove(QSettings().fileName());
        QSettings().setValue(QStringLiteral("ui/language"), language_);
        ASSERT_TRUE(projects_.isValid());
        capture_ = std::make_unique<zk::qmltest::MessageCapture>();
        engine_ = std::make_unique<QQmlEngine>();
        ui_ = zk::qmltest::installApplicationContext(*engine_);
        auto* i18n = qobject_cast<zk::app::I18nManager*>(
            engine_->rootContext()->contextProperty(QStringLiteral("i18n")).value<QObject*>());
        ASSERT_NE(i18n, nullptr);
        i18n->setLanguage(language_);
        QQmlComponent component(engine_.get(), QUrl(QStringLiteral("qrc:/qt/qml/SorvantaApp/Main.qml")));
        window_ = qobject_cast<QQuickWindow*>(component.create());
        ASSERT_NE(window_, nullptr) << component.errorString().toStdString();
        window_->resize(1280, 800);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
        judge_ = std::make_unique<zk::qmltest::TextFitJudge>(window_);
    }

    void TearDown() override {
        if (ui_) {
            ui_->stopReplay();
            ui_->stopLive();
            (void)QTest::qWaitFor([&] { return !ui_->replayActive() && ui_->sessionState() != "Stopping"; });
        }
        delete window_;
        window_ = nullptr;
        engine_.reset();
        if (capture_) {
            const QStringList messages = capture_->messages();
            EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        }
        capture_.reset();
        QFile::remove(QSettings().fileName());
        QCoreApplication::setApplicationName(QString());
    }

    void judgeWorkspaces(std::initializer_list<int> indices, const QString& state) {
        for (int index : indices) {
            window_->setProperty("currentWorkspace", index);
            judge_->settle();
            for (const auto& workspace : kWorkspaces)
                if (workspace.index == index)
                    judge_->judge(window_->contentItem(),
                                  QStringLiteral("%1 1280x800 %2, %3").arg(language_, state, workspace.name));
            judge_->hoverCutTexts(state);
        }
    }

    QString language_;
    QTemporaryDir projects_;
    std::unique_ptr<zk::qmltest::MessageCapture> capture_;
    std::unique_ptr<QQmlEngine> engine_;
    zk::app::UiController* ui_ = nullptr;
    QQuickWindow* window_ = nullptr;
    std::unique_ptr<zk::qmltest::TextFitJudge> judge_;
};

TEST_P(TextFitOverTheController, EveryWorkspaceAlongRecordReplayAnalyseAndSave) {
    ui_->createProject(projects_.filePath(QStringLiteral("Compressor hall west wall leak survey")),
                       QStringLiteral("Compressor hall west wall leak survey, second visit, morning shift"));
    ASSERT_TRUE(ui_->hasProject());
    ui_->importProfile(QStringLiteral(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json"));
    ASSERT_TRUE(ui_->hasProfile());
    ui_->setSource(QStringLiteral("Synthetic"));
    ui_->startLive();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return ui_->sessionState() == "Running" && ui_->hasHeatmap() && !ui_->diagnosticRows().isEmpty();
        },
        kStepLimitMs));
    ui_->startRecording();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->recording() && ui_->recordingElapsedSeconds() > 1.0; },
                                kStepLimitMs));
    judgeWorkspaces({0, 1, 3, 5, 6, 7}, QStringLiteral("live, recording"));

    ui_->stopRecording();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !ui_->recording() && !ui_->recordingFinalizing() && ui_->measurementCount() == 1; },
        kStepLimitMs));
    ui_->stopLive();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->sessionState() == "Ready"; }, kStepLimitMs));
    if (!ui_->hasSelectedMeasurement()) ui_->selectMeasurement(0);
    ASSERT_TRUE(ui_->hasSelectedMeasurement());
    ui_->startSelectedMeasurementReplay();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ui_->replayState() == "Playing" && ui_->hasHeatmap(); }, kStepLimitMs));
    ui_->setReplayPaused(true);
    judgeWorkspaces({4, 6}, QStringLiteral("replay"));

    // A coarse grid keeps the recompute of the window short.
    ui_->setAnalysisGridStepDeg(4.0);
    ui_->analyzeReplayPosition();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !ui_->analysisBusy() && ui_->hasPendingAnalysis(); }, kStepLimitMs))
        << ui_->analysisStatus().toStdString();
    judgeWorkspaces({2}, QStringLiteral("unsaved result"));
    ui_->savePendingAnalysis();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->hasSelectedAnalysis() && !ui_->hasPendingAnalysis(); },
                                kStepLimitMs));
    judgeWorkspaces({2, 1, 6}, QStringLiteral("saved run"));
    EXPECT_TRUE(judge_->problems().isEmpty()) << judge_->problems().size() << " problems:\n"
                                              << judge_->problems().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, TextFitOverTheController, ::testing::Values("en", "zh_CN", "ja_JP"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

}  // namespace
