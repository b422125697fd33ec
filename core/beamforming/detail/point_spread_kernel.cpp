#include "core/beamforming/detail/point_spread_kernel.h"

#include <cassert>
#include <cstddef>
#include <cstring>

#include "core/platform/cpu_features.h"

namespace zk::core::detail {

namespace {

// Lane-wise double vectors of the three vector units, as GCC vector types so that one body compiles
// to SSE2, AVX2 or AVX-512 in its caller's target.
typedef double Double2 __attribute__((vector_size(16)));
typedef double Double4 __attribute__((vector_size(32)));
typedef double Double8 __attribute__((vector_size(64)));

template <typename V>
constexpr std::size_t kLanes = sizeof(V) / sizeof(double);

struct Columns {
    const double* re;
    const double* im;
    std::size_t microphones;
    std::size_t stride;
};

template <typename V, std::size_t P>
[[gnu::always_inline]] inline void load(V (&out)[P], const double* p) {
    for (std::size_t q = 0; q < P; ++q) std::memcpy(&out[q], p + q * kLanes<V>, sizeof(V));
}

// Rows i0 .. i0 + R - 1 against P vectors of columns from j0: g_ij = sum over m of conj(a_j[m]) a_i[m],
// each a_j vector loaded once for all R rows; 2 R P independent sums hide the multiply-add latency.
template <typename V, std::size_t P, std::size_t R>
[[gnu::always_inline]] inline void tile(const Columns& c, std::size_t i0, std::size_t j0, double scale,
                                        double* accumulator) {
    V gr[R][P] = {};
    V gi[R][P] = {};
    V jr[P];
    V ji[P];
    for (std::size_t m = 0; m < c.microphones; ++m) {
        const double* rowRe = c.re + m * c.stride;
        const double* rowIm = c.im + m * c.stride;
        load(jr, rowRe + j0);
        load(ji, rowIm + j0);
        for (std::size_t r = 0; r < R; ++r) {
            const double ur = rowRe[i0 + r];
            const double ui = rowIm[i0 + r];
            for (std::size_t q = 0; q < P; ++q) {
                gr[r][q] = gr[r][q] + jr[q] * ur + ji[q] * ui;
                gi[r][q] = gi[r][q] + jr[q] * ui - ji[q] * ur;
            }
        }
    }
    for (std::size_t r = 0; r < R; ++r) {
        double* out = accumulator + (i0 + r) * c.stride + j0;
        for (std::size_t q = 0; q < P; ++q) {
            const V sr = gr[r][q] * scale;
            const V si = gi[r][q] * scale;
            V sum;
            std::memcpy(&sum, out + q * kLanes<V>, sizeof(V));
            sum = sum + (sr * sr + si * si);
            std::memcpy(out + q * kLanes<V>, &sum, sizeof(V));
        }
    }
}

template <typename V, std::size_t P, std::size_t R>
[[gnu::always_inline]] inline void rows(const Columns& c, std::size_t firstRow, std::size_t endRow,
                                        double scale, double* accumulator) {
    constexpr std::size_t kWidth = P * kLanes<V>;
    static_assert(kGramColumnPadding % kWidth == 0);
    std::size_t i0 = firstRow;
    for (; i0 + R <= endRow; i0 += R) {
        for (std::size_t j0 = 0; j0 < i0 + R; j0 += kWidth) tile<V, P, R>(c, i0, j0, scale, accumulator);
    }
    for (; i0 < endRow; ++i0) {
        for (std::size_t j0 = 0; j0 <= i0; j0 += kWidth) tile<V, P, 1>(c, i0, j0, scale, accumulator);
    }
}

#ifdef ZK_DISPATCH_KERNELS
// Sixteen sums in 32 registers: four rows by sixteen columns.
__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl"))) void rowsAvx512(
    const Columns& c, std::size_t firstRow, std::size_t endRow, double scale, double* accumulator) {
    rows<Double8, 2, 4>(c, firstRow, endRow, scale, accumulator);
}

// Eight sums in 16 registers: two rows by eight columns.
__attribute__((target("avx2,fma"))) void rowsAvx2(const Columns& c, std::size_t firstRow, std::size_t endRow,
                                                  double scale, double* accumulator) {
    rows<Double4, 2, 2>(c, firstRow, endRow, scale, accumulator);
}
#endif

void rowsBaseline(const Columns& c, std::size_t firstRow, std::size_t endRow, double scale,
                  double* accumulator) {
    rows<Double2, 2, 2>(c, firstRow, endRow, scale, accumulator);
}

}  // namespace

VectorLevel accumulateGramModulus(const GramColumns& columns, std::uint64_t firstRow, std::uint64_t endRow,
                                  double scale, std::span<double> accumulator) {
    assert(columns.stride % kGramColumnPadding == 0 && columns.stride >= columns.count);
    assert(columns.re.size() >= columns.microphoneCount * columns.stride);
    assert(columns.im.size() >= columns.microphoneCount * columns.stride);
    assert(firstRow <= endRow && endRow <= columns.count);
    assert(accumulator.size() >= endRow * columns.stride);
    const Columns c{columns.re.data(), columns.im.data(), columns.microphoneCount, columns.stride};
    switch (vectorLevel()) {
#ifdef ZK_DISPATCH_KERNELS
        case VectorLevel::kAvx512:
            rowsAvx512(c, firstRow, endRow, scale, accumulator.data());
            return VectorLevel::kAvx512;
        case VectorLevel::kAvx2:
            rowsAvx2(c, firstRow, endRow, scale, accumulator.data());
            return VectorLevel::kAvx2;
#endif
        default:
            rowsBaseline(c, firstRow, endRow, scale, accumulator.data());
            return VectorLevel::kBaseline;
    }
}

}  // namespace zk::core::detail
