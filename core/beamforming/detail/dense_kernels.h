#pragma once

#include <cstddef>

#include "core/platform/cpu_features.h"

// Dense real blocks for the deconvolution's factorisations, built once per vector level (Eigen compiled
// for SSE2, AVX2 + FMA and AVX-512) and picked at run time. Every matrix is column-major with a leading
// dimension; every kernel runs on the calling thread only, so a block's bits do not depend on how many
// threads share out the blocks.
namespace zk::core::detail {

using DenseIndex = std::ptrdiff_t;

struct DenseKernels {
    // The instruction set the variant's translation unit was compiled for, as its compiler saw it.
    VectorLevel level;
    // C (m x n) = A (m x k) B^T, B being n x k.
    void (*productTransposed)(DenseIndex m, DenseIndex n, DenseIndex k, const double* a, DenseIndex lda,
                              const double* b, DenseIndex ldb, double* c, DenseIndex ldc);
    // C (m x n) -= A (m x k) B^T, B being n x k.
    void (*subtractProductTransposed)(DenseIndex m, DenseIndex n, DenseIndex k, const double* a,
                                      DenseIndex lda, const double* b, DenseIndex ldb, double* c,
                                      DenseIndex ldc);
    // C (m x n) = A^T B, A being k x m and B k x n.
    void (*transposedProduct)(DenseIndex m, DenseIndex n, DenseIndex k, const double* a, DenseIndex lda,
                              const double* b, DenseIndex ldb, double* c, DenseIndex ldc);
    // The lower triangle of A (n x n) becomes L with A = L L^T, reading only that triangle. False when A
    // is not positive definite.
    bool (*cholesky)(DenseIndex n, double* a, DenseIndex lda);
    // B (m x n) := B L^-T, with L the lower triangle of an n x n block.
    void (*solveRightTransposed)(DenseIndex n, const double* l, DenseIndex ldl, DenseIndex m, double* b,
                                 DenseIndex ldb);
    // B (m x n) := B L^-1, with L the lower triangle of an n x n block.
    void (*solveRight)(DenseIndex n, const double* l, DenseIndex ldl, DenseIndex m, double* b,
                       DenseIndex ldb);
    // v := (L L^T)^-1 v, with L the lower triangle of an n x n block.
    void (*solveFactored)(DenseIndex n, const double* l, DenseIndex ldl, double* v);
};

// The variant for vectorLevel(), read on every call (tests cap the level).
const DenseKernels& denseKernels();

}  // namespace zk::core::detail
