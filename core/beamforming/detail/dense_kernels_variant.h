// The dense kernels of one vector level. Included once by each of dense_kernels_{baseline,avx2,avx512}.cpp,
// which set ZK_DENSE_VARIANT (a name holding the level, such as avx2) and are compiled with that level's
// flags. Eigen is renamed to a namespace of its own per level, so its templates instantiated here for one
// instruction set never merge with another level's (or the rest of the core's) copies at link time, and
// every function here carries the level in its name for tools/check-kernel-isa.sh.
// No pragma once: one inclusion per translation unit by design.

#ifndef ZK_DENSE_VARIANT
#error "define ZK_DENSE_VARIANT before including dense_kernels_variant.h"
#endif
#ifdef EIGEN_CORE_H
#error "Eigen is already included in this translation unit under its own name"
#endif

#define ZK_DENSE_JOIN_(a, b) a##b
#define ZK_DENSE_JOIN(a, b) ZK_DENSE_JOIN_(a, b)
#define Eigen ZK_DENSE_JOIN(zk_eigen_, ZK_DENSE_VARIANT)
// One block per thread: the callers share out the blocks, and Eigen's own team would make a block's
// blocking, and so its bits, depend on the thread count.
#define EIGEN_DONT_PARALLELIZE

#include <Eigen/Cholesky>
#include <Eigen/Core>

#include "core/beamforming/detail/dense_kernels.h"

namespace zk::core::detail::ZK_DENSE_VARIANT {
namespace {

using Block = Eigen::Map<Eigen::MatrixXd, 0, Eigen::OuterStride<>>;
using ConstBlock = Eigen::Map<const Eigen::MatrixXd, 0, Eigen::OuterStride<>>;

Block block(double* data, DenseIndex rows, DenseIndex cols, DenseIndex ld) {
    return Block(data, rows, cols, Eigen::OuterStride<>(ld));
}
ConstBlock block(const double* data, DenseIndex rows, DenseIndex cols, DenseIndex ld) {
    return ConstBlock(data, rows, cols, Eigen::OuterStride<>(ld));
}

void productTransposed(DenseIndex m, DenseIndex n, DenseIndex k, const double* a, DenseIndex lda,
                       const double* b, DenseIndex ldb, double* c, DenseIndex ldc) {
    block(c, m, n, ldc).noalias() = block(a, m, k, lda) * block(b, n, k, ldb).transpose();
}

void transposedProduct(DenseIndex m, DenseIndex n, DenseIndex k, const double* a, DenseIndex lda,
                       const double* b, DenseIndex ldb, double* c, DenseIndex ldc) {
    block(c, m, n, ldc).noalias() = block(a, k, m, lda).transpose() * block(b, k, n, ldb);
}

void subtractProductTransposed(DenseIndex m, DenseIndex n, DenseIndex k, const double* a, DenseIndex lda,
                               const double* b, DenseIndex ldb, double* c, DenseIndex ldc) {
    block(c, m, n, ldc).noalias() -= block(a, m, k, lda) * block(b, n, k, ldb).transpose();
}

bool cholesky(DenseIndex n, double* a, DenseIndex lda) {
    Block matrix = block(a, n, n, lda);
    const Eigen::LLT<Eigen::Ref<Eigen::MatrixXd, 0, Eigen::OuterStride<>>> llt(matrix);
    return llt.info() == Eigen::Success;
}

void solveRightTransposed(DenseIndex n, const double* l, DenseIndex ldl, DenseIndex m, double* b,
                          DenseIndex ldb) {
    Block right = block(b, m, n, ldb);
    block(l, n, n, ldl).transpose().triangularView<Eigen::Upper>().solveInPlace<Eigen::OnTheRight>(right);
}

void solveRight(DenseIndex n, const double* l, DenseIndex ldl, DenseIndex m, double* b, DenseIndex ldb) {
    Block right = block(b, m, n, ldb);
    block(l, n, n, ldl).triangularView<Eigen::Lower>().solveInPlace<Eigen::OnTheRight>(right);
}

void solveFactored(DenseIndex n, const double* l, DenseIndex ldl, double* v) {
    Eigen::Map<Eigen::VectorXd> vector(v, n);
    const ConstBlock factor = block(l, n, n, ldl);
    factor.triangularView<Eigen::Lower>().solveInPlace(vector);
    factor.transpose().triangularView<Eigen::Upper>().solveInPlace(vector);
}

// The level this translation unit's flags give, not the one its file name claims.
#if defined(__AVX512F__) && defined(__AVX512BW__) && defined(__AVX512DQ__) && defined(__AVX512VL__)
constexpr VectorLevel kCompiledLevel = VectorLevel::kAvx512;
#elif defined(__AVX2__) && defined(__FMA__)
constexpr VectorLevel kCompiledLevel = VectorLevel::kAvx2;
#else
constexpr VectorLevel kCompiledLevel = VectorLevel::kBaseline;
#endif

}  // namespace

extern const DenseKernels kDenseKernels;
const DenseKernels kDenseKernels = {kCompiledLevel,    productTransposed, subtractProductTransposed,
                                    transposedProduct, cholesky,          solveRightTransposed,
                                    solveRight,        solveFactored};

}  // namespace zk::core::detail::ZK_DENSE_VARIANT
