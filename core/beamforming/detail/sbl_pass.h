#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "core/beamforming/render_cancel.h"

namespace zk::core::detail {

// Storage of the SBL passes, made once per solve for n points and reused: at most 2 n^2 doubles.
struct SblWorkspace {
    explicit SblWorkspace(std::size_t n);
    std::size_t n;
    std::unique_ptr<double[]> columns;  // X = P_S Gamma_S^(1/2), n x |S| column-major, then L^-1 X
    std::unique_ptr<double[]> factor;   // C = X X^T + loading I (lower triangle), then its Cholesky factor L
};

// The linear algebra of one SBL pass over the active set S (ascending point indices), in real arithmetic
// through C = L L^T: with x_p = sqrt(gamma_k) P[:, k] for k = S[p],
//   projected[p] = x_p^T C^-1 y      (so mu_k = sqrt(gamma_k) projected[p]),
//   quadratic[p] = x_p^T C^-1 x_p    (= gamma_k s_k, so Sigma_kk = gamma_k - gamma_k quadratic[p]).
// C gets sigma2 + 1e-10 trace(C) / n on its diagonal first. Returns false, leaving the outputs undefined,
// when C is not positive definite or a result is not finite. Polls `cancel` between blocks and throws
// its error. Runs on beamformerThreadCount() OpenMP threads.
bool sblPass(std::span<const double> pointSpread, std::span<const double> y, std::span<const double> gamma,
             std::span<const std::size_t> active, double sigma2, SblWorkspace& work, const CancelPoll& cancel,
             std::vector<double>& projected, std::vector<double>& quadratic);

}  // namespace zk::core::detail
