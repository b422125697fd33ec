// resetDefaults: the store emptied, the display and acquisition values restored, the rest kept.
#include <gtest/gtest.h>

#include <QMetaMethod>
#include <QSettings>
#include <QSignalSpy>
#include <memory>
#include <vector>

#include "app/ui_controller.h"
#include "app_test_support.h"

namespace zk::app::test {
namespace {

using ResetDefaults = ControllerSettingsTest;

TEST_F(ResetDefaults, RestoresDisplayAndAcquisitionValuesAndClearsTheWholeStore) {
    UiController ui;
    importShippedProfile(ui, "TM27-128-H1.6.2.device.json");
    ui.setSource(QStringLiteral("Synthetic"));
    ui.setFrequency(2000.0);
    ui.setAzimuth(20.0);
    ui.setElevation(-10.0);
    ui.setFrequencyBandMode(QStringLiteral("Custom bandwidth"));
    ui.setBandwidthHz(5000.0);
    ui.setDynamicRange(35.0);
    ui.setLevelGateDbfs(-60.0);
    ui.setFixedReferenceDbfs(-10.0);
    ui.setHeatmapScaleMode(QStringLiteral("Fixed dBFS"));
    ui.setHeatmapOpacity(0.4);
    ui.setDiagonalRemoval(false);
    ui.setCameraMirror(true);
    ui.setCameraOverlayAlpha(0.9);
    ui.setCameraOverlayThreshold(0.1);
    ui.setCameraOverlayScale(1.5);
    ui.setCameraOverlayOffsetX(0.2);
    ui.setCameraOverlayOffsetY(-0.2);
    // Kept in memory by the reset.
    ui.setHeatmapColormap(2);
    ui.setHeatmapStyle(1);
    ui.setFocusDistanceIndex(3);
    ui.setAirTemperatureC(35.0);
    ui.setConfidenceThresholdDb(4.0);
    ui.setCsmTauSeconds(2.0);
    ui.setWaveformMode(1);
    QSettings().setValue(QStringLiteral("lastProjectPath"), QStringLiteral("/somewhere"));
    QSettings().setValue(QStringLiteral("deviceGain"), 3);

    QStringList order;
#define ZK_RECORD(signal) \
    QObject::connect(&ui, &UiController::signal, &ui, [&order] { order.append(QStringLiteral(#signal)); })
    ZK_RECORD(sourceChanged);
    ZK_RECORD(frequencyChanged);
    ZK_RECORD(azimuthChanged);
    ZK_RECORD(elevationChanged);
    ZK_RECORD(frequencyBandChanged);
    ZK_RECORD(dynamicRangeChanged);
    ZK_RECORD(levelGateDbfsChanged);
    ZK_RECORD(heatmapScaleModeChanged);
    ZK_RECORD(fixedReferenceDbfsChanged);
    ZK_RECORD(heatmapOpacityChanged);
    ZK_RECORD(cameraSettingsChanged);
    ZK_RECORD(diagonalRemovalChanged);
    ZK_RECORD(beamformingParametersChanged);
#undef ZK_RECORD
    // Every other change signal stays silent.
    std::vector<std::unique_ptr<QSignalSpy>> others;
    const QMetaObject& meta = UiController::staticMetaObject;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() != QMetaMethod::Signal) continue;
        const QString name = QString::fromLatin1(method.name());
        if (name.endsWith(QStringLiteral("Changed")) && name != QStringLiteral("eventLogChanged") &&
            name != QStringLiteral("statusTextChanged")) {
            others.push_back(std::make_unique<QSignalSpy>(&ui, method));
        }
    }
    ui.resetDefaults();

    EXPECT_TRUE(QSettings().allKeys().isEmpty()) << QSettings().allKeys().join(u',').toStdString();
    EXPECT_EQ(ui.source(), QStringLiteral("UDP"));
    EXPECT_EQ(ui.frequency(), 8015.625) << "8000 Hz on a bin of the loaded 48 kHz profile";
    EXPECT_EQ(ui.azimuth(), 0.0);
    EXPECT_EQ(ui.elevation(), 0.0);
    EXPECT_EQ(ui.frequencyBandMode(), QStringLiteral("1/3 octave"));
    EXPECT_EQ(ui.bandwidthHz(), 2000.0);
    EXPECT_EQ(ui.targetBinCount(), 10);
    EXPECT_EQ(ui.dynamicRange(), 20.0);
    EXPECT_EQ(ui.levelGateDbfs(), -90.0);
    EXPECT_EQ(ui.fixedReferenceDbfs(), -30.0);
    EXPECT_EQ(ui.heatmapScaleMode(), QStringLiteral("Auto peak"));
    EXPECT_EQ(ui.heatmapOpacity(), 0.82);
    EXPECT_TRUE(ui.diagonalRemoval());
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("remove_csm_diagonal")), 1.0);
    EXPECT_FALSE(ui.cameraMirror());
    EXPECT_EQ(ui.cameraOverlayAlpha(), 0.5);
    EXPECT_EQ(ui.cameraOverlayThreshold(), 0.35);
    EXPECT_EQ(ui.cameraOverlayScale(), 1.0);
    EXPECT_EQ(ui.cameraOverlayOffsetX(), 0.0);
    EXPECT_EQ(ui.cameraOverlayOffsetY(), 0.0);

    EXPECT_EQ(ui.heatmapColormap(), 2);
    EXPECT_EQ(ui.heatmapStyle(), 1);
    EXPECT_EQ(ui.focusDistanceIndex(), 3);
    EXPECT_EQ(ui.airTemperatureC(), 35.0);
    EXPECT_EQ(ui.confidenceThresholdDb(), 4.0);
    EXPECT_EQ(ui.csmTauSeconds(), 2.0);
    EXPECT_EQ(ui.waveformMode(), 1);

    EXPECT_EQ(ui.statusText(), QStringLiteral("Display and acquisition defaults restored"));
    EXPECT_EQ(ui.eventLog().back().mid(10), ui.statusText());
    int signalled = 0;
    for (const auto& spy : others) signalled += spy->count();
    EXPECT_EQ(signalled, 13);  // the thirteen below, once each
    EXPECT_EQ(order, (QStringList{"sourceChanged", "frequencyChanged", "azimuthChanged", "elevationChanged",
                                  "frequencyBandChanged", "dynamicRangeChanged", "levelGateDbfsChanged",
                                  "heatmapScaleModeChanged", "fixedReferenceDbfsChanged",
                                  "heatmapOpacityChanged", "cameraSettingsChanged", "diagonalRemovalChanged",
                                  // The diagonal flag is also a parameter that the parameter editors show.
                                  "beamformingParametersChanged"}));
}

TEST_F(ResetDefaults, ARestartWithTheClearedStoreHasNoBinLimit) {
    {
        UiController ui;
        importShippedProfile(ui, "small-4.device.json");
        ui.setTargetBinCount(40);
        ui.resetDefaults();
        EXPECT_EQ(ui.targetBinCount(), 10);
    }
    UiController restarted;
    EXPECT_EQ(restarted.targetBinCount(), 0);
    EXPECT_EQ(restarted.profilePath(), QString());
}

}  // namespace
}  // namespace zk::app::test
