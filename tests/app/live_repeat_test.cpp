// The whole live path again and again: start, two seconds of maps with a setting changed on the way,
// stop; over UDP and the synthetic source in turn. Under the tsan preset this is the race check of the
// workers, the queues, the engine hand-offs and the map publication.

#include <gtest/gtest.h>

#include <functional>

#include "app_test_support.h"
#include "core/storage/device_profile.h"
#include "live_test_support.h"

namespace zk::app::test {
namespace {

using LiveRepeat = ControllerSettingsTest;

TEST_F(LiveRepeat, TwentySessionsWithSettingChangesEndCleanly) {
    const core::DeviceProfile profile =
        core::loadDeviceProfile(shippedProfile(liveProfileFile()).toStdString());
    UiController ui;
    importShippedProfile(ui, liveProfileFile());
    ui.setFrequency(4000.0);
    MapWatcher maps(ui);
    if (!waitForFreeUdpPort(kArrayPort)) GTEST_SKIP() << "UDP port 6666 stays held by another program";

    // One change per session, each reaching a running engine or painter another way.
    const std::vector<std::function<void()>> changes = {
        [&] { ui.setAlgorithm(QStringLiteral("03 MVDR / Capon")); },
        [&] { ui.setFrequency(4500.0); },
        [&] { ui.setDynamicRange(12.0); },
        [&] { ui.setTargetBinCount(4); },
        [&] { ui.setCsmTauSeconds(0.3); },
        [&] { ui.setDiagonalRemoval(false); },
        [&] { ui.setAlgorithm(QStringLiteral("01 DAS / Conventional")); },
        [&] { ui.setFrequencyBandMode(QStringLiteral("Single bin")); },
        [&] { ui.setAirTemperatureC(5.0); },
        [&] { ui.setHeatmapColormap(2); },
    };

    for (int session = 0; session < 20; ++session) {
        SCOPED_TRACE(session);
        const bool overUdp = session % 2 == 0;
        ui.setSource(overUdp ? QStringLiteral("UDP") : QStringLiteral("Synthetic"));
        maps.clear();
        PlaneWaveSender sender(profile, 12.0, -8.0);
        const auto started = std::chrono::steady_clock::now();
        if (overUdp) {
            ASSERT_NO_FATAL_FAILURE(startLiveOnTheArrayPort(ui));
        } else {
            ui.startLive();
        }
        ASSERT_EQ(ui.sessionState(), QStringLiteral("Running")) << ui.statusText().toStdString();
        if (overUdp) sender.start();

        EXPECT_TRUE(waitUntil([&] { return maps.liveMapCount() >= 1; }, 2000ms))
            << ui.liveMetrics().toStdString();
        QTest::qWait(300);
        changes[static_cast<std::size_t>(session / 2) % changes.size()]();
        const auto elapsed = std::chrono::steady_clock::now() - started;
        if (elapsed < 2s)
            QTest::qWait(static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(2s - elapsed).count()));

        sender.stop();
        ui.stopLive();
        ASSERT_EQ(ui.sessionState(), QStringLiteral("Ready"));
        EXPECT_TRUE(waitUntil([] { return liveWorkerThreads() == 0; }, 2000ms));
        EXPECT_FALSE(processHoldsUdpPort(kArrayPort));
    }
}

}  // namespace
}  // namespace zk::app::test
