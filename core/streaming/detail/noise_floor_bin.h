#pragma once

#include <cstdint>

#include "core/beamforming/beamformer.h"

namespace zk::core::detail {

// Which way the per-bin step of subtractNoiseFloor went.
enum class NoiseFloorBinPath {
    Unchanged,  // C, N or out is not M x M: out untouched
    Cholesky,   // the difference is positive definite and stands as it is
    Eigen,      // the eigenpairs at or above psdFloor * lambda_max were kept
    Zero,       // the decomposition failed or lambda_max is not positive
};

// out := the positive-semidefinite repair of D = ((C - beta N) + (C - beta N)^H) / 2 on this thread's
// scratch; for M up to 256 it allocates only when M differs from the thread's previous call.
NoiseFloorBinPath subtractNoiseFloorBin(const MatrixRows& C, const MatrixRows& N, double beta,
                                        double psdFloor, std::uint64_t M, MatrixRows& out);

}  // namespace zk::core::detail
