#pragma once

#include <QColor>
#include <QVariantMap>
#include <atomic>
#include <memory>

namespace zk::render {

// The nine colours of the diagnostic plots, with their start-up values. bg, axis and fg are held for the
// QML side; no painter draws with them.
struct PlotColors {
    QColor bg = QColor::fromString(u"#0a111d");
    QColor grid = QColor::fromString(u"#1c293b");  // empty tracks of the level meters
    QColor axis = QColor::fromString(u"#718096");
    QColor fg = QColor::fromString(u"#e2e8f0");
    QColor waveform = QColor::fromString(u"#a78bfa");     // the selected lane of the lanes view
    QColor waveformDim = QColor::fromString(u"#55449B");  // the other lanes
    QColor spectrum = QColor::fromString(u"#f0b429");     // the single-channel waveform trace
    QColor cursor = QColor::fromString(u"#22d3ee");       // the spectrum curves
    QColor waterfallBg = QColor::fromString(u"#08111f");  // the waterfall's background
};

// The palette the plot painters share. It is replaced whole, so a painter that takes colors() once sees
// one consistent set of nine colours for its whole image.
class PlotPalette {
  public:
    PlotPalette();

    // The one palette of the process, with the start-up colours until setPlotPalette replaces them.
    static PlotPalette& processWide();

    // Any thread.
    [[nodiscard]] std::shared_ptr<const PlotColors> colors() const;

    // GUI thread (the only writer).
    void setColors(const PlotColors& colors);

  private:
    std::atomic<std::shared_ptr<const PlotColors>>
        colors_;  // written by the GUI thread, read by every painter
};

// For each of the nine keys present in values whose text parses as a colour, replaces that colour; other
// entries change nothing. Returns whether waterfallBg changed. GUI thread.
bool applyPlotPalette(PlotPalette& palette, const QVariantMap& values);

}  // namespace zk::render
