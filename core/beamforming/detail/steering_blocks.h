#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "core/beamforming/steering_cache.h"

// Steering of a cache entry block by block, whether or not the entry holds its tables.
namespace zk::core::detail {

// Bytes of the three tables of an entry (16 per term) above which it keeps only its path differences:
// 256 MiB, so a 1-degree field at M = 128 and 32 bins keeps its tables and a 0.5-degree one does not.
inline constexpr std::uint64_t kSteeringTableBudgetBytes = std::uint64_t{256} << 20;

// Largest grid any entry serves: points, and points x microphones (256 MiB of path differences).
inline constexpr std::uint64_t kMaxSteeringPoints = std::uint64_t{1} << 22;
inline constexpr std::uint64_t kMaxSteeringPointTerms = std::uint64_t{1} << 25;
inline constexpr const char* kGridTooLarge =
    "camera grid too large for the steering data (more than 2^22 points or 2^25 points x microphones)";

// The table budget in force: kSteeringTableBudgetBytes unless a test lowered it. Any thread may read
// it; set it only while no steering is being built.
std::uint64_t steeringTableBudgetBytes() noexcept;
// Sets the budget to min(bytes, kSteeringTableBudgetBytes), so tests reach the blocked path on small
// grids. Entries already cached keep the mode they were built in.
void setSteeringTableBudgetBytes(std::uint64_t bytes) noexcept;

// One bin's steering over grid points [first, end) in the layout of the cached planes: microphone m,
// point g at re[m * stride + g] and im[m * stride + g]. The pair kernel takes the fields as they are.
struct PlaneBlock {
    std::span<const float> re;
    std::span<const float> im;
    std::uint64_t stride = 0;
    std::uint64_t first = 0;
    std::uint64_t end = 0;
};

// Hands out the steering of an entry by bin and block of grid points: views of its tables when it holds
// them, else terms computed from its path differences into scratch owned here, to the same floats. One
// per thread; the scratch for blocks of up to maxPoints points is allocated by the constructor (nothing
// when the entry holds its tables), so make them before an OpenMP team. The entry must outlive it. The
// kPlanes layout serves planes() alone, and its scratch holds planes of maxPoints points, terms of fewer.
class SteeringBlocks {
  public:
    enum class Layout { kTerms, kPlanes };

    SteeringBlocks(const CameraBandSteeringCache& cache, std::uint64_t maxPoints, Layout layout);

    // Point-major terms of points [first, end) of the bin: point g, microphone m at (g - first) * M + m.
    std::span<const std::complex<float>> terms(std::uint64_t bin, std::uint64_t first, std::uint64_t end);
    // Requires the kPlanes layout.
    PlaneBlock planes(std::uint64_t bin, std::uint64_t first, std::uint64_t end);

  private:
    // Terms of points [first, end) of the bin into the scratch.
    std::span<const std::complex<float>> build(std::uint64_t bin, std::uint64_t first, std::uint64_t end);

    const CameraBandSteeringCache* cache_;
    std::uint64_t capacity_ = 0;  // points the scratch holds
    std::vector<std::complex<float>> terms_;
    std::vector<float> re_;
    std::vector<float> im_;
};

// One SteeringBlocks per member of a team of `threads`, all allocated before the team starts.
std::vector<SteeringBlocks> steeringBlocksPerThread(const CameraBandSteeringCache& cache, int threads,
                                                    std::uint64_t maxPoints, SteeringBlocks::Layout layout);

}  // namespace zk::core::detail
