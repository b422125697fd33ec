#pragma once

#include <cstdint>
#include <span>

#include "core/platform/cpu_features.h"

namespace zk::core::detail {

// Columns of the Gram kernel are handled in vectors of up to this many; strides must be multiples of it.
inline constexpr std::uint64_t kGramColumnPadding = 16;

// One bin's steering vectors a_0 .. a_{n-1} in double precision, microphone-major: entry m of a_j at
// re[m * stride + j], im[m * stride + j], zero from n up to the stride (a multiple of kGramColumnPadding).
struct GramColumns {
    std::span<const double> re;
    std::span<const double> im;
    std::uint64_t microphoneCount = 0;
    std::uint64_t count = 0;
    std::uint64_t stride = 0;
};

// For every row i in [firstRow, endRow) and every j <= i, adds |sum over m of conj(a_j[m]) a_i[m] * scale|^2
// to accumulator[i * stride + j]. Entries j > i of those rows, up to the next multiple of
// kGramColumnPadding, may be added to as well; the caller reads only j <= i. Returns the vector level of the
// variant that ran.
VectorLevel accumulateGramModulus(const GramColumns& columns, std::uint64_t firstRow, std::uint64_t endRow,
                                  double scale, std::span<double> accumulator);

}  // namespace zk::core::detail
