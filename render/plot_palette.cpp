#include "render/plot_palette.h"

#include <QString>
#include <array>
#include <utility>

namespace zk::render {

PlotPalette::PlotPalette() : colors_(std::make_shared<const PlotColors>()) {}

PlotPalette& PlotPalette::processWide() {
    static PlotPalette palette;
    return palette;
}

std::shared_ptr<const PlotColors> PlotPalette::colors() const {
    return colors_.load(std::memory_order_acquire);
}

void PlotPalette::setColors(const PlotColors& colors) {
    colors_.store(std::make_shared<const PlotColors>(colors), std::memory_order_release);
}

bool applyPlotPalette(PlotPalette& palette, const QVariantMap& values) {
    const std::shared_ptr<const PlotColors> before = palette.colors();
    PlotColors next = *before;
    const std::array<std::pair<QString, QColor PlotColors::*>, 9> keys{{
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
    bool changed = false;
    for (const auto& [key, member] : keys) {
        const auto found = values.constFind(key);
        if (found == values.constEnd() || !found->isValid()) continue;
        const QColor colour = QColor::fromString(found->toString());
        if (!colour.isValid()) continue;
        changed = changed || colour != next.*member;
        next.*member = colour;
    }
    if (changed) palette.setColors(next);
    return next.waterfallBg != before->waterfallBg;
}

}  // namespace zk::render
