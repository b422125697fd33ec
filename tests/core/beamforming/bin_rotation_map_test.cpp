#include "core/beamforming/bin_rotation_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/beamforming/compute_beamforming_map.h"
#include "steering_test_model.h"

namespace zk::core {
namespace {

constexpr double kSoundSpeed = 343.0;
constexpr double kSpan = 40.0, kStep = 5.0;  // 9 x 9 cells

std::vector<MicrophonePosition> array8() {
    std::vector<MicrophonePosition> mics;
    for (int k = 0; k < 8; ++k) {
        const double r = k % 2 == 0 ? 0.1 : 0.2;
        const double a = 2.0 * std::numbers::pi * k / 8.0;
        mics.push_back({r * std::cos(a), r * std::sin(a), 0.0});
    }
    return mics;
}

struct Source {
    double hDeg;
    double vDeg;
    double power;
};

// Incoherent far-field sources plus sensor noise, from the pinhole model.
MatrixRows binMatrix(const std::vector<MicrophonePosition>& mics, double f,
                     const std::vector<Source>& sources, double noise) {
    MatrixRows r = testmodel::zeroMatrix(mics.size());
    for (const Source& s : sources) {
        testmodel::addSource(r, testmodel::steeringToward(mics, kSoundSpeed, s.hDeg, s.vDeg, f), s.power);
    }
    testmodel::addNoise(r, noise);
    return r;
}

FrequencyBand bandOfBins(std::size_t count) {
    FrequencyBand band;
    for (std::size_t k = 0; k < count; ++k) {
        band.binIndices.push_back(40 + k);
        band.binFrequenciesHz.push_back(1875.0 + 46.875 * static_cast<double>(k));
    }
    band.firstFrequencyHz = band.binFrequenciesHz.front();
    band.lastFrequencyHz = band.binFrequenciesHz.back();
    band.representativeFrequencyHz = band.binFrequenciesHz[count / 2];
    return band;
}

std::vector<MatrixRows> bandMatrices(const FrequencyBand& band, const std::vector<Source>& sources) {
    std::vector<MatrixRows> out;
    for (double f : band.binFrequenciesHz) out.push_back(binMatrix(array8(), f, sources, 0.01));
    return out;
}

// Every call advances by stepMs, so each timed computation measures exactly stepMs.
struct FakeClock {
    std::shared_ptr<double> stepMs = std::make_shared<double>(25.0);
    std::shared_ptr<std::chrono::steady_clock::time_point> now =
        std::make_shared<std::chrono::steady_clock::time_point>();

    BinRotationMap::Clock clock() const {
        return [step = stepMs, now = now] {
            *now += std::chrono::nanoseconds(static_cast<std::int64_t>(*step * 1e6));
            return *now;
        };
    }
};

class BinRotation : public ::testing::Test {
  protected:
    Beamformer beamformer{array8(), kSoundSpeed};
    FakeClock fake;

    static BeamformingParameters parametersFor(std::int32_t id, std::uint64_t revision = 5) {
        BeamformingParameters p;
        p.algorithm = id;
        p.revision = revision;
        return p;
    }

    HeatmapGrid update(BinRotationMap& map, const std::vector<MatrixRows>& r, const FrequencyBand& band,
                       const BeamformingParameters& p, std::uint64_t generation = 1) const {
        return map.update(beamformer, r, band, p, 256, kSpan, kSpan, kStep, generation);
    }

    // Whether each group's cached map is the one computed from r. The Capon inverse may differ in the
    // last bits between identical calls (vectorised reductions depend on buffer alignment), so maps are
    // compared to a relative 1e-9; maps of other matrices differ by far more.
    std::vector<bool> groupsFrom(const BinRotationMap& map, const std::vector<MatrixRows>& r,
                                 const FrequencyBand& band, const BeamformingParameters& p) const {
        std::vector<bool> out;
        for (const auto& g : map.groups()) {
            const std::vector<double> expected = map.computeBin(g, beamformer, r, band, p, 256).power;
            bool same = g.map.power.size() == expected.size();
            for (std::size_t i = 0; same && i < expected.size(); ++i) {
                same = std::abs(g.map.power[i] - expected[i]) <= 1e-9 * std::abs(expected[i]);
            }
            out.push_back(same);
        }
        return out;
    }
};

TEST_F(BinRotation, OnlyNarrowbandAlgorithmsRotate) {
    for (std::int32_t id = 0; id <= 15; ++id)
        EXPECT_EQ(BinRotationMap::isRotatable(id), id >= 2 && id <= 8) << id;
    BinRotationMap map(fake.clock());
    const FrequencyBand band = bandOfBins(4);
    const auto r = bandMatrices(band, {{0.0, 0.0, 1.0}});
    for (std::int32_t id : {1, 9, 10, 14}) {
        try {
            update(map, r, band, parametersFor(id));
            ADD_FAILURE() << id;
        } catch (const std::logic_error& e) {
            EXPECT_EQ(std::string(e.what()), "BinRotationMap: algorithm is not rotatable");
        }
        EXPECT_FALSE(map.valid());
        EXPECT_TRUE(map.groups().empty());
    }
}

TEST_F(BinRotation, BinsSplitIntoContiguousGroups) {
    const auto sizes = [&](std::size_t bins) {
        BinRotationMap map(fake.clock());
        const FrequencyBand band = bandOfBins(bins);
        update(map, bandMatrices(band, {{5.0, 5.0, 1.0}}), band, parametersFor(8));
        std::vector<std::size_t> out;
        std::uint64_t next = 0;
        for (const auto& g : map.groups()) {
            for (std::uint64_t pos : g.binPositions) EXPECT_EQ(pos, next++);
            out.push_back(g.binPositions.size());
        }
        EXPECT_EQ(next, bins);
        EXPECT_TRUE(map.valid());
        EXPECT_EQ(map.cursor(), 0u);
        return out;
    };
    using S = std::vector<std::size_t>;
    EXPECT_EQ(sizes(32), (S{8, 8, 8, 8}));
    EXPECT_EQ(sizes(100), (S{20, 20, 20, 20, 20}));
    EXPECT_EQ(sizes(3), (S{3}));
    EXPECT_EQ(sizes(17), (S{6, 6, 5}));
}

TEST_F(BinRotation, RebuildEqualsDispatchedMap) {
    const FrequencyBand band = bandOfBins(20);
    const auto r = bandMatrices(band, {{-10.0, 5.0, 1.0}, {15.0, -10.0, 0.5}});
    for (std::int32_t id = 2; id <= 8; ++id) {
        SCOPED_TRACE("algorithm " + std::to_string(id));
        BinRotationMap map(fake.clock());
        const BeamformingParameters p = parametersFor(id, 9);
        const HeatmapGrid rotated = update(map, r, band, p);
        const HeatmapGrid whole = computeBeamformingMap(beamformer, r, band, p, 256, kSpan, kSpan, kStep);
        ASSERT_EQ(map.groups().size(), 3u);
        ASSERT_EQ(rotated.power.size(), whole.power.size());
        for (std::size_t i = 0; i < whole.power.size(); ++i) {
            EXPECT_NEAR(rotated.power[i], whole.power[i], 1e-9 * whole.power[whole.peakIndex]);
        }
        EXPECT_EQ(rotated.peakIndex, whole.peakIndex);
        EXPECT_EQ(rotated.azimuthDeg, whole.azimuthDeg);
        EXPECT_EQ(rotated.elevationDeg, whole.elevationDeg);
        EXPECT_EQ(rotated.representativeFrequencyHz, whole.representativeFrequencyHz);
        EXPECT_EQ(rotated.firstFrequencyHz, whole.firstFrequencyHz);
        EXPECT_EQ(rotated.lastFrequencyHz, whole.lastFrequencyHz);
        EXPECT_EQ(rotated.binCount, 20u);
        EXPECT_EQ(rotated.parametersRevision, 9u);
        EXPECT_EQ(rotated.algorithmId, static_cast<std::uint32_t>(id));
        EXPECT_EQ(rotated.estimatedSourceCount, whole.estimatedSourceCount);
    }
}

TEST_F(BinRotation, RotationRefreshesGroupsInOrderWithinBudget) {
    const FrequencyBand band = bandOfBins(20);  // 3 groups
    const BeamformingParameters p = parametersFor(3);
    BinRotationMap map(fake.clock());
    const auto first = bandMatrices(band, {{0.0, 0.0, 1.0}});
    update(map, first, band, p);
    for (const auto& g : map.groups()) EXPECT_DOUBLE_EQ(g.averageComputeMs, 25.0);

    // 25 ms per group fits two groups into 60 ms: (0, 1), then (2, 0), then (1, 2).
    const auto a = bandMatrices(band, {{10.0, 0.0, 1.0}});
    update(map, a, band, p);
    EXPECT_EQ(map.cursor(), 2u);
    EXPECT_EQ(groupsFrom(map, a, band, p), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(groupsFrom(map, first, band, p), (std::vector<bool>{false, false, true}));
    const auto b = bandMatrices(band, {{-10.0, 10.0, 1.0}});
    update(map, b, band, p);
    EXPECT_EQ(map.cursor(), 1u);
    EXPECT_EQ(groupsFrom(map, b, band, p), (std::vector<bool>{true, false, true}));
    const auto c = bandMatrices(band, {{-15.0, -5.0, 1.0}});
    const HeatmapGrid mixed = update(map, c, band, p);
    EXPECT_EQ(map.cursor(), 0u);
    EXPECT_EQ(groupsFrom(map, c, band, p), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(groupsFrom(map, b, band, p), (std::vector<bool>{true, false, false}));
    // The combined map is the sum of the groups of different ages.
    std::vector<HeatmapGrid> parts;
    for (const auto& g : map.groups()) parts.push_back(g.map);
    EXPECT_EQ(mixed.power, combineHeatmapBands(parts).power);
    EXPECT_EQ(mixed.representativeFrequencyHz, band.representativeFrequencyHz);
    EXPECT_EQ(mixed.binCount, 20u);

    // Slower measurements move each refreshed average by 30 percent; the budget is read from the
    // average of the group at the cursor.
    *fake.stepMs = 70.0;
    const double once = 0.7 * 25.0 + 0.3 * 70.0;
    update(map, c, band, p);  // group 0 averages 25 ms: groups 0 and 1
    EXPECT_EQ(map.cursor(), 2u);
    EXPECT_DOUBLE_EQ(map.groups()[0].averageComputeMs, once);
    EXPECT_DOUBLE_EQ(map.groups()[1].averageComputeMs, once);
    EXPECT_DOUBLE_EQ(map.groups()[2].averageComputeMs, 25.0);
    update(map, c, band, p);  // group 2 averages 25 ms: groups 2 and 0
    EXPECT_EQ(map.cursor(), 1u);
    EXPECT_DOUBLE_EQ(map.groups()[0].averageComputeMs, 0.7 * once + 0.3 * 70.0);
    update(map, c, band, p);  // group 1 averages 32.5 ms: only group 1
    EXPECT_EQ(map.cursor(), 2u);
    EXPECT_DOUBLE_EQ(map.groups()[1].averageComputeMs, 0.7 * once + 0.3 * 70.0);
    EXPECT_DOUBLE_EQ(map.groups()[2].averageComputeMs, once);
}

TEST_F(BinRotation, FastGroupsAllRefreshEachUpdate) {
    const FrequencyBand band = bandOfBins(32);  // 4 groups
    const BeamformingParameters p = parametersFor(8);
    *fake.stepMs = 5.0;
    BinRotationMap map(fake.clock());
    update(map, bandMatrices(band, {{0.0, 0.0, 1.0}}), band, p);
    const auto next = bandMatrices(band, {{10.0, 10.0, 1.0}});
    update(map, next, band, p);
    EXPECT_EQ(map.cursor(), 0u);
    EXPECT_EQ(groupsFrom(map, next, band, p), (std::vector<bool>(4, true)));

    *fake.stepMs = 70.0;
    BinRotationMap slow(fake.clock());
    update(slow, bandMatrices(band, {{0.0, 0.0, 1.0}}), band, p);
    update(slow, next, band, p);
    EXPECT_EQ(slow.cursor(), 1u);
    EXPECT_EQ(groupsFrom(slow, next, band, p), (std::vector<bool>{true, false, false, false}));
}

TEST_F(BinRotation, AnyKeyChangeRebuildsEveryGroup) {
    const FrequencyBand band = bandOfBins(20);
    BinRotationMap map(fake.clock());
    update(map, bandMatrices(band, {{0.0, 0.0, 1.0}}), band, parametersFor(5, 1));
    const auto next = bandMatrices(band, {{10.0, -10.0, 1.0}});
    update(map, next, band, parametersFor(5, 2));  // same values, new revision
    EXPECT_EQ(groupsFrom(map, next, band, parametersFor(5, 2)), (std::vector<bool>(3, true)));
    EXPECT_EQ(map.cursor(), 0u);

    const auto third = bandMatrices(band, {{-10.0, 10.0, 1.0}});
    update(map, third, band, parametersFor(5, 2), 2);  // new engine generation
    EXPECT_EQ(groupsFrom(map, third, band, parametersFor(5, 2)), (std::vector<bool>(3, true)));

    BeamformingParameters focused = parametersFor(5, 2);
    focused.focusDistanceM = 2.0;
    update(map, next, band, focused, 2);
    EXPECT_EQ(groupsFrom(map, next, band, focused), (std::vector<bool>(3, true)));
}

TEST_F(BinRotation, AutoMusicTakesUpperMedianOfNonZeroGroupCounts) {
    // Four groups of 8 bins with 1, 2, 3 and 5 incoherent sources.
    const FrequencyBand band = bandOfBins(32);
    const std::vector<Source> all = {
        {-15.0, -15.0, 1.0}, {15.0, 15.0, 0.9}, {-15.0, 15.0, 0.8}, {15.0, -15.0, 0.7}, {0.0, 0.0, 0.6}};
    const std::size_t perGroup[] = {1, 2, 3, 5};
    std::vector<MatrixRows> r;
    for (std::size_t k = 0; k < 32; ++k) {
        const std::vector<Source> some(all.begin(),
                                       all.begin() + static_cast<std::ptrdiff_t>(perGroup[k / 8]));
        r.push_back(binMatrix(array8(), band.binFrequenciesHz[k], some, 1e-4));
    }
    BeamformingParameters p = parametersFor(6);
    BinRotationMap map(fake.clock());
    const HeatmapGrid g = update(map, r, band, p);
    std::vector<std::uint32_t> counts;
    for (const auto& group : map.groups()) counts.push_back(group.map.estimatedSourceCount);
    ASSERT_EQ(counts, (std::vector<std::uint32_t>{1, 2, 3, 5}));
    EXPECT_EQ(g.estimatedSourceCount, 3u);  // upper middle of 1, 2, 3, 5

    // Two groups with 2 and 4 sources give 4.
    const FrequencyBand two = bandOfBins(16);
    std::vector<MatrixRows> r2;
    for (std::size_t k = 0; k < 16; ++k) {
        const std::vector<Source> some(all.begin(), all.begin() + (k < 8 ? 2 : 4));
        r2.push_back(binMatrix(array8(), two.binFrequenciesHz[k], some, 1e-4));
    }
    BinRotationMap pair(fake.clock());
    EXPECT_EQ(update(pair, r2, two, p).estimatedSourceCount, 4u);
}

TEST_F(BinRotation, FailedRebuildLeavesMapInvalid) {
    const FrequencyBand band = bandOfBins(20);
    const BeamformingParameters p = parametersFor(3);
    const auto good = bandMatrices(band, {{5.0, -5.0, 1.0}});
    auto broken = good;
    broken[18][2].pop_back();  // only the last group sees the bad row
    BinRotationMap map(fake.clock());
    update(map, good, band, parametersFor(3, 1));
    ASSERT_TRUE(map.valid());
    try {
        update(map, broken, band, p);
        ADD_FAILURE() << "rebuild with a bad matrix did not throw";
    } catch (const std::invalid_argument& e) {
        EXPECT_EQ(std::string(e.what()), "invalid broadband spectral matrix");
    }
    EXPECT_FALSE(map.valid());
    // Same key again: a full rebuild, not a rotation over groups that were never computed.
    const HeatmapGrid g = update(map, good, band, p);
    EXPECT_TRUE(map.valid());
    EXPECT_EQ(groupsFrom(map, good, band, p), (std::vector<bool>(3, true)));
    EXPECT_EQ(g.peakIndex,
              computeBeamformingMap(beamformer, good, band, p, 256, kSpan, kSpan, kStep).peakIndex);
}

TEST_F(BinRotation, FailedRotationKeepsGroupAndCursor) {
    const FrequencyBand band = bandOfBins(20);
    const BeamformingParameters p = parametersFor(3);
    const auto good = bandMatrices(band, {{5.0, -5.0, 1.0}});
    BinRotationMap map(fake.clock());
    update(map, good, band, p);
    auto broken = bandMatrices(band, {{-5.0, 5.0, 1.0}});
    broken[1][0].pop_back();  // group 0, the one at the cursor
    EXPECT_THROW(update(map, broken, band, p), std::invalid_argument);
    EXPECT_TRUE(map.valid());
    EXPECT_EQ(map.cursor(), 0u);
    EXPECT_EQ(groupsFrom(map, good, band, p), (std::vector<bool>(3, true)));

    std::vector<MatrixRows> shortList(good.begin(), good.end() - 1);
    EXPECT_THROW(update(map, shortList, band, p), std::invalid_argument);
}

}  // namespace
}  // namespace zk::core
