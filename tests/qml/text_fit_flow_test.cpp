// The text-fit judge over the application's own controller at a laptop's 1280 x 800 in each language: every
// text is the controller's own, met where a user meets it, along the flow of a session done with the
// keyboard alone: create a Project, Start, Record, Stop & save, Replay, Pause, Analyze at position,
// Save, Full Recompute, Save, Export, Delete. Every item the focus passes on its way is in sight.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QPointer>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <utility>
#include <vector>

#include "app/ui_controller.h"
#include "main_window_open.h"
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
        QString error;
        window_ = zk::qmltest::openMainWindow(*engine_, language_, QSize(1280, 800), &error);
        ASSERT_NE(window_, nullptr) << error.toStdString();
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
        // The header's Project line has room for a realistic name beside the pills of this state.
        auto* projectLine = window_->findChild<QQuickItem*>(QStringLiteral("projectLine"));
        ASSERT_NE(projectLine, nullptr);
        EXPECT_FALSE(projectLine->property("truncated").toBool())
            << state.toStdString() << ": the Project name is cut at " << projectLine->width() << " px";
    }

    // The named item when the focus sits in it or in an item it holds (a spin box's text input).
    static bool focusIsIn(QQuickItem* focused, const QString& name) {
        for (int depth = 0; focused && depth < 3; ++depth, focused = focused->parentItem())
            if (focused->objectName() == name) return true;
        return false;
    }

    // Tab until the focus reaches what the predicate wants; every item it passes scrolls into sight.
    template <typename Wanted>
    bool tabUntil(Wanted wanted, const QString& what) {
        for (int step = 0; step < 200; ++step) {
            QTest::keyClick(window_, Qt::Key_Tab);
            const QPointer<QQuickItem> focused = window_->activeFocusItem();
            if (!focused) continue;
            const bool shown = QTest::qWaitFor(
                [&] { return !focused || zk::qmltest::TextFitJudge::inSight(focused); }, 2000);
            EXPECT_TRUE(shown) << language_.toStdString() << ": the focus on the way to "
                               << what.toStdString() << " lies out of sight in "
                               << focused->metaObject()->className() << " \""
                               << focused->objectName().toStdString() << "\"";
            if (focused && wanted(focused.data())) return true;
        }
        ADD_FAILURE() << language_.toStdString() << ": Tab never reached " << what.toStdString();
        return false;
    }

    // Presses the named item with Space as a keyboard user does, tabbing to it unless it has the focus.
    void press(const char* name) {
        const QString wanted = QLatin1String(name);
        if (!focusIsIn(window_->activeFocusItem(), wanted)) {
            ASSERT_TRUE(tabUntil([&](QQuickItem* item) { return focusIsIn(item, wanted); }, wanted));
        }
        QTest::keyClick(window_, Qt::Key_Space);
    }

    void typeText(const QString& text) {
        for (const QChar c : text) QTest::keyClick(window_, c.toLatin1());
    }

    void openWorkspace(const char* name) {
        press((QStringLiteral("nav_") + QLatin1String(name)).toUtf8().constData());
    }

    // The shown items under the window whose names begin with the prefix, rows of lists included.
    std::vector<QQuickItem*> shownNamed(const QString& prefix) {
        std::vector<QQuickItem*> found, pending{window_->contentItem()};
        while (!pending.empty()) {
            QQuickItem* at = pending.back();
            pending.pop_back();
            if (!at->isVisible()) continue;
            if (at->objectName().startsWith(prefix)) found.push_back(at);
            const auto children = at->childItems();
            pending.insert(pending.end(), children.begin(), children.end());
        }
        return found;
    }

    // The text a shown field of the window shows: a spin box's text input.
    QString shownText(const QString& name) {
        const auto fields = shownNamed(name);
        if (fields.size() != 1) return {};
        auto* input = fields.front()->property("contentItem").value<QQuickItem*>();
        return input ? input->property("text").toString() : QString();
    }

    // The texts of the shown rows of a list of AnalysisRuns, one line per row.
    QStringList runRowTexts(const QString& rowName) {
        QStringList rows;
        for (QQuickItem* row : shownNamed(rowName)) {
            QStringList texts;
            for (QQuickItem* item : row->findChildren<QQuickItem*>())
                if (item->inherits("QQuickText") && item->isVisible())
                    texts << item->property("text").toString();
            rows << texts.join(u'|');
        }
        return rows;
    }

    QString language_;
    QTemporaryDir projects_;
    std::unique_ptr<zk::qmltest::MessageCapture> capture_;
    std::unique_ptr<QQmlEngine> engine_;
    zk::app::UiController* ui_ = nullptr;
    QQuickWindow* window_ = nullptr;
    std::unique_ptr<zk::qmltest::TextFitJudge> judge_;
};

TEST_P(TextFitOverTheController, EveryWorkspaceAlongAKeyboardSessionFromProjectToDelete) {
    ui_->importProfile(QStringLiteral(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json"));
    ASSERT_TRUE(ui_->hasProfile());
    ui_->setSource(QStringLiteral("Synthetic"));

    // A Project in an empty folder: its path typed into the folder picker, its name into the dialog.
    const QString folder = projects_.filePath(QStringLiteral("Compressor hall west wall leak survey"));
    ASSERT_TRUE(QDir().mkpath(folder));
    openWorkspace("project");
    press("newProjectButton");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return focusIsIn(window_->activeFocusItem(), QStringLiteral("pathField")); }));
    QTest::keySequence(window_, QKeySequence::SelectAll);
    typeText(folder);
    QTest::keyClick(window_, Qt::Key_Return);
    press("okButton");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return focusIsIn(window_->activeFocusItem(), QStringLiteral("projectNameField")); }));
    typeText(QStringLiteral("Compressor hall west wall leak survey, second visit, morning shift"));
    QTest::keyClick(window_, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->hasProject(); })) << ui_->statusText().toStdString();

    openWorkspace("live");
    press("startButton");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return ui_->sessionState() == "Running" && ui_->hasHeatmap() && !ui_->diagnosticRows().isEmpty();
        },
        kStepLimitMs))
        << ui_->sessionState().toStdString() << " map " << ui_->hasHeatmap() << " rows "
        << ui_->diagnosticRows().size() << ": " << ui_->liveMetrics().toStdString() << "\n"
        << ui_->eventLog().join('\n').toStdString();
    // The Recording outlasts the judging of every workspace on a busy machine: the user's Stop ends it,
    // not the 10 s Measurement limit (a second Record would start another Measurement).
    ui_->setRecordingMaxDurationSeconds(120.0);
    press("recordButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->recording() && ui_->recordingElapsedSeconds() > 1.0; },
                                kStepLimitMs));
    judgeWorkspaces({0, 1, 3, 5, 6, 7}, QStringLiteral("live, recording"));

    openWorkspace("live");
    if (ui_->recording()) press("recordButton");  // unless the limit ended it on a very busy machine
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !ui_->recording() && !ui_->recordingFinalizing() && ui_->measurementCount() == 1; },
        kStepLimitMs))
        << "recording " << ui_->recording() << " finalizing " << ui_->recordingFinalizing() << " Measurements "
        << ui_->measurementCount() << ": " << ui_->statusText().toStdString() << "\n"
        << ui_->eventLog().join('\n').toStdString();
    press("stopButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->sessionState() == "Ready"; }, kStepLimitMs));
    ui_->selectMeasurement(-1);
    openWorkspace("project");
    press("measurementRow");
    ASSERT_EQ(ui_->selectedMeasurementIndex(), 0);

    // Start Replay disables itself and hands the focus to Pause, which Space then presses.
    openWorkspace("replay");
    press("startReplayButton");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return ui_->replayState() == "Playing" &&
                   focusIsIn(window_->activeFocusItem(), QStringLiteral("pauseReplayButton"));
        },
        kStepLimitMs));
    QTest::keyClick(window_, Qt::Key_Space);
    ASSERT_TRUE(ui_->replayPaused());
    judgeWorkspaces({4, 6}, QStringLiteral("replay"));

    // A coarse grid keeps the recompute of the window short.
    ui_->setAnalysisGridStepDeg(4.0);
    openWorkspace("replay");
    press("analyzeButton");
    // The Analysis workspace opens and its entry takes the keyboard from the hidden button.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return focusIsIn(window_->activeFocusItem(), QStringLiteral("nav_analysis")); }));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !ui_->analysisBusy() && ui_->hasPendingAnalysis(); }, kStepLimitMs))
        << ui_->analysisStatus().toStdString() << ui_->eventLog().join(QStringLiteral("\n")).toStdString();
    judgeWorkspaces({2}, QStringLiteral("unsaved result"));
    openWorkspace("analysis");
    press("saveButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->hasSelectedAnalysis() && !ui_->hasPendingAnalysis(); },
                                kStepLimitMs));
    // Saved a second apart at least, as a user's two saves are.
    const qint64 firstSaved = QDateTime::currentSecsSinceEpoch();
    // On its way to Create AnalysisRun the keyboard passes through the centre frequency, untyped.
    ASSERT_TRUE(tabUntil([](QQuickItem* item) { return focusIsIn(item, QStringLiteral("centerSpin")); },
                         QStringLiteral("centerSpin")));
    const QString centreShown = shownText("centerSpin");
    press("createButton");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !ui_->analysisBusy() && ui_->hasPendingAnalysis(); }, kStepLimitMs))
        << ui_->analysisStatus().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QDateTime::currentSecsSinceEpoch() > firstSaved; }));
    press("saveButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->analysisRunCount() == 2 && !ui_->hasPendingAnalysis(); },
                                kStepLimitMs));
    // The run keeps the frequency the field showed, and the field still shows it.
    EXPECT_EQ(shownText("centerSpin").toStdString(), centreShown.toStdString());
    const QString createdId = ui_->selectedAnalysisId();
    const double shownHz = QLocale().toDouble(centreShown);
    const QVariantMap savedRun = ui_->analysisRuns().value(ui_->selectedAnalysisIndex()).toMap();
    EXPECT_NEAR(savedRun.value(QStringLiteral("frequencyHz")).toDouble(), shownHz, 0.05)
        << centreShown.toStdString();

    // The long page moves with the scrolling keys wherever the focus sits on it.
    const auto scrollViews = shownNamed(QStringLiteral("analysisScroll"));
    ASSERT_EQ(scrollViews.size(), 1u);
    auto* page = scrollViews.front()->property("contentItem").value<QQuickItem*>();
    ASSERT_NE(page, nullptr);
    const qreal bottom = page->property("contentHeight").toReal() - page->height();
    ASSERT_GT(bottom, 0);
    const auto scrolledTo = [&](Qt::Key key) {
        QTest::keyClick(window_, key);
        return page->property("contentY").toReal();
    };
    EXPECT_EQ(scrolledTo(Qt::Key_Home), 0);
    const qreal line = scrolledTo(Qt::Key_Down);
    EXPECT_GT(line, 0);
    const qreal paged = scrolledTo(Qt::Key_PageDown);
    EXPECT_GT(paged, line);
    EXPECT_LT(scrolledTo(Qt::Key_Up), paged);
    EXPECT_EQ(scrolledTo(Qt::Key_End), bottom);
    EXPECT_LT(scrolledTo(Qt::Key_PageUp), bottom);
    EXPECT_EQ(scrolledTo(Qt::Key_Home), 0);
    // From the sidebar too, the keys move the shown page.
    openWorkspace("analysis");
    EXPECT_EQ(scrolledTo(Qt::Key_End), bottom);

    // The saved runs under their Measurement on the Project page: unfolded and opened by keyboard.
    openWorkspace("project");
    const auto measurementRows = shownNamed(QStringLiteral("measurementRow"));
    ASSERT_EQ(measurementRows.size(), 1u);
    if (!measurementRows.front()->property("expanded").toBool()) press("expandArrow");
    press("analysisRow");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ui_->hasSelectedAnalysis() && window_->property("currentWorkspace").toInt() == 2; }));
    judgeWorkspaces({2, 1, 6}, QStringLiteral("saved runs"));
    // Two runs of one Measurement read apart in both lists.
    for (const auto& [workspace, row] : {std::pair{2, "runRow"}, std::pair{1, "analysisRow"}}) {
        window_->setProperty("currentWorkspace", workspace);
        judge_->settle();
        const QStringList rows = runRowTexts(QLatin1String(row));
        ASSERT_EQ(rows.size(), 2) << row;
        EXPECT_NE(rows[0], rows[1]) << row;
    }

    openWorkspace("analysis");
    ui_->selectAnalysisRun(0);
    press("runRow1");
    EXPECT_EQ(ui_->selectedAnalysisIndex(), 1);
    EXPECT_EQ(ui_->selectedAnalysisId(), createdId);
    press("exportButton");
    QDirIterator exported(projects_.path(), {QStringLiteral("map.csv")}, QDir::Files,
                          QDirIterator::Subdirectories);
    EXPECT_TRUE(exported.hasNext()) << ui_->statusText().toStdString();
    // Its export too.
    QDirIterator manifests(projects_.path(), {QStringLiteral("export.json")}, QDir::Files,
                           QDirIterator::Subdirectories);
    ASSERT_TRUE(manifests.hasNext());
    QFile manifest(manifests.next());
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    const QJsonObject algorithm =
        QJsonDocument::fromJson(manifest.readAll()).object().value(QStringLiteral("algorithm")).toObject();
    EXPECT_NEAR(algorithm.value(QStringLiteral("centerFrequencyHz")).toDouble(), shownHz, 0.05);

    // Delete asks first; its destructive Yes is reached with Tab, never pressed by Enter alone.
    openWorkspace("project");
    press("deleteMeasurementButton");
    constexpr int kYesRole = 5;
    ASSERT_TRUE(tabUntil(
        [](QQuickItem* item) {
            return item->property("role").toInt() == kYesRole && item->inherits("QQuickAbstractButton");
        },
        QStringLiteral("Yes")));
    QTest::keyClick(window_, Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->measurementCount() == 0; }));
    EXPECT_TRUE(judge_->problems().isEmpty()) << judge_->problems().size() << " problems:\n"
                                              << judge_->problems().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, TextFitOverTheController, ::testing::Values("en", "zh_CN", "ja_JP"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

}  // namespace
