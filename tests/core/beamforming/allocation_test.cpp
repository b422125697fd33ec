// Allocation counts of the real-time path.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/bin_rotation_map.h"
#include "core/beamforming/compute_beamforming_map.h"
#include "allocation_counter.h"
#include "steering_test_model.h"

namespace zk::core {
namespace {

using C = std::complex<double>;

using CountingScope = zk::test::AllocationCounter;

TEST(RealTimeAllocations, StreamingDasHopsAfterTheFirstAllocateNothing) {
    const auto mics = testmodel::planarArray(16, 0.25, 4);
    const Beamformer bf(mics, 343.0);
    const std::vector<double> freqs{1000.0, 1500.0, 2000.0, 2500.0, 3000.0, 3500.0, 4000.0, 4500.0};
    std::mt19937 rng(9);
    std::normal_distribution<double> n(0.0, 1.0);
    std::vector<C> spectra(freqs.size() * mics.size());
    for (auto& x : spectra) x = {n(rng), n(rng)};
    const CameraGridSpec grid{40.0, 30.0, 0.0, 0.0, 1.0, 1.0, std::numeric_limits<double>::infinity()};
    StreamingDasState state;
    bf.updateStreamingDas(state, spectra, freqs, 0.9, grid, 4, 0, 0);

    std::uint64_t allocations = 0;
    {
        const CountingScope scope;
        // Partial ranges as the engine walks the band, on a team of four where the machine has it.
        for (std::uint64_t hop = 0; hop < 12; ++hop) {
            bf.updateStreamingDas(state, spectra, freqs, 0.9, grid, 4, (hop * 3) % 8, 3);
        }
        state.reset();
        bf.updateStreamingDas(state, spectra, freqs, 0.9, grid, 4, 0, 0);
        allocations = scope.allocations();
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(state.updateCount, 1u);
}

TEST(RealTimeAllocations, BinRotationReadsTheGroupsMatricesInPlace) {
    const auto mics = testmodel::planarArray(32, 0.25, 6);
    const Beamformer bf(mics, 343.0);
    FrequencyBand band;
    std::vector<MatrixRows> matrices;
    for (int b = 0; b < 16; ++b) {
        const double f = 2000.0 + 125.0 * b;
        band.binFrequenciesHz.push_back(f);
        matrices.push_back(testmodel::mixture({{testmodel::steeringToward(mics, 343.0, 5.0, -3.0, f), 1.0}},
                                              0.1, mics.size()));
    }
    BeamformingParameters parameters;
    parameters.algorithm = static_cast<std::int32_t>(BeamformingAlgorithm::kSrpPhat);
    BinRotationMap rotation;
    rotation.update(bf, matrices, band, parameters, 10, 20.0, 16.0, 2.0, 1);
    const BinRotationMap::Group& group = rotation.groups().at(1);
    const std::span<const MatrixRows> groupMatrices =
        std::span<const MatrixRows>(matrices).subspan(group.binPositions.front(), group.binPositions.size());
    const std::span<const double> groupFrequencies =
        std::span<const double>(band.binFrequenciesHz)
            .subspan(group.binPositions.front(), group.binPositions.size());

    // The algorithm run directly on the band's matrices sets what a group computation may allocate.
    std::uint64_t direct = 0;
    {
        const CountingScope scope;
        selectedAlgorithmMap(bf, groupMatrices, groupFrequencies, parameters, 10, 20.0, 16.0, 2.0);
        direct = scope.bytes();
    }
    std::uint64_t viaGroup = 0;
    {
        const CountingScope scope;
        rotation.computeBin(group, bf, matrices, band, parameters, 10);
        viaGroup = scope.bytes();
    }
    // A copy of the group's eight matrices would add 8 x 32 x 32 x 16 bytes = 128 KiB.
    const std::uint64_t oneMatrix = mics.size() * mics.size() * sizeof(C);
    EXPECT_LT(viaGroup, direct + oneMatrix / 2) << direct;
}

}  // namespace
}  // namespace zk::core
