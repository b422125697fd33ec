#include "render/plot_palette.h"

#include <QRgba64>
#include <QString>
#include <utility>

namespace zk::render {
namespace {

using ColourMember = QColor PlotColors::*;

// The nine colours with the keys setPlotPalette accepts, in PlotColors order.
const std::array<std::pair<QString, ColourMember>, 9>& colourKeys() {
    static const std::array<std::pair<QString, ColourMember>, 9> keys{{
        {QStringLiteral("bg"), &PlotColors::bg},
        {QStringLiteral("grid"), &PlotColors::grid},
        {QStringLiteral("axis"), &PlotColors::axis},
        {QStringLiteral("fg"), &PlotColors::fg},
        {QStringLiteral("waveform"), &PlotColors::waveform},
        {QStringLiteral("waveformDim"), &PlotColors::waveformDim},
        {QStringLiteral("spectrum"), &PlotColors::spectrum},
        {QStringLiteral("cursor"), &PlotColors::cursor},
        {QStringLiteral("waterfallBg"), &PlotColors::waterfallBg},
    }};
    return keys;
}

}  // namespace

PlotPalette::PlotPalette() { setColors(PlotColors{}); }

PlotPalette& PlotPalette::processWide() {
    static PlotPalette palette;
    return palette;
}

PlotColors PlotPalette::colors() const {
    PlotColors out;
    for (;;) {
        const std::uint64_t before = version_.load(std::memory_order_acquire);
        if (before % 2 != 0) continue;  // the GUI thread is between its few stores
        for (std::size_t i = 0; i < kColours; ++i) {
            out.*colourKeys()[i].second =
                QColor::fromRgba64(QRgba64::fromRgba64(rgba64_[i].load(std::memory_order_acquire)));
        }
        if (version_.load(std::memory_order_acquire) == before) return out;
    }
}

void PlotPalette::setColors(const PlotColors& colors) {
    const std::uint64_t version = version_.load(std::memory_order_relaxed);
    version_.store(version + 1, std::memory_order_relaxed);
    // Release stores keep the odd version ahead of every colour a reader may see.
    for (std::size_t i = 0; i < kColours; ++i) {
        rgba64_[i].store(static_cast<quint64>((colors.*colourKeys()[i].second).rgba64()),
                         std::memory_order_release);
    }
    version_.store(version + 2, std::memory_order_release);
}

bool applyPlotPalette(PlotPalette& palette, const QVariantMap& values) {
    const PlotColors before = palette.colors();
    PlotColors next = before;
    bool changed = false;
    for (const auto& [key, member] : colourKeys()) {
        const auto found = values.constFind(key);
        if (found == values.constEnd() || !found->isValid()) continue;
        const QColor colour = QColor::fromString(found->toString());
        if (!colour.isValid()) continue;
        changed = changed || colour != next.*member;
        next.*member = colour;
    }
    if (changed) palette.setColors(next);
    return next.waterfallBg != before.waterfallBg;
}

}  // namespace zk::render
