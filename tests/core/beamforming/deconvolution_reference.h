#pragma once

// The deconvolution maps written out step by step in double precision, independent of the code under test:
// the coarse grid, the point-spread matrix and the delay-and-sum data from the pinhole steering model
// (rounded to single precision, as the steering tables hold it), the five solvers in their plain form, and
// the bilinear spread over the full grid.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "steering_test_model.h"

namespace zk::core::reference {

using Vec = std::vector<double>;
using Lines = std::vector<std::uint64_t>;

inline constexpr double kEpsilon = 2.220446049250313e-16;  // 2^-52

inline double norm2(const Vec& v) {
    double s = 0.0;
    for (double x : v) s += x * x;
    return std::sqrt(s);
}

inline double distance(const Vec& a, const Vec& b) {
    double s = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) s += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(s);
}

// 0, s, 2s, ... below count, then count - 1.
inline Lines sampledLines(std::uint64_t count, std::uint32_t stride) {
    Lines lines;
    for (std::uint64_t v = 0; v < count; v += stride) lines.push_back(v);
    if (lines.back() != count - 1) lines.push_back(count - 1);
    return lines;
}

// The coarse grid of a camera grid: for each sampled column, each sampled row.
struct Coarse {
    Lines rows, columns;
    std::vector<std::uint64_t> points;
    Coarse(const testmodel::Grid& grid, std::uint32_t stride)
        : rows(sampledLines(grid.rows(), stride)), columns(sampledLines(grid.columns(), stride)) {
        for (std::uint64_t c : columns)
            for (std::uint64_t r : rows) points.push_back(grid.cell(r, c));
    }
};

// Steering of every coarse point in every bin, each term rounded to single precision part by part.
inline std::vector<std::vector<testmodel::Vec>> floatSteering(const std::vector<MicrophonePosition>& mics,
                                                              const testmodel::Grid& grid,
                                                              const std::vector<double>& freqs,
                                                              const std::vector<std::uint64_t>& points) {
    std::vector<std::vector<testmodel::Vec>> out(freqs.size());
    for (std::size_t k = 0; k < freqs.size(); ++k) {
        for (std::uint64_t point : points) {
            testmodel::Vec a = testmodel::steering(mics, testmodel::kSoundSpeed, grid, point, freqs[k]);
            for (auto& e : a) e = {static_cast<float>(e.real()), static_cast<float>(e.imag())};
            out[k].push_back(std::move(a));
        }
    }
    return out;
}

// P[j][i] = mean over the bins of |a_j^H a_i / M|^2, each column divided by its diagonal above 2^-52.
inline Vec pointSpread(const std::vector<std::vector<testmodel::Vec>>& steering) {
    const std::size_t n = steering.front().size();
    const std::size_t m = steering.front().front().size();
    Vec p(n * n, 0.0);
    for (const auto& bin : steering) {
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j <= i; ++j) {
                std::complex<double> g = 0.0;
                for (std::size_t q = 0; q < m; ++q) g += std::conj(bin[j][q]) * bin[i][q];
                const double v = std::norm(g / static_cast<double>(m)) / static_cast<double>(steering.size());
                p[j * n + i] += v;
                if (j != i) p[i * n + j] += v;
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const double d = p[i * n + i];
        if (d > kEpsilon)
            for (std::size_t j = 0; j < n; ++j) p[j * n + i] /= d;
    }
    return p;
}

// Delay-and-sum power without diagonal removal, Q = sum of Re R_kk + 2 Re sum over k < l of
// conj(a_k) R_kl a_l, over M^2, clamped per bin and summed; then scaled to a largest value of 1.
inline Vec dasData(const std::vector<MatrixRows>& matrices,
                   const std::vector<std::vector<testmodel::Vec>>& steering) {
    const std::size_t n = steering.front().size();
    Vec b(n, 0.0);
    for (std::size_t k = 0; k < matrices.size(); ++k) {
        const MatrixRows& r = matrices[k];
        const std::size_t m = r.size();
        for (std::size_t i = 0; i < n; ++i) {
            const testmodel::Vec& a = steering[k][i];
            double q = 0.0;
            for (std::size_t x = 0; x < m; ++x) {
                q += r[x][x].real();
                for (std::size_t y = x + 1; y < m; ++y) q += 2.0 * (std::conj(a[x]) * r[x][y] * a[y]).real();
            }
            b[i] += std::max(q / static_cast<double>(m * m), 0.0);
        }
    }
    const double peak = *std::max_element(b.begin(), b.end());
    if (peak > 0.0)
        for (double& v : b) v /= peak;
    return b;
}

// The sparse-array SBL case: one source at 6.1 / 3.3 degrees with 0.05 of noise on the diagonal in the bins
// of 2000 and 2093.75 Hz, the bin of 2046.875 Hz between them all zero; far field.
inline const std::vector<double> kSpiralCaseFrequencies = {2000.0, 2046.875, 2093.75};

inline std::vector<MatrixRows> spiralCaseMatrices(const std::vector<MicrophonePosition>& mics) {
    std::vector<MatrixRows> matrices;
    for (const double f : kSpiralCaseFrequencies) {
        MatrixRows r = testmodel::zeroMatrix(mics.size());
        if (f != 2046.875) {
            testmodel::addSource(r, testmodel::steeringToward(mics, testmodel::kSoundSpeed, 6.1, 3.3, f),
                                 1.0);
            testmodel::addNoise(r, 0.05);
        }
        matrices.push_back(std::move(r));
    }
    return matrices;
}

inline Vec times(const Vec& p, const Vec& x) {
    const std::size_t n = x.size();
    Vec out(n, 0.0);
    for (std::size_t j = 0; j < n; ++j)
        for (std::size_t i = 0; i < n; ++i) out[j] += p[j * n + i] * x[i];
    return out;
}

inline Vec transposedTimes(const Vec& p, const Vec& x) {
    const std::size_t n = x.size();
    Vec out(n, 0.0);
    for (std::size_t j = 0; j < n; ++j)
        for (std::size_t i = 0; i < n; ++i) out[i] += p[j * n + i] * x[j];
    return out;
}

inline Vec damas(const Vec& p, const Vec& b, std::uint32_t sweeps, double w) {
    const std::size_t n = b.size();
    Vec x(n, 0.0);
    for (std::uint32_t s = 0; s < sweeps; ++s) {
        for (std::size_t i = 0; i < n; ++i) {
            double sum = 0.0;
            for (std::size_t j = 0; j < n; ++j) sum += p[i * n + j] * x[j];
            const double u = (x[i] * p[i * n + i] + b[i] - sum) / std::max(p[i * n + i], kEpsilon);
            const double next = w * std::max(u, 0.0) + (1.0 - w) * x[i];
            x[i] = std::isfinite(next) && next >= 0.0 ? next : 0.0;
        }
    }
    return x;
}

// Largest eigenvalue of P^T P by twelve power-iteration steps from the uniform vector.
inline double lipschitz(const Vec& p, std::size_t n) {
    Vec v(n, 1.0 / std::sqrt(static_cast<double>(n)));
    for (int step = 0; step < 12; ++step) {
        const Vec z = transposedTimes(p, times(p, v));
        const double size = norm2(z);
        if (size <= kEpsilon) return 1.0;
        for (std::size_t i = 0; i < n; ++i) v[i] = z[i] / size;
    }
    const double pv = norm2(times(p, v));
    return std::max(pv * pv, kEpsilon);
}

// DAMAS-FISTA (accelerated, lambdaRel 0), NNLS (not accelerated) and Sparse-FISTA.
inline Vec projectedGradient(const Vec& p, const Vec& b, std::uint32_t iterations, double tolerance,
                             double lambdaRel, bool accelerated) {
    const std::size_t n = b.size();
    const double l = lipschitz(p, n);
    const Vec ptb = transposedTimes(p, b);
    const double lambda = lambdaRel * std::max(0.0, *std::max_element(ptb.begin(), ptb.end()));
    Vec x(n, 0.0), y(n, 0.0);
    double t = 1.0;
    for (std::uint32_t it = 0; it < iterations; ++it) {
        const Vec old = x;
        const Vec& at = accelerated ? y : x;
        Vec r = times(p, at);
        for (std::size_t i = 0; i < n; ++i) r[i] -= b[i];
        const Vec g = transposedTimes(p, r);
        for (std::size_t i = 0; i < n; ++i) x[i] = std::max(0.0, at[i] - g[i] / l - lambda / l);
        const double tNew = (1.0 + std::sqrt(1.0 + 4.0 * t * t)) / 2.0;
        if (accelerated)
            for (std::size_t i = 0; i < n; ++i) y[i] = x[i] + ((t - 1.0) / tNew) * (x[i] - old[i]);
        if (distance(x, old) <= tolerance * std::max(1e-9, norm2(old))) break;
        t = tNew;
    }
    return x;
}

// The passes of sparse Bayesian learning written out step by step: C = P_S Gamma_S P_S^T formed whole,
// loaded, inverted by Gauss-Jordan elimination, then q = Ci y and D = Ci P_S.
inline Vec sbl(const Vec& p, const Vec& b, std::uint32_t iterations, double noiseRel, double pruneRel) {
    const std::size_t n = b.size();
    const double ymax = *std::max_element(b.begin(), b.end());
    Vec y(n), gamma(n), mu(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) y[i] = std::max(b[i], 0.0) / ymax;
    const Vec pty = transposedTimes(p, y);
    for (std::size_t i = 0; i < n; ++i) gamma[i] = std::max(1e-6, pty[i] * pty[i]);
    double sigma2 = std::max(1e-8, norm2(y) * norm2(y) / static_cast<double>(n) * noiseRel);
    for (std::uint32_t pass = 0; pass < iterations; ++pass) {
        const double gmax = *std::max_element(gamma.begin(), gamma.end());
        std::vector<std::size_t> s;
        for (std::size_t i = 0; i < n; ++i)
            if (gamma[i] > gmax * pruneRel) s.push_back(i);
        if (s.empty()) break;
        Vec c(n * n, 0.0);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j)
                for (std::size_t k : s) c[i * n + j] += p[i * n + k] * gamma[k] * p[j * n + k];
        double trace = 0.0;
        for (std::size_t i = 0; i < n; ++i) trace += c[i * n + i];
        for (std::size_t i = 0; i < n; ++i) c[i * n + i] += sigma2 + 1e-10 * trace / static_cast<double>(n);
        Vec ci(n * n, 0.0);
        for (std::size_t i = 0; i < n; ++i) ci[i * n + i] = 1.0;
        for (std::size_t col = 0; col < n; ++col) {
            const double pivot = c[col * n + col];
            for (std::size_t j = 0; j < n; ++j) {
                c[col * n + j] /= pivot;
                ci[col * n + j] /= pivot;
            }
            for (std::size_t row = 0; row < n; ++row) {
                const double f = c[row * n + col];
                if (row == col || f == 0.0) continue;
                for (std::size_t j = 0; j < n; ++j) {
                    c[row * n + j] -= f * c[col * n + j];
                    ci[row * n + j] -= f * ci[col * n + j];
                }
            }
        }
        const Vec q = times(ci, y);
        const Vec gammaOld = gamma;
        Vec muNext(n, 0.0), gammaNext(n, 0.0);
        for (std::size_t k : s) {
            double ptq = 0.0, sk = 0.0;
            for (std::size_t i = 0; i < n; ++i) {
                ptq += p[i * n + k] * q[i];
                double d = 0.0;  // D[i][k] = (Ci P_S)[i][k]
                for (std::size_t l = 0; l < n; ++l) d += ci[i * n + l] * p[l * n + k];
                sk += p[i * n + k] * d;
            }
            muNext[k] = gamma[k] * ptq;
            const double sigmaKk = gamma[k] - gamma[k] * gamma[k] * sk;
            gammaNext[k] = std::max(1e-12, muNext[k] * muNext[k] + std::max(0.0, sigmaKk));
        }
        mu = muNext;
        gamma = gammaNext;
        Vec r = y;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t k : s) r[i] -= p[i * n + k] * mu[k];
        if (distance(gamma, gammaOld) <= 0.001 * std::max(1e-9, norm2(gammaOld))) break;
        sigma2 = std::max(1e-10, norm2(r) * norm2(r) / static_cast<double>(n) * noiseRel);
    }
    Vec x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = std::abs(mu[i]);
    const double xmax = *std::max_element(x.begin(), x.end());
    if (xmax > 0.0)
        for (double& v : x) v /= xmax;
    return x;
}

// The coarse solution (column-major over the sampled lines) spread bilinearly over the full grid,
// row-major, clamped at 0.
inline Vec spread(const Vec& x, const Coarse& coarse, const testmodel::Grid& grid) {
    auto segment = [](const Lines& lines, std::uint64_t line) {
        std::size_t s = 0;
        while (s + 2 < lines.size() && line > lines[s + 1]) ++s;
        const double a = static_cast<double>(lines[s]), b = static_cast<double>(lines[s + 1]);
        return std::pair{s, (static_cast<double>(line) - a) / (b - a)};
    };
    const std::size_t nr = coarse.rows.size();
    Vec out(grid.cells());
    for (std::uint64_t r = 0; r < grid.rows(); ++r) {
        const auto [rs, tr] = segment(coarse.rows, r);
        for (std::uint64_t c = 0; c < grid.columns(); ++c) {
            const auto [cs, tc] = segment(coarse.columns, c);
            const double aa = x[cs * nr + rs], ba = x[cs * nr + rs + 1];
            const double ab = x[(cs + 1) * nr + rs], bb = x[(cs + 1) * nr + rs + 1];
            const double left = aa + tr * (ba - aa), right = ab + tr * (bb - ab);
            out[grid.cell(r, c)] = std::max(0.0, left + tc * (right - left));
        }
    }
    return out;
}

}  // namespace zk::core::reference
