// What the controller makes of the stored settings when it starts.
#include <gtest/gtest.h>

#include <QSettings>
#include <cmath>
#include <functional>
#include <limits>

#include "app/ui_controller.h"
#include "app_test_support.h"

namespace zk::app::test {
namespace {

using SettingsAtStart = ControllerSettingsTest;

struct StoredCase {
    const char* key;
    QVariant stored;
    const char* property;  // read back through the meta-object, as QML reads it
    QVariant expected;
};

// Each value outside its range starts at the nearer bound; the stored text is what an INI file holds.
const StoredCase kBelowRange[] = {
    {"recording/maxDurationSec", 0.4, "recordingMaxDurationSeconds", 1.0},
    {"dynamicRange", 0.01, "dynamicRange", 0.1},
    {"csmTauSeconds", 0.0, "csmTauSeconds", 0.05},
    {"analysisWindowSeconds", -2.0, "analysisWindowSeconds", 0.0},
    {"levelGateDbfs", -500.0, "levelGateDbfs", -120.0},
    {"fixedReferenceDbfs", -121.0, "fixedReferenceDbfs", -120.0},
    {"heatmapColormap", -1, "heatmapColormap", 0},
    {"heatmapStyle", -4, "heatmapStyle", 0},
    {"waveformWindowS", 0.01, "waveformWindowS", 0.1},
    {"overlayWindowS", 0.001, "overlayWindowS", 0.005},
    {"waveformMode", -1, "waveformMode", 0},
    {"waterfallColormap", -7, "waterfallColormap", 0},
    {"heatmapOpacity", 0.0, "heatmapOpacity", 0.1},
    {"focusDistanceIndex", -1, "focusDistanceIndex", 0},
    {"airTemperatureC", -80.0, "airTemperatureC", -40.0},
    {"confidenceThresholdDb", -1.0, "confidenceThresholdDb", 0.0},
    {"bandwidthHz", 10.0, "bandwidthHz", 100.0},
    {"targetBinCount", -3, "targetBinCount", 0},
    {"analysisFrequencyHz", 5.0, "analysisFrequencyHz", 100.0},
    {"analysisGridStepDeg", 0.1, "analysisGridStepDeg", 0.5},
};

const StoredCase kAboveRange[] = {
    {"recording/maxDurationSec", 300.0, "recordingMaxDurationSeconds", 120.0},
    {"dynamicRange", 90.0, "dynamicRange", 60.0},
    {"csmTauSeconds", 11.0, "csmTauSeconds", 10.0},
    {"analysisWindowSeconds", 9.0, "analysisWindowSeconds", 5.0},
    {"levelGateDbfs", 3.0, "levelGateDbfs", 0.0},
    {"fixedReferenceDbfs", 0.5, "fixedReferenceDbfs", 0.0},
    {"heatmapColormap", 3, "heatmapColormap", 2},
    {"heatmapStyle", 3, "heatmapStyle", 2},
    {"waveformWindowS", 6.0, "waveformWindowS", 5.0},
    {"overlayWindowS", 0.9, "overlayWindowS", 0.5},
    {"waveformMode", 3, "waveformMode", 2},
    {"waterfallColormap", 4, "waterfallColormap", 3},
    {"heatmapOpacity", 1.5, "heatmapOpacity", 1.0},
    {"focusDistanceIndex", 9, "focusDistanceIndex", 4},
    {"airTemperatureC", 70.0, "airTemperatureC", 60.0},
    {"confidenceThresholdDb", 6.5, "confidenceThresholdDb", 6.0},
    {"bandwidthHz", 50000.0, "bandwidthHz", 40000.0},
    {"targetBinCount", 200, "targetBinCount", 128},
    {"analysisFrequencyHz", 45000.0, "analysisFrequencyHz", 40000.0},
    {"analysisGridStepDeg", 7.0, "analysisGridStepDeg", 5.0},
};

void expectStartsAt(const StoredCase& c, const UiController& ui) {
    const QVariant actual = ui.property(c.property);
    ASSERT_TRUE(actual.isValid()) << c.property;
    if (c.expected.typeId() == QMetaType::Double) {
        EXPECT_DOUBLE_EQ(actual.toDouble(), c.expected.toDouble()) << c.key;
    } else {
        EXPECT_EQ(actual.toInt(), c.expected.toInt()) << c.key;
    }
}

TEST_F(SettingsAtStart, ValuesBelowTheirRangeStartAtTheLowerBound) {
    {
        QSettings store;
        for (const StoredCase& c : kBelowRange) store.setValue(QLatin1String(c.key), c.stored);
    }
    UiController ui;
    for (const StoredCase& c : kBelowRange) expectStartsAt(c, ui);
}

TEST_F(SettingsAtStart, ValuesAboveTheirRangeStartAtTheUpperBound) {
    {
        QSettings store;
        for (const StoredCase& c : kAboveRange) store.setValue(QLatin1String(c.key), c.stored);
    }
    UiController ui;
    for (const StoredCase& c : kAboveRange) expectStartsAt(c, ui);
}

TEST_F(SettingsAtStart, AnEmptyStoreGivesTheDefaults) {
    UiController ui;
    EXPECT_EQ(ui.profilePath(), QString());
    EXPECT_EQ(ui.recordingMaxDurationSeconds(), 10.0);
    EXPECT_EQ(ui.source(), QStringLiteral("UDP"));
    EXPECT_EQ(ui.frequency(), 8000.0);
    EXPECT_EQ(ui.azimuth(), 0.0);
    EXPECT_EQ(ui.elevation(), 0.0);
    EXPECT_EQ(ui.dynamicRange(), 20.0);
    EXPECT_EQ(ui.csmTauSeconds(), 0.1);
    EXPECT_EQ(ui.analysisWindowSeconds(), 0.0);
    EXPECT_EQ(ui.levelGateDbfs(), -90.0);
    EXPECT_EQ(ui.fixedReferenceDbfs(), -30.0);
    EXPECT_EQ(ui.heatmapScaleMode(), QStringLiteral("Auto peak"));
    EXPECT_EQ(ui.heatmapColormap(), 0);
    EXPECT_EQ(ui.heatmapStyle(), 0);
    EXPECT_EQ(ui.waveformWindowS(), 0.5);
    EXPECT_EQ(ui.overlayWindowS(), 0.02);
    EXPECT_EQ(ui.waveformMode(), 0);
    EXPECT_EQ(ui.waterfallColormap(), 3);
    EXPECT_EQ(ui.heatmapOpacity(), 0.82);
    EXPECT_FALSE(ui.cameraMirror());
    EXPECT_TRUE(ui.diagonalRemoval());
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("remove_csm_diagonal")), 1.0);
    EXPECT_EQ(ui.focusDistanceIndex(), 0);
    EXPECT_EQ(ui.airTemperatureC(), 20.0);
    EXPECT_DOUBLE_EQ(ui.speedOfSoundMps(), 331.3 * std::sqrt(1.0 + 20.0 / 273.15));
    EXPECT_EQ(ui.confidenceThresholdDb(), 1.0);
    EXPECT_EQ(ui.frequencyBandMode(), QStringLiteral("1/3 octave"));
    EXPECT_EQ(ui.bandwidthHz(), 2000.0);
    EXPECT_EQ(ui.targetBinCount(), 0);
    EXPECT_EQ(ui.analysisFrequencyHz(), 1000.0);
    EXPECT_EQ(ui.analysisFrameSize(), 256);
    EXPECT_EQ(ui.analysisHopSize(), 128);
    EXPECT_EQ(ui.analysisGridStepDeg(), 1.0);
    EXPECT_EQ(ui.analysisBandMode(), QStringLiteral("1/3 octave"));
    EXPECT_EQ(ui.analysisBandwidthHz(), 2000.0);
    EXPECT_EQ(ui.uiTheme(), QStringLiteral("abyss"));
    EXPECT_EQ(ui.uiLanguage(), QStringLiteral("zh_CN"));
    EXPECT_EQ(ui.algorithm(), QStringLiteral("01 DAS / Conventional"));
    EXPECT_EQ(ui.analysisAlgorithm(), QStringLiteral("01 DAS (CBF)"));
    EXPECT_EQ(ui.analysisStatus(), QStringLiteral("Select a Measurement to create an AnalysisRun"));
    EXPECT_EQ(ui.replayMetrics(), QStringLiteral("Replay stopped"));
    EXPECT_EQ(ui.noiseProfileInfo(), QStringLiteral("Not calibrated"));
    EXPECT_EQ(ui.diagnosticSummary(), QStringLiteral("Waiting for raw samples"));
}

TEST_F(SettingsAtStart, StoredNamesMapToTheirModesAndUnknownNamesToTheDefault) {
    struct NameCase {
        QString storedSource, storedScale, storedBand;
        QString source, scale, band;
    };
    const NameCase cases[] = {
        {"Synthetic", "Fixed dBFS", "Single bin", "Synthetic", "Fixed dBFS", "Single bin"},
        {"synthetic", "fixed dBFS", "Custom bandwidth", "UDP", "Auto peak", "Custom bandwidth"},
        {"udp", "", "custom bandwidth", "UDP", "Auto peak", "1/3 octave"},
    };
    for (const NameCase& c : cases) {
        QSettings().clear();
        {
            QSettings store;
            store.setValue(QStringLiteral("source"), c.storedSource);
            store.setValue(QStringLiteral("heatmapScaleMode"), c.storedScale);
            store.setValue(QStringLiteral("frequencyBandMode"), c.storedBand);
        }
        UiController ui;
        EXPECT_EQ(ui.source(), c.source) << c.storedSource.toStdString();
        EXPECT_EQ(ui.heatmapScaleMode(), c.scale) << c.storedScale.toStdString();
        EXPECT_EQ(ui.frequencyBandMode(), c.band) << c.storedBand.toStdString();
    }
}

TEST_F(SettingsAtStart, AnalysisFrameSizeIsOneOfThreeAndTheHopFollowsIt) {
    struct FrameCase {
        QVariant frame, hop;
        int expectedFrame, expectedHop;
    };
    const FrameCase cases[] = {
        {2048, QVariant(), 256, 128}, {512, QVariant(), 512, 256}, {1024, 0, 1024, 1},
        {512, 4096, 512, 512},        {300, 64, 256, 64},
    };
    for (const FrameCase& c : cases) {
        QSettings().clear();
        {
            QSettings store;
            store.setValue(QStringLiteral("analysisFrameSize"), c.frame);
            if (c.hop.isValid()) store.setValue(QStringLiteral("analysisHopSize"), c.hop);
        }
        UiController ui;
        EXPECT_EQ(ui.analysisFrameSize(), c.expectedFrame) << c.frame.toInt();
        EXPECT_EQ(ui.analysisHopSize(), c.expectedHop) << c.frame.toInt() << " / " << c.hop.toInt();
    }
}

TEST_F(SettingsAtStart, OverlayKeysAreRemovedAndTheirValuesRestart) {
    const char* keys[] = {"cameraOverlayAlpha", "cameraOverlayThreshold", "cameraOverlayScale",
                          "cameraOverlayOffsetX", "cameraOverlayOffsetY"};
    {
        QSettings store;
        for (const char* key : keys) store.setValue(QLatin1String(key), 0.25);
        store.setValue(QStringLiteral("analysisBandMode"), QStringLiteral("Custom"));
        store.setValue(QStringLiteral("analysisBandwidthHz"), 5000.0);
    }
    UiController ui;
    QSettings store;
    for (const char* key : keys) EXPECT_FALSE(store.contains(QLatin1String(key))) << key;
    EXPECT_EQ(ui.cameraOverlayAlpha(), 0.5);
    EXPECT_EQ(ui.cameraOverlayThreshold(), 0.35);
    EXPECT_EQ(ui.cameraOverlayScale(), 1.0);
    EXPECT_EQ(ui.cameraOverlayOffsetX(), 0.0);
    EXPECT_EQ(ui.cameraOverlayOffsetY(), 0.0);
    EXPECT_EQ(ui.analysisBandMode(), QStringLiteral("1/3 octave"));
    EXPECT_EQ(ui.analysisBandwidthHz(), 2000.0);
}

TEST_F(SettingsAtStart, StoredValuesWithinRangeAreKeptAndReachTheLiveParameters) {
    {
        QSettings store;
        store.setValue(QStringLiteral("profilePath"), QStringLiteral("relative/elsewhere.device.json"));
        store.setValue(QStringLiteral("recording/maxDurationSec"), 10.5);
        store.setValue(QStringLiteral("frequency"), 123456.0);
        store.setValue(QStringLiteral("azimuth"), -170.0);
        store.setValue(QStringLiteral("elevation"), 95.0);
        store.setValue(QStringLiteral("diagonalRemoval"), false);
        store.setValue(QStringLiteral("airTemperatureC"), -10.0);
        store.setValue(QStringLiteral("cameraMirror"), true);
        store.setValue(QStringLiteral("dynamicRange"), QStringLiteral("not a number"));
    }
    UiController ui;
    EXPECT_EQ(ui.profilePath(), QStringLiteral("relative/elsewhere.device.json"));
    EXPECT_EQ(ui.recordingMaxDurationSeconds(), 11.0);  // halves round away from zero
    EXPECT_EQ(ui.frequency(), 123456.0);                // no range at start
    EXPECT_EQ(ui.azimuth(), -170.0);
    EXPECT_EQ(ui.elevation(), 95.0);
    EXPECT_FALSE(ui.diagonalRemoval());
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("remove_csm_diagonal")), 0.0);
    EXPECT_DOUBLE_EQ(ui.speedOfSoundMps(), 331.3 * std::sqrt(1.0 - 10.0 / 273.15));
    EXPECT_TRUE(ui.cameraMirror());
    EXPECT_EQ(ui.dynamicRange(), 20.0);  // unreadable: the default
}

}  // namespace
}  // namespace zk::app::test
