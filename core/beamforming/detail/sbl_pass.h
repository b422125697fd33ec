#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "core/beamforming/render_cancel.h"

namespace zk::core::detail {

// Storage of the SBL passes, made once per solve for n points and reused: about 2 n^2 + 128 n
// doubles per thread.
struct SblWorkspace {
    explicit SblWorkspace(std::size_t n);
    std::size_t n;
    // G = P_T^T P_T over the points T of the first pass (lower triangle, |T| x |T|): later passes keep a
    // subset of T, so their Gram matrices are parts of this one.
    std::unique_ptr<double[]> gram;
    std::vector<std::size_t> gramPoints;  // T, ascending; empty until the first pass
    // Rows T of P^T while G is formed; then K = loading I + X^T X (|S| x |S|) and its Cholesky factor L.
    std::unique_ptr<double[]> factor;
    std::unique_ptr<double[]> panel;  // a row block of L^-1 per team thread (128 x n each)
    std::size_t panelCount = 0;       // blocks allocated in panel
    std::unique_ptr<double[]> sums;   // squared column norms of each row block of L^-1
    std::vector<double> columnNorms;  // |P[:, k]|^2 per point; empty until the first pass
    bool straight = false;            // whether the last pass took the straight form
};

// The linear algebra of one SBL pass over the active set S (ascending point indices), with X = P_S
// Gamma_S^(1/2), C = loading I + X X^T, loading = sigma2 + 1e-10 trace(C) / n and x_p = sqrt(gamma_k)
// P[:, k] for k = S[p]:
//   projected[p] = x_p^T C^-1 y       (so mu_k = sqrt(gamma_k) projected[p]),
//   retained[p] = 1 - x_p^T C^-1 x_p  (so Sigma_kk = gamma_k retained[p]).
// While trace(C) / loading allows, in the Woodbury form: X^T C^-1 = K^-1 X^T with K = loading I + X^T X
// (|S| x |S| instead of n x n), projected = K^-1 X^T y and retained[p] = loading (K^-1)_pp, the second
// without the cancellation of 1 - x^T C^-1 x. Beyond it, when K's rounding would show, through C itself.
// data is y, pointSpreadTy is P^T y. Returns false, leaving the outputs undefined, when K (or C) is not
// positive definite or a result is not finite. Polls `cancel` between blocks and throws its error. Runs on
// beamformerThreadCount() OpenMP threads; the results do not depend on their number.
bool sblPass(std::span<const double> pointSpread, std::span<const double> data,
             std::span<const double> pointSpreadTy, std::span<const double> gamma,
             std::span<const std::size_t> active, double sigma2, SblWorkspace& work, const CancelPoll& cancel,
             std::vector<double>& projected, std::vector<double>& retained);

}  // namespace zk::core::detail
