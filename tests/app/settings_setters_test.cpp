// Every setter of the settings store: one stored key and one signal per change, nothing for no change.
#include <gtest/gtest.h>

#include <QMetaProperty>
#include <QSettings>
#include <QSignalSpy>

#include "app/ui_controller.h"
#include "app_test_support.h"

namespace zk::app::test {
namespace {

using SettingsSetters = ControllerSettingsTest;

struct SetterCase {
    const char* property;  // written as QML writes it: through the property's WRITE
    const char* key;
    QVariant value;
    QVariant expected;  // what the store and the property hold afterwards
    bool needsProfile = false;
};

const SetterCase kCases[] = {
    {"dynamicRange", "dynamicRange", 30.0, 30.0},
    {"levelGateDbfs", "levelGateDbfs", -50.0, -50.0},
    {"fixedReferenceDbfs", "fixedReferenceDbfs", 12.0, 0.0},
    {"heatmapOpacity", "heatmapOpacity", 0.05, 0.1},
    {"heatmapColormap", "heatmapColormap", 7, 2},
    {"heatmapStyle", "heatmapStyle", 3, 3},
    {"heatmapScaleMode", "heatmapScaleMode", QStringLiteral("Fixed dBFS"), QStringLiteral("Fixed dBFS")},
    {"cameraMirror", "cameraMirror", true, true},
    {"cameraOverlayAlpha", "cameraOverlayAlpha", 0.7, 0.7},
    {"cameraOverlayThreshold", "cameraOverlayThreshold", 1.0, 0.95},
    {"cameraOverlayScale", "cameraOverlayScale", 3.0, 2.0},
    {"cameraOverlayOffsetX", "cameraOverlayOffsetX", -0.7, -0.5},
    {"cameraOverlayOffsetY", "cameraOverlayOffsetY", 0.25, 0.25},
    {"source", "source", QStringLiteral("Synthetic"), QStringLiteral("Synthetic")},
    {"csmTauSeconds", "csmTauSeconds", 0.5, 0.5},
    {"focusDistanceIndex", "focusDistanceIndex", 9, 4},
    {"airTemperatureC", "airTemperatureC", 30.0, 30.0},
    {"confidenceThresholdDb", "confidenceThresholdDb", 9.0, 6.0},
    {"diagonalRemoval", "diagonalRemoval", false, false},
    {"frequency", "frequency", 1000.0, 1000.0, true},
    {"frequencyBandMode", "frequencyBandMode", QStringLiteral("Custom bandwidth"),
     QStringLiteral("Custom bandwidth"), true},
    {"bandwidthHz", "bandwidthHz", 30000.0, 16000.0, true},  // at most the 16 kHz profile's sample rate
    {"targetBinCount", "targetBinCount", 200, 128, true},
    {"waveformWindowS", "waveformWindowS", 1.5, 1.5},
    {"overlayWindowS", "overlayWindowS", 0.001, 0.005},
    {"waveformMode", "waveformMode", 2, 2},
    {"waterfallColormap", "waterfallColormap", 1, 1},
    {"diagnosticChannel", nullptr, 3, 3, true},
    {"recordingMaxDurationSeconds", "recording/maxDurationSec", 10.5, 11.0},
    {"analysisWindowSeconds", "analysisWindowSeconds", 2.5, 2.5},
    {"analysisFrequencyHz", "analysisFrequencyHz", 2000.0, 2000.0},
    {"analysisGridStepDeg", "analysisGridStepDeg", 0.2, 0.5},
    {"analysisBandwidthHz", "analysisBandwidthHz", 3000.0, 3000.0},
    {"analysisBandMode", "analysisBandMode", QStringLiteral("Custom"), QStringLiteral("Custom")},
    {"analysisHopSize", "analysisHopSize", 64, 64},
    {"analysisFrameSize", "analysisFrameSize", 512, 512},
    {"analysisFocusIndex", nullptr, 3, 3},
};

bool sameValue(const QVariant& actual, const QVariant& expected) {
    if (expected.typeId() == QMetaType::Double) return actual.toDouble() == expected.toDouble();
    if (expected.typeId() == QMetaType::Int) return actual.toInt() == expected.toInt();
    if (expected.typeId() == QMetaType::Bool) return actual.toBool() == expected.toBool();
    return actual.toString() == expected.toString();
}

// The same value once more, for a double 1e-13 of it away (equal by the 10^12 rule).
QVariant nearlyTheSame(const QVariant& value) {
    if (value.typeId() == QMetaType::Double) return value.toDouble() * (1.0 + 1e-13);
    return value;
}

TEST_F(SettingsSetters, EachChangeWritesItsKeyAndSignalsOnceAndNoChangeDoesNothing) {
    UiController ui;
    importShippedProfile(ui, "small-4.device.json");
    ASSERT_TRUE(ui.hasProfile());
    const QMetaObject& meta = UiController::staticMetaObject;
    for (const SetterCase& c : kCases) {
        SCOPED_TRACE(c.property);
        const QMetaProperty property = meta.property(meta.indexOfProperty(c.property));
        ASSERT_TRUE(property.isWritable());
        QSignalSpy spy(&ui, property.notifySignal());
        ASSERT_TRUE(spy.isValid());
        const QVariant before = property.read(&ui);

        ASSERT_TRUE(property.write(&ui, c.value));
        EXPECT_EQ(spy.count(), 1);
        EXPECT_TRUE(sameValue(property.read(&ui), c.expected)) << property.read(&ui).toString().toStdString();
        EXPECT_FALSE(sameValue(before, c.expected));
        if (c.key != nullptr) {
            EXPECT_TRUE(sameValue(QSettings().value(QLatin1String(c.key)), c.expected))
                << QSettings().value(QLatin1String(c.key)).toString().toStdString();
            // A set that changes nothing writes nothing: the key removed behind the controller's back
            // stays absent.
            QSettings().remove(QLatin1String(c.key));
        }
        property.write(&ui, nearlyTheSame(property.read(&ui)));
        property.write(&ui, c.value);
        EXPECT_EQ(spy.count(), 1);
        if (c.key != nullptr) {
            EXPECT_FALSE(QSettings().contains(QLatin1String(c.key)));
        }
    }
}

TEST_F(SettingsSetters, ThemeAndLanguageAreWrittenAndSignalledEvenWhenUnchanged) {
    UiController ui;
    QSignalSpy theme(&ui, &UiController::uiThemeChanged);
    QSignalSpy language(&ui, &UiController::uiLanguageChanged);
    ui.setProperty("uiTheme", QStringLiteral("abyss"));
    ui.setProperty("uiTheme", QStringLiteral("abyss"));
    ui.setProperty("uiLanguage", QStringLiteral("ja_JP"));
    EXPECT_EQ(theme.count(), 2);
    EXPECT_EQ(language.count(), 1);
    EXPECT_EQ(QSettings().value(QStringLiteral("ui/theme")).toString(), QStringLiteral("abyss"));
    QSettings().setValue(QStringLiteral("ui/language"), QStringLiteral("en"));
    EXPECT_EQ(ui.uiLanguage(), QStringLiteral("en"));  // read from the store on every access
}

TEST_F(SettingsSetters, AzimuthAndElevationSignalEveryAcceptedCall) {
    UiController ui;
    QSignalSpy azimuth(&ui, &UiController::azimuthChanged);
    QSignalSpy elevation(&ui, &UiController::elevationChanged);
    ui.setAzimuth(90.0);
    ui.setAzimuth(80.0);
    ui.setElevation(-75.0);
    EXPECT_EQ(azimuth.count(), 2);
    EXPECT_EQ(elevation.count(), 1);
    EXPECT_EQ(ui.azimuth(), 80.0);
    EXPECT_EQ(ui.elevation(), -60.0);
    EXPECT_EQ(QSettings().value(QStringLiteral("azimuth")).toDouble(), 80.0);
    EXPECT_EQ(QSettings().value(QStringLiteral("elevation")).toDouble(), -60.0);
}

TEST_F(SettingsSetters, FrequencyFollowsTheBinsOfTheLoadedProfile) {
    UiController ui;
    importShippedProfile(ui, "TM27-128-H1.6.2.device.json");  // 48000 Hz: bins of 46.875 Hz
    ASSERT_TRUE(ui.hasProfile());
    const std::pair<double, double> cases[] = {
        {1010.0, 1031.25}, {1000.0, 984.375}, {30000.0, 23953.125}, {10.0, 93.75}};  // short of Nyquist
    for (const auto& [requested, stored] : cases) {
        ui.setFrequency(requested);
        EXPECT_EQ(ui.frequency(), stored) << requested;
        EXPECT_EQ(QSettings().value(QStringLiteral("frequency")).toDouble(), stored) << requested;
    }
}

TEST_F(SettingsSetters, FrequencyBandSettersNeedAProfile) {
    UiController ui;
    QSignalSpy frequency(&ui, &UiController::frequencyChanged);
    QSignalSpy band(&ui, &UiController::frequencyBandChanged);
    ui.setFrequency(2000.0);
    ui.setBandwidthHz(60000.0);
    ui.setTargetBinCount(5);
    ui.setFrequencyBandMode(QStringLiteral("Single bin"));
    EXPECT_EQ(frequency.count() + band.count(), 0);
    EXPECT_EQ(ui.frequency(), 8000.0);
    EXPECT_FALSE(QSettings().contains(QStringLiteral("frequency")));
}

TEST_F(SettingsSetters, RefusalsAndNamesAreReported) {
    UiController ui;
    ui.setSource(QStringLiteral("udp"));
    EXPECT_EQ(ui.source(), QStringLiteral("UDP"));
    EXPECT_EQ(ui.statusText(), QStringLiteral("Unsupported source: udp"));

    ui.setFocusDistanceIndex(9);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Focus distance: 10 m"));
    ui.setFocusDistanceIndex(-1);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Focus distance: far field"));
    ui.setDiagonalRemoval(false);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Diagonal removal OFF"));
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("remove_csm_diagonal")), 0.0);

    ui.setHeatmapScaleMode(QStringLiteral("Fixed dBFS"));
    ui.setHeatmapScaleMode(QStringLiteral("fixed dBFS"));
    EXPECT_EQ(ui.heatmapScaleMode(), QStringLiteral("Auto peak"));
    EXPECT_EQ(QSettings().value(QStringLiteral("heatmapScaleMode")).toString(), QStringLiteral("Auto peak"));

    ui.setAlgorithm(QStringLiteral("09 CLEAN-SC"));
    EXPECT_EQ(ui.statusText(), QStringLiteral("09 CLEAN-SC is contract-only and not executable yet; "
                                              "01 DAS / Conventional remains active"));
    ui.setAnalysisAlgorithm(QStringLiteral("01 DAS (CBF)"));
    EXPECT_EQ(ui.statusText(), QStringLiteral("Unsupported analysis algorithm: 01 DAS (CBF)"));
    EXPECT_EQ(ui.analysisAlgorithm(), QStringLiteral("01 DAS (CBF)"));
}

TEST_F(SettingsSetters, AStyleOfThreeIsStoredButReadBackAsTwo) {
    {
        UiController ui;
        ui.setHeatmapStyle(3);
        EXPECT_EQ(ui.heatmapStyle(), 3);
    }
    EXPECT_EQ(QSettings().value(QStringLiteral("heatmapStyle")).toInt(), 3);
    UiController restarted;
    EXPECT_EQ(restarted.heatmapStyle(), 2);
}

TEST_F(SettingsSetters, AnalysisFrameSizeBelowTheHopHalvesTheHop) {
    UiController ui;
    ui.setAnalysisFrameSize(1024);
    ui.setAnalysisHopSize(512);
    ui.setAnalysisFrameSize(256);
    EXPECT_EQ(ui.analysisHopSize(), 128);
    EXPECT_EQ(QSettings().value(QStringLiteral("analysisHopSize")).toInt(), 128);
    ui.setAnalysisFrameSize(300);  // not one of the three sizes: ignored
    EXPECT_EQ(ui.analysisFrameSize(), 256);
}

}  // namespace
}  // namespace zk::app::test

namespace zk::app::test {
namespace {

using LiveMapSettings = ControllerSettingsTest;

TEST_F(LiveMapSettings, ParametersBelongToTheSelectedAlgorithm) {
    UiController ui;
    QSignalSpy algorithm(&ui, &UiController::algorithmChanged);
    ui.setBeamformingParameter(QStringLiteral("music_source_count"), 3.0);
    EXPECT_EQ(ui.statusText(),
              QStringLiteral("Parameter music_source_count is not part of the selected algorithm"));
    ui.setAlgorithm(QStringLiteral("05 MUSIC"));
    ui.setAlgorithm(QStringLiteral("05 MUSIC"));
    EXPECT_EQ(algorithm.count(), 2);  // choosing it again counts as a change
    EXPECT_EQ(ui.algorithm(), QStringLiteral("05 MUSIC"));
    EXPECT_EQ(ui.eventLog().back().mid(10), QStringLiteral("Algorithm selected: 05 MUSIC"));
    ui.setBeamformingParameter(QStringLiteral("music_source_count"), 3.9);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Parameter music_source_count updated"));
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("music_source_count")), 3.0);  // counts truncate
    ui.setBeamformingParameter(QStringLiteral("music_source_count"), 0.0);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Invalid value for music_source_count"));
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("music_source_count")), 3.0);
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("mvdr_loading")), 0.0);

    bool listed = false;
    for (const QVariant& field : ui.algorithmParameterFields()) {
        const QVariantMap map = field.toMap();
        if (map.value(QStringLiteral("key")).toString() != QLatin1String("music_source_count")) continue;
        listed = true;
        EXPECT_EQ(map.value(QStringLiteral("type")).toString(), QStringLiteral("int"));
        EXPECT_FALSE(map.contains(QStringLiteral("value")));
    }
    EXPECT_TRUE(listed);
}

TEST_F(LiveMapSettings, TheDiagnosticChannelStaysWithinTheProfile) {
    UiController ui;
    ui.setDiagnosticChannel(5);
    EXPECT_EQ(ui.diagnosticChannel(), 0);  // no profile: fewer than two channels
    EXPECT_EQ(ui.diagnosticMeterPerRow(), 1);
    importShippedProfile(ui, "small-4.device.json");
    EXPECT_EQ(ui.diagnosticChannelCount(), 4);
    EXPECT_EQ(ui.diagnosticMeterPerRow(), 4);
    QSignalSpy channel(&ui, &UiController::diagnosticChannelChanged);
    QSignalSpy updated(&ui, &UiController::diagnosticsUpdated);
    const int revision = ui.diagnosticRevision();
    ui.setDiagnosticChannel(-3);
    EXPECT_EQ(channel.count(), 0);
    ui.setDiagnosticChannel(9);
    EXPECT_EQ(ui.diagnosticChannel(), 3);
    EXPECT_EQ(channel.count(), 1);
    EXPECT_EQ(updated.count(), 1);
    EXPECT_EQ(ui.diagnosticRevision(), revision + 1);
    EXPECT_EQ(ui.diagnosticSummary(), QStringLiteral("Channel 4 selected · collecting 4096 samples"));
    importShippedProfile(ui, "TM27-128-H1.6.2.device.json");
    EXPECT_EQ(ui.diagnosticMeterPerRow(), 32);
}

}  // namespace
}  // namespace zk::app::test
