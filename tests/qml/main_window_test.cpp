// The main window over the application's own controller, language switch and camera filter: what the
// user sees follows what the controller holds, and the combos reach the controller, the translations
// and the plot painters.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "app/ui_controller.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "main_window_fixture.h"
#include "render/plot_palette.h"

namespace {

class MainWindowWithController : public zk::qmltest::MainWindowOverController {
  protected:
    // An item of the window by its object name: in the item tree (which holds the rows a repeater
    // made), else among the window's objects (which hold the header).
    static QQuickItem* findItem(QQuickItem* parent, const QString& name) {
        for (QQuickItem* child : parent->childItems()) {
            if (child->objectName() == name) return child;
            if (QQuickItem* found = findItem(child, name)) return found;
        }
        return nullptr;
    }

    QQuickItem* item(const char* name) {
        QQuickItem* found = findItem(window_->contentItem(), QLatin1String(name));
        if (!found) found = window_->findChild<QQuickItem*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QString stateText() { return item("sessionPill")->childItems().first()->property("text").toString(); }

    // Picks an entry of a combo as a user does: open the list, click the row.
    void pick(const char* comboName, int row) {
        QObject* combo = item(comboName);
        ASSERT_NE(combo, nullptr);
        QObject* popup = combo->property("popup").value<QObject*>();
        QMetaObject::invokeMethod(popup, "open");
        ASSERT_TRUE(QTest::qWaitFor([&] { return popup->property("opened").toBool(); }));
        auto* list = popup->property("contentItem").value<QQuickItem*>();
        QMetaObject::invokeMethod(list, "positionViewAtIndex", Q_ARG(int, row), Q_ARG(int, 2));
        QQuickItem* rowItem = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            QMetaObject::invokeMethod(list, "itemAtIndex", Q_RETURN_ARG(QQuickItem*, rowItem),
                                      Q_ARG(int, row));
            return rowItem != nullptr;
        }));
        QTest::qWait(20);
        const QPointF centre = rowItem->mapToScene(QPointF(rowItem->width() / 2, rowItem->height() / 2));
        QTest::mouseClick(window_, Qt::LeftButton, {}, centre.toPoint());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !popup->property("visible").toBool(); }));
        QTest::qWait(20);
    }

};

TEST_F(MainWindowWithController, StartFollowsTheControllersProfileAndState) {
    auto* start = item("startButton");
    EXPECT_EQ(ui_->sessionState(), QStringLiteral("NoProfile"));
    EXPECT_EQ(stateText(), QStringLiteral("No profile"));
    EXPECT_FALSE(start->isEnabled());
    EXPECT_EQ(item("deviceSummaryText")->property("text").toString(), QStringLiteral("No validated profile"));

    // Refused without a profile: nothing changes on screen.
    QTest::mouseClick(window_, Qt::LeftButton, {}, start->mapToScene(QPointF(10, 10)).toPoint());
    EXPECT_EQ(stateText(), QStringLiteral("No profile"));

    ui_->importProfile(QStringLiteral(ZK_PROFILES_DIR "/small-4.device.json"));
    ASSERT_TRUE(ui_->hasProfile());
    EXPECT_EQ(stateText(), QStringLiteral("Ready"));
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(item("profileLine")->property("text").toString(), ui_->profileInfo());
    EXPECT_EQ(item("deviceSummaryText")->property("text").toString(), ui_->profileInfo());
    EXPECT_EQ(item("sourceLine")->property("text").toString(), ui_->source());
}

TEST_F(MainWindowWithController, ThemeComboPersistsTheThemeAndRecoloursThePlots) {
    // "light" is the last of the nine themes.
    pick("themeCombo", 8);
    EXPECT_EQ(ui_->uiTheme(), QStringLiteral("light"));
    EXPECT_EQ(QSettings().value(QStringLiteral("ui/theme")).toString(), QStringLiteral("light"));
    const zk::render::PlotColors colours = zk::render::PlotPalette::processWide().colors();
    EXPECT_EQ(colours.bg, QColor(QStringLiteral("#ffffff")));
    EXPECT_EQ(colours.waveform, QColor(QStringLiteral("#7c3aed")));
    EXPECT_EQ(colours.waterfallBg, QColor(QStringLiteral("#ffffff")));
    EXPECT_EQ(window_->color(), QColor(QStringLiteral("#e9edf2")));

    pick("themeCombo", 0);
    EXPECT_EQ(ui_->uiTheme(), QStringLiteral("abyss"));
    EXPECT_EQ(zk::render::PlotPalette::processWide().colors().bg, QColor(QStringLiteral("#0a0e15")));
}

TEST_F(MainWindowWithController, LanguageComboTranslatesTheWindowAndRemembersTheChoice) {
    EXPECT_EQ(stateText(), QStringLiteral("No profile"));
    pick("languageCombo", 2);
    EXPECT_EQ(ui_->uiLanguage(), QStringLiteral("ja_JP"));
    EXPECT_EQ(QSettings().value(QStringLiteral("ui/language")).toString(), QStringLiteral("ja_JP"));
    EXPECT_EQ(stateText(), QStringLiteral("プロファイルなし"));
    EXPECT_EQ(item("nav_device")->property("text").toString(), QStringLiteral("デバイス"));

    pick("languageCombo", 1);
    EXPECT_EQ(stateText(), QStringLiteral("无配置"));
    pick("languageCombo", 0);
    EXPECT_EQ(stateText(), QStringLiteral("No profile"));
    EXPECT_EQ(item("languageCombo")->property("currentText").toString(), QStringLiteral("en"));
}

// The sidebar is reachable from the keyboard: Tab walks to a workspace entry, which shows its focus, and
// Enter opens that workspace.
TEST_F(MainWindowWithController, TabAndEnterOpenAWorkspaceWithVisibleFocus) {
    QQuickItem* entry = nullptr;
    for (int i = 0; i < 40 && !entry; ++i) {
        QTest::keyClick(window_, Qt::Key_Tab);
        QQuickItem* focused = window_->activeFocusItem();
        if (focused && focused->objectName() == QStringLiteral("nav_settings")) entry = focused;
    }
    ASSERT_NE(entry, nullptr) << "Tab never reached the Settings entry";
    auto* outline = entry->property("background").value<QQuickItem*>();
    EXPECT_EQ(outline->property("border").value<QObject*>()->property("width").toInt(), 2);
    EXPECT_NE(window_->property("currentWorkspace").toInt(), 7);
    QTest::keyClick(window_, Qt::Key_Return);
    EXPECT_EQ(window_->property("currentWorkspace").toInt(), 7);
}

// The status line follows a language switch at once; the event log keeps the line as it was written.
// The algorithm parameter labels, built by the controller for display, follow it too.
TEST_F(MainWindowWithController, LanguageSwitchRetranslatesTheStatusLineAndTheParameterLabels) {
    const QString validated = QStringLiteral("Device Profile validated; system ready to start");
    ui_->importProfile(QStringLiteral(ZK_PROFILES_DIR "/small-4.device.json"));
    ASSERT_EQ(ui_->statusText(), validated);
    const auto diagonalLabel = [](const QVariantList& fields) {
        for (const QVariant& field : fields) {
            const QVariantMap map = field.toMap();
            if (map.value(QStringLiteral("key")) == QStringLiteral("remove_csm_diagonal"))
                return map.value(QStringLiteral("label")).toString();
        }
        return QString();
    };
    EXPECT_EQ(diagonalLabel(ui_->analysisAlgorithmParameterFields()), QStringLiteral("Diagonal removal"));
    QSignalSpy fieldsChanged(ui_, &zk::app::UiController::analysisAlgorithmChanged);

    pick("languageCombo", 2);
    EXPECT_EQ(ui_->statusText(),
              QStringLiteral("デバイスプロファイルを検証しました。システムは開始できます"));
    EXPECT_TRUE(ui_->eventLog().last().endsWith(validated));
    EXPECT_GE(fieldsChanged.count(), 1);
    EXPECT_EQ(diagonalLabel(ui_->analysisAlgorithmParameterFields()), QStringLiteral("対角除去"));
    EXPECT_EQ(diagonalLabel(ui_->algorithmParameterFields()), QStringLiteral("対角除去"));

    pick("languageCombo", 1);
    EXPECT_EQ(ui_->statusText(), QStringLiteral("设备配置文件已验证；系统已就绪，可以开始"));
    // The run row's recompute mode, a word of the stored run, reads in the language too.
    QTemporaryDir folder;
    const std::filesystem::path project = folder.filePath(QStringLiteral("p")).toStdString();
    zk::core::createProject(project, "Modes");
    std::ifstream in(ZK_PROFILES_DIR "/small-4.device.json", std::ios::binary);
    const std::string profile((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    zk::core::Recording recording(project, "m_1", profile, "Synthetic");
    recording.append(std::vector<std::int16_t>(1600u * 4u, 7));
    recording.finalize({});
    zk::core::AnalysisRunParameters parameters;
    parameters.algorithmId = "DAS";
    parameters.frequencyHz = 2000.0;
    zk::core::AnalysisRunProvenance provenance;
    provenance.recomputeMode = "full";
    zk::core::HeatmapGrid grid;
    grid.azimuthDeg = {-1.0, 1.0};
    grid.elevationDeg = {0.0};
    grid.width = 2;
    grid.height = 1;
    zk::core::createAnalysisRun(project / "measurements" / "m_1", "m_1", "a_1", parameters, 0.0, 0.0, 0.0,
                                "test", provenance, zk::core::finalizeHeatmap(grid, {1.0, 0.5}));
    ui_->openProject(QString::fromStdString(project.string()));
    ASSERT_EQ(ui_->selectedAnalysisId(), QStringLiteral("a_1"));
    QQuickItem* peak = nullptr;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (peak = findItem(window_->contentItem(), "runPeak")) != nullptr; }));
    EXPECT_TRUE(peak->property("text").toString().endsWith(QStringLiteral("声学图已保存 · 完整重算")))
        << peak->property("text").toString().toStdString();
    ui_->exportSelectedAnalysis();
    EXPECT_TRUE(ui_->statusText().startsWith(QStringLiteral("已导出 map.csv + export.json 到 ")))
        << ui_->statusText().toStdString();
    // A later plain status text is not turned back into the old one by a switch.
    ui_->setSource(QStringLiteral("udp"));
    const QString refusal = ui_->statusText();
    pick("languageCombo", 0);
    EXPECT_EQ(ui_->statusText(), refusal);
}

}  // namespace
