#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/streaming/noise_floor_profile.h"

namespace zk::core {

// Per band bin j: cleaned[j] := the positive-semidefinite part of the Hermitian part of
// rows[j] - subtractBeta * profile.matrices[binIndices[j]]. A positive-definite difference is taken
// as it is; otherwise its eigenpairs with eigenvalues of at least psdFloor times the largest are kept,
// and the zero matrix stands when the largest eigenvalue is not positive. Returns false, with cleaned
// empty, when rows and binIndices differ in length, subtractBeta or psdFloor is negative or NaN, an
// index lies beyond the profile's bins, or a matrix is not channelCount x channelCount; true (cleaned
// empty) for no bins. Runs more than 3 bins on an OpenMP team of 4; each thread keeps its scratch, so
// after its first call a thread allocates nothing per bin (for up to 256 channels).
bool subtractNoiseFloor(std::vector<MatrixRows>& cleaned, std::span<const MatrixRows> rows,
                        const NoiseFloorProfile& profile, std::span<const std::uint64_t> binIndices);

}  // namespace zk::core
