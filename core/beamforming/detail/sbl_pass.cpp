#include "core/beamforming/detail/sbl_pass.h"

#include <omp.h>

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/beamforming/beamformer.h"
#include "core/detail/parallel_for.h"

namespace zk::core::detail {
namespace {

using Matrix = Eigen::Map<Eigen::MatrixXd>;

// Tiles large enough for Eigen's product kernels, small enough to share out over four threads at n ~ 400.
constexpr std::size_t kTile = 128;
// Columns per triangular solve: n^2 x 32 multiply-adds stay within a cancel's wait at n ~ 3200.
constexpr std::size_t kSolveColumns = 32;
// Rows gathered together, so that each column write fills whole cache lines.
constexpr std::size_t kGatherRows = 8;

std::size_t tileCount(std::size_t n) { return (n + kTile - 1) / kTile; }
std::size_t tileStart(std::size_t t) { return t * kTile; }
std::size_t tileSize(std::size_t t, std::size_t n) { return std::min(kTile, n - t * kTile); }

// Runs body(task) for every task on the team, skipping the rest once cancel is requested; throws the
// cancellation after the team has joined. body must not throw (Eigen's products run inside).
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

}  // namespace

SblWorkspace::SblWorkspace(std::size_t points)
    : n(points),
      columns(std::make_unique_for_overwrite<double[]>(points * points)),
      factor(std::make_unique_for_overwrite<double[]>(points * points)) {}

bool sblPass(std::span<const double> pointSpread, std::span<const double> y, std::span<const double> gamma,
             std::span<const std::size_t> active, double sigma2, SblWorkspace& work, const CancelPoll& cancel,
             std::vector<double>& projected, std::vector<double>& quadratic) {
    const std::size_t n = work.n;
    const std::size_t s = active.size();
    const auto ni = static_cast<Eigen::Index>(n);
    Matrix x(work.columns.get(), ni, static_cast<Eigen::Index>(s));
    Matrix c(work.factor.get(), ni, ni);

    std::vector<double> scale(s);
    for (std::size_t p = 0; p < s; ++p) scale[p] = std::sqrt(gamma[active[p]]);
    forEachTask((n + kGatherRows - 1) / kGatherRows, cancel, [&](std::size_t chunk) {
        const std::size_t first = chunk * kGatherRows;
        const std::size_t end = std::min(first + kGatherRows, n);
        for (std::size_t p = 0; p < s; ++p) {
            double* out = work.columns.get() + p * n;
            for (std::size_t i = first; i < end; ++i) out[i] = pointSpread[i * n + active[p]] * scale[p];
        }
    });

    // C = X X^T, lower triangle only.
    const std::size_t nt = tileCount(n);
    forEachTask(nt * (nt + 1) / 2, cancel, [&](std::size_t index) {
        const auto [row, col] = lowerTile(index);
        const auto r0 = static_cast<Eigen::Index>(tileStart(row)),
                   rn = static_cast<Eigen::Index>(tileSize(row, n));
        const auto c0 = static_cast<Eigen::Index>(tileStart(col)),
                   cn = static_cast<Eigen::Index>(tileSize(col, n));
        c.block(r0, c0, rn, cn).noalias() = x.middleRows(r0, rn) * x.middleRows(c0, cn).transpose();
    });
    const double trace = c.diagonal().sum();
    c.diagonal().array() += sigma2 + 1e-10 * trace / static_cast<double>(n);

    // Right-looking blocked Cholesky: factor a diagonal tile, solve the panel below it, update the rest.
    for (std::size_t k = 0; k < nt; ++k) {
        cancel.throwIfRequested();
        const auto k0 = static_cast<Eigen::Index>(tileStart(k)),
                   kn = static_cast<Eigen::Index>(tileSize(k, n));
        Eigen::Ref<Eigen::MatrixXd> diagonal = c.block(k0, k0, kn, kn);
        const Eigen::LLT<Eigen::Ref<Eigen::MatrixXd>> llt(diagonal);
        if (llt.info() != Eigen::Success) return false;
        const std::size_t below = nt - k - 1;
        if (below == 0) break;
        const auto lkk = c.block(k0, k0, kn, kn).triangularView<Eigen::Lower>();
        forEachTask(below, cancel, [&](std::size_t t) {
            const std::size_t row = k + 1 + t;
            const auto r0 = static_cast<Eigen::Index>(tileStart(row));
            const auto rn = static_cast<Eigen::Index>(tileSize(row, n));
            lkk.transpose().solveInPlace<Eigen::OnTheRight>(c.block(r0, k0, rn, kn));
        });
        forEachTask(below * (below + 1) / 2, cancel, [&](std::size_t index) {
            const auto [r, q] = lowerTile(index);
            const auto r0 = static_cast<Eigen::Index>(tileStart(k + 1 + r));
            const auto rn = static_cast<Eigen::Index>(tileSize(k + 1 + r, n));
            const auto q0 = static_cast<Eigen::Index>(tileStart(k + 1 + q));
            const auto qn = static_cast<Eigen::Index>(tileSize(k + 1 + q, n));
            c.block(r0, q0, rn, qn).noalias() -=
                c.block(r0, k0, rn, kn) * c.block(q0, k0, qn, kn).transpose();
        });
    }

    // X := L^-1 X column block by column block, and z = L^-1 y.
    const auto factor = c.triangularView<Eigen::Lower>();
    forEachTask((s + kSolveColumns - 1) / kSolveColumns, cancel, [&](std::size_t t) {
        const auto p0 = static_cast<Eigen::Index>(t * kSolveColumns);
        const auto pn = static_cast<Eigen::Index>(std::min(kSolveColumns, s - t * kSolveColumns));
        factor.solveInPlace(x.middleCols(p0, pn));
    });
    Eigen::VectorXd z = Eigen::Map<const Eigen::VectorXd>(y.data(), ni);
    factor.solveInPlace(z);

    projected.resize(s);
    quadratic.resize(s);
    for (std::size_t p = 0; p < s; ++p) {
        const auto column = x.col(static_cast<Eigen::Index>(p));
        projected[p] = column.dot(z);
        quadratic[p] = column.squaredNorm();
        if (!std::isfinite(projected[p]) || !std::isfinite(quadratic[p])) return false;
    }
    return true;
}

}  // namespace zk::core::detail
