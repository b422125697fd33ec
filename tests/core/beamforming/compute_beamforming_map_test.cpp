#include "core/beamforming/compute_beamforming_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "steering_test_model.h"

namespace zk::core {
namespace {

constexpr double kSoundSpeed = 343.0;
constexpr double kInf = std::numeric_limits<double>::infinity();

// 16 microphones on two rings, planar.
std::vector<MicrophonePosition> ringArray() {
    std::vector<MicrophonePosition> mics;
    for (int k = 0; k < 16; ++k) {
        const double radius = k < 8 ? 0.12 : 0.25;
        const double angle = 2.0 * std::numbers::pi * (k % 8) / 8.0 + (k < 8 ? 0.0 : 0.3);
        mics.push_back({radius * std::cos(angle), radius * std::sin(angle), 0.0});
    }
    return mics;
}

// Far-field source from a camera direction plus uncorrelated sensor noise, from the pinhole model.
std::vector<MatrixRows> sourceBand(const std::vector<MicrophonePosition>& mics,
                                   const std::vector<double>& freqs, double hDeg, double vDeg, double noise) {
    std::vector<MatrixRows> out;
    for (double f : freqs) {
        MatrixRows r = testmodel::outerProduct(testmodel::steeringToward(mics, kSoundSpeed, hDeg, vDeg, f));
        testmodel::addNoise(r, noise);
        out.push_back(std::move(r));
    }
    return out;
}

FrequencyBand bandOf(double centreHz, std::int32_t mode = 2) {
    FrequencyBandParameters p;
    p.mode = mode;
    p.centerHz = centreHz;
    return resolveFrequencyBand(48000, 1024, p);
}

// Eigen's vectorised reductions may differ in the last bits between identical calls (they depend on
// buffer alignment), so maps of the same inputs are compared to a relative 1e-9.
void expectSamePower(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    double peak = 0.0;
    for (double v : expected) peak = std::max(peak, std::abs(v));
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(actual[i], expected[i], 1e-9 * peak) << i;
}

// An entry's power over its gain for one plane wave, as the dispatch scales the maps that read a level.
std::vector<double> perSource(std::vector<double> power, double gain) {
    for (double& p : power) p /= gain;
    return power;
}

class ComputeBeamformingMap : public ::testing::Test {
  protected:
    std::vector<MicrophonePosition> mics = ringArray();
    Beamformer beamformer{ringArray(), kSoundSpeed};
    FrequencyBand band = bandOf(4000.0);
    std::vector<MatrixRows> matrices = sourceBand(mics, band.binFrequenciesHz, 8.0, -8.0, 0.05);

    BeamformingParameters parametersFor(std::int32_t id) const {
        BeamformingParameters p;
        p.algorithm = id;
        p.revision = 77;
        return p;
    }
};

TEST_F(ComputeBeamformingMap, EveryAlgorithmGivesTheGridWithStampedIdentity) {
    ASSERT_GT(band.binFrequenciesHz.size(), 2u);
    const auto cache =
        beamformer.steeringCacheFor(band.binFrequenciesHz, 64.0, 48.0, 0.0, 0.0, 4.0, 4.0, kInf);
    for (std::int32_t id = 1; id <= 14; ++id) {
        const HeatmapGrid g =
            computeBeamformingMap(beamformer, matrices, band, parametersFor(id), 64, 64.0, 48.0, 4.0);
        SCOPED_TRACE("algorithm " + std::to_string(id));
        EXPECT_EQ(g.width, 17u);
        EXPECT_EQ(g.height, 13u);
        EXPECT_EQ(g.azimuthDeg, cache->horizontalAxis);
        EXPECT_EQ(g.elevationDeg, cache->verticalAxis);
        EXPECT_EQ(g.power.size(), 17u * 13u);
        EXPECT_EQ(g.representativeFrequencyHz, band.representativeFrequencyHz);
        EXPECT_EQ(g.firstFrequencyHz, band.binFrequenciesHz.front());
        EXPECT_EQ(g.lastFrequencyHz, band.binFrequenciesHz.back());
        EXPECT_EQ(g.binCount, band.binFrequenciesHz.size());
        EXPECT_EQ(g.parametersRevision, 77u);
        EXPECT_EQ(g.algorithmId, static_cast<std::uint32_t>(id));
        // The beamformers find the single source at (8, -8) degrees; the deconvolution maps solve on a
        // coarser grid that misses it, and are checked on the finer grid below.
        if (id <= 9) {
            EXPECT_NEAR(g.peakAzimuthDeg, 8.0, 1e-9);
            EXPECT_NEAR(g.peakElevationDeg, -8.0, 1e-9);
        }
    }
}

TEST_F(ComputeBeamformingMap, ParametersReachTheSelectedEntry) {
    const std::span<const double> f = band.binFrequenciesHz;
    BeamformingParameters p = parametersFor(1);
    p.removeCsmDiagonal = false;
    p.focusDistanceM = 3.0;
    expectSamePower(computeBeamformingMap(beamformer, matrices, band, p, 64, 64.0, 48.0, 4.0).power,
                    beamformer.broadbandDas(matrices, f, 64.0, 48.0, 0.0, 0.0, 4.0, 4.0, false, 3.0).power);
    p.removeCsmDiagonal = true;
    expectSamePower(computeBeamformingMap(beamformer, matrices, band, p, 64, 64.0, 48.0, 4.0).power,
                    beamformer.broadbandDas(matrices, f, 64.0, 48.0, 0.0, 0.0, 4.0, 4.0, true, 3.0).power);

    p = parametersFor(6);
    p.autoMusicMaxSources = 3;
    p.autoMusicEstimator = 2;
    const HeatmapGrid autoMusic = computeBeamformingMap(beamformer, matrices, band, p, 12, 64.0, 48.0, 4.0);
    const HeatmapGrid direct = beamformer.autoMusicMap(
        matrices, f, 12, 3, 2, p.autoMusicFloor, p.autoMusicEigenFloor, 64.0, 48.0, 0.0, 0.0, 4.0, 4.0, kInf);
    expectSamePower(autoMusic.power, direct.power);
    EXPECT_EQ(autoMusic.estimatedSourceCount, direct.estimatedSourceCount);

    p = parametersFor(13);
    p.sparseFistaIterations = 7;
    p.sparseFistaStride = 2;
    p.sparseFistaLambdaRel = 0.1;
    p.sparseFistaTolerance = 1e-3;
    expectSamePower(
        computeBeamformingMap(beamformer, matrices, band, p, 64, 64.0, 48.0, 4.0).power,
        beamformer.sparseFistaMap(matrices, f, 7, 2, 0.1, 1e-3, 64.0, 48.0, 0.0, 0.0, 4.0, 4.0, kInf).power);

    p = parametersFor(14);
    p.sblStride = 3;
    p.sblPruneRel = 1.0;  // rejected by the entry, so the value must have reached it
    EXPECT_THROW(computeBeamformingMap(beamformer, matrices, band, p, 64, 64.0, 48.0, 4.0),
                 std::invalid_argument);

    p = parametersFor(9);
    p.cleanMaxIterations = 1;
    p.cleanLoopGain = 0.3;
    expectSamePower(
        computeBeamformingMap(beamformer, matrices, band, p, 64, 64.0, 48.0, 4.0).power,
        beamformer.cleanScMap(matrices, f, 0.3, 1, p.cleanStopDb, 64.0, 48.0, 0.0, 0.0, 4.0, 4.0, kInf)
            .power);
}

TEST_F(ComputeBeamformingMap, EveryParameterBlockReachesItsEntryInOrder) {
    // Distinct non-default values per key, so that two swapped arguments would change the map.
    const std::span<const double> f = band.binFrequenciesHz;
    const auto dispatched = [&](BeamformingParameters p) {
        p.focusDistanceM = 3.0;
        return computeBeamformingMap(beamformer, matrices, band, p, 64, 64.0, 48.0, 4.0).power;
    };
    const double g[] = {64.0, 48.0, 0.0, 0.0, 4.0, 4.0, 3.0};

    BeamformingParameters p = parametersFor(2);
    p.functionalOrder = 5;
    p.functionalEigenTolerance = 1e-6;
    expectSamePower(
        dispatched(p),
        perSource(beamformer.functionalMap(matrices, f, 5, 1e-6, g[0], g[1], g[2], g[3], g[4], g[5], g[6]).power,
                  16.0));

    p = parametersFor(3);
    p.mvdrLoading = 0.01;
    p.mvdrFloor = 1e-9;
    expectSamePower(
        dispatched(p),
        perSource(beamformer.mvdrMap(matrices, f, 0.01, 1e-9, g[0], g[1], g[2], g[3], g[4], g[5], g[6]).power,
                  16.0 + 0.01));

    p = parametersFor(4);
    p.robustCaponBaseLoading = 0.02;
    p.robustCaponUncertainty = 0.1;
    p.robustCaponUncertaintyGain = 2.0;
    p.robustCaponFloor = 1e-9;
    expectSamePower(
        dispatched(p),
        perSource(
            beamformer.robustCaponMap(matrices, f, 0.02, 0.1, 2.0, 1e-9, g[0], g[1], g[2], g[3], g[4], g[5], g[6])
                .power,
            16.0 * (1.0 + 0.1 * 0.1 * 2.0) + 0.02));

    p = parametersFor(5);
    p.musicSourceCount = 3;
    p.musicFloor = 1e-10;
    expectSamePower(
        dispatched(p),
        beamformer.fixedMusicMap(matrices, f, 3, 1e-10, g[0], g[1], g[2], g[3], g[4], g[5], g[6]).power);

    p = parametersFor(7);
    p.orthogonalMaxModes = 2;
    p.orthogonalEigenThreshold = 0.01;
    expectSamePower(
        dispatched(p),
        perSource(beamformer.orthogonalMap(matrices, f, 2, 0.01, g[0], g[1], g[2], g[3], g[4], g[5], g[6]).power,
                  16.0));

    p = parametersFor(8);
    p.phatFloor = 1e-8;
    p.phatExponent = 0.5;
    p.phatZeroDiagonal = false;
    expectSamePower(
        dispatched(p),
        beamformer.srpPhatMap(matrices, f, 1e-8, 0.5, false, g[0], g[1], g[2], g[3], g[4], g[5], g[6]).power);

    p = parametersFor(10);
    p.damasIterations = 5;
    p.damasStride = 2;
    p.damasRelaxation = 0.7;
    expectSamePower(
        dispatched(p),
        beamformer.damasMap(matrices, f, 5, 2, 0.7, g[0], g[1], g[2], g[3], g[4], g[5], g[6]).power);

    p = parametersFor(11);
    p.damasFistaIterations = 6;
    p.damasFistaStride = 2;
    p.damasFistaTolerance = 1e-3;
    expectSamePower(
        dispatched(p),
        beamformer.damasFistaMap(matrices, f, 6, 2, 1e-3, g[0], g[1], g[2], g[3], g[4], g[5], g[6]).power);

    p = parametersFor(12);
    p.nnlsIterations = 8;
    p.nnlsStride = 2;
    p.nnlsTolerance = 1e-3;
    expectSamePower(
        dispatched(p),
        beamformer.nnlsMap(matrices, f, 8, 2, 1e-3, g[0], g[1], g[2], g[3], g[4], g[5], g[6]).power);
}

TEST_F(ComputeBeamformingMap, UnknownAlgorithmIsALogicError) {
    for (std::int32_t id : {0, 15, -1}) {
        try {
            computeBeamformingMap(beamformer, matrices, band, parametersFor(id), 64, 64.0, 48.0, 4.0);
            ADD_FAILURE() << "id " << id << " did not throw";
        } catch (const std::logic_error& e) {
            EXPECT_EQ(std::string(e.what()), "selected beamforming algorithm is not implemented yet");
        }
    }
}

TEST_F(ComputeBeamformingMap, EntryFailuresPassThrough) {
    EXPECT_THROW(computeBeamformingMap(beamformer, matrices, band, parametersFor(3), 64, 64.0, 48.0, 0.0),
                 std::invalid_argument);
    const std::vector<MatrixRows> none;
    EXPECT_THROW(computeBeamformingMap(beamformer, none, band, parametersFor(12), 64, 64.0, 48.0, 4.0),
                 std::invalid_argument);
}

TEST_F(ComputeBeamformingMap, SingleBinBandStampsItsFrequency) {
    const FrequencyBand single = bandOf(984.375, 1);
    ASSERT_EQ(single.binIndices, std::vector<std::uint64_t>{21});
    const auto r = sourceBand(mics, single.binFrequenciesHz, 0.0, 0.0, 0.1);
    const HeatmapGrid g = computeBeamformingMap(beamformer, r, single, parametersFor(1), 1, 64.0, 48.0, 4.0);
    EXPECT_EQ(g.binCount, 1u);
    EXPECT_EQ(g.representativeFrequencyHz, 984.375);
    EXPECT_EQ(g.firstFrequencyHz, 984.375);
    EXPECT_EQ(g.lastFrequencyHz, 984.375);
}

TEST_F(ComputeBeamformingMap, TwoDegreeStepGives33By25ForEveryAlgorithm) {
    // (16, 0) degrees is column 24, row 12: on the coarse grids of strides 3 and 4 alike.
    const auto r = sourceBand(mics, band.binFrequenciesHz, 16.0, 0.0, 0.05);
    for (std::int32_t id = 1; id <= 14; ++id) {
        const HeatmapGrid g =
            computeBeamformingMap(beamformer, r, band, parametersFor(id), 64, 64.0, 48.0, 2.0);
        EXPECT_EQ(g.width, 33u) << id;
        EXPECT_EQ(g.height, 25u) << id;
        ASSERT_EQ(g.azimuthDeg.size(), 33u);
        ASSERT_EQ(g.elevationDeg.size(), 25u);
        EXPECT_EQ(g.azimuthDeg.front(), -32.0);
        EXPECT_EQ(g.elevationDeg.back(), 24.0);
        EXPECT_EQ(g.relativeDb.size(), 33u * 25u);
        EXPECT_EQ(g.peakIndex, 12u * 33u + 24u) << id;
    }
}

}  // namespace
}  // namespace zk::core
