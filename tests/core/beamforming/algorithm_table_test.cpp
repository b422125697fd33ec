// The one validity rule: isValid, each algorithm's own Beamformer entry and the table's dispatch accept
// and refuse the same values, at every descriptor's limits and at the values the rules single out.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/beamforming_parameters.h"
#include "core/beamforming/compute_beamforming_map.h"
#include "steering_test_model.h"
#include "test_support.h"

namespace zk::core {
namespace {

using namespace testmodel;
using zk::test::messageOf;

constexpr double kSpeed = 343.0;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::uint64_t kSnapshots = 10;
const CameraGridSpec kGrid{8.0, 8.0, 0.0, 0.0, 2.0, 2.0, kInf};
constexpr const char* kAccepted = "<no exception>";

// The text each entry gives for a refused value of a key.
std::string messageFor(std::int32_t id, const std::string& key) {
    if (id >= 10 && (key.ends_with("_iterations") || key.ends_with("_stride"))) {
        return "invalid deconvolution parameters";
    }
    if (key == "music_source_count") return "invalid MUSIC source count";
    static const std::map<std::int32_t, std::string> kById = {
        {2, "invalid Functional parameters"}, {3, "invalid Capon parameters"},
        {4, "invalid Capon parameters"},      {5, "invalid MUSIC parameters"},
        {6, "invalid MUSIC parameters"},      {7, "invalid Orthogonal parameters"},
        {8, "invalid PHAT parameters"},       {9, "invalid CLEAN-SC parameters"},
        {10, "invalid DAMAS relaxation"},     {11, "invalid DAMAS-FISTA tolerance"},
        {12, "invalid NNLS tolerance"},       {13, "invalid Sparse-FISTA parameters"},
        {14, "invalid SBL parameters"},
    };
    return kById.at(id);
}

// Each algorithm's Beamformer entry called by hand with the record's settings, apart from the table.
HeatmapGrid directEntry(const Beamformer& b, const std::vector<MatrixRows>& m, const std::vector<double>& f,
                        const BeamformingParameters& p) {
    switch (p.algorithm) {
        case 1:
            return b.broadbandDas(m, f, kGrid, p.removeCsmDiagonal);
        case 2:
            return b.functionalMap(m, f, p.functionalOrder, p.functionalEigenTolerance, kGrid);
        case 3:
            return b.mvdrMap(m, f, p.mvdrLoading, p.mvdrFloor, kGrid);
        case 4:
            return b.robustCaponMap(m, f, p.robustCaponBaseLoading, p.robustCaponUncertainty,
                                    p.robustCaponUncertaintyGain, p.robustCaponFloor, kGrid);
        case 5:
            return b.fixedMusicMap(m, f, p.musicSourceCount, p.musicFloor, kGrid);
        case 6:
            return b.autoMusicMap(m, f, kSnapshots, p.autoMusicMaxSources, p.autoMusicEstimator,
                                  p.autoMusicFloor, p.autoMusicEigenFloor, kGrid);
        case 7:
            return b.orthogonalMap(m, f, p.orthogonalMaxModes, p.orthogonalEigenThreshold, kGrid);
        case 8:
            return b.srpPhatMap(m, f, p.phatFloor, p.phatExponent, p.phatZeroDiagonal, kGrid);
        case 9:
            return b.cleanScMap(m, f, p.cleanLoopGain, p.cleanMaxIterations, p.cleanStopDb, kGrid);
        case 10:
            return b.damasMap(m, f, p.damasIterations, p.damasStride, p.damasRelaxation, kGrid);
        case 11:
            return b.damasFistaMap(m, f, p.damasFistaIterations, p.damasFistaStride, p.damasFistaTolerance,
                                   kGrid);
        case 12:
            return b.nnlsMap(m, f, p.nnlsIterations, p.nnlsStride, p.nnlsTolerance, kGrid);
        case 13:
            return b.sparseFistaMap(m, f, p.sparseFistaIterations, p.sparseFistaStride,
                                    p.sparseFistaLambdaRel, p.sparseFistaTolerance, kGrid);
        default:
            return b.sblMap(m, f, p.sblIterations, p.sblStride, p.sblNoiseRel, p.sblPruneRel, kGrid);
    }
}

class AlgorithmTable : public ::testing::Test {
  protected:
    AlgorithmTable() : mics(scatteredArray(6)), beamformer(mics, kSpeed) {
        band.binFrequenciesHz = {2000.0, 2500.0};
        // One source plus noise: positive definite, so the Functional PSD test never fires.
        for (double f : band.binFrequenciesHz) {
            matrices.push_back(
                mixture({{steeringToward(mics, kSpeed, 2.0, -2.0, f), 1.0}}, 0.5, mics.size()));
        }
    }

    // Sets key to value under its algorithm and checks that isValid, the table's dispatch and the direct
    // entry agree; returns whether isValid accepted.
    bool agree(std::int32_t id, const std::string& key, double value) {
        SCOPED_TRACE(key + " = " + std::to_string(value));
        BeamformingParameters p;
        p.algorithm = id;
        EXPECT_TRUE(p.setByKey(key, value));
        const bool valid = p.isValid(mics.size());
        const std::string expected = valid ? kAccepted : messageFor(id, key);
        EXPECT_EQ(messageOf([&] {
                      computeBeamformingMap(beamformer, matrices, band, p, kSnapshots,
                                            kGrid.horizontalSpanDeg, kGrid.verticalSpanDeg,
                                            kGrid.horizontalStepDeg);
                  }),
                  expected);
        EXPECT_EQ(messageOf([&] { directEntry(beamformer, matrices, band.binFrequenciesHz, p); }), expected);
        return valid;
    }

    std::vector<MicrophonePosition> mics;
    Beamformer beamformer;
    FrequencyBand band;
    std::vector<MatrixRows> matrices;
};

TEST_F(AlgorithmTable, IsValidAndEveryEntryAgreeAtEveryDescriptorLimit) {
    const double tiny = std::numeric_limits<double>::denorm_min();
    int probed = 0;
    for (std::int32_t id = 1; id <= 14; ++id) {
        for (const BeamformingParameterDescriptor& d : parameterDescriptors(id)) {
            if (d.kind == BeamformingParameterDescriptor::kFlag) continue;
            std::vector<double> values;
            if (d.kind == BeamformingParameterDescriptor::kInteger) {
                values = {d.minimum, d.maximum, d.minimum - 1.0, d.maximum + 1.0};
            } else {
                // The panel limits, the next double beyond each, and what the finite rules single out.
                values = {d.minimum,
                          d.maximum,
                          std::nextafter(d.minimum, -kInf),
                          std::nextafter(d.maximum, kInf),
                          0.0,
                          -tiny,
                          tiny,
                          kInf,
                          -kInf,
                          std::numeric_limits<double>::quiet_NaN()};
            }
            for (double value : values) {
                agree(id, d.key, value);
                ++probed;
            }
        }
    }
    // 16 integer and 22 real descriptors.
    EXPECT_EQ(probed, 16 * 4 + 22 * 10);
}

// Every count key with the panel maximum the descriptor table gives it.
struct CountKey {
    std::int32_t id;
    const char* key;
    double panelMaximum;
};
constexpr CountKey kCountKeys[] = {
    {2, "functional_order", 64},
    {5, "music_source_count", 16},
    {6, "auto_music_max_sources", 32},
    {7, "orthogonal_max_modes", 32},
    {9, "clean_max_iterations", 200},
    {10, "damas_iterations", 500},
    {10, "damas_stride", 8},
    {11, "damas_fista_iterations", 500},
    {11, "damas_fista_stride", 8},
    {12, "nnls_iterations", 500},
    {12, "nnls_stride", 8},
    {13, "sparse_fista_iterations", 500},
    {13, "sparse_fista_stride", 8},
    {14, "sbl_iterations", 100},
    {14, "sbl_stride", 8},
};

TEST_F(AlgorithmTable, CountsRefuseOnlyZeroWhateverThePanelOffers) {
    for (const CountKey& c : kCountKeys) {
        SCOPED_TRACE(c.key);
        double panelMaximum = 0.0;
        for (const BeamformingParameterDescriptor& d : parameterDescriptors(c.id)) {
            if (d.key == c.key) panelMaximum = d.maximum;
        }
        EXPECT_EQ(panelMaximum, c.panelMaximum);
        EXPECT_TRUE(agree(c.id, c.key, c.panelMaximum + 1));
        EXPECT_FALSE(agree(c.id, c.key, 0));
    }
    EXPECT_TRUE(agree(12, "nnls_stride", 100));
    EXPECT_TRUE(agree(13, "sparse_fista_iterations", 1000));
    // Only accepted, never run: a render this long would hold the test for minutes.
    BeamformingParameters p;
    p.algorithm = 10;
    p.damasIterations = 4'000'000'000u;
    EXPECT_TRUE(p.isValid(mics.size()));
}

// A record is valid with any iteration count but 0, yet a deconvolution makes at most 10000 passes:
// more is refused before any work, through the table and through each entry alike.
TEST_F(AlgorithmTable, DeconvolutionsRefuseMoreThanTenThousandPassesAtOnce) {
    int solvers = 0;
    for (const CountKey& c : kCountKeys) {
        if (c.id < 10 || !std::string(c.key).ends_with("_iterations")) continue;
        ++solvers;
        for (const double count : {10000.0, 10001.0, 4e9}) {
            SCOPED_TRACE(std::string(c.key) + " = " + std::to_string(count));
            BeamformingParameters p;
            p.algorithm = c.id;
            ASSERT_TRUE(p.setByKey(c.key, count));
            EXPECT_TRUE(p.isValid(mics.size()));
            const std::string expected = count <= 10000.0 ? kAccepted : "invalid deconvolution parameters";
            // Stopped at the first miss: a count that runs would hold the test for minutes.
            ASSERT_EQ(messageOf([&] { directEntry(beamformer, matrices, band.binFrequenciesHz, p); }),
                      expected);
            ASSERT_EQ(messageOf([&] {
                          computeBeamformingMap(beamformer, matrices, band, p, kSnapshots,
                                                kGrid.horizontalSpanDeg, kGrid.verticalSpanDeg,
                                                kGrid.horizontalStepDeg);
                      }),
                      expected);
        }
    }
    EXPECT_EQ(solvers, 5);
}

TEST_F(AlgorithmTable, RealsKeepTheirRulesBeyondThePanel) {
    EXPECT_TRUE(agree(7, "orthogonal_eigen_threshold", 1.5));
    EXPECT_TRUE(agree(9, "clean_stop_db", -1.0));
    EXPECT_TRUE(agree(3, "mvdr_floor", 1e3));
    EXPECT_TRUE(agree(2, "functional_eigen_tolerance", 0.3));
    EXPECT_FALSE(agree(9, "clean_stop_db", 0.0));
    EXPECT_FALSE(agree(14, "sbl_prune_rel", 1.0));
    // A threshold above 1 selects no mode: the map is empty, not refused.
    BeamformingParameters p;
    p.algorithm = 7;
    p.orthogonalEigenThreshold = 1.5;
    EXPECT_EQ(directEntry(beamformer, matrices, band.binFrequenciesHz, p).peakDb, -240.0);
}

TEST_F(AlgorithmTable, SblRunsAtStrideOneBelowThePanel) { EXPECT_TRUE(agree(14, "sbl_stride", 1)); }

}  // namespace
}  // namespace zk::core
