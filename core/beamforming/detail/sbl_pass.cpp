#include "core/beamforming/detail/sbl_pass.h"

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/detail/dense_kernels.h"
#include "core/detail/parallel_for.h"

namespace zk::core::detail {
namespace {

using Index = DenseIndex;

// Tiles large enough for the product kernels, small enough to share out over four threads at n ~ 400.
constexpr std::size_t kTile = 128;
// Rows of P gathered per task.
constexpr std::size_t kGatherRows = 64;
// The Woodbury form factors K = loading I + X^T X, whose rounding the loading alone bounds: its results may
// be off by about eps trace(K) / loading, the diagonal of K^-1 most. Above this ratio (eps times it is
// 1e-4) the straight form runs instead.
constexpr double kWoodburyConditionLimit = 4.5e11;

std::size_t tileCount(std::size_t n) { return (n + kTile - 1) / kTile; }
std::size_t tileStart(std::size_t t) { return t * kTile; }
std::size_t tileSize(std::size_t t, std::size_t n) { return std::min(kTile, n - t * kTile); }

// Runs body(task) for every task on the team, skipping the rest once cancel is requested; throws the
// cancellation after the team has joined. body must not throw (the dense kernels run inside).
template <typename Body>
void forEachTask(std::size_t count, const CancelPoll& cancel, Body&& body) {
    TeamCancel teamCancel(cancel);
    const auto tasks = static_cast<std::int64_t>(count);
#pragma omp parallel for num_threads(beamformerThreadCount()) schedule(dynamic, 1)
    for (std::int64_t task = 0; task < tasks; ++task) {
        if (teamCancel.stop()) continue;
        body(static_cast<std::size_t>(task));
    }
    if (teamCancel.raised()) throwCancelled();
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

// Right-looking tiled Cholesky of the s x s lower triangle at k as a task graph: factor a diagonal tile,
// solve the tiles below it, update the rest. Each tile's updates run in step order (its dependence chain),
// so the bits do not depend on the thread count, and no step waits for the whole team.
bool factorize(double* k, std::size_t s, const DenseKernels& kernels, const CancelPoll& cancel) {
    const std::size_t nt = tileCount(s);
    const Index ld = idx(s);
    auto at = [&](std::size_t row, std::size_t col) { return k + tileStart(col) * s + tileStart(row); };
    std::vector<char> tokens(nt * nt);            // one dependence token per tile, never read
    [[maybe_unused]] char* tile = tokens.data();  // named only in depend clauses
    std::atomic<bool> cancelled{false};  // set by a task that saw the request; read by every later task
    std::atomic<bool> failed{false};     // set by a task whose diagonal tile is not positive definite
    auto proceed = [&] {
        if (cancelled.load(std::memory_order_relaxed) || failed.load(std::memory_order_relaxed)) return false;
        if (!cancel.requested()) return true;
        cancelled.store(true, std::memory_order_relaxed);
        return false;
    };
    // The calling thread makes the tasks; made by another thread of the team, they left a block of
    // libgomp's unfreed at exit (LeakSanitizer). The team runs them at the region's closing barrier.
#pragma omp parallel num_threads(beamformerThreadCount())
#pragma omp master
    for (std::size_t t = 0; t < nt; ++t) {
        const Index kn = idx(tileSize(t, s));
#pragma omp task depend(inout : tile[t * nt + t])
        if (proceed() && !kernels.cholesky(kn, at(t, t), ld)) failed.store(true, std::memory_order_relaxed);
        for (std::size_t r = t + 1; r < nt; ++r) {
#pragma omp task depend(in : tile[t * nt + t]) depend(inout : tile[r * nt + t])
            if (proceed()) kernels.solveRightTransposed(kn, at(t, t), ld, idx(tileSize(r, s)), at(r, t), ld);
        }
        for (std::size_t r = t + 1; r < nt; ++r) {
            for (std::size_t q = t + 1; q <= r; ++q) {
#pragma omp task depend(in : tile[r * nt + t], tile[q * nt + t]) depend(inout : tile[r * nt + q])
                if (proceed()) {
                    kernels.subtractProductTransposed(idx(tileSize(r, s)), idx(tileSize(q, s)), kn, at(r, t),
                                                      ld, at(q, t), ld, at(r, q), ld);
                }
            }
        }
    }
    if (cancelled.load()) throwCancelled();
    return !failed.load();
}

// Squared column norms of L^-1 for the factor L at k (s x s). Row block r of L^-1 is the solution X of
// X L = [0 I] over the first r + 1 tiles, independent of the other row blocks; each block's sums land in
// its own row of work.sums and are added up in block order.
void inverseColumnNorms(const double* k, std::size_t s, SblWorkspace& work, const DenseKernels& kernels,
                        const CancelPoll& cancel, std::vector<double>& norms) {
    const std::size_t nt = tileCount(s);
    // One block per thread of the team forEachTask is about to make.
    const auto team = static_cast<std::size_t>(beamformerThreadCount());
    if (work.panelCount < team) {
        work.panel = std::make_unique_for_overwrite<double[]>(team * kTile * work.n);
        work.panelCount = team;
    }
    forEachTask(nt, cancel, [&](std::size_t task) {
        const std::size_t r = nt - 1 - task;  // the largest first
        const std::size_t r0 = tileStart(r), rn = tileSize(r, s), end = r0 + rn;
        double* x = work.panel.get() + static_cast<std::size_t>(omp_get_thread_num()) * kTile * work.n;
        std::fill_n(x, rn * end, 0.0);
        for (std::size_t i = 0; i < rn; ++i) x[(r0 + i) * rn + i] = 1.0;
        kernels.solveRight(idx(end), k, idx(s), idx(rn), x, idx(rn));
        double* sums = work.sums.get() + r * s;
        for (std::size_t p = 0; p < end; ++p) {
            double sum = 0.0;
            for (std::size_t i = 0; i < rn; ++i) sum += x[p * rn + i] * x[p * rn + i];
            sums[p] = sum;
        }
    });
    norms.assign(s, 0.0);
    for (std::size_t r = 0; r < nt; ++r) {
        for (std::size_t p = 0; p < tileStart(r) + tileSize(r, s); ++p) norms[p] += work.sums[r * s + p];
    }
}

bool allFinite(const std::vector<double>& projected, const std::vector<double>& retained) {
    for (std::size_t p = 0; p < projected.size(); ++p) {
        if (!std::isfinite(projected[p]) || !std::isfinite(retained[p])) return false;
    }
    return true;
}

// |P[:, k]|^2 for every point k, each summed over the rows in order.
void columnNorms(std::span<const double> pointSpread, SblWorkspace& work, const CancelPoll& cancel) {
    const std::size_t n = work.n;
    work.columnNorms.assign(n, 0.0);
    forEachTask(tileCount(n), cancel, [&](std::size_t t) {
        double* out = work.columnNorms.data() + tileStart(t);
        for (std::size_t c = 0; c < n; ++c) {
            const double* row = pointSpread.data() + c * n + tileStart(t);
            for (std::size_t k = 0; k < tileSize(t, n); ++k) out[k] += row[k] * row[k];
        }
    });
}

// The straight form over all n points: C = loading I + X X^T with X = P_S Gamma_S^(1/2), its Cholesky factor
// L, then projected[p] = (L^-1 x_p) . (L^-1 y) and retained[p] = 1 - |L^-1 x_p|^2. Every quantity is a form
// x^T C^-1 x' between columns of X and y, which do not reach the directions the loading alone keeps
// positive, so rounding there does not show. X^T overwrites the Gram matrix.
bool straightPass(std::span<const double> pointSpread, std::span<const double> data,
                  std::span<const std::size_t> active, std::span<const double> scale, double loading,
                  SblWorkspace& work, const DenseKernels& kernels, const CancelPoll& cancel,
                  std::vector<double>& projected, std::vector<double>& retained) {
    const std::size_t n = work.n;
    const std::size_t s = active.size();
    double* xt = work.gram.get();  // X^T, s x n
    work.gramPoints.clear();
    forEachTask((n + kGatherRows - 1) / kGatherRows, cancel, [&](std::size_t chunk) {
        const std::size_t end = std::min(chunk * kGatherRows + kGatherRows, n);
        for (std::size_t c = chunk * kGatherRows; c < end; ++c) {
            const double* row = pointSpread.data() + c * n;
            double* out = xt + c * s;
            for (std::size_t p = 0; p < s; ++p) out[p] = scale[p] * row[active[p]];
        }
    });
    double* l = work.factor.get();  // C, then L: n x n, lower triangle
    const std::size_t nt = tileCount(n);
    forEachTask(nt * (nt + 1) / 2, cancel, [&](std::size_t index) {
        const auto [row, col] = lowerTile(index);
        const std::size_t r0 = tileStart(row), c0 = tileStart(col);
        kernels.transposedProduct(idx(tileSize(row, n)), idx(tileSize(col, n)), idx(s), xt + r0 * s, idx(s),
                                  xt + c0 * s, idx(s), l + c0 * n + r0, idx(n));
    });
    for (std::size_t i = 0; i < n; ++i) l[i * n + i] += loading;
    if (!factorize(l, n, kernels, cancel)) return false;

    std::vector<double> z(data.begin(), data.end());  // (L^-1 y)^T = y^T L^-T
    kernels.solveRightTransposed(idx(n), l, idx(n), 1, z.data(), 1);
    projected.assign(s, 0.0);
    retained.assign(s, 0.0);
    // Rows of X^T become (L^-1 x_p)^T, a tile of rows per task, then their products in column order.
    forEachTask(tileCount(s), cancel, [&](std::size_t t) {
        const std::size_t p0 = tileStart(t), pn = tileSize(t, s);
        kernels.solveRightTransposed(idx(n), l, idx(n), idx(pn), xt + p0, idx(s));
        std::vector<double> squares(pn, 0.0);
        for (std::size_t c = 0; c < n; ++c) {
            const double* w = xt + c * s + p0;
            for (std::size_t p = 0; p < pn; ++p) {
                projected[p0 + p] += w[p] * z[c];
                squares[p] += w[p] * w[p];
            }
        }
        for (std::size_t p = 0; p < pn; ++p) retained[p0 + p] = 1.0 - squares[p];
    });
    return allFinite(projected, retained);
}

}  // namespace

SblWorkspace::SblWorkspace(std::size_t points)
    : n(points),
      gram(std::make_unique_for_overwrite<double[]>(points * points)),
      factor(std::make_unique_for_overwrite<double[]>(points * points)),
      sums(std::make_unique_for_overwrite<double[]>(points * tileCount(points))) {}

bool sblPass(std::span<const double> pointSpread, std::span<const double> data,
             std::span<const double> pointSpreadTy, std::span<const double> gamma,
             std::span<const std::size_t> active, double sigma2, SblWorkspace& work, const CancelPoll& cancel,
             std::vector<double>& projected, std::vector<double>& retained) {
    const DenseKernels& kernels = denseKernels();
    const std::size_t s = active.size();
    if (work.columnNorms.empty()) columnNorms(pointSpread, work, cancel);

    // trace(X X^T) = trace(X^T X) = sum over S of gamma_k |P[:, k]|^2.
    std::vector<double> scale(s);
    double trace = 0.0;
    for (std::size_t p = 0; p < s; ++p) {
        scale[p] = std::sqrt(gamma[active[p]]);
        trace += gamma[active[p]] * work.columnNorms[active[p]];
    }
    const double loading = sigma2 + 1e-10 * trace / static_cast<double>(work.n);
    work.straight = !(trace <= kWoodburyConditionLimit * loading);
    if (work.straight) {
        return straightPass(pointSpread, data, active, scale, loading, work, kernels, cancel, projected,
                            retained);
    }

    std::vector<std::size_t> at;
    if (!locate(work.gramPoints, active, at)) {
        formGram(pointSpread, active, work, kernels, cancel);
        locate(work.gramPoints, active, at);
    }
    const std::size_t g = work.gramPoints.size();
    const double* gram = work.gram.get();

    // K = Gamma^(1/2) G_SS Gamma^(1/2) + loading I, lower triangle.
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
    inverseColumnNorms(k, s, work, kernels, cancel, retained);
    for (double& v : retained) v *= loading;
    return allFinite(projected, retained);
}

}  // namespace zk::core::detail
