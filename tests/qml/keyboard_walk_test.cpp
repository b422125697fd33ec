// The main window over the application's own controller at a laptop's 1280 x 800. Every editable field of
// every workspace, in each language and in a locale of decimal commas: the focus put into it and taken out
// again, by the keyboard and by the pointer, changes no value the controller holds, no stored setting
// and no text a field shows. The keyboard walked backwards: every stop of Shift+Tab is in sight, and Up,
// PageUp and Home scroll the shown page up, from the page and from the sidebar.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QMetaProperty>
#include <QPointer>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "main_window_open.h"
#include "message_capture.h"
#include "qml_test_context.h"
#include "render_environment.h"
#include "text_fit_judge.h"

namespace {

using zk::qmltest::kWorkspaces;
using zk::qmltest::TextFitJudge;

struct Pass {
    const char* language;
    const char* locale;  // the system's number format
};

void PrintTo(const Pass& pass, std::ostream* out) { *out << pass.language << ' ' << pass.locale; }

// The names of the analysis algorithms by id, as the controller takes them.
constexpr const char* kAlgorithms[] = {"01 DAS / Conventional", "02 Functional", "03 MVDR / Capon",
                                       "04 Robust Capon",       "05 MUSIC",      "06 Auto-MUSIC",
                                       "07 Orthogonal",         "08 SRP-PHAT"};

class OverTheController : public ::testing::TestWithParam<Pass> {
  protected:
    void SetUp() override {
        if (const std::string why = zk::qmltest::openGlUnavailableReason(); !why.empty()) GTEST_SKIP() << why;
        const Pass& pass = GetParam();
        language_ = QLatin1String(pass.language);
        systemLocale_ = QLocale();
        QLocale::setDefault(QLocale(QLatin1String(pass.locale)));
        // A settings store for each test, also when ctest runs them side by side; no slash in a file name.
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        QString name = QLatin1String(test->test_suite_name()) + u'.' + QLatin1String(test->name());
        QCoreApplication::setApplicationName(name.replace(u'/', u'.'));
        ASSERT_TRUE(QSettings().fileName().contains(QStringLiteral("/.qttest/")));
        QFile::remove(QSettings().fileName());
        QSettings().setValue(QStringLiteral("ui/language"), language_);
        capture_ = std::make_unique<zk::qmltest::MessageCapture>();
        engine_ = std::make_unique<QQmlEngine>();
        ui_ = zk::qmltest::installApplicationContext(*engine_);
        QQmlContext* context = engine_->rootContext();
        deviceCtl_ = context->contextProperty(QStringLiteral("deviceCtl")).value<QObject*>();
        QString error;
        window_ = zk::qmltest::openMainWindow(*engine_, language_, QSize(1280, 800), &error);
        ASSERT_NE(window_, nullptr) << error.toStdString();
        judge_ = std::make_unique<TextFitJudge>(window_);
    }

    void TearDown() override {
        delete window_;
        window_ = nullptr;
        engine_.reset();
        QLocale::setDefault(systemLocale_);
        if (capture_) {
            const QStringList messages = capture_->messages();
            EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        }
        capture_.reset();
        QFile::remove(QSettings().fileName());
        QCoreApplication::setApplicationName(QString());
    }

    // The first shown item of the window with the name.
    QQuickItem* shown(const QString& name) {
        std::vector<QQuickItem*> pending{window_->contentItem()};
        while (!pending.empty()) {
            QQuickItem* at = pending.back();
            pending.pop_back();
            if (!at->isVisible()) continue;
            if (at->objectName() == name) return at;
            const auto children = at->childItems();
            pending.insert(pending.end(), children.begin(), children.end());
        }
        return nullptr;
    }

    void showWorkspace(int index) {
        window_->setProperty("currentWorkspace", index);
        judge_->settle();
    }

    void clickAt(QQuickItem* item, QPointF local) {
        QTest::mouseClick(window_, Qt::LeftButton, {}, item->mapToScene(local).toPoint());
    }

    void clickCentre(QQuickItem* item) { clickAt(item, QPointF(item->width() / 2, item->height() / 2)); }

    // The deferred work of a focus change done: the view scrolled, a field's text shown again.
    void settleFocus() {
        QCoreApplication::processEvents();
        judge_->settle();
    }

    static bool holds(QQuickItem* outer, QQuickItem* item) {
        for (; item; item = item->parentItem())
            if (item == outer) return true;
        return false;
    }

    QString language_;
    QLocale systemLocale_;
    std::unique_ptr<zk::qmltest::MessageCapture> capture_;
    std::unique_ptr<QQmlEngine> engine_;
    zk::app::UiController* ui_ = nullptr;
    QObject* deviceCtl_ = nullptr;
    QQuickWindow* window_ = nullptr;
    std::unique_ptr<TextFitJudge> judge_;
};

class FieldFocus : public OverTheController {
  protected:
    // Every editable field shown: spin boxes and text fields of the pages, their popups included.
    std::vector<QQuickItem*> shownFields() {
        std::vector<QQuickItem*> found, pending{window_->contentItem()};
        while (!pending.empty()) {
            QQuickItem* at = pending.back();
            pending.pop_back();
            if (!at->isVisible()) continue;
            if ((at->inherits("QQuickSpinBox") || at->inherits("QQuickTextField")) && at->isEnabled()) {
                found.push_back(at);
                continue;
            }
            const auto children = at->childItems();
            pending.insert(pending.end(), children.begin(), children.end());
        }
        return found;
    }

    static QQuickItem* input(QQuickItem* field) {
        return field->inherits("QQuickSpinBox") ? field->property("contentItem").value<QQuickItem*>() : field;
    }

    static QString textOf(QQuickItem* field) { return input(field)->property("text").toString(); }

    static QString nameOf(QQuickItem* field) {
        QString name = field->objectName();
        for (QQuickItem* at = field->parentItem(); at && name.isEmpty(); at = at->parentItem())
            name = at->objectName();
        return QStringLiteral("%1 \"%2\" showing \"%3\"")
            .arg(QLatin1String(field->metaObject()->className()), name, textOf(field));
    }

    // What a field could write: every property of the controller and of the device controller, every
    // stored setting, and every parameter of the live and of the analysis algorithm. The diagnostic rows
    // are the program's own running figures (its memory among them), refreshed by a timer.
    QVariantMap state() const {
        QVariantMap all;
        for (QObject* object : {static_cast<QObject*>(ui_), deviceCtl_}) {
            const QMetaObject* meta = object->metaObject();
            for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
                const QMetaProperty property = meta->property(i);
                if (property.name() == QByteArrayView("diagnosticRows")) continue;
                all.insert(QLatin1String(meta->className()) + u'.' + QLatin1String(property.name()),
                           property.read(object));
            }
        }
        const QSettings settings;
        for (const QString& key : settings.allKeys())
            all.insert(QStringLiteral("settings/") + key, settings.value(key));
        for (const QVariant& field : ui_->algorithmParameterFields()) {
            const QString key = field.toMap().value(QStringLiteral("key")).toString();
            all.insert(QStringLiteral("live/") + key, ui_->beamformingParameterValue(key));
        }
        for (const QVariant& field : ui_->analysisAlgorithmParameterFields()) {
            const QString key = field.toMap().value(QStringLiteral("key")).toString();
            all.insert(QStringLiteral("analysis/") + key, ui_->analysisBeamformingParameterValue(key));
        }
        return all;
    }

    static QStringList changed(const QVariantMap& before, const QVariantMap& after) {
        QStringList names;
        for (auto entry = after.cbegin(); entry != after.cend(); ++entry)
            if (!before.contains(entry.key()) || before.value(entry.key()) != entry.value())
                names << entry.key();
        return names;
    }

    // The focus put into the field and taken out again, by Tab and by the pointer: nothing changes.
    void visitField(QQuickItem* field, const std::vector<QQuickItem*>& fields, const char* workspace) {
        const std::string where =
            QStringLiteral("%1 %2, %3: %4")
                .arg(language_, QLocale().name(), QLatin1String(workspace), nameOf(field))
                .toStdString();
        const QVariantMap before = state();
        QStringList texts;
        for (QQuickItem* each : fields) texts << textOf(each);

        // By the keyboard: Tab from the stop before it, and on.
        QQuickItem* previous = input(field)->nextItemInFocusChain(false);
        ASSERT_NE(previous, nullptr) << where;
        previous->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(window_, Qt::Key_Tab);
        EXPECT_TRUE(holds(field, window_->activeFocusItem())) << where << ": Tab does not reach it";
        settleFocus();
        QTest::keyClick(window_, Qt::Key_Tab);
        settleFocus();
        // By the pointer, where it can reach the field: a click into its text, in sight now, then into
        // another field of the page.
        ASSERT_TRUE(TextFitJudge::inSight(input(field))) << where;
        if (QQuickItem* other = pointerTarget(field, fields); other && clickable(field)) {
            clickCentre(input(field));
            EXPECT_TRUE(holds(field, window_->activeFocusItem())) << where << ": a click does not reach it";
            clickCentre(input(other));
            settleFocus();
            EXPECT_FALSE(holds(field, window_->activeFocusItem())) << where;
        }

        EXPECT_EQ(changed(before, state()).join(u' ').toStdString(), "") << where;
        QStringList textsAfter;
        for (QQuickItem* each : fields) textsAfter << textOf(each);
        EXPECT_EQ(textsAfter.join(u'|').toStdString(), texts.join(u'|').toStdString()) << where;
    }

    // Another field in sight beside the field, in its popup or out of any, for a click to leave it by.
    static QQuickItem* pointerTarget(QQuickItem* field, const std::vector<QQuickItem*>& fields) {
        for (QQuickItem* other : fields)
            if (other != field && inPopup(other) == inPopup(field) && TextFitJudge::inSight(input(other)) &&
                clickable(other))
                return other;
        return nullptr;
    }

    // Not under the cover a signal panel keeps over views that are not live: the cover keeps the pointer
    // away on purpose.
    static bool clickable(QQuickItem* field) {
        for (QQuickItem* at = field->parentItem(); at; at = at->parentItem())
            for (QQuickItem* child : at->childItems())
                if (child->objectName() == QLatin1String("diagCover") && child->isVisible()) return false;
        return true;
    }

    static bool inPopup(QQuickItem* item) {
        for (; item; item = item->parentItem())
            if (item->inherits("QQuickPopupItem")) return true;
        return false;
    }

    // The algorithm parameters over the maps, open or closed.
    void expandParameters(bool expanded) {
        for (const char* panel : {"algorithmMapPanel", "replayAlgorithmMapPanel"})
            for (QObject* found : window_->findChildren<QObject*>(QLatin1String(panel)))
                found->setProperty("parametersExpanded", expanded);
        judge_->settle();
    }

    // The state in which every field of the pages shows, with values whose text is rounded or grouped:
    // a centre frequency between whole hertz (no Measurement, so no bin to snap it to), the custom
    // bandwidth, the advanced block, and algorithms with whole and real parameters.
    void showEveryField() {
        ui_->importProfile(QStringLiteral(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json"));
        ASSERT_TRUE(ui_->hasProfile());
        ui_->setSource(QStringLiteral("Synthetic"));
        ui_->setAzimuth(-45.0);
        const auto hasKinds = [](const QVariantList& fields) {
            bool whole = false, real = false;
            for (const QVariant& field : fields) {
                const QString type = field.toMap().value(QStringLiteral("type")).toString();
                whole = whole || type == QLatin1String("int");
                real = real || type == QLatin1String("real");
            }
            return whole && real;
        };
        // Chosen on their pages, as a user chooses them: a Qt 6.4 grid layout that loses the items of its
        // repeater while hidden is left with dangling ones.
        showWorkspace(2);
        for (int id = 1; id <= 8; ++id) {
            if (!hasKinds(zk::app::parameterFieldsOf(id))) continue;
            ui_->setAlgorithm(QLatin1String(kAlgorithms[id - 1]));
            ui_->setAnalysisAlgorithm(QLatin1String(kAlgorithms[id - 1]));
            break;
        }
        ASSERT_TRUE(hasKinds(ui_->algorithmParameterFields())) << ui_->algorithm().toStdString();
        ASSERT_TRUE(hasKinds(ui_->analysisAlgorithmParameterFields()));
        // Real parameters of more digits than their fields show.
        const auto oddReal = [](const QVariant& field) {
            const QVariantMap map = field.toMap();
            const double low = map.value(QStringLiteral("minimum")).toDouble();
            const double high = map.value(QStringLiteral("maximum")).toDouble();
            return low + (high - low) * 0.0123456;
        };
        for (const QVariant& field : ui_->algorithmParameterFields())
            if (field.toMap().value(QStringLiteral("type")).toString() == QLatin1String("real"))
                ui_->setBeamformingParameter(field.toMap().value(QStringLiteral("key")).toString(),
                                             oddReal(field));
        for (const QVariant& field : ui_->analysisAlgorithmParameterFields())
            if (field.toMap().value(QStringLiteral("type")).toString() == QLatin1String("real"))
                ui_->setAnalysisBeamformingParameter(field.toMap().value(QStringLiteral("key")).toString(),
                                                     oddReal(field));
        ui_->setAnalysisFrequencyHz(8096.484375);
        ASSERT_EQ(ui_->analysisFrequencyHz(), 8096.484375);
        ui_->setAnalysisBandMode(QStringLiteral("Custom"));
        ui_->setAnalysisBandwidthHz(12300.0);
        // The analysis spectrum follows a new frame a moment later, signalled from a worker thread: a
        // signal spy torn down while that thread emits would be called half destroyed.
        const quint64 spectrumBefore = ui_->analysisSpectrumRevision();
        ui_->setAnalysisFrameSize(1024);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ui_->analysisSpectrumRevision() != spectrumBefore; }, 10000));
        for (QObject* page : window_->findChildren<QObject*>(QStringLiteral("analysisPage")))
            page->setProperty("showAdvanced", true);
        // Each page shown once, as a user opens them: what a page stores on its first showing is stored.
        for (const auto& workspace : kWorkspaces) showWorkspace(workspace.index);
    }
};

TEST_P(FieldFocus, AFocusPassingThroughAnyFieldChangesNothing) {
    showEveryField();
    QStringList visited;
    for (const auto& workspace : kWorkspaces) {
        // The fields of the parameter popups first, then those the open popups would cover.
        for (const bool popups : {true, false}) {
            showWorkspace(workspace.index);
            expandParameters(popups);
            const std::vector<QQuickItem*> fields = shownFields();
            for (QQuickItem* field : fields) {
                if (inPopup(field) != popups) continue;
                visitField(field, fields, workspace.name);
                visited << QLatin1String(workspace.name) + u'/' + field->objectName();
                // A click beside a popup's field closes the popup.
                if (popups) expandParameters(true);
            }
        }
    }
    // The fields that format their values were among them.
    for (const char* name :
         {"live/realEditor", "live/integerEditor", "live/channelBox", "analysis/centerSpin",
          "analysis/bandwidthSpin", "analysis/gridSpin", "analysis/hopSpin", "analysis/intEditor",
          "analysis/realEditor", "replay/realEditor", "device/azimuthSpin", "device/elevationSpin",
          "device/profileField", "settings/maxDurationSpin"})
        EXPECT_TRUE(visited.contains(QLatin1String(name)))
            << name << " in " << visited.join(u' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, FieldFocus,
                         ::testing::Values(Pass{"en", "en_US"}, Pass{"zh_CN", "zh_CN"},
                                           Pass{"ja_JP", "ja_JP"}, Pass{"en", "de_DE"}),
                         [](const ::testing::TestParamInfo<Pass>& info) {
                             return std::string(info.param.language) + "_" + info.param.locale;
                         });

class KeyboardWalk : public OverTheController {
  protected:
    // A Project of one short Measurement of the 4-channel profile, opened: every workspace can be
    // entered.
    void openProjectWithAMeasurement() {
        ASSERT_TRUE(projects_.isValid());
        const QString path = projects_.filePath(QStringLiteral("project"));
        zk::core::createProject(std::filesystem::path(path.toStdString()), "Walk");
        QFile profile(QStringLiteral(ZK_PROFILES_DIR "/small-4.device.json"));
        ASSERT_TRUE(profile.open(QIODevice::ReadOnly));
        zk::core::Recording recording(std::filesystem::path(path.toStdString()), "m_1",
                                      profile.readAll().toStdString(), "Synthetic");
        recording.append(std::vector<std::int16_t>(16000u * 4u, 7));
        recording.finalize({});
        ui_->openProject(path);
        ASSERT_TRUE(ui_->hasSelectedMeasurement()) << ui_->statusText().toStdString();
        judge_->settle();
    }

    // The stop Shift+Tab reaches next, once in sight; null when it stays out of sight.
    QQuickItem* stepBack(const QString& where) {
        QTest::keyClick(window_, Qt::Key_Tab, Qt::ShiftModifier);
        const QPointer<QQuickItem> focused = window_->activeFocusItem();
        if (!focused) return nullptr;
        const bool inSight =
            QTest::qWaitFor([&] { return !focused || TextFitJudge::inSight(focused); }, 2000);
        EXPECT_TRUE(inSight) << where.toStdString() << ": Shift+Tab leaves the focus out of sight in "
                             << focused->metaObject()->className() << " \""
                             << focused->objectName().toStdString() << "\"";
        return focused;
    }

    // The view of the shown long page and where it stands.
    QQuickItem* analysisView() {
        QQuickItem* scroll = shown(QStringLiteral("analysisScroll"));
        return scroll ? scroll->property("contentItem").value<QQuickItem*>() : nullptr;
    }

    QTemporaryDir projects_;
};

// Shift+Tab from each workspace's entry in the sidebar, around the whole window and back to it: every
// stop is in sight, also on the long pages, where each step back lies above the one before.
TEST_P(KeyboardWalk, BackwardsEveryStopIsInSight) {
    ui_->importProfile(QStringLiteral(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json"));
    ASSERT_TRUE(ui_->hasProfile());
    ui_->setSource(QStringLiteral("Synthetic"));
    openProjectWithAMeasurement();
    for (const auto& workspace : kWorkspaces) {
        showWorkspace(workspace.index);
        const QString where = language_ + u' ' + QLatin1String(workspace.name);
        QQuickItem* entry = shown(QStringLiteral("nav_") + QLatin1String(workspace.name));
        ASSERT_NE(entry, nullptr) << where.toStdString();
        entry->forceActiveFocus(Qt::TabFocusReason);
        QQuickItem* page = window_->findChild<QQuickItem*>(QStringLiteral("pages"));
        int onPage = 0;
        bool round = false;
        for (int step = 0; step < 400 && !round; ++step) {
            QQuickItem* at = stepBack(where);
            round = at == entry;
            onPage += holds(page, at) ? 1 : 0;
        }
        EXPECT_TRUE(round) << where.toStdString() << ": Shift+Tab never comes back to the sidebar";
        EXPECT_GT(onPage, 0) << where.toStdString();
    }
}

// Up, PageUp and Home scroll the long page up, Down, PageDown and End down: from an action on the page,
// reached backwards, and from the sidebar.
TEST_P(KeyboardWalk, TheScrollingKeysMoveTheShownPageBothWays) {
    openProjectWithAMeasurement();
    showWorkspace(2);
    QQuickItem* view = analysisView();
    ASSERT_NE(view, nullptr);
    const qreal bottom = view->property("contentHeight").toReal() - view->height();
    ASSERT_GT(bottom, 96) << "the page is longer than its view";
    const auto at = [&] { return view->property("contentY").toReal(); };
    const auto press = [&](Qt::Key key) {
        QTest::keyClick(window_, key);
        return at();
    };
    QQuickItem* entry = shown(QStringLiteral("nav_analysis"));
    QQuickItem* create = shown(QStringLiteral("createButton"));
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(create, nullptr);
    for (QQuickItem* focus : {entry, create}) {
        const std::string where = language_.toStdString() + ", focus on " + focus->objectName().toStdString();
        if (focus == create) {
            // Backwards from the sidebar entry to the button on the page.
            entry->forceActiveFocus(Qt::TabFocusReason);
            for (int step = 0; step < 400 && window_->activeFocusItem() != create; ++step)
                stepBack(QString::fromStdString(where));
            ASSERT_EQ(window_->activeFocusItem(), create) << where;
        } else {
            entry->forceActiveFocus(Qt::TabFocusReason);
        }
        EXPECT_EQ(press(Qt::Key_End), bottom) << where;
        const qreal up = press(Qt::Key_Up);
        EXPECT_LT(up, bottom) << where << ": Up";
        const qreal pagedUp = press(Qt::Key_PageUp);
        EXPECT_LT(pagedUp, up) << where << ": PageUp";
        EXPECT_GT(press(Qt::Key_Down), pagedUp) << where << ": Down";
        EXPECT_EQ(press(Qt::Key_Home), 0) << where;
        EXPECT_GT(press(Qt::Key_PageDown), 0) << where << ": PageDown";
        EXPECT_EQ(window_->activeFocusItem(), focus)
            << where << ": the keys scroll, they do not move the focus";
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, KeyboardWalk,
                         ::testing::Values(Pass{"en", "en_US"}, Pass{"zh_CN", "zh_CN"},
                                           Pass{"ja_JP", "ja_JP"}),
                         [](const ::testing::TestParamInfo<Pass>& info) {
                             return std::string(info.param.language);
                         });

}  // namespace
