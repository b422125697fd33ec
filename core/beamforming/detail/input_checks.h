#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "core/signal/matrix_rows.h"

namespace zk::core::detail {

// Same length and equal values in the same order; plain ==, so a NaN never matches.
inline bool sameFrequencies(std::span<const double> a, std::span<const double> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// Exactly m rows of exactly m entries each; every row is checked, since a short later row would be read
// past its end.
inline bool isSquareOf(const MatrixRows& rows, std::uint64_t m) {
    return rows.size() == m &&
           std::all_of(rows.begin(), rows.end(), [m](const auto& row) { return row.size() == m; });
}

}  // namespace zk::core::detail
