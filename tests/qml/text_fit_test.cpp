// Every workspace and every dialog of the main window, drawn by OpenGL on a private Xvfb in each
// language: no text is wider than its box unless it is elided with the whole text in a tooltip, no text
// leaves the window, and no two texts overlap.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRectF>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <vector>

#include "app/i18n_manager.h"
#include "message_capture.h"
#include "qml_test_context.h"
#include "render_environment.h"

namespace {

struct Workspace {
    const char* name;
    int index;
};

// The sidebar's workspaces by stack index.
const Workspace kWorkspaces[] = {{"live", 0},   {"project", 1}, {"analysis", 2},    {"camera", 3},
                                 {"replay", 4}, {"device", 5},  {"diagnostics", 6}, {"settings", 7}};

// One text as drawn: its item, the scene rectangle its glyphs cover, and that rectangle cut by the
// clipping items above it.
struct DrawnText {
    QQuickItem* item;
    QRectF glyphs;
    QRectF shown;
};

bool effectivelyShown(QQuickItem* item) {
    for (QQuickItem* at = item; at; at = at->parentItem())
        if (at->opacity() <= 0.0) return false;
    return item->isVisible();
}

// The full text of a tooltip attached to the item or to one of the few items that hold it (a
// button's label sits inside the button).
QString tooltipText(QQuickItem* item) {
    QQuickItem* at = item;
    for (int depth = 0; at && depth < 4; ++depth, at = at->parentItem()) {
        for (QObject* child : at->children())
            if (child->inherits("QQuickToolTipAttached")) return child->property("text").toString();
    }
    return {};
}

// The rectangle inside the text item that its glyphs cover, from its alignment and padding.
QRectF glyphRect(QQuickItem* text) {
    const qreal cw = text->property("contentWidth").toReal();
    const qreal ch = text->property("contentHeight").toReal();
    const qreal left = text->property("leftPadding").toReal(),
                right = text->property("rightPadding").toReal();
    const qreal top = text->property("topPadding").toReal(),
                bottom = text->property("bottomPadding").toReal();
    const int h = text->property("effectiveHorizontalAlignment").toInt();
    const int v = text->property("verticalAlignment").toInt();
    const qreal w = text->width() - left - right, hh = text->height() - top - bottom;
    qreal x = left, y = top;
    if (h & Qt::AlignRight) x = left + w - cw;
    if (h & Qt::AlignHCenter) x = left + (w - cw) / 2;
    if (v & Qt::AlignBottom) y = top + hh - ch;
    if (v & Qt::AlignVCenter) y = top + (hh - ch) / 2;
    return text->mapRectToScene(QRectF(x, y, cw, ch));
}

QRectF clippedBy(QQuickItem* item, QRectF rect, bool* scrolls) {
    for (QQuickItem* at = item->parentItem(); at; at = at->parentItem()) {
        if (at->inherits("QQuickFlickable")) *scrolls = true;
        if (at->clip()) rect = rect.intersected(at->mapRectToScene(at->boundingRect()));
    }
    return rect;
}

QString describe(QQuickItem* item) {
    QStringList path;
    for (QQuickItem* at = item; at && path.size() < 6; at = at->parentItem()) {
        const QString name = at->objectName();
        path.prepend(name.isEmpty() ? QString::fromLatin1(at->metaObject()->className()).section('_', 0, 0)
                                    : name);
    }
    const QRectF r = item->mapRectToScene(item->boundingRect());
    return QStringLiteral("\"%1\" [%2] at %3,%4 %5x%6 needs %7 px at %8 px")
        .arg(item->property("text").toString().left(60), path.join('/'))
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .arg(item->implicitWidth())
        .arg(item->property("font").value<QFont>().pixelSize());
}

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

    // The longest texts a user meets: a 100-character Project name, a 128-channel profile, a running
    // session that records, a selected Measurement and its replay.
    void fillController() {
        QObject* ui = context_.ui;
        ui->setProperty("hasProject", true);
        const QString name = QStringLiteral(
            "Compressor hall west wall leak survey with the 128 channel array, "
            "second visit, morning shift");
        ui->setProperty("projectName", name.leftJustified(100, u'x'));
        ui->setProperty("hasProfile", true);
        ui->setProperty("profileInfo", QStringLiteral("TM27-128-H1.6.2 · 128 ch · 48000 Hz · UDP 6666"));
        ui->setProperty("sessionState", QStringLiteral("Running"));
        ui->setProperty("recording", true);
        ui->setProperty("canStopRecording", true);
        ui->setProperty("hasSelectedMeasurement", true);
        ui->setProperty("diagnosticChannelCount", 128);
        ui->setProperty("diagnosticMeterPerRow", 32);
        ui->setProperty("diagnosticSpectrumBinHz", 46.875);
        ui->setProperty("diagnosticWaterfallSpanS", 10.0);
        ui->setProperty("spectrumNyquistHz", 24000.0);
        ui->setProperty("waveformWindowS", 0.5);
        ui->setProperty("diagnosticChannel", 127);
        ui->setProperty("waterfallColormap", 3);
        ui->setProperty("hasSelectedAnalysis", true);
        ui->setProperty("selectedAnalysisId", QStringLiteral("AR-20260101-120000-0001"));
        ui->setProperty("selectedAnalysisInfo", QStringLiteral("01 DAS / Conventional · 1/3 octave 2000 Hz"));
        ui->setProperty("selectedAnalysisProvenance", QStringLiteral("raw sha256 3f2a…9c1d · 48000 Hz"));
    }

    void show(int workspace) {
        // The signal panels of the shown page are live, so their cover is down.
        context_.ui->setProperty("diagnosticSource",
                                 workspace == 4 ? QStringLiteral("replay") : QStringLiteral("live"));
        window_->setProperty("currentWorkspace", workspace);
        settle();
    }

    // Three frames drawn (a text that refits after a layout pass asks for one more): every layout polished
    // and every text laid out for what is on screen.
    void settle() {
        for (int frame = 0; frame < 3; ++frame) {
            QSignalSpy swapped(window_, &QQuickWindow::frameSwapped);
            window_->update();
            EXPECT_TRUE(swapped.wait(2000));
        }
    }

    void collect(QQuickItem* item, std::vector<DrawnText>& out) {
        if (!item->isVisible()) return;
        if (item->inherits("QQuickText") && effectivelyShown(item) &&
            !item->property("text").toString().trimmed().isEmpty()) {
            bool scrolls = false;
            const QRectF glyphs = glyphRect(item);
            const QRectF shown = clippedBy(item, glyphs, &scrolls);
            out.push_back({item, glyphs, shown});
            // A text cut by the window with no scrolling to reach the rest.
            const QRectF windowRect(0, 0, window_->width(), window_->height());
            if (!scrolls && !windowRect.contains(glyphs.adjusted(1, 1, -1, -1)))
                problems_ << "leaves the window: " + describe(item);
        }
        for (QQuickItem* child : item->childItems()) collect(child, out);
    }

    void judge(QQuickItem* root, const QString& where) {
        std::vector<DrawnText> texts;
        collect(root, texts);
        for (const DrawnText& t : texts) {
            QQuickItem* item = t.item;
            const bool elides = item->property("elide").toInt() != Qt::ElideNone;
            const bool wraps = item->property("wrapMode").toInt() != 0;
            if (item->property("truncated").toBool()) {
                const QString full = item->property("text").toString();
                if (!elides || tooltipText(item) != full)
                    problems_ << "cut without its tooltip: " + describe(item);
                continue;
            }
            const qreal needed = wraps ? item->property("contentWidth").toReal()
                                       : item->implicitWidth() - item->property("leftPadding").toReal() -
                                             item->property("rightPadding").toReal();
            const qreal box = item->width() - item->property("leftPadding").toReal() -
                              item->property("rightPadding").toReal();
            if (needed > box + 1.0) problems_ << "wider than its box: " + describe(item);
            // A text that sizes itself still has to stay inside the item that holds it.
            QQuickItem* holder = item->parentItem();
            if (holder && holder->width() > 0) {
                const QRectF inHolder = holder->mapRectFromScene(t.glyphs);
                if (inHolder.left() < -1.0 || inHolder.right() > holder->width() + 1.0)
                    problems_ << "wider than the item holding it: " + describe(item);
            }
        }
        for (size_t i = 0; i < texts.size(); ++i) {
            for (size_t j = i + 1; j < texts.size(); ++j) {
                if (texts[i].shown.isEmpty() || texts[j].shown.isEmpty()) continue;
                const QRectF both = texts[i].shown.intersected(texts[j].shown);
                if (both.width() > 1.0 && both.height() > 1.0)
                    problems_ << "overlap: " + describe(texts[i].item) + " and " + describe(texts[j].item);
            }
        }
        for (QString& p : problems_) p = where + ": " + p;
        all_ << problems_;
        problems_.clear();
    }

    void screenshot(const QString& name) {
        QDir().mkpath(ZK_ARTIFACTS_DIR);
        // Light compression: the pictures are for people to look at, and the test stays quick.
        EXPECT_TRUE(
            window_->grabWindow().save(QStringLiteral(ZK_ARTIFACTS_DIR "/") + name + ".png", "PNG", 80));
    }

    // Switches the shown signal panel's auxiliary view; false when the page has none.
    bool setAuxiliaryView(int view) {
        bool found = false;
        for (QObject* combo : window_->findChildren<QObject*>(QStringLiteral("auxiliaryView"))) {
            auto* item = qobject_cast<QQuickItem*>(combo);
            if (!item || !item->isVisible()) continue;
            combo->setProperty("currentIndex", view);
            found = true;
        }
        if (found) settle();
        return found;
    }

    // Every dialog of the window, opened in turn at the size it opens with and judged alone.
    void judgeDialogs(const QString& language) {
        const QList<QObject*> objects = window_->findChildren<QObject*>();
        for (QObject* dialog : objects) {
            if (!dialog->inherits("QQuickDialog")) continue;
            QMetaObject::invokeMethod(dialog, "open");
            if (!QTest::qWaitFor([&] { return dialog->property("opened").toBool(); }, 2000)) continue;
            settle();
            auto* content = dialog->property("contentItem").value<QQuickItem*>();
            QQuickItem* frame = content ? content->parentItem() : nullptr;
            if (frame) {
                const QString title = dialog->property("title").toString();
                judge(frame, language + " dialog " +
                                 (dialog->objectName().isEmpty() ? title : dialog->objectName()));
            }
            QMetaObject::invokeMethod(dialog, "close");
            EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->property("visible").toBool(); }, 2000));
        }
    }

    std::unique_ptr<zk::qmltest::MessageCapture> capture_;
    std::unique_ptr<QQmlEngine> engine_;
    zk::qmltest::QmlTestContext context_;
    zk::app::I18nManager* i18n_ = nullptr;
    QQuickWindow* window_ = nullptr;
    QStringList problems_;
    QStringList all_;
};

struct Pass {
    const char* language;
    int width;
    bool screenshots;
};

void PrintTo(const Pass& pass, std::ostream* out) { *out << pass.language << ' ' << pass.width << "px"; }

class TextFitIn : public TextFit, public ::testing::WithParamInterface<Pass> {};

TEST_P(TextFitIn, EveryWorkspaceAndDialogShowsItsTextsWhole) {
    const Pass& pass = GetParam();
    const QString language = QLatin1String(pass.language);
    window_->resize(pass.width, 1000);
    context_.ui->setProperty("uiLanguage", language);
    i18n_->setLanguage(language);
    const QString where = QStringLiteral("%1 %2px").arg(language).arg(pass.width);
    for (const Workspace& workspace : kWorkspaces) {
        show(workspace.index);
        ASSERT_EQ(window_->width(), pass.width);
        judge(window_->contentItem(), where + " " + QLatin1String(workspace.name));
        if (setAuxiliaryView(1)) {
            judge(window_->contentItem(), where + " " + QLatin1String(workspace.name) + " Channel RMS");
            setAuxiliaryView(0);
        }
        if (pass.screenshots)
            screenshot(QStringLiteral("workspace_%1_%2").arg(QLatin1String(workspace.name), language));
    }
    if (pass.width == 1680) judgeDialogs(where);
    EXPECT_TRUE(all_.isEmpty()) << all_.size() << " problems:\n" << all_.join('\n').toStdString();
}

// The window's own size in every language, and the narrower screen of the smallest window.
INSTANTIATE_TEST_SUITE_P(Languages, TextFitIn,
                         ::testing::Values(Pass{"en", 1680, true}, Pass{"zh_CN", 1680, false},
                                           Pass{"ja_JP", 1680, true}, Pass{"en", 1600, false}),
                         [](const ::testing::TestParamInfo<Pass>& info) {
                             return std::string(info.param.language) + "_" + std::to_string(info.param.width);
                         });

}  // namespace
