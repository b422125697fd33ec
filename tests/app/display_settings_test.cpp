// Map display, overlay, source and plot-palette settings: repaint order, refusals by session state,
// non-numbers, and the shared plot palette.
#include <gtest/gtest.h>

#include <QImage>
#include <QSettings>
#include <QSignalSpy>
#include <QVariantMap>
#include <functional>
#include <limits>
#include <utility>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "beamforming_settings_peer.h"
#include "render/heatmap_image_provider.h"
#include "render/plot_palette.h"

namespace zk::app::test {
namespace {

using DisplaySettings = ControllerSettingsTest;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A 5 x 3 map with one peak, as a map publisher hands it over.
core::HeatmapGrid smallMap() {
    core::HeatmapGrid grid;
    grid.azimuthDeg = {-20.0, -10.0, 0.0, 10.0, 20.0};
    grid.elevationDeg = {-10.0, 0.0, 10.0};
    grid.width = 5;
    grid.height = 3;
    std::vector<double> power(15, 1e-6);
    power[7] = 1e-3;
    return core::finalizeHeatmap(std::move(grid), std::move(power));
}

// Records which of the display signals fire, in order.
class SignalOrder {
  public:
    explicit SignalOrder(UiController& ui) {
        const std::pair<const char*, void (UiController::*)()> watched[] = {
            {"dynamicRange", &UiController::dynamicRangeChanged},
            {"levelGate", &UiController::levelGateDbfsChanged},
            {"fixedReference", &UiController::fixedReferenceDbfsChanged},
            {"scaleMode", &UiController::heatmapScaleModeChanged},
            {"colormap", &UiController::heatmapColormapChanged},
            {"style", &UiController::heatmapStyleChanged},
            {"opacity", &UiController::heatmapOpacityChanged},
            {"camera", &UiController::cameraSettingsChanged},
            {"confidence", &UiController::confidenceThresholdChanged},
            {"heatmap", &UiController::heatmapUpdated},
        };
        for (const auto& [name, signal] : watched) {
            QObject::connect(&ui, signal, &ui, [this, n = QString::fromLatin1(name)] { order_.append(n); });
        }
    }
    QStringList take() { return std::exchange(order_, {}); }

  private:
    QStringList order_;
};

TEST_F(DisplaySettings, MapSettingsRepaintAfterTheirSignalAndLayerSettingsDoNot) {
    UiController ui;
    SignalOrder order(ui);
    const QStringList repainted[] = {{"dynamicRange", "heatmap"},   {"levelGate", "heatmap"},
                                     {"fixedReference", "heatmap"}, {"scaleMode", "heatmap"},
                                     {"colormap", "heatmap"},       {"style", "heatmap"},
                                     {"camera", "heatmap"},         {"camera", "heatmap"}};
    const std::function<void()> repainting[] = {
        [&] { ui.setDynamicRange(35.0); },
        [&] { ui.setLevelGateDbfs(-70.0); },
        [&] { ui.setFixedReferenceDbfs(-12.0); },
        [&] { ui.setHeatmapScaleMode(QStringLiteral("Fixed dBFS")); },
        [&] { ui.setHeatmapColormap(1); },
        [&] { ui.setHeatmapStyle(3); },
        [&] { ui.setCameraOverlayAlpha(0.25); },
        [&] { ui.setCameraOverlayThreshold(0.5); },
    };
    for (std::size_t i = 0; i < std::size(repainting); ++i) {
        repainting[i]();
        EXPECT_EQ(order.take(), repainted[i]) << i;
    }
    ui.setConfidenceThresholdDb(2.5);  // the repaint comes first here
    EXPECT_EQ(order.take(), (QStringList{"heatmap", "confidence"}));

    ui.setHeatmapOpacity(0.5);
    EXPECT_EQ(order.take(), QStringList{"opacity"});
    for (const std::function<void()>& layer : std::initializer_list<std::function<void()>>{
             [&] { ui.setCameraMirror(true); }, [&] { ui.setCameraOverlayScale(1.5); },
             [&] { ui.setCameraOverlayOffsetX(0.2); }, [&] { ui.setCameraOverlayOffsetY(-0.2); }}) {
        layer();
        EXPECT_EQ(order.take(), QStringList{"camera"});
    }
}

TEST_F(DisplaySettings, ARepaintPaintsTheMapOnDisplayIntoTheFieldImage) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    render::HeatmapImageProvider& provider = *ui.heatmapImageProvider();
    QSize size;
    provider.requestImage(QStringLiteral("field"), &size, QSize());
    EXPECT_EQ(size, QSize(1, 1));
    peer.handOverMap(smallMap());
    ui.setDynamicRange(40.0);
    const QImage field = provider.requestImage(QStringLiteral("field"), &size, QSize());
    EXPECT_EQ(size, QSize(5, 3));
    // The peak cell (row 1, column 2) is at the reference level: J = 65535, red 255 and green 255.
    EXPECT_EQ(qRed(field.pixel(2, 1)), 255);
    EXPECT_EQ(qGreen(field.pixel(2, 1)), 255);
    EXPECT_LT(qRed(field.pixel(0, 0)), 255);
}

TEST_F(DisplaySettings, NonNumbersChangeNoDisplayValue) {
    UiController ui;
    QSignalSpy heatmap(&ui, &UiController::heatmapUpdated);
    QSignalSpy camera(&ui, &UiController::cameraSettingsChanged);
    QSignalSpy opacity(&ui, &UiController::heatmapOpacityChanged);
    QSignalSpy range(&ui, &UiController::dynamicRangeChanged);
    ui.setDynamicRange(kNaN);
    ui.setLevelGateDbfs(kNaN);
    ui.setFixedReferenceDbfs(kNaN);
    ui.setHeatmapOpacity(kNaN);
    ui.setCameraOverlayAlpha(kNaN);
    ui.setCameraOverlayThreshold(kNaN);
    ui.setCameraOverlayScale(kNaN);
    ui.setCameraOverlayOffsetX(kNaN);
    ui.setCameraOverlayOffsetY(kNaN);
    EXPECT_EQ(heatmap.count() + camera.count() + opacity.count() + range.count(), 0);
    EXPECT_EQ(ui.dynamicRange(), 20.0);
    EXPECT_EQ(ui.heatmapOpacity(), 0.82);
    EXPECT_EQ(ui.cameraOverlayScale(), 1.0);
    for (const char* key : {"dynamicRange", "levelGateDbfs", "fixedReferenceDbfs", "heatmapOpacity",
                            "cameraOverlayAlpha", "cameraOverlayScale", "cameraOverlayOffsetX"}) {
        EXPECT_FALSE(QSettings().contains(QLatin1String(key))) << key;
    }
    ui.setDynamicRange(std::numeric_limits<double>::infinity());
    EXPECT_EQ(ui.dynamicRange(), 60.0);
}

TEST_F(DisplaySettings, SourceAndSimulatedDirectionAreRefusedSilentlyWhileASessionHoldsThem) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    importShippedProfile(ui, "small-4.device.json");
    ASSERT_TRUE(ui.hasProfile());
    QSignalSpy source(&ui, &UiController::sourceChanged);
    QSignalSpy azimuth(&ui, &UiController::azimuthChanged);
    QSignalSpy elevation(&ui, &UiController::elevationChanged);

    struct Hold {
        const char* what;
        std::function<void()> enter;
    };
    const Hold holds[] = {
        {"live running", [&] { peer.setSessionState(kRunning); }},
        {"live starting", [&] { peer.setSessionState(kStarting); }},
        {"live stopping", [&] { peer.setSessionState(kStopping); }},
        {"recording", [&] { peer.setRecordingState(kRecordingActive); }},
        {"finalizing", [&] { peer.setRecordingState(kRecordingFinalizing); }},
        {"replay loading", [&] { peer.setReplayState(kReplayLoading); }},
        {"replay playing", [&] { peer.setReplayState(kReplayPlaying); }},
        {"replay paused", [&] { peer.setReplayState(kReplayPaused); }},
    };
    for (const Hold& hold : holds) {
        SCOPED_TRACE(hold.what);
        peer.setSessionState(kReady);
        peer.setRecordingState(kRecordingIdle);
        peer.setReplayState(kReplayIdle);
        hold.enter();
        QSettings().clear();
        const QString status = ui.statusText();
        ui.setSource(QStringLiteral("Synthetic"));
        ui.setSource(QStringLiteral("udp"));  // even a bad name goes unreported
        ui.setAzimuth(30.0);
        ui.setElevation(-30.0);
        EXPECT_EQ(source.count() + azimuth.count() + elevation.count(), 0);
        EXPECT_EQ(ui.source(), QStringLiteral("UDP"));
        EXPECT_EQ(ui.azimuth(), 0.0);
        EXPECT_EQ(ui.statusText(), status);
        EXPECT_TRUE(QSettings().allKeys().isEmpty());
    }

    // Faulted, or a Replay that has ended, gives them back.
    peer.setReplayState(kReplayFinished);
    peer.setSessionState(kFaulted);
    ui.setSource(QStringLiteral("Synthetic"));
    ui.setAzimuth(30.0);
    EXPECT_EQ(source.count(), 1);
    EXPECT_EQ(ui.source(), QStringLiteral("Synthetic"));
    EXPECT_EQ(ui.azimuth(), 30.0);
}

TEST_F(DisplaySettings, TheBandIsEditableOnlyWhenReadyOrRunningOrInAReplay) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    importShippedProfile(ui, "small-4.device.json");
    ASSERT_TRUE(ui.hasProfile());
    QSignalSpy frequency(&ui, &UiController::frequencyChanged);
    QSignalSpy band(&ui, &UiController::frequencyBandChanged);
    for (const std::int32_t state : {kStarting, kStopping, kFaulted}) {
        peer.setSessionState(state);
        ui.setFrequency(2000.0);
        ui.setFrequencyBandMode(QStringLiteral("Single bin"));
        ui.setBandwidthHz(500.0);
        ui.setTargetBinCount(3);
    }
    EXPECT_EQ(frequency.count() + band.count(), 0);
    peer.setSessionState(kRunning);
    ui.setFrequency(2000.0);
    ui.setTargetBinCount(3);
    EXPECT_EQ(frequency.count(), 1);
    EXPECT_EQ(band.count(), 1);
    EXPECT_EQ(QSettings().value(QStringLiteral("targetBinCount")).toInt(), 3);
}

class PlotPaletteTest : public DisplaySettings {
  protected:
    void SetUp() override {
        DisplaySettings::SetUp();
        saved_ = render::PlotPalette::processWide().colors();
    }
    void TearDown() override {
        render::PlotPalette::processWide().setColors(saved_);
        DisplaySettings::TearDown();
    }
    render::PlotColors saved_;
};

TEST_F(PlotPaletteTest, OnlyValidColoursOfTheNineRolesAreTaken) {
    UiController ui;
    const render::PlotColors before = render::PlotPalette::processWide().colors();
    ui.setPlotPalette(QVariantMap{{QStringLiteral("cursor"), QStringLiteral("#102030")},
                                  {QStringLiteral("grid"), QStringLiteral("not a colour")},
                                  {QStringLiteral("Spectrum"), QStringLiteral("#ffffff")},
                                  {QStringLiteral("waveform"), QVariant()}});
    const render::PlotColors after = render::PlotPalette::processWide().colors();
    EXPECT_EQ(after.cursor, QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(after.grid, before.grid);
    EXPECT_EQ(after.spectrum, before.spectrum);
    EXPECT_EQ(after.waveform, before.waveform);
    EXPECT_EQ(after.bg, before.bg);
    EXPECT_EQ(after.waterfallBg, before.waterfallBg);
    EXPECT_TRUE(QSettings().allKeys().isEmpty());
}

TEST_F(PlotPaletteTest, ANewWaterfallBackgroundDropsTheWaterfallImage) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    QImage waterfall(8, 4, QImage::Format_RGB32);
    waterfall.fill(Qt::red);
    peer.setWaterfallImage(waterfall);
    const QString current = render::PlotPalette::processWide().colors().waterfallBg.name();
    ui.setPlotPalette(QVariantMap{{QStringLiteral("waterfallBg"), current},
                                  {QStringLiteral("fg"), QStringLiteral("white")}});
    EXPECT_FALSE(peer.waterfallImage().isNull());
    EXPECT_EQ(render::PlotPalette::processWide().colors().fg, QColor(Qt::white));
    ui.setPlotPalette(QVariantMap{{QStringLiteral("waterfallBg"), QStringLiteral("#000001")}});
    EXPECT_TRUE(peer.waterfallImage().isNull());
    EXPECT_EQ(render::PlotPalette::processWide().colors().waterfallBg, QColor(0, 0, 1));
}

}  // namespace
}  // namespace zk::app::test
