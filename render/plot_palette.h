#pragma once

#include <QColor>
#include <QVariantMap>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

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

// The palette the plot painters share. It has no lock: the GUI thread, its only writer, marks a
// replacement with an odd version, so a reader that saw a write in progress or a changed version reads
// the nine colours again and always gets one consistent set.
class PlotPalette {
  public:
    PlotPalette();

    // The one palette of the process, with the start-up colours until setPlotPalette replaces them.
    static PlotPalette& processWide();

    // Any thread.
    [[nodiscard]] PlotColors colors() const;

    // GUI thread only (the single writer).
    void setColors(const PlotColors& colors);

  private:
    static constexpr std::size_t kColours = 9;
    std::array<std::atomic<quint64>, kColours> rgba64_{};  // each colour as QRgba64, in PlotColors order
    std::atomic<std::uint64_t> version_{0};                // odd while the GUI thread rewrites rgba64_
};

// For each of the nine keys present in values whose text parses as a colour, replaces that colour; other
// entries change nothing. Returns whether waterfallBg changed. GUI thread.
bool applyPlotPalette(PlotPalette& palette, const QVariantMap& values);

}  // namespace zk::render
