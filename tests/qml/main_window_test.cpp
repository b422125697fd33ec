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
#include <QTest>
#include <memory>

#include "app/ui_controller.h"
#include "message_capture.h"
#include "qml_test_context.h"
#include "render/plot_palette.h"

namespace {

class MainWindowWithController : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        QCoreApplication::setApplicationName(QString::fromLatin1(info->test_suite_name()) + u'.' +
                                             QString::fromLatin1(info->name()));
        ASSERT_TRUE(QSettings().fileName().contains(QStringLiteral("/.qttest/")));
        QFile::remove(QSettings().fileName());
        // The language the window starts in, as a user may have left it.
        QSettings().setValue(QStringLiteral("ui/language"), QStringLiteral("en"));
        capture_ = std::make_unique<zk::qmltest::MessageCapture>();
        engine_ = std::make_unique<QQmlEngine>();
        ui_ = zk::qmltest::installApplicationContext(*engine_);
        QQmlComponent component(engine_.get(), QUrl(QStringLiteral("qrc:/qt/qml/SorvantaApp/Main.qml")));
        window_ = qobject_cast<QQuickWindow*>(component.create());
        ASSERT_NE(window_, nullptr);
        // The offscreen screen is smaller than the window, which opens at the screen's size; the tests
        // click through the full-size layout.
        window_->resize(1680, 1000);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
    }

    void TearDown() override {
        delete window_;
        window_ = nullptr;
        engine_.reset();
        if (capture_) {
            EXPECT_TRUE(capture_->messages().isEmpty()) << capture_->messages().join('\n').toStdString();
        }
        capture_.reset();
        QFile::remove(QSettings().fileName());
    }

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

    std::unique_ptr<zk::qmltest::MessageCapture> capture_;
    std::unique_ptr<QQmlEngine> engine_;
    zk::app::UiController* ui_ = nullptr;
    QQuickWindow* window_ = nullptr;
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

}  // namespace
