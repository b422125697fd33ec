// Allocation counts of the real-time path. The global operator new is replaced in this executable only,
// so that no other test binary pays for the counting.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/bin_rotation_map.h"
#include "core/beamforming/compute_beamforming_map.h"
#include "steering_test_model.h"

namespace {

// Set while a scope counts; read by every allocation on any thread, OpenMP workers included.
std::atomic<bool> gCounting{false};
// Allocations and bytes requested while counting.
std::atomic<std::uint64_t> gAllocations{0};
std::atomic<std::uint64_t> gBytes{0};

void* countedAllocation(std::size_t size, std::size_t alignment) {
    if (gCounting.load(std::memory_order_relaxed)) {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
        gBytes.fetch_add(size, std::memory_order_relaxed);
    }
    const std::size_t bytes = size == 0 ? 1 : size;
    void* p = alignment <= alignof(std::max_align_t)
                  ? std::malloc(bytes)
                  : std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t size) { return countedAllocation(size, 0); }
void* operator new[](std::size_t size) { return countedAllocation(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) {
    return countedAllocation(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return countedAllocation(size, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace zk::core {
namespace {

using C = std::complex<double>;

// Counts the allocations of every thread between construction and the reading.
class CountingScope {
  public:
    CountingScope() {
        gAllocations = 0;
        gBytes = 0;
        gCounting = true;
    }
    ~CountingScope() { gCounting = false; }
    std::uint64_t allocations() const { return gAllocations.load(); }
    std::uint64_t bytes() const { return gBytes.load(); }
};

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
