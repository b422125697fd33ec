#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "heatmap_test_owner.h"

namespace zk::render {
namespace {

using test::makeMap;
using test::TestController;

// A map worker publishes and paints, the GUI thread changes settings and repaints, and a QML loader
// thread reads the images and the published state, all at once (the tsan preset checks the locking).
TEST(HeatmapPainterThreads, PaintersSettersAndReadersRunTogether) {
    TestController ui;
    constexpr int kMaps = 150;
    std::atomic<bool> done{false};  // set by the map worker when it has published its last map

    std::thread worker([&] {
        for (int i = 0; i < kMaps; ++i) {
            std::vector<double> power(13 * 9, 1e-6);
            power[static_cast<std::size_t>(i) % power.size()] = 1e-2;
            core::HeatmapGrid map = makeMap(13, 9, power);
            map.parametersRevision = static_cast<std::uint64_t>(i / 50);
            ui.advanceMs(20);
            ui.publish(map, kMapSourceLive);
        }
        done = true;
    });
    std::thread gui([&] {
        for (int i = 0; i < 50 || !done; ++i) {
            ui.settings.dynamicRange = (i % 3 == 0) ? 0.0 : 20.0;
            ui.settings.levelGateDbfs = -100.0 + (i % 40);
            ui.settings.csmTauSeconds = 0.05 + 0.1 * (i % 20);
            ui.settings.confidenceThresholdDb = (i % 7) * 0.5;
            ui.painter.refreshHeatmapImages();
        }
    });
    int wrongImages = 0;
    int wrongStates = 0;
    std::thread loader([&] {
        for (int i = 0; i < 50 || !done; ++i) {
            const QImage field = ui.provider.requestImage(QStringLiteral("field?1"), nullptr, {});
            const QImage lut = ui.provider.requestImage(QStringLiteral("lut1"), nullptr, {});
            if (field.size() != QSize(1, 1) && field.size() != QSize(13, 9)) ++wrongImages;
            if (lut.size() != QSize(256, 1)) ++wrongImages;
            const HeatmapShaderState state = ui.shader();
            if (state.mapPeaks.size() > 5 ||
                (state.contourLevelCount != 0 && state.contourLevelCount != 12)) {
                ++wrongStates;
            }
            if (ui.mapVisiblePixels.load() > 13 * 9) ++wrongStates;
        }
    });
    worker.join();
    gui.join();
    loader.join();
    EXPECT_EQ(wrongImages, 0);
    EXPECT_EQ(wrongStates, 0);
}

}  // namespace
}  // namespace zk::render
