#include "core/beamforming/detail/sbl_pass.h"

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/detail/dense_kernels.h"

namespace zk::core::detail {
namespace {

using Index = DenseIndex;

// Tiles large enough for the product kernels, small enough to share out over four threads at n ~ 400.
constexpr std::size_t kTile = 128;
// Rows of P gathered per task.
constexpr std::size_t kGatherRows = 64;

std::size_t tileCount(std::size_t n) { return (n + kTile - 1) / kTile; }
std::size_t tileStart(std::size_t t) { return t * kTile; }
std::size_t tileSize(std::size_t t, std::size_t n) { return std::min(kTile, n - t * kTile); }

// Runs body(task) for every task on the team, skipping the rest once cancel is requested; throws the
// cancellation after the team has joined. body must not throw (the dense kernels run inside).
template <typename Body>
void forEachTask(std::size_t count, const CancelPoll& cancel, Body&& body) {
    std::atomic<bool> cancelled{false};  // set by any team thread that saw the request; read by all
    const auto tasks = static_cast<std::int64_t>(count);
#pragma omp parallel for num_threads(beamformerThreadCount()) schedule(dynamic, 1)
    for (std::int64_t task = 0; task < tasks; ++task) {
        if (cancelled.load(std::memory_order_relaxed)) continue;
        if (cancel.requested()) {
            cancelled.store(true, std::memory_order_relaxed);
            continue;
        }
        body(static_cast<std::size_t>(task));
    }
    if (cancelled.load()) throwCancelled();
}

// Lower-triangle tiles (row tile >= column tile) of an nt x nt tiling, numbered row by row.
std::pair<std::size_t, std::size_t> lowerTile(std::size_t index) {
    std::size_t row = 0;
    while ((row + 1) * (row + 2) / 2 <= index) ++row;
    return {row, index - row * (row + 1) / 2};
}

Index idx(std::size_t v) { return static_cast<Index>(v); }

// G = P_S^T P_S (lower triangle) into work.gram, for T = S. A = P_S^T (s x n) is P's memory read
// column-major when every point is active, else its rows S gathered into work.factor.
void formGram(std::span<const double> pointSpread, std::span<const std::size_t> active, SblWorkspace& work,
              const DenseKernels& kernels, const CancelPoll& cancel) {
    const std::size_t n = work.n;
    const std::size_t s = active.size();
    const double* a = pointSpread.data();
    if (s < n) {
        forEachTask((n + kGatherRows - 1) / kGatherRows, cancel, [&](std::size_t chunk) {
            const std::size_t end = std::min(chunk * kGatherRows + kGatherRows, n);
            for (std::size_t c = chunk * kGatherRows; c < end; ++c) {
                const double* row = pointSpread.data() + c * n;
                double* out = work.factor.get() + c * s;
                for (std::size_t p = 0; p < s; ++p) out[p] = row[active[p]];
            }
        });
        a = work.factor.get();
    }
    const std::size_t nt = tileCount(s);
    forEachTask(nt * (nt + 1) / 2, cancel, [&](std::size_t index) {
        const auto [row, col] = lowerTile(index);
        const std::size_t r0 = tileStart(row), c0 = tileStart(col);
        kernels.productTransposed(idx(tileSize(row, s)), idx(tileSize(col, s)), idx(n), a + r0, idx(s),
                                  a + c0, idx(s), work.gram.get() + c0 * s + r0, idx(s));
    });
    work.gramPoints.assign(active.begin(), active.end());
}

// Positions of `active` in `points` (both ascending); false when one is missing.
bool locate(std::span<const std::size_t> points, std::span<const std::size_t> active,
            std::vector<std::size_t>& at) {
    at.resize(active.size());
    std::size_t j = 0;
    for (std::size_t p = 0; p < active.size(); ++p) {
        while (j < points.size() && points[j] < active[p]) ++j;
        if (j == points.size() || points[j] != active[p]) return false;
        at[p] = j;
    }
    return true;
}

// Right-looking blocked Cholesky of the s x s lower triangle at k: factor a diagonal tile, solve the panel
// below it, update the rest.
bool factorize(double* k, std::size_t s, const DenseKernels& kernels, const CancelPoll& cancel) {
    const std::size_t nt = tileCount(s);
    const Index ld = idx(s);
    auto at = [&](std::size_t row, std::size_t col) { return k + col * s + row; };
    for (std::size_t t = 0; t < nt; ++t) {
        cancel.throwIfRequested();
        const std::size_t k0 = tileStart(t), kn = tileSize(t, s);
        if (!kernels.cholesky(idx(kn), at(k0, k0), ld)) return false;
        const std::size_t below = nt - t - 1;
        if (below == 0) break;
        forEachTask(below, cancel, [&](std::size_t i) {
            const std::size_t row = t + 1 + i;
            kernels.solveRightTransposed(idx(kn), at(k0, k0), ld, idx(tileSize(row, s)),
                                         at(tileStart(row), k0), ld);
        });
        forEachTask(below * (below + 1) / 2, cancel, [&](std::size_t index) {
            const auto [r, q] = lowerTile(index);
            const std::size_t r0 = tileStart(t + 1 + r), q0 = tileStart(t + 1 + q);
            kernels.subtractProductTransposed(idx(tileSize(t + 1 + r, s)), idx(tileSize(t + 1 + q, s)),
                                              idx(kn), at(r0, k0), ld, at(q0, k0), ld, at(r0, q0), ld);
        });
    }
    return true;
}

// The lower triangle L at k becomes L^-1, a column block at a time from the last: with the trailing part
// already inverted, the block below the diagonal becomes -(L22^-1 L21) L11^-1, then L11 its inverse.
void invertFactor(double* k, std::size_t s, double* panel, const DenseKernels& kernels,
                  const CancelPoll& cancel) {
    const std::size_t nt = tileCount(s);
    const Index ld = idx(s);
    auto at = [&](std::size_t row, std::size_t col) { return k + col * s + row; };
    for (std::size_t t = nt; t-- > 0;) {
        cancel.throwIfRequested();
        const std::size_t k0 = tileStart(t), kn = tileSize(t, s);
        const std::size_t b0 = k0 + kn, h = s - b0;
        if (h > 0) {
            for (std::size_t c = 0; c < kn; ++c)
                std::memcpy(panel + c * h, at(b0, k0 + c), h * sizeof(double));
            forEachTask(nt - t - 1, cancel, [&](std::size_t i) {
                const std::size_t row = t + 1 + i;
                const std::size_t r0 = tileStart(row), rn = tileSize(row, s);
                double* out = at(r0, k0);
                for (std::size_t c = 0; c < kn; ++c) std::fill_n(out + c * s, rn, 0.0);
                if (r0 > b0) {
                    kernels.subtractProduct(idx(rn), idx(kn), idx(r0 - b0), at(r0, b0), ld, panel, idx(h),
                                            out, ld);
                }
                kernels.subtractLowerProduct(idx(rn), idx(kn), at(r0, r0), ld, panel + (r0 - b0), idx(h), out,
                                             ld);
                kernels.solveRight(idx(kn), at(k0, k0), ld, idx(rn), out, ld);
            });
        }
        kernels.invertLower(idx(kn), at(k0, k0), ld);
    }
}

}  // namespace

SblWorkspace::SblWorkspace(std::size_t points)
    : n(points),
      gram(std::make_unique_for_overwrite<double[]>(points * points)),
      factor(std::make_unique_for_overwrite<double[]>(points * points)),
      panel(std::make_unique_for_overwrite<double[]>(points * kTile)) {}

bool sblPass(std::span<const double> pointSpread, std::span<const double> pointSpreadTy,
             std::span<const double> gamma, std::span<const std::size_t> active, double sigma2,
             SblWorkspace& work, const CancelPoll& cancel, std::vector<double>& projected,
             std::vector<double>& retained) {
    const DenseKernels& kernels = denseKernels();
    const std::size_t s = active.size();
    std::vector<std::size_t> at;
    if (!locate(work.gramPoints, active, at)) {
        formGram(pointSpread, active, work, kernels, cancel);
        locate(work.gramPoints, active, at);
    }
    const std::size_t g = work.gramPoints.size();
    const double* gram = work.gram.get();

    // K = Gamma^(1/2) G_SS Gamma^(1/2) + loading I, lower triangle; trace(X X^T) = trace(X^T X).
    std::vector<double> scale(s);
    double trace = 0.0;
    for (std::size_t p = 0; p < s; ++p) {
        scale[p] = std::sqrt(gamma[active[p]]);
        trace += gamma[active[p]] * gram[at[p] * g + at[p]];
    }
    const double loading = sigma2 + 1e-10 * trace / static_cast<double>(work.n);
    double* k = work.factor.get();
    forEachTask(tileCount(s), cancel, [&](std::size_t t) {
        for (std::size_t q = tileStart(t); q < tileStart(t) + tileSize(t, s); ++q) {
            const double* column = gram + at[q] * g;
            double* out = k + q * s;
            for (std::size_t p = q; p < s; ++p) out[p] = scale[p] * scale[q] * column[at[p]];
            out[q] += loading;
        }
    });
    if (!factorize(k, s, kernels, cancel)) return false;

    projected.resize(s);
    for (std::size_t p = 0; p < s; ++p) projected[p] = scale[p] * pointSpreadTy[active[p]];
    kernels.solveFactored(idx(s), k, idx(s), projected.data());

    // diag(K^-1) = squared column norms of L^-1.
    invertFactor(k, s, work.panel.get(), kernels, cancel);
    retained.resize(s);
    forEachTask(tileCount(s), cancel, [&](std::size_t t) {
        for (std::size_t p = tileStart(t); p < tileStart(t) + tileSize(t, s); ++p) {
            const double* column = k + p * s;
            double sum = 0.0;
            for (std::size_t i = p; i < s; ++i) sum += column[i] * column[i];
            retained[p] = loading * sum;
        }
    });
    for (std::size_t p = 0; p < s; ++p) {
        if (!std::isfinite(projected[p]) || !std::isfinite(retained[p])) return false;
    }
    return true;
}

}  // namespace zk::core::detail
