// The live map's algorithm, its parameters, focus and air temperature: what the controller keeps, what
// it reports and what it refuses.
#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>
#include <cmath>
#include <limits>

#include "app/ui_controller.h"
#include "app_test_support.h"
#include "beamforming_settings_peer.h"
#include "core/beamforming/beamforming_parameters.h"

namespace zk::app::test {
namespace {

using BeamformingSettings = ControllerSettingsTest;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The fourteen algorithm texts in id order; the live map runs the first eight.
const char* const kAlgorithmNames[] = {
    "01 DAS / Conventional", "02 Functional", "03 MVDR / Capon", "04 Robust Capon", "05 MUSIC",
    "06 Auto-MUSIC",         "07 Orthogonal", "08 SRP-PHAT",     "09 CLEAN-SC",     "10 DAMAS",
    "11 DAMAS-FISTA",        "12 NNLS",       "13 Sparse-FISTA", "14 SBL / ARD",
};

QString typeOfKind(std::int32_t kind) {
    if (kind == core::BeamformingParameterDescriptor::kFlag) return QStringLiteral("bool");
    if (kind == core::BeamformingParameterDescriptor::kInteger) return QStringLiteral("int");
    return QStringLiteral("real");
}

void expectFieldsOf(const QVariantList& fields, std::int32_t id) {
    const std::vector<core::BeamformingParameterDescriptor> descriptors = core::parameterDescriptors(id);
    ASSERT_FALSE(descriptors.empty());
    ASSERT_EQ(fields.size(), static_cast<qsizetype>(descriptors.size()));
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
        const QVariantMap field = fields[static_cast<qsizetype>(i)].toMap();
        const core::BeamformingParameterDescriptor& d = descriptors[i];
        EXPECT_EQ(field.size(), 8);  // no current value among them
        EXPECT_EQ(field.value(QStringLiteral("key")).toString().toStdString(), d.key);
        EXPECT_EQ(field.value(QStringLiteral("label")).toString().toStdString(), d.label);
        EXPECT_EQ(field.value(QStringLiteral("type")).toString(), typeOfKind(d.kind));
        EXPECT_EQ(field.value(QStringLiteral("minimum")).toDouble(), d.minimum);
        EXPECT_EQ(field.value(QStringLiteral("maximum")).toDouble(), d.maximum);
        EXPECT_EQ(field.value(QStringLiteral("defaultValue")).toDouble(), d.defaultValue);
        EXPECT_EQ(field.value(QStringLiteral("step")).toDouble(), d.step);
        EXPECT_EQ(field.value(QStringLiteral("unit")).toString().toStdString(), d.unit);
    }
}

TEST_F(BeamformingSettings, EachLiveAlgorithmNameSelectsItsIdAndFieldsAndTheOthersAreRefused) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    QSignalSpy changed(&ui, &UiController::algorithmChanged);
    for (std::int32_t id = 1; id <= 14; ++id) {
        const QString name = QString::fromLatin1(kAlgorithmNames[id - 1]);
        SCOPED_TRACE(name.toStdString());
        const QString before = ui.algorithm();
        const std::uint64_t revision = peer.beamforming().revision;
        const qsizetype emitted = changed.count();
        ui.setAlgorithm(name);
        if (id <= 8) {
            EXPECT_EQ(ui.algorithm(), name);
            EXPECT_EQ(peer.beamforming().algorithm, id);
            EXPECT_EQ(peer.beamforming().revision, revision + 1);
            EXPECT_EQ(changed.count(), emitted + 1);
            EXPECT_EQ(ui.statusText(), QStringLiteral("Algorithm selected: ") + name);
            expectFieldsOf(ui.algorithmParameterFields(), id);
        } else {
            EXPECT_EQ(ui.algorithm(), before);
            EXPECT_EQ(peer.beamforming().algorithm, 8);
            EXPECT_EQ(peer.beamforming().revision, revision);
            EXPECT_EQ(changed.count(), emitted);
            EXPECT_EQ(ui.statusText(), name + QStringLiteral(" is contract-only and not executable yet; ") +
                                           before + QStringLiteral(" remains active"));
            expectFieldsOf(ui.algorithmParameterFields(), 8);
        }
    }
}

TEST_F(BeamformingSettings, ChoosingTheSameAlgorithmAgainRaisesTheRevisionAndLogsAgain) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    const std::uint64_t revision = peer.beamforming().revision;
    const qsizetype lines = ui.eventLog().size();
    ui.setAlgorithm(QStringLiteral("01 DAS / Conventional"));
    ui.setAlgorithm(QStringLiteral("01 DAS / Conventional"));
    EXPECT_EQ(peer.beamforming().revision, revision + 2);
    const QStringList log = ui.eventLog();
    ASSERT_EQ(log.size(), lines + 2);
    EXPECT_TRUE(log.last().endsWith(QStringLiteral("Algorithm selected: 01 DAS / Conventional")));
    EXPECT_TRUE(log[log.size() - 2].endsWith(QStringLiteral("Algorithm selected: 01 DAS / Conventional")));
}

TEST_F(BeamformingSettings, AKeyOfAnotherAlgorithmIsRefusedByName) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    const std::uint64_t revision = peer.beamforming().revision;
    ui.setBeamformingParameter(QStringLiteral("music_source_count"), 3.0);
    EXPECT_EQ(ui.statusText(),
              QStringLiteral("Parameter music_source_count is not part of the selected algorithm"));
    EXPECT_EQ(peer.beamforming().revision, revision);
    EXPECT_EQ(peer.beamforming().musicSourceCount, core::BeamformingParameters{}.musicSourceCount);
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("music_source_count")), 0.0);
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("no_such_key")), 0.0);
}

TEST_F(BeamformingSettings, InvalidValuesAreRefusedAndChangeNothing) {
    struct Case {
        const char* algorithm;
        const char* key;
        double value;
    };
    const Case cases[] = {
        {"05 MUSIC", "music_source_count", 0.0},
        {"05 MUSIC", "music_source_count", -3.0},
        {"05 MUSIC", "music_source_count", kNaN},
        {"05 MUSIC", "music_source_count", 1e12},
        {"03 MVDR / Capon", "mvdr_loading", -0.1},
        {"03 MVDR / Capon", "mvdr_loading", kInf},
        {"03 MVDR / Capon", "mvdr_floor", 0.0},
        {"08 SRP-PHAT", "phat_exponent", 1.5},
        {"08 SRP-PHAT", "phat_zero_diagonal", kNaN},
        {"06 Auto-MUSIC", "auto_music_estimator", 4.0},
        {"01 DAS / Conventional", "remove_csm_diagonal", -kInf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " = " + std::to_string(c.value));
        UiController ui;
        BeamformingSettingsTestPeer peer(ui);
        ui.setAlgorithm(QLatin1String(c.algorithm));
        const QString key = QLatin1String(c.key);
        const double before = ui.beamformingParameterValue(key);
        const std::uint64_t revision = peer.beamforming().revision;
        QSignalSpy diagonal(&ui, &UiController::diagonalRemovalChanged);
        ui.setBeamformingParameter(key, c.value);
        EXPECT_EQ(ui.statusText(), QStringLiteral("Invalid value for ") + key);
        EXPECT_EQ(ui.beamformingParameterValue(key), before);
        EXPECT_EQ(peer.beamforming().revision, revision);
        EXPECT_EQ(diagonal.count(), 0);
    }
}

TEST_F(BeamformingSettings, AcceptedValuesAreTruncatedOrFlaggedAndReportedWithoutASignal) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    ui.setAlgorithm(QStringLiteral("05 MUSIC"));
    QSignalSpy algorithm(&ui, &UiController::algorithmChanged);
    const std::uint64_t revision = peer.beamforming().revision;
    ui.setBeamformingParameter(QStringLiteral("music_source_count"), 4.9);
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("music_source_count")), 4.0);
    EXPECT_EQ(peer.beamforming().revision, revision + 1);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Parameter music_source_count updated"));
    EXPECT_EQ(algorithm.count(), 0);

    ui.setAlgorithm(QStringLiteral("08 SRP-PHAT"));
    ui.setBeamformingParameter(QStringLiteral("phat_zero_diagonal"), 0.4);
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("phat_zero_diagonal")), 0.0);
    ui.setBeamformingParameter(QStringLiteral("phat_zero_diagonal"), 0.5);
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("phat_zero_diagonal")), 1.0);
}

// The panel maximum is what the spin box offers, not a rule: each count one above it is taken by the live
// setter (ids 2 to 8) and the analysis setter (every id), while 0 and -0.5, which truncates to 0, are not.
TEST_F(BeamformingSettings, CountsBeyondThePanelAreAcceptedAndOnlyZeroIsRefused) {
    struct Count {
        const char* algorithm;
        const char* key;
        double abovePanel;
    };
    const Count counts[] = {
        {"02 Functional", "functional_order", 65},
        {"05 MUSIC", "music_source_count", 17},
        {"06 Auto-MUSIC", "auto_music_max_sources", 33},
        {"07 Orthogonal", "orthogonal_max_modes", 33},
        {"09 CLEAN-SC", "clean_max_iterations", 201},
        {"10 DAMAS", "damas_iterations", 501},
        {"10 DAMAS", "damas_stride", 9},
        {"11 DAMAS-FISTA", "damas_fista_iterations", 501},
        {"11 DAMAS-FISTA", "damas_fista_stride", 9},
        {"12 NNLS", "nnls_iterations", 501},
        {"12 NNLS", "nnls_stride", 100},
        {"13 Sparse-FISTA", "sparse_fista_iterations", 1000},
        {"13 Sparse-FISTA", "sparse_fista_stride", 9},
        {"14 SBL / ARD", "sbl_iterations", 101},
        {"14 SBL / ARD", "sbl_stride", 9},
    };
    for (const Count& c : counts) {
        SCOPED_TRACE(c.key);
        UiController ui;
        const QString name = QLatin1String(c.algorithm);
        const QString key = QLatin1String(c.key);
        const QString refused = QStringLiteral("Invalid value for ") + key;
        if (name.left(2).toInt() <= 8) {
            ui.setAlgorithm(name);
            ui.setBeamformingParameter(key, c.abovePanel);
            EXPECT_EQ(ui.statusText(), QStringLiteral("Parameter %1 updated").arg(key));
            EXPECT_EQ(ui.beamformingParameterValue(key), c.abovePanel);
            for (const double zero : {0.0, -0.5}) {
                ui.setBeamformingParameter(key, zero);
                EXPECT_EQ(ui.statusText(), refused) << zero;
                EXPECT_EQ(ui.beamformingParameterValue(key), c.abovePanel) << zero;
            }
        }
        ui.setAnalysisAlgorithm(name);
        ui.setStatusText({});
        ui.setAnalysisBeamformingParameter(key, c.abovePanel);
        EXPECT_EQ(ui.statusText(), QString());
        EXPECT_EQ(ui.analysisBeamformingParameterValue(key), c.abovePanel);
        for (const double zero : {0.0, -0.5}) {
            ui.setAnalysisBeamformingParameter(key, zero);
            EXPECT_EQ(ui.statusText(), refused) << zero;
            EXPECT_EQ(ui.analysisBeamformingParameterValue(key), c.abovePanel) << zero;
        }
    }
}

TEST_F(BeamformingSettings, TheDiagonalFlagIsAParameterOfEveryAlgorithmAndFollowsItsProperty) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    ui.setAlgorithm(QStringLiteral("03 MVDR / Capon"));
    ASSERT_TRUE(ui.diagonalRemoval());
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("remove_csm_diagonal")), 1.0);
    QSignalSpy diagonal(&ui, &UiController::diagonalRemovalChanged);
    ui.setBeamformingParameter(QStringLiteral("remove_csm_diagonal"), 0.0);
    EXPECT_EQ(ui.statusText(), QStringLiteral("Parameter remove_csm_diagonal updated"));
    EXPECT_FALSE(peer.beamforming().removeCsmDiagonal);
    EXPECT_EQ(ui.beamformingParameterValue(QStringLiteral("remove_csm_diagonal")), 0.0);
    EXPECT_FALSE(ui.diagonalRemoval());
    EXPECT_EQ(diagonal.count(), 1);
    EXPECT_FALSE(QSettings().value(QStringLiteral("diagonalRemoval"), true).toBool());
    // The same flag again changes the revision but not the setting.
    ui.setBeamformingParameter(QStringLiteral("remove_csm_diagonal"), 0.2);
    EXPECT_EQ(diagonal.count(), 1);
}

TEST_F(BeamformingSettings, FocusIndicesGiveTheTableDistances) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    ui.setFocusDistanceIndex(9);
    EXPECT_EQ(peer.beamforming().focusDistanceM, 10.0);
    struct Row {
        int index;
        double metres;
        const char* label;
    };
    const Row rows[] = {
        {1, 1.0, "1 m"}, {2, 3.0, "3 m"}, {3, 5.0, "5 m"}, {0, kInf, "far field"}, {4, 10.0, "10 m"}};
    for (const Row& row : rows) {
        const std::uint64_t revision = peer.beamforming().revision;
        ui.setFocusDistanceIndex(row.index);
        EXPECT_EQ(ui.focusDistanceIndex(), row.index);
        EXPECT_EQ(peer.beamforming().focusDistanceM, row.metres) << row.index;
        EXPECT_EQ(peer.beamforming().revision, revision + 1);
        EXPECT_EQ(ui.statusText(), QStringLiteral("Focus distance: ") + QLatin1String(row.label));
        EXPECT_EQ(QSettings().value(QStringLiteral("focusDistanceIndex")).toInt(), row.index);
    }
    ui.setFocusDistanceIndex(-1);
    EXPECT_TRUE(std::isinf(peer.beamforming().focusDistanceM));
}

TEST_F(BeamformingSettings, SpeedOfSoundFollowsTheClosedFormOfTheTemperature) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    QSignalSpy changed(&ui, &UiController::airTemperatureChanged);
    for (const double celsius : {-40.0, -12.5, 0.0, 37.25, 60.0}) {
        const double expected = 331.3 * std::sqrt(1.0 + celsius / 273.15);
        ui.setAirTemperatureC(celsius);
        EXPECT_EQ(ui.airTemperatureC(), celsius);
        EXPECT_NEAR(ui.speedOfSoundMps(), expected, 1e-12 * expected) << celsius;
        EXPECT_NEAR(peer.beamforming().speedOfSoundMps, expected, 1e-12 * expected) << celsius;
        EXPECT_EQ(QSettings().value(QStringLiteral("airTemperatureC")).toDouble(), celsius);
    }
    EXPECT_EQ(changed.count(), 5);
    ui.setAirTemperatureC(95.0);  // clamped to 60, which it already is
    ui.setAirTemperatureC(60.0 - 5e-10);
    EXPECT_EQ(changed.count(), 5);
    EXPECT_EQ(ui.speedOfSoundMps(), 331.3 * std::sqrt(1.0 + 60.0 / 273.15));
}

TEST_F(BeamformingSettings, NonNumbersChangeNoSettingAndInfinitiesTakeTheBound) {
    UiController ui;
    BeamformingSettingsTestPeer peer(ui);
    importShippedProfile(ui, "TM27-128-H1.6.2.device.json");
    ASSERT_TRUE(ui.hasProfile());
    QSettings().clear();
    QSignalSpy temperature(&ui, &UiController::airTemperatureChanged);
    QSignalSpy confidence(&ui, &UiController::confidenceThresholdChanged);
    QSignalSpy tau(&ui, &UiController::csmTauSecondsChanged);
    QSignalSpy frequency(&ui, &UiController::frequencyChanged);
    QSignalSpy band(&ui, &UiController::frequencyBandChanged);
    QSignalSpy azimuth(&ui, &UiController::azimuthChanged);
    QSignalSpy elevation(&ui, &UiController::elevationChanged);
    QSignalSpy heatmap(&ui, &UiController::heatmapUpdated);
    const std::uint64_t bandRevision = peer.band().revision;
    const double speed = peer.beamforming().speedOfSoundMps;

    ui.setAirTemperatureC(kNaN);
    ui.setConfidenceThresholdDb(kNaN);
    ui.setProperty("csmTauSeconds", kNaN);
    ui.setFrequency(kNaN);
    ui.setBandwidthHz(kNaN);
    ui.setAzimuth(kNaN);
    ui.setElevation(kNaN);
    for (QSignalSpy* spy :
         {&temperature, &confidence, &tau, &frequency, &band, &azimuth, &elevation, &heatmap}) {
        EXPECT_EQ(spy->count(), 0) << spy->signal().toStdString();
    }
    EXPECT_TRUE(QSettings().allKeys().isEmpty()) << QSettings().allKeys().join(u',').toStdString();
    EXPECT_EQ(peer.band().revision, bandRevision);
    EXPECT_EQ(peer.beamforming().speedOfSoundMps, speed);
    EXPECT_EQ(ui.azimuth(), 0.0);

    ui.setAzimuth(-kInf);
    ui.setFrequency(kInf);
    ui.setProperty("csmTauSeconds", kInf);
    EXPECT_EQ(ui.azimuth(), -80.0);
    EXPECT_EQ(ui.frequency(), 23953.125) << "the bin below Nyquist";
    EXPECT_EQ(ui.csmTauSeconds(), 10.0);
}

}  // namespace
}  // namespace zk::app::test
