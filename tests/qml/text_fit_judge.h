#pragma once

// The judge of the text-fit tests: reads every text, control and action of a window's scene back with its
// box, clipping and tooltip, and lists what a user could not read or reach.

#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <vector>

namespace zk::qmltest {

struct Workspace {
    const char* name;
    int index;
};

// The sidebar's workspaces by stack index.
inline constexpr Workspace kWorkspaces[] = {{"live", 0},        {"project", 1}, {"analysis", 2},
                                            {"camera", 3},      {"replay", 4},  {"device", 5},
                                            {"diagnostics", 6}, {"settings", 7}};

class TextFitJudge {
  public:
    explicit TextFitJudge(QQuickWindow* window) : window_(window) {}

    // Three frames drawn (a text that refits after a layout pass asks for one more): every layout
    // polished and every text laid out for what is on screen.
    void settle();
    // Judges everything shown under root; each problem is prefixed with where.
    void judge(QQuickItem* root, const QString& where);
    // The workspace names in one size, whichever is shown: the largest at which all fit.
    void judgeSidebar(const QString& where);
    // One cut text of each kind (the rows of a list are one kind) under the pointer: its tooltip has to
    // open with the whole text. Takes the cut texts judged since the last call.
    void hoverCutTexts(const QString& where);
    void forgetCutTexts() { cut_.clear(); }
    // Every dialog of the window, opened in turn at the size it opens with and judged alone.
    void judgeDialogs(const QString& where);
    // Switches the shown signal panel's auxiliary view; false when the page has none.
    bool setAuxiliaryView(int view);
    void screenshot(const QString& name);

    // The part of the item's box that shows now: inside the window and every holder that clips it.
    static QRectF shownPart(QQuickItem* item);
    // The whole item shows now, without scrolling.
    static bool inSight(QQuickItem* item);

    const QStringList& problems() const { return all_; }

  private:
    struct DrawnText {
        QQuickItem* item;
        QRectF glyphs;
        QRectF shown;
    };
    void placeLayouts();
    void collect(QQuickItem* item, std::vector<DrawnText>& out);
    void judgeControl(QQuickItem* item);

    QQuickWindow* window_;
    QStringList problems_;
    QStringList all_;
    std::vector<QQuickItem*> popups_;
    std::vector<QPointer<QQuickItem>> cut_;
    QStringList hovered_;  // kinds of cut text already pointed at
};

}  // namespace zk::qmltest
