#include "core/beamforming/deconvolution_solvers.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/detail/sbl_pass.h"
#include "core/beamforming/render_cancel.h"

namespace zk::core {
namespace {

constexpr double kEpsilon = 2.220446049250313e-16;  // 2^-52

std::size_t checkedSize(std::span<const double> pointSpread, std::span<const double> b) {
    const std::size_t n = b.size();
    if (pointSpread.size() != n * n) {
        throw std::invalid_argument("point-spread matrix does not match data vector");
    }
    return n;
}

// Four partial sums keep the dependency chains short enough for the compiler to vectorise.
double dot(const double* a, const double* b, std::size_t n) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        s0 += a[i] * b[i];
        s1 += a[i + 1] * b[i + 1];
        s2 += a[i + 2] * b[i + 2];
        s3 += a[i + 3] * b[i + 3];
    }
    for (; i < n; ++i) s0 += a[i] * b[i];
    return (s0 + s1) + (s2 + s3);
}

// A solve joins a team twice per iteration. Below n = 1000 a product takes under 0.2 ms on one thread:
// the gain of four is a fraction of the map, while each join waits for every member, which on a machine
// with more runnable threads than cores costs milliseconds (n = 391: 3.4 ms on one thread, 80 ms on a
// forced team of four at load 12 on 8 cores). Smaller products stay on the calling thread.
constexpr std::size_t kParallelEntries = 1000 * 1000;

int productThreads(std::size_t n) { return n * n >= kParallelEntries ? beamformerThreadCount() : 1; }

// out = P v, each thread owning a band of rows: every entry is summed as on one thread.
void multiply(std::span<const double> p, const std::vector<double>& v, std::vector<double>& out) {
    const auto n = static_cast<std::int64_t>(v.size());
#pragma omp parallel for num_threads(productThreads(v.size())) schedule(static)
    for (std::int64_t i = 0; i < n; ++i) {
        out[static_cast<std::size_t>(i)] =
            dot(p.data() + static_cast<std::size_t>(i) * v.size(), v.data(), v.size());
    }
}

// out[first, end) of P^T v, accumulated row by row so that P is read contiguously.
void multiplyTransposedColumns(std::span<const double> p, const std::vector<double>& v, std::size_t first,
                               std::size_t end, std::vector<double>& out) {
    const std::size_t n = v.size();
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(first),
              out.begin() + static_cast<std::ptrdiff_t>(end), 0.0);
    for (std::size_t j = 0; j < n; ++j) {
        const double vj = v[j];
        if (vj == 0.0) continue;
        const double* row = p.data() + j * n;
        double* o = out.data();
        std::size_t i = first;
        for (; i + 4 <= end; i += 4) {
            o[i] += row[i] * vj;
            o[i + 1] += row[i + 1] * vj;
            o[i + 2] += row[i + 2] * vj;
            o[i + 3] += row[i + 3] * vj;
        }
        for (; i < end; ++i) o[i] += row[i] * vj;
    }
}

// out = P^T v, each thread owning a band of columns that starts on a multiple of 8, so every entry
// takes the same sums, in the same order and the same code path, as on one thread.
void multiplyTransposed(std::span<const double> p, const std::vector<double>& v, std::vector<double>& out) {
    const std::size_t n = v.size();
    const int threads = productThreads(n);
    if (threads == 1) {
        multiplyTransposedColumns(p, v, 0, n, out);
        return;
    }
#pragma omp parallel num_threads(threads)
    {
        const auto team = static_cast<std::size_t>(omp_get_num_threads());
        const auto member = static_cast<std::size_t>(omp_get_thread_num());
        const std::size_t band = (n / team + 7) / 8 * 8;
        const std::size_t first = std::min(n, member * band);
        const std::size_t end = member + 1 == team ? n : std::min(n, first + band);
        multiplyTransposedColumns(p, v, first, end, out);
    }
}

double norm(const std::vector<double>& v) { return std::sqrt(dot(v.data(), v.data(), v.size())); }

double distance(const std::vector<double>& a, const std::vector<double>& b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = a[i] - b[i];
        sum += d * d;
    }
    return std::sqrt(sum);
}

bool converged(const std::vector<double>& x, const std::vector<double>& xOld, double tolerance) {
    return distance(x, xOld) <= tolerance * std::max(1e-9, norm(xOld));
}

// Shared body of the projected-gradient solvers: momentum on (FISTA) or off (plain NNLS), with an
// optional L1 shrink applied before the projection.
std::vector<double> projectedGradient(std::span<const double> p, std::span<const double> b,
                                      std::uint32_t iterations, double tolerance, double lambda,
                                      bool accelerated) {
    const std::size_t n = b.size();
    const double lipschitz = lipschitzEstimate(p, n);
    std::vector<double> x(n, 0.0), xOld(n), y(n, 0.0), r(n), g(n);
    double t = 1.0;
    const detail::CancelPoll cancel;
    for (std::uint32_t it = 0; it < iterations; ++it) {
        cancel.entering(detail::RenderLoop::kGradient);
        cancel.throwIfRequested();
        xOld = x;
        const std::vector<double>& point = accelerated ? y : x;
        multiply(p, point, r);
        for (std::size_t i = 0; i < n; ++i) r[i] -= b[i];
        multiplyTransposed(p, r, g);
        for (std::size_t i = 0; i < n; ++i) {
            x[i] = std::max(0.0, point[i] - g[i] / lipschitz - lambda / lipschitz);
        }
        if (accelerated) {
            const double tNew = (1.0 + std::sqrt(1.0 + 4.0 * t * t)) / 2.0;
            const double momentum = (t - 1.0) / tNew;
            for (std::size_t i = 0; i < n; ++i) y[i] = x[i] + momentum * (x[i] - xOld[i]);
            if (converged(x, xOld, tolerance)) break;
            t = tNew;
        } else if (converged(x, xOld, tolerance)) {
            break;
        }
    }
    return x;
}

}  // namespace

double lipschitzEstimate(std::span<const double> pointSpread, std::size_t n) {
    if (n == 0) return 1.0;
    if (pointSpread.size() != n * n) {
        throw std::invalid_argument("point-spread matrix does not match data vector");
    }
    std::vector<double> v(n, 1.0 / std::sqrt(static_cast<double>(n))), w(n), z(n);
    const detail::CancelPoll cancel;
    for (int step = 0; step < 12; ++step) {
        cancel.throwIfRequested();
        multiply(pointSpread, v, w);
        multiplyTransposed(pointSpread, w, z);
        const double zNorm = norm(z);
        if (zNorm <= kEpsilon) return 1.0;
        for (std::size_t i = 0; i < n; ++i) v[i] = z[i] / zNorm;
    }
    multiply(pointSpread, v, w);
    const double pv = norm(w);
    return std::max(pv * pv, kEpsilon);
}

std::vector<double> damasSolve(std::span<const double> pointSpread, std::span<const double> b,
                               std::uint32_t iterations, double relaxation) {
    const std::size_t n = checkedSize(pointSpread, b);
    std::vector<double> x(n, 0.0), floored(n);
    for (std::size_t i = 0; i < n; ++i) floored[i] = std::max(pointSpread[i * n + i], kEpsilon);
    const detail::CancelPoll cancel;
    for (std::uint32_t sweep = 0; sweep < iterations; ++sweep) {
        cancel.entering(detail::RenderLoop::kDamas);
        cancel.throwIfRequested();
        for (std::size_t i = 0; i < n; ++i) {
            const double* row = pointSpread.data() + i * n;
            const double s = dot(row, x.data(), n);
            const double u = (x[i] * row[i] + b[i] - s) / floored[i];
            const double next = relaxation * std::max(u, 0.0) + (1.0 - relaxation) * x[i];
            x[i] = (std::isfinite(next) && next >= 0.0) ? next : 0.0;
        }
    }
    return x;
}

std::vector<double> damasFistaSolve(std::span<const double> pointSpread, std::span<const double> b,
                                    std::uint32_t iterations, double tolerance) {
    checkedSize(pointSpread, b);
    return projectedGradient(pointSpread, b, iterations, tolerance, 0.0, true);
}

std::vector<double> nnlsSolve(std::span<const double> pointSpread, std::span<const double> b,
                              std::uint32_t iterations, double tolerance) {
    checkedSize(pointSpread, b);
    return projectedGradient(pointSpread, b, iterations, tolerance, 0.0, false);
}

std::vector<double> sparseFistaSolve(std::span<const double> pointSpread, std::span<const double> b,
                                     std::uint32_t iterations, double lambdaRel, double tolerance) {
    const std::size_t n = checkedSize(pointSpread, b);
    std::vector<double> bv(b.begin(), b.end()), ptb(n);
    multiplyTransposed(pointSpread, bv, ptb);
    double largest = 0.0;
    for (double v : ptb) largest = std::max(largest, v);
    return projectedGradient(pointSpread, b, iterations, tolerance, lambdaRel * largest, true);
}

std::vector<double> sblSolve(std::span<const double> pointSpread, std::span<const double> b,
                             std::uint32_t iterations, double noiseRel, double pruneRel) {
    const std::size_t n = checkedSize(pointSpread, b);
    if (n == 0) return {};
    double ymax = 0.0;
    for (double v : b) ymax = std::max(ymax, v);
    if (!(ymax > 0.0)) return std::vector<double>(n, 0.0);

    const detail::CancelPoll cancel;
    std::vector<double> y(n), gamma(n), mu(n, 0.0), pty(n);
    for (std::size_t i = 0; i < n; ++i) y[i] = std::max(b[i], 0.0) / ymax;
    multiplyTransposed(pointSpread, y, pty);
    for (std::size_t i = 0; i < n; ++i) gamma[i] = std::max(1e-6, pty[i] * pty[i]);
    double sigma2 = std::max(1e-8, dot(y.data(), y.data(), n) / static_cast<double>(n) * noiseRel);

    std::vector<std::size_t> active;
    std::vector<double> gammaOld, residual(n), projected, retained;
    detail::SblWorkspace work(n);
    std::uint32_t passes = 0;
    while (iterations > 0) {
        cancel.entering(detail::RenderLoop::kSbl);
        cancel.throwIfRequested();
        double gmax = 0.0;
        for (double g : gamma) gmax = std::max(gmax, g);
        active.clear();
        for (std::size_t i = 0; i < n; ++i) {
            if (gamma[i] > gmax * pruneRel) active.push_back(i);
        }
        if (active.empty()) break;
        const std::size_t s = active.size();

        // projected = P_S^T Ci y and retained = 1 - diag(P_S^T Ci P_S), both scaled as sblPass says.
        if (!detail::sblPass(pointSpread, y, pty, gamma, active, sigma2, work, cancel, projected, retained))
            break;
        std::vector<double> muNext(n, 0.0), gammaNext(n, 0.0);
        for (std::size_t pos = 0; pos < s; ++pos) {
            const std::size_t k = active[pos];
            const double gk = gamma[k];
            const double m = std::sqrt(gk) * projected[pos];
            const double sigmaKk = gk * retained[pos];
            muNext[k] = m;
            gammaNext[k] = std::max(1e-12, m * m + std::max(0.0, sigmaKk));
        }
        gammaOld = gamma;
        mu = std::move(muNext);
        gamma = std::move(gammaNext);

        // mu is zero outside S, so P mu is P_S mu_S.
        multiply(pointSpread, mu, residual);
        for (std::size_t i = 0; i < n; ++i) residual[i] = y[i] - residual[i];
        if (distance(gamma, gammaOld) <= 0.001 * std::max(1e-9, norm(gammaOld))) break;
        if (++passes >= iterations) break;
        sigma2 =
            std::max(1e-10, dot(residual.data(), residual.data(), n) / static_cast<double>(n) * noiseRel);
    }

    std::vector<double> x(n);
    double xmax = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = std::max(0.0, std::abs(mu[i]));
        xmax = std::max(xmax, x[i]);
    }
    if (xmax > 0.0) {
        for (double& v : x) v /= xmax;
    }
    return x;
}

}  // namespace zk::core
