#pragma once

#include <cstddef>

#include "core/platform/cpu_features.h"

// The steps of CLEAN-SC in double precision, built per vector level and picked at run time. Every kernel
// runs on the calling thread only.
namespace zk::core::detail {

// One bin's single-precision steering: microphone m, grid point g at re[m * stride + g] and
// im[m * stride + g].
struct SteeringPlanes {
    const float* re;
    const float* im;
    std::size_t stride;
    std::size_t microphones;
};

// A Hermitian M x M matrix as its real diagonal (M values) and its strict upper triangle packed pair by
// pair in row order ((0,1), (0,2), ..., (1,2), ...), real and imaginary parts apart.
struct PackedHermitian {
    const double* diagonal;
    const double* pairRe;
    const double* pairIm;
};

// Matrices below are Hermitian M x M, column-major with leading dimension M, real and imaginary parts
// apart, and given by their upper triangle (the diagonal included): entries below the diagonal are
// neither read nor written.
struct CleanScKernels {
    VectorLevel level;  // the instruction set the variant was built for

    // out[g - first] = a_g^H X a_g for every grid point g in [first, end): the diagonal terms plus twice
    // the real part of the pairs, the steering widened to double.
    void (*hermitianForm)(const SteeringPlanes& a, std::size_t first, std::size_t end,
                          const PackedHermitian& x, double* out);

    // For every grid point g in [first, end), with p_g = scale * a_g^H h (h: M complex values):
    // residual[g - first] = max(0, residual[g - first] - removed * |p_g|^2), NaN becoming 0.
    void (*subtractProjectedSource)(const SteeringPlanes& a, std::size_t first, std::size_t end,
                                    const double* hRe, const double* hIm, double scale, double removed,
                                    double* residual);

    // y = X v for M complex values v.
    void (*hermitianTimesVector)(std::size_t m, const double* xRe, const double* xIm, const double* vRe,
                                 const double* vIm, double* yRe, double* yIm);

    // Y = X - weight h h^H. X's imaginary diagonal is carried over unchanged, h h^H having none. Returns
    // the sum over all M x M entries of Y of sqrt(re^2 + im^2), which overflows or underflows where the
    // squares do.
    double (*subtractOuterProduct)(std::size_t m, const double* xRe, const double* xIm, const double* hRe,
                                   const double* hIm, double weight, double* yRe, double* yIm);
};

// The variant for vectorLevel(), read on every call (tests cap the level).
const CleanScKernels& cleanScKernels();

}  // namespace zk::core::detail
