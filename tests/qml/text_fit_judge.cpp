#include "text_fit_judge.h"

#include <QtQuickTest/quicktest.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTextLayout>
#include <QTextOption>

namespace zk::qmltest {

namespace {

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

// How much of a rectangle of the item the user sees and can reach: each holder that clips it and the
// window cut it, and a cut is reachable only through a view that scrolls in the cut's direction (a page
// that scrolls up and down hides what it cuts at its side for good).
struct Reach {
    QRectF shown;
    bool sideCut = false;  // cut at a left or right edge that no view scrolls towards
    bool endCut = false;   // cut at a top or bottom edge that no view scrolls towards
};

Reach reachOf(QQuickItem* item, const QRectF& rect) {
    Reach reach{rect};
    bool across = false, down = false;
    auto cutBy = [&](const QRectF& edge) {
        if (!across && (rect.left() < edge.left() - 1.0 || rect.right() > edge.right() + 1.0))
            reach.sideCut = true;
        if (!down && (rect.top() < edge.top() - 1.0 || rect.bottom() > edge.bottom() + 1.0))
            reach.endCut = true;
        reach.shown = reach.shown.intersected(edge);
    };
    for (QQuickItem* at = item->parentItem(); at; at = at->parentItem()) {
        if (at->inherits("QQuickFlickable")) {
            const bool interactive = at->property("interactive").toBool();
            across = across || (interactive && at->property("contentWidth").toReal() > at->width() + 1.0);
            down = down || (interactive && at->property("contentHeight").toReal() > at->height() + 1.0);
        }
        if (at->clip()) cutBy(at->mapRectToScene(at->boundingRect()));
    }
    if (QQuickWindow* window = item->window()) cutBy(QRectF(0, 0, window->width(), window->height()));
    return reach;
}

// The item's place in the tree by the names and types of its holders, the same for every row of a list.
QString kindOf(QQuickItem* item) {
    QStringList path;
    for (QQuickItem* at = item; at; at = at->parentItem())
        path.prepend(at->objectName().isEmpty() ? QString::fromLatin1(at->metaObject()->className())
                                                : at->objectName());
    return path.join('/');
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

bool isA(QObject* object, const char* className) { return object && object->inherits(className); }

// A text that is the shown value of a combo box or spin box: judged with its control.
bool isControlValue(QQuickItem* text) {
    int depth = 0;
    for (QQuickItem* at = text->parentItem(); at && depth < 3; at = at->parentItem(), ++depth)
        if (isA(at, "QQuickComboBox") || isA(at, "QQuickSpinBox")) return true;
    return false;
}

// The label a combo box shows its value in (a themed combo holds it in a loader).
QQuickItem* comboLabel(QQuickItem* combo) {
    auto* content = combo->property("contentItem").value<QQuickItem*>();
    if (isA(content, "QQuickLoader")) content = content->property("item").value<QQuickItem*>();
    return isA(content, "QQuickText") || isA(content, "QQuickTextInput") ? content : nullptr;
}

qreal paddedWidth(QQuickItem* text) {
    return text->width() - text->property("leftPadding").toReal() - text->property("rightPadding").toReal();
}

// A scroll bar the user can see: shown, with its handle drawn, and shorter than its track.
bool scrollBarShown(QQuickItem* bar) {
    if (!bar || !bar->isVisible() || bar->width() <= 0 || bar->height() <= 0) return false;
    auto* handle = bar->property("contentItem").value<QQuickItem*>();
    return effectivelyShown(bar) && handle && handle->isVisible() && handle->opacity() > 0.0 &&
           bar->property("size").toReal() < 0.999;
}

// The vertical scroll bar shown for a flickable: its own, or that of the scroll view around it.
bool verticalScrollBarShown(QQuickItem* flickable) {
    for (QQuickItem* holder : {flickable, flickable->parentItem()}) {
        if (!holder) continue;
        for (QQuickItem* child : holder->childItems())
            if (isA(child, "QQuickScrollBar") && child->property("orientation").toInt() == Qt::Vertical &&
                scrollBarShown(child))
                return true;
    }
    return false;
}

bool scrollsVertically(QQuickItem* flickable) {
    return flickable->property("interactive").toBool() &&
           flickable->property("contentHeight").toReal() > flickable->height() + 1.0;
}

bool inside(QQuickItem* item, QQuickItem* ancestor) {
    for (QQuickItem* at = item; at; at = at->parentItem())
        if (at == ancestor) return true;
    return false;
}

// A text that wraps where it can and anywhere it must, laid out at its width by words alone: wider
// than its box means it breaks inside a word on screen.
bool breaksInsideAWord(QQuickItem* text) {
    constexpr int kWrapAtWordBoundaryOrAnywhere = 4;
    if (text->property("wrapMode").toInt() != kWrapAtWordBoundaryOrAnywhere) return false;
    const qreal box = paddedWidth(text);
    QTextLayout layout(text->property("text").toString(), text->property("font").value<QFont>());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    bool wider = false;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(box);
        wider = wider || line.naturalTextWidth() > box + 1.0;
    }
    layout.endLayout();
    return wider;
}

// What a page shows whole as soon as it opens: the Live status line, the Replay transport with its
// timeline and reason line, the Analysis status line.
constexpr const char* kAlwaysInSight[] = {"statusStrip", "transportBar", "analysisStatusLabel"};

// A slider this short moves its value in steps too coarse to set by pointer.
constexpr qreal kMinimumSliderWidth = 96.0;

// How long a frame, a layout pass or a dialog may take to come on a machine shared with much other work;
// each wait ends as soon as what it waits for has come.
constexpr int kEventLimitMs = 30000;
// A tooltip opens half a second after the pointer comes; shorter, since a fault leaves every cut text
// waiting out the whole limit.
constexpr int kTooltipLimitMs = 10000;
constexpr int kPointerFollows = 4;

}  // namespace

QRectF TextFitJudge::shownPart(QQuickItem* item) {
    return reachOf(item, item->mapRectToScene(item->boundingRect())).shown;
}

bool TextFitJudge::inSight(QQuickItem* item) {
    const QRectF box = item->mapRectToScene(item->boundingRect());
    const QRectF shown = shownPart(item);
    return shown.width() >= box.width() - 1.0 && shown.height() >= box.height() - 1.0;
}

// Three frames drawn (a text that refits after a layout pass asks for one more): every layout polished
// and every text laid out for what is on screen.
void TextFitJudge::settle() {
    for (int frame = 0; frame < 3; ++frame) {
        QSignalSpy swapped(window_, &QQuickWindow::frameSwapped);
        window_->update();
        EXPECT_TRUE(swapped.wait(kEventLimitMs));
    }
}

// A live text that changed since the last frame has its layout placed again, and a label its deferred
// refit done, before anything is judged: what the user sees a frame later, not a layout half done.
void TextFitJudge::placeLayouts() {
    for (int pass = 0; pass < 100; ++pass) {
        if (!QQuickTest::qWaitForPolish(window_, kEventLimitMs)) break;
        QCoreApplication::processEvents();  // deferred refits wait in zero-time timers
        if (!QQuickTest::qIsPolishScheduled(window_)) return;
    }
    ADD_FAILURE() << "the layouts of the window never came to rest";
}

void TextFitJudge::collect(QQuickItem* item, std::vector<DrawnText>& out) {
    if (!item->isVisible()) return;
    if (item->inherits("QQuickPopupItem")) popups_.push_back(item);
    if (item->inherits("QQuickText") && effectivelyShown(item) &&
        !item->property("text").toString().trimmed().isEmpty()) {
        const QRectF glyphs = glyphRect(item);
        const Reach reach = reachOf(item, glyphs);
        out.push_back({item, glyphs, reach.shown});
        if (reach.sideCut) problems_ << "cut at a side no view scrolls to: " + describe(item);
        if (reach.endCut)
            problems_ << "cut at its top or bottom with no scrolling to reach it: " + describe(item);
    }
    if (effectivelyShown(item)) judgeControl(item);
    for (const char* name : kAlwaysInSight)
        if (item->objectName() == QLatin1String(name) && !inSight(item))
            problems_ << "not in sight when its page opens: " + describe(item);
    for (QQuickItem* child : item->childItems()) collect(child, out);
}

// A control shows its whole value, and an action is in sight or behind a scroll bar that shows.
void TextFitJudge::judgeControl(QQuickItem* item) {
    if (isA(item, "QQuickComboBox")) {
        QQuickItem* label = comboLabel(item);
        if (label && (label->property("truncated").toBool() ||
                      label->implicitWidth() - label->property("leftPadding").toReal() -
                              label->property("rightPadding").toReal() >
                          paddedWidth(label) + 1.0))
            problems_ << "combo narrower than its value: " + describe(label);
    } else if (isA(item, "QQuickSpinBox")) {
        auto* input = item->property("contentItem").value<QQuickItem*>();
        if (input && input->property("contentWidth").toReal() > input->width() + 1.0)
            problems_ << "spin box narrower than its value: " + describe(input);
    } else if (isA(item, "QQuickSlider")) {
        if (item->width() < kMinimumSliderWidth)
            problems_
                << QStringLiteral("slider %1 only %2 px wide").arg(item->objectName()).arg(item->width());
    } else if (isA(item, "QQuickFlickable") && item->width() > 0 && scrollsVertically(item) &&
               !verticalScrollBarShown(item)) {
        problems_ << QStringLiteral("scrolls with no scroll bar: %1 (%2 of %3 px shown)")
                         .arg(describe(item))
                         .arg(item->height())
                         .arg(item->property("contentHeight").toReal());
    }
    // Whatever the user sets or presses: a side or an end no view scrolls to leaves part of it out of reach.
    if ((isA(item, "QQuickAbstractButton") || isA(item, "QQuickComboBox") || isA(item, "QQuickSpinBox") ||
         isA(item, "QQuickSlider") || isA(item, "QQuickTextField") || isA(item, "QQuickTextArea")) &&
        item->width() > 0 && item->height() > 0) {
        const Reach reach = reachOf(item, item->mapRectToScene(item->boundingRect()));
        if (reach.sideCut) problems_ << "action cut at a side no view scrolls to: " + describe(item);
        if (reach.endCut) problems_ << "action out of sight with no scrolling to reach it: " + describe(item);
    }
}

// The workspace names in one size, whichever is shown: the largest at which all fit.
void TextFitJudge::judgeSidebar(const QString& where) {
    QSet<int> sizes;
    std::vector<QQuickItem*> pending{window_->contentItem()};
    while (!pending.empty()) {
        QQuickItem* at = pending.back();
        pending.pop_back();
        for (QQuickItem* child : at->childItems()) pending.push_back(child);
        if (!at->objectName().startsWith(QLatin1String("nav_"))) continue;
        if (auto* label = at->property("contentItem").value<QQuickItem*>())
            sizes.insert(label->property("font").value<QFont>().pixelSize());
    }
    if (sizes.size() != 1)
        all_ << where + QStringLiteral(": the sidebar names take %1 sizes").arg(sizes.size());
}

void TextFitJudge::judge(QQuickItem* root, const QString& where) {
    placeLayouts();
    std::vector<DrawnText> texts;
    popups_.clear();
    collect(root, texts);
    for (const DrawnText& t : texts) {
        QQuickItem* item = t.item;
        if (isControlValue(item)) continue;
        const bool elides = item->property("elide").toInt() != Qt::ElideNone;
        const bool wraps = item->property("wrapMode").toInt() != 0;
        if (item->property("truncated").toBool()) {
            const QString full = item->property("text").toString();
            if (!elides || tooltipText(item) != full)
                problems_ << "cut without its tooltip: " + describe(item);
            else if (!t.shown.isEmpty())
                cut_.push_back(item);
            continue;
        }
        const qreal needed = wraps ? item->property("contentWidth").toReal()
                                   : item->implicitWidth() - item->property("leftPadding").toReal() -
                                         item->property("rightPadding").toReal();
        const qreal box =
            item->width() - item->property("leftPadding").toReal() - item->property("rightPadding").toReal();
        if (needed > box + 1.0) problems_ << "wider than its box: " + describe(item);
        if (breaksInsideAWord(item)) problems_ << "breaks inside a word: " + describe(item);
        // A text that sizes itself still has to stay inside the item that holds it.
        QQuickItem* holder = item->parentItem();
        if (holder && holder->width() > 0) {
            const QRectF inHolder = holder->mapRectFromScene(t.glyphs);
            if (inHolder.left() < -1.0 || inHolder.right() > holder->width() + 1.0)
                problems_ << "wider than the item holding it: " + describe(item);
        }
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        // A text under an open popup is hidden from the user however well it fits.
        for (QQuickItem* popup : popups_) {
            if (inside(texts[i].item, popup) || texts[i].shown.isEmpty()) continue;
            const QRectF under = texts[i].shown.intersected(popup->mapRectToScene(popup->boundingRect()));
            if (under.width() > 1.0 && under.height() > 1.0)
                problems_ << "under a popup: " + describe(texts[i].item);
        }
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

// One cut text of each kind (the rows of a list are one kind) under the pointer: its tooltip has to
// open with the whole text.
void TextFitJudge::hoverCutTexts(const QString& where) {
    for (const QPointer<QQuickItem>& item : cut_) {
        // A live text next to it may have changed since it was judged and given it room: no longer cut,
        // it needs no tooltip.
        if (!item || !item->isVisible() || !item->property("truncated").toBool()) continue;
        const QString kind = kindOf(item);
        if (hovered_.contains(kind)) continue;
        QPointer<QObject> attached;
        for (QObject* child : item->children())
            if (child->inherits("QQuickToolTipAttached")) attached = child;
        // The one tooltip of the engine, which outlives the row it was asked to open for.
        const QPointer<QObject> shared = attached ? attached->property("toolTip").value<QObject*>() : nullptr;
        // A row of a live list may be made anew while the pointer waits: it is judged with its kind's
        // next row instead.
        bool gone = false;
        bool opened = false;
        // A label that a layout moves from under the still pointer (a live page reflowing on a loaded
        // machine) is followed, as a user's hand would follow it; each try waits for the tooltip or a move.
        for (int tries = 0; attached && !opened && !gone && tries < kPointerFollows; ++tries) {
            const QPoint pointer = reachOf(item, glyphRect(item)).shown.center().toPoint();
            QTest::mouseMove(window_, pointer);
            bool moved = false;
            opened = QTest::qWaitFor(
                [&] {
                    if (!item || !attached) return gone = true;
                    if (!item->mapRectToScene(item->boundingRect()).contains(pointer)) return moved = true;
                    auto* tip = attached->property("toolTip").value<QObject*>();
                    return tip && tip->property("visible").toBool() &&
                           tip->property("text").toString() == item->property("text").toString();
                },
                kTooltipLimitMs) &&
                     !gone && !moved;
            if (!moved) break;
        }
        QTest::mouseMove(window_, QPoint(2, 2));
        if (gone || !item || !attached) {
            // Asked to open for a row that is gone, it would wait out its delay and then find no window.
            if (shared) QMetaObject::invokeMethod(shared, "close");
            continue;
        }
        if (!opened && !item->property("truncated").toBool()) continue;  // given room while it waited
        hovered_ << kind;
        if (!opened) all_ << where + ": tooltip never shown under the pointer: " + describe(item);
        if (attached)
            (void)QTest::qWaitFor([&] { return !attached || !attached->property("visible").toBool(); },
                                  kEventLimitMs);
    }
    cut_.clear();
}

namespace {

// A scroll bar with nothing to scroll that still fades out from a moment when it had.
bool fadingScrollBar(QQuickItem* item) {
    if (!item->isVisible()) return false;
    if (isA(item, "QQuickScrollBar") && item->property("size").toReal() >= 0.999) {
        auto* handle = item->property("contentItem").value<QQuickItem*>();
        if (handle && handle->opacity() > 0.0) return true;
    }
    for (QQuickItem* child : item->childItems())
        if (fadingScrollBar(child)) return true;
    return false;
}

}  // namespace

void TextFitJudge::screenshot(const QString& name) {
    // The picture shows the page at rest, as a user sees it a moment later.
    (void)QTest::qWaitFor([&] { return !fadingScrollBar(window_->contentItem()); }, 3000);
    settle();
    QDir().mkpath(ZK_ARTIFACTS_DIR);
    // Light compression: the pictures are for people to look at, and the test stays quick.
    EXPECT_TRUE(window_->grabWindow().save(QStringLiteral(ZK_ARTIFACTS_DIR "/") + name + ".png", "PNG", 80));
}

// Switches the shown signal panel's auxiliary view; false when the page has none.
bool TextFitJudge::setAuxiliaryView(int view) {
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
void TextFitJudge::judgeDialogs(const QString& where) {
    const QList<QObject*> objects = window_->findChildren<QObject*>();
    for (QObject* dialog : objects) {
        if (!dialog->inherits("QQuickDialog")) continue;
        QMetaObject::invokeMethod(dialog, "open");
        if (!QTest::qWaitFor([&] { return dialog->property("opened").toBool(); }, kEventLimitMs)) {
            all_ << where + ": dialog never opened: " + dialog->objectName();
            continue;
        }
        settle();
        auto* content = dialog->property("contentItem").value<QQuickItem*>();
        QQuickItem* frame = content ? content->parentItem() : nullptr;
        if (frame) {
            const QString title = dialog->property("title").toString();
            judge(frame,
                  where + " dialog " + (dialog->objectName().isEmpty() ? title : dialog->objectName()));
        }
        QMetaObject::invokeMethod(dialog, "close");
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->property("visible").toBool(); }, kEventLimitMs));
    }
}

}  // namespace zk::qmltest
