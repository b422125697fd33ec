// Every page of the main window over the application's own controller, in each state a user meets
// (nothing open, Live, Recording, a Replay playing and paused): every control shown disabled says why
// under the pointer.
#include <QtQuickTest/quicktest.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "app/ui_controller.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "item_search_support.h"
#include "main_window_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kControlClasses[] = {"QQuickAbstractButton", "QQuickComboBox",  "QQuickSlider",
                                           "QQuickSpinBox",        "QQuickTextField", "QQuickTextArea"};
constexpr int kWorkspaceCount = 8;

bool isControl(const QQuickItem* item) {
    for (const char* type : kControlClasses)
        if (item->inherits(type)) return true;
    return false;
}

QObject* toolTipOf(const QQuickItem* control) {
    for (QObject* child : control->children())
        if (child->inherits("QQuickToolTipAttached")) return child;
    return nullptr;
}

void collectDisabled(QQuickItem* item, std::vector<QQuickItem*>& found) {
    if (!item->isVisible()) return;
    if (isControl(item) && !item->isEnabled()) {
        found.push_back(item);
        return;  // its own parts (a spin box's buttons) are the control's
    }
    for (QQuickItem* child : item->childItems()) collectDisabled(child, found);
}

// Whether the scene point of the item is in sight: inside the window and every clipping ancestor.
bool inSightAt(const QQuickItem* item, const QPointF& scenePoint) {
    if (!QRectF(QPointF(0, 0), item->window()->size()).contains(scenePoint)) return false;
    for (const QQuickItem* at = item->parentItem(); at != nullptr; at = at->parentItem())
        if (at->clip() && !at->contains(at->mapFromScene(scenePoint))) return false;
    // Nor covered by an item stacked above it or above one that holds it (a page's cover).
    for (const QQuickItem* at = item; at->parentItem() != nullptr; at = at->parentItem()) {
        const QList<QQuickItem*> siblings = at->parentItem()->childItems();
        const qsizetype own = siblings.indexOf(const_cast<QQuickItem*>(at));
        for (qsizetype i = 0; i < siblings.size(); ++i) {
            const QQuickItem* other = siblings[i];
            const bool above = other->z() > at->z() || (other->z() == at->z() && i > own);
            if (above && other->isVisible() && other->contains(other->mapFromScene(scenePoint))) return false;
        }
    }
    return true;
}

QString describe(const QQuickItem* item) {
    QString text = item->property("text").toString();
    if (text.isEmpty()) text = item->property("displayText").toString();
    return QStringLiteral("%1 \"%2\" %3")
        .arg(QString::fromLatin1(item->metaObject()->className()), item->objectName(), text);
}

class WindowOverController : public zk::qmltest::MainWindowOverController {
  protected:
    void TearDown() override {
        if (ui_) {
            ui_->stopReplay();
            if (ui_->recording()) ui_->stopRecording();
            ui_->stopLive();
            (void)QTest::qWaitFor([&] {
                return !ui_->replayActive() && !ui_->recordingFinalizing() &&
                       ui_->sessionState() != "Stopping";
            });
        }
        MainWindowOverController::TearDown();
    }

    // A Project with one Measurement of `seconds` of the 4-channel profile, opened and selected.
    void openProjectWithMeasurement(double seconds) {
        const fs::path project = fs::path(folder_.path().toStdString()) / "project";
        zk::core::createProject(project, "Hall");
        std::ifstream in(ZK_PROFILES_DIR "/small-4.device.json", std::ios::binary);
        const std::string profile((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        zk::core::Recording recording(project, "m_1", profile, "Synthetic");
        std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * 16000) * 4);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::int16_t>((i * 37) % 4000 - 2000);
        recording.append(samples);
        recording.finalize({});
        ui_->openProject(QString::fromStdString(project.string()));
        ASSERT_EQ(ui_->selectedMeasurementId(), QStringLiteral("m_1"));
    }

    void startLive() {
        ui_->importProfile(QStringLiteral(ZK_PROFILES_DIR "/small-4.device.json"));
        ui_->setSource(QStringLiteral("Synthetic"));
        ui_->startLive();
        ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->sessionState() == "Running"; }, 30000))
            << ui_->statusText().toStdString();
    }

    void enter(const QString& state) {
        if (state == QLatin1String("nothing open")) return;
        if (state == QLatin1String("live")) return startLive();
        if (state == QLatin1String("recording")) {
            ASSERT_NO_FATAL_FAILURE(openProjectWithMeasurement(1.0));
            ASSERT_NO_FATAL_FAILURE(startLive());
            ui_->setRecordingMaxDurationSeconds(120.0);
            ui_->startRecording();
            ASSERT_TRUE(ui_->recording()) << ui_->statusText().toStdString();
            return;
        }
        ASSERT_NO_FATAL_FAILURE(openProjectWithMeasurement(120.0));
        ui_->startSelectedMeasurementReplay();
        ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->replayState() == "Playing"; }, 30000))
            << ui_->replayMetrics().toStdString();
        if (state == QLatin1String("replay paused")) ui_->setReplayPaused(true);
    }

    QTemporaryDir folder_;
};

class DisabledControls : public WindowOverController, public ::testing::WithParamInterface<const char*> {};

TEST_P(DisabledControls, SayWhyUnderThePointerOnEveryPage) {
    const QString state = QLatin1String(GetParam());
    ASSERT_NO_FATAL_FAILURE(enter(state));
    QStringList problems;
    int hovered = 0;
    for (int workspace = 0; workspace < kWorkspaceCount; ++workspace) {
        window_->setProperty("currentWorkspace", workspace);
        ASSERT_TRUE(QQuickTest::qWaitForPolish(window_));
        std::vector<QQuickItem*> disabled;
        collectDisabled(window_->contentItem(), disabled);
        for (QQuickItem* control : disabled) {
            QObject* tip = toolTipOf(control);
            const QString where =
                QStringLiteral("%1, workspace %2: %3").arg(state).arg(workspace).arg(describe(control));
            if (!tip || tip->property("text").toString().isEmpty()) {
                problems << where + QStringLiteral(" has no reason");
                continue;
            }
            // Under the pointer where it is in sight: the reason shows.
            const QPointF centre = control->mapToScene(QPointF(control->width() / 2, control->height() / 2));
            if (!inSightAt(control, centre)) continue;
            control->setProperty("hoverEnabled", true);
            ++hovered;
            QTest::mouseMove(window_, centre.toPoint());
            if (!QTest::qWaitFor([&] { return tip->property("visible").toBool(); }, 1000))
                problems << where + QStringLiteral(" hides its reason under the pointer");
            QTest::mouseMove(window_, QPoint(1, window_->height() - 1));
        }
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.size() << " problems:\n" << problems.join('\n').toStdString();
    // The pointer reached the disabled controls of the pages, not only those of the sidebar.
    EXPECT_GE(hovered, 20);
}

INSTANTIATE_TEST_SUITE_P(States, DisabledControls,
                         ::testing::Values("nothing open", "live", "recording", "replay playing",
                                           "replay paused"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

}  // namespace

namespace {

using RelativeMaps = WindowOverController;

// The level gate and the fixed dBFS scale act on maps in dBFS only: for a map shown relative to its
// peak they are disabled and say why, on the Live page by the live algorithm, on the Analysis page by
// the shown result's map, else by the algorithm of the next run.
TEST_F(RelativeMaps, DisableTheLevelGateAndTheFixedScaleWithTheirReason) {
    const char* page = "acquisitionPage";
    const auto says = [&](const char* name, bool enabled) {
        QQuickItem* control =
            zk::qmltest::findItem(window_->findChild<QQuickItem*>(QLatin1String(page)), QLatin1String(name));
        ASSERT_NE(control, nullptr) << name;
        ASSERT_TRUE(QQuickTest::qWaitForPolish(window_));
        EXPECT_EQ(control->isEnabled(), enabled) << name;
        EXPECT_EQ(control->property("disabledReason").toString().isEmpty(), enabled) << name;
    };
    window_->setProperty("currentWorkspace", 0);
    for (const auto& [algorithm, absolute] : {std::pair{"05 MUSIC", false}, std::pair{"08 SRP-PHAT", false},
                                              std::pair{"01 DAS / Conventional", true}}) {
        SCOPED_TRACE(algorithm);
        ui_->setAlgorithm(QLatin1String(algorithm));
        says("gateSlider", absolute);
        says("scaleCombo", absolute);
    }

    ASSERT_NO_FATAL_FAILURE(openProjectWithMeasurement(1.0));
    window_->setProperty("currentWorkspace", 2);
    page = "analysisPage";
    ui_->setAnalysisAlgorithm(QStringLiteral("12 NNLS"));
    says("levelGateSlider", false);
    ui_->setAnalysisAlgorithm(QStringLiteral("03 MVDR / Capon"));
    says("levelGateSlider", false);
    ui_->setAnalysisAlgorithm(QStringLiteral("02 Functional"));
    says("levelGateSlider", true);
    says("scaleCombo", true);

    // A saved MUSIC result on display: its map has no level in dBFS, whatever the form would run next.
    zk::core::HeatmapGrid grid;
    grid.azimuthDeg = {-10.0, 0.0, 10.0};
    grid.elevationDeg = {0.0, 5.0};
    grid.width = 3;
    grid.height = 2;
    grid.algorithmId = 5;
    zk::core::HeatmapGrid map =
        zk::core::finalizeHeatmap(std::move(grid), {1e-6, 1.0, 1e-6, 1e-6, 1e-6, 1e-6});
    zk::core::AnalysisRunParameters parameters;
    parameters.algorithmId = "MUSIC";
    const fs::path measurement = fs::path(ui_->projectPath().toStdString()) / "measurements" / "m_1";
    zk::core::createAnalysisRun(measurement, "m_1", "a_music", parameters, 0.0, 0.0, 0.0, "b", {}, map);
    ui_->refreshProject();
    ui_->openAnalysisRun(QStringLiteral("m_1"), QStringLiteral("a_music"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->hasHeatmap() && ui_->mapSource() == "analysis"; }))
        << ui_->statusText().toStdString();
    says("levelGateSlider", false);
    says("scaleCombo", false);
}

}  // namespace
