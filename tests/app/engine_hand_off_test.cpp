// Accepted beamforming and band changes reach a configured live or Replay engine as new snapshots, and
// the engine's next map carries them; rejections are reported as the failures they are.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "beamforming_settings_peer.h"
#include "core/storage/device_profile.h"
#include "core/streaming/streaming_engine_config.h"
#include "core/streaming/synthetic_source.h"

namespace zk::app::test {
namespace {

using EngineHandOff = ControllerSettingsTest;

constexpr std::uint64_t kFrame = 1024;
constexpr std::uint64_t kHop = 512;

// Configures the engine as a live start does, from the controller's current snapshots.
void configureFromController(core::StreamingAcousticEngine& engine, const core::DeviceProfile& profile,
                             const BeamformingSettingsTestPeer& peer, double frequencyHz,
                             std::int64_t mapIntervalMs = 0) {
    core::StreamingEngineConfig config;
    config.frameSize = kFrame;
    config.hopSize = kHop;
    config.frequencyHz = frequencyHz;
    config.band = peer.band();
    config.csmTauSeconds = 0.1;
    config.mapIntervalMs =
        mapIntervalMs;  // 0: a map at every hop, each push yields the map it is checked for
    config.beamforming = peer.beamforming();
    engine.configure(profile, config);
}

// A plane wave from a fixed direction, pushed in whole hops.
class WaveFeed {
  public:
    explicit WaveFeed(const core::DeviceProfile& profile)
        : source_(core::SyntheticSourceSettings{4500.0, 12.0, -6.0, 343.0, 6000.0}) {
        source_.configure(profile);
    }
    void push(core::StreamingAcousticEngine& engine, std::uint64_t frames) {
        const std::vector<std::int16_t> samples = source_.readFrames(frames);
        engine.pushWireFrames(samples);
    }

  private:
    core::SyntheticSource source_;
};

// The bins a custom band [c - b/2, c + b/2] selects at bin width df: every k with k df inside it.
struct ExpectedBins {
    std::uint64_t first;
    std::uint64_t last;
};
ExpectedBins customBandBins(double centreHz, double bandwidthHz, double df) {
    return {static_cast<std::uint64_t>(std::ceil((centreHz - bandwidthHz / 2.0) / df)),
            static_cast<std::uint64_t>(std::floor((centreHz + bandwidthHz / 2.0) / df))};
}

TEST_F(EngineHandOff, BandAndParameterChangesReachTheRunningEngineAndItsNextMap) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    importShippedProfile(ui, "TM27-128-H1.6.2.device.json");
    ASSERT_TRUE(ui.hasProfile());
    const core::DeviceProfile profile = *ui.activeProfile();
    const double df = profile.sampleRateHz / static_cast<double>(kFrame);
    core::StreamingAcousticEngine& engine = peer.liveEngine();
    configureFromController(engine, profile, peer, ui.frequency());
    peer.setSessionState(kRunning);
    WaveFeed feed(profile);

    feed.push(engine, kFrame + kHop);
    std::optional<core::HeatmapGrid> map = engine.latestMap();
    ASSERT_TRUE(map.has_value());
    EXPECT_EQ(map->algorithmId, 1u);
    EXPECT_EQ(map->parametersRevision, peer.beamforming().revision);

    // Each accepted band change raises the band revision exactly once; an unchanged value not at all.
    std::uint64_t revision = peer.band().revision;
    ui.setFrequencyBandMode(QStringLiteral("Custom bandwidth"));
    EXPECT_EQ(peer.band().revision, ++revision);
    ui.setBandwidthHz(1000.0);
    EXPECT_EQ(peer.band().revision, ++revision);
    ui.setFrequency(4500.0);
    EXPECT_EQ(peer.band().revision, ++revision);
    ui.setTargetBinCount(0);
    ui.setBandwidthHz(1000.0 * (1.0 + 1e-14));
    EXPECT_EQ(peer.band().revision, revision);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Frequency band pending at DSP boundary: Custom bandwidth"));
    EXPECT_EQ(peer.band().centerHz, 4500.0);
    // Pending until the engine's next hop.
    EXPECT_NE(engine.frequencyBand().parameters.revision, revision);

    feed.push(engine, kHop);
    EXPECT_EQ(engine.frequencyBand().parameters.revision, revision);
    const ExpectedBins bins = customBandBins(4500.0, 1000.0, df);
    map = engine.latestMap();
    ASSERT_TRUE(map.has_value());
    EXPECT_EQ(map->binCount, bins.last - bins.first + 1);
    EXPECT_DOUBLE_EQ(map->firstFrequencyHz, bins.first * df);
    EXPECT_DOUBLE_EQ(map->lastFrequencyHz, bins.last * df);

    // The effective band is the band of the map handed over for display.
    EXPECT_EQ(ui.effectiveBinCount(), 0);
    peer.handOverMap(*map);
    EXPECT_EQ(ui.effectiveBinCount(), static_cast<int>(bins.last - bins.first + 1));
    EXPECT_DOUBLE_EQ(ui.effectiveBandLowHz(), bins.first * df);
    EXPECT_DOUBLE_EQ(ui.effectiveBandHighHz(), bins.last * df);
    EXPECT_EQ(ui.effectiveFrequencyHz(), map->representativeFrequencyHz);

    // A bin limit thins the same band out.
    ui.setTargetBinCount(5);
    feed.push(engine, kHop);
    map = engine.latestMap();
    ASSERT_TRUE(map.has_value());
    EXPECT_EQ(map->binCount, 5u);
    EXPECT_EQ(engine.frequencyBand().parameters.binLimit, 5u);

    // A new algorithm and a new speed of sound arrive as new parameter snapshots.
    ui.setFrequencyBandMode(QStringLiteral("Single bin"));
    ui.setAlgorithm(QStringLiteral("03 MVDR / Capon"));
    feed.push(engine, kHop);
    map = engine.latestMap();
    ASSERT_TRUE(map.has_value());
    EXPECT_EQ(map->algorithmId, 3u);
    EXPECT_EQ(map->parametersRevision, peer.beamforming().revision);
    EXPECT_EQ(map->binCount, 1u);
    EXPECT_DOUBLE_EQ(map->representativeFrequencyHz, 4500.0);

    const std::uint64_t before = peer.beamforming().revision;
    ui.setAirTemperatureC(35.0);
    ui.setFocusDistanceIndex(3);
    EXPECT_EQ(peer.beamforming().revision, before + 2);
    feed.push(engine, kHop);
    map = engine.latestMap();
    ASSERT_TRUE(map.has_value());
    EXPECT_EQ(map->parametersRevision, before + 2);
    EXPECT_EQ(map->algorithmId, 3u);
}

TEST_F(EngineHandOff, ChangesWhileTheProducerPushesEndInTheLatestSnapshots) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    importShippedProfile(ui, "small-4.device.json");
    ASSERT_TRUE(ui.hasProfile());
    const core::DeviceProfile profile = *ui.activeProfile();
    core::StreamingAcousticEngine& engine = peer.liveEngine();
    configureFromController(engine, profile, peer, ui.frequency(), 25);
    peer.setSessionState(kRunning);

    // The producer stands in for the DSP thread; the setters run here, on the GUI thread.
    std::atomic<bool> run{true};
    std::atomic<std::uint64_t> pushes{0};
    std::thread producer([&] {
        WaveFeed feed(profile);
        while (run.load()) {
            feed.push(engine, kHop);
            pushes.fetch_add(1);
        }
    });
    const char* const algorithms[] = {"01 DAS / Conventional", "03 MVDR / Capon", "08 SRP-PHAT", "05 MUSIC"};
    const char* const modes[] = {"Single bin", "1/3 octave", "Custom bandwidth"};
    for (int i = 0; i < 60; ++i) {
        ui.setAlgorithm(QLatin1String(algorithms[i % 4]));
        ui.setFrequencyBandMode(QLatin1String(modes[i % 3]));
        ui.setFrequency(1000.0 + 250.0 * (i % 7));
        ui.setAirTemperatureC(10.0 + i % 5);
        const std::uint64_t seen = pushes.load();
        while (pushes.load() == seen) std::this_thread::yield();
    }
    run.store(false);
    producer.join();

    WaveFeed feed(profile);
    feed.push(engine, kHop);
    const std::optional<core::HeatmapGrid> map = engine.latestMap();
    ASSERT_TRUE(map.has_value());
    EXPECT_EQ(map->parametersRevision, peer.beamforming().revision);
    EXPECT_EQ(map->algorithmId, static_cast<std::uint32_t>(peer.beamforming().algorithm));
    EXPECT_EQ(engine.frequencyBand().parameters.revision, peer.band().revision);
    EXPECT_EQ(engine.frequencyBand().parameters.mode, peer.band().mode);
    EXPECT_EQ(engine.frequencyBand().parameters.centerHz, ui.frequency());
}

TEST_F(EngineHandOff, ALiveRejectionKeepsTheValueButSendsNeitherSignalNorMessage) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    importShippedProfile(ui, "TM27-128-H1.6.2.device.json");
    ASSERT_TRUE(ui.hasProfile());
    peer.setSessionState(kRunning);  // the live engine was never configured: it rejects all

    QSignalSpy algorithm(&ui, &UiController::algorithmChanged);
    QSignalSpy diagonal(&ui, &UiController::diagonalRemovalChanged);
    QSignalSpy band(&ui, &UiController::frequencyBandChanged);
    ui.setAlgorithm(QStringLiteral("05 MUSIC"));
    EXPECT_EQ(ui.statusText(),
              QStringLiteral("Beamforming parameter update failed: invalid beamforming parameter snapshot"));
    EXPECT_EQ(algorithm.count(), 0);
    EXPECT_EQ(ui.algorithm(), QStringLiteral("05 MUSIC"));
    EXPECT_EQ(peer.beamforming().algorithm, 5);
    EXPECT_FALSE(ui.eventLog().join(u'\n').contains(QStringLiteral("Algorithm selected")));

    ui.setDiagonalRemoval(false);
    EXPECT_EQ(diagonal.count(), 0);
    EXPECT_FALSE(ui.diagonalRemoval());
    EXPECT_FALSE(ui.eventLog().join(u'\n').contains(QStringLiteral("Diagonal removal OFF")));

    ui.setBeamformingParameter(QStringLiteral("music_source_count"), 3.0);
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("music_source_count")), 3.0);
    EXPECT_NE(ui.statusText(), QStringLiteral("Parameter music_source_count updated"));

    // A band rejection is reported, and the band change still stands and signals.
    ui.setFrequencyBandMode(QStringLiteral("Single bin"));
    EXPECT_EQ(band.count(), 1);
    EXPECT_EQ(ui.frequencyBandMode(), QStringLiteral("Single bin"));
    EXPECT_TRUE(ui.eventLog().last().endsWith(
        QStringLiteral("Frequency-band update failed: invalid frequency-band parameters")));
}

TEST_F(EngineHandOff, AnActiveReplayGetsTheSnapshotsAndLimitsTheFrequencyByItsProfile) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    const core::DeviceProfile small =
        core::loadDeviceProfile(shippedProfile("small-4.device.json").toStdString());
    ASSERT_EQ(small.sampleRateHz, 16000u);
    peer.setReplayProfile(small);
    peer.setReplayState(kReplayPaused);
    configureFromController(peer.replayEngine(), small, peer, ui.frequency());

    // No live profile: the Replay's rate bounds the frequency, the bandwidth keeps its wide range.
    ui.setFrequency(1010.0);  // bins of 15.625 Hz
    EXPECT_EQ(ui.frequency(), 1015.625);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Replay frequency band pending: 1/3 octave"));
    ui.setFrequency(30000.0);
    EXPECT_EQ(ui.frequency(), 7984.375) << "the bin below the recorded Nyquist";
    ui.setBandwidthHz(60000.0);
    EXPECT_EQ(ui.bandwidthHz(), 60000.0);

    WaveFeed feed(small);
    ui.setAlgorithm(QStringLiteral("07 Orthogonal"));
    feed.push(peer.replayEngine(), kFrame + kHop);
    const std::optional<core::HeatmapGrid> map = peer.replayEngine().latestMap();
    ASSERT_TRUE(map.has_value());
    EXPECT_EQ(map->algorithmId, 7u);
    EXPECT_EQ(map->parametersRevision, peer.beamforming().revision);
    EXPECT_EQ(peer.replayEngine().frequencyBand().parameters.revision, peer.band().revision);
    // The band's centre is the live one, the bin below the recorded Nyquist, not 0.45 x 16 kHz.
    EXPECT_DOUBLE_EQ(peer.replayEngine().frequencyBand().parameters.centerHz, 7984.375);

    // With a live profile as well, the bandwidth is bounded by the live rate.
    importShippedProfile(ui, "TM27-128-H1.6.2.device.json");
    ASSERT_TRUE(ui.hasProfile());
    ui.setFrequency(12000.0);
    EXPECT_EQ(ui.frequency(), 7984.375);
    ui.setBandwidthHz(70000.0);
    EXPECT_EQ(ui.bandwidthHz(), 48000.0);

    // Once the Replay is over the live profile's rate holds.
    peer.setReplayState(kReplayFinished);
    ui.setFrequency(12000.0);
    EXPECT_EQ(ui.frequency(), 12000.0);
}

TEST_F(EngineHandOff, AReplayRejectionIsReportedAndTheChangeGoesOn) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    peer.setReplayProfile(core::loadDeviceProfile(shippedProfile("small-4.device.json").toStdString()));
    peer.setReplayState(kReplayPlaying);  // its engine was never configured

    QSignalSpy focus(&ui, &UiController::focusDistanceIndexChanged);
    const qsizetype lines = ui.eventLog().size();
    ui.setFocusDistanceIndex(2);
    EXPECT_EQ(focus.count(), 1);
    const QStringList log = ui.eventLog();
    ASSERT_EQ(log.size(), lines + 2);
    EXPECT_TRUE(log[lines].endsWith(
        QStringLiteral("Replay beamforming update failed: invalid beamforming parameter snapshot")));
    EXPECT_TRUE(log[lines + 1].endsWith(QStringLiteral("Focus distance: 3 m")));

    ui.setTargetBinCount(4);
    EXPECT_EQ(ui.targetBinCount(), 4);
    EXPECT_TRUE(ui.eventLog().last().endsWith(
        QStringLiteral("Replay frequency-band update failed: invalid frequency-band parameters")));
}

TEST_F(EngineHandOff, ChangesWhileAReplayLoadsAreReportedPendingAndWaitForItsStart) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    peer.setReplayProfile(core::loadDeviceProfile(shippedProfile("small-4.device.json").toStdString()));
    peer.setReplayState(kReplayLoading);  // its engine is not configured yet: nothing may reach it

    const QString pending = QStringLiteral("Replay frequency band pending: Single bin");
    ui.setFrequencyBandMode(QStringLiteral("Single bin"));
    EXPECT_TRUE(ui.eventLog().last().endsWith(pending)) << ui.eventLog().last().toStdString();
    const qsizetype lines = ui.eventLog().size();
    ui.setFocusDistanceIndex(2);
    ui.setAlgorithm(QStringLiteral("07 Orthogonal"));
    const QStringList log = ui.eventLog().mid(lines);
    ASSERT_EQ(log.size(), 4) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log[0].endsWith(pending));
    EXPECT_TRUE(log[1].endsWith(QStringLiteral("Focus distance: 3 m")));
    EXPECT_TRUE(log[2].endsWith(pending));
    EXPECT_TRUE(ui.eventLog().filter(QStringLiteral("failed")).isEmpty());
}

}  // namespace
}  // namespace zk::app::test
