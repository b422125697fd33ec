#include "core/streaming/detail/hermitian_workspace.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace zk::core::detail {

namespace {

using Complex = std::complex<double>;

// Products spelt out on the parts: std::complex multiplication guards every product against NaN
// with a library call, which keeps the O(M^3) loops from vectorising.
inline Complex times(Complex a, Complex b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}
inline Complex timesConj(Complex a, Complex b) {
    return {a.real() * b.real() + a.imag() * b.imag(), a.imag() * b.real() - a.real() * b.imag()};
}
inline bool isFinite(Complex z) { return std::isfinite(z.real()) && std::isfinite(z.imag()); }

// Rows i and k of a row-major matrix turned by the plane rotation (c, s): row k := s * row i + c *
// row k and row i := c * row i - s * row k, on the real and imaginary parts alike.
void rotateRows(Complex* rowI, Complex* rowK, std::size_t n, double c, double s) {
    double* a = reinterpret_cast<double*>(rowI);
    double* b = reinterpret_cast<double*>(rowK);
    for (std::size_t j = 0; j < 2 * n; ++j) {
        const double f = b[j];
        b[j] = s * a[j] + c * f;
        a[j] = c * a[j] - s * f;
    }
}

}  // namespace

void HermitianWorkspace::reserve(std::size_t M) {
    // resize keeps the capacity, so a later call with the same or a smaller M allocates nothing.
    size_ = M;
    work_.resize(M * M);
    vectors_.resize(M * M);
    column_.resize(M);
    tau_.resize(M);
    eigenvalues_.resize(M);
    offDiagonal_.resize(M);
}

bool HermitianWorkspace::isPositiveDefinite(std::span<const Complex> matrix, std::size_t M) {
    reserve(M);
    Complex* factor = work_.data();
    for (std::size_t j = 0; j < M; ++j) {
        const Complex* rowJ = factor + j * M;
        double pivot = matrix[j * M + j].real();
        for (std::size_t k = 0; k < j; ++k) pivot -= std::norm(rowJ[k]);
        // The negated test also refuses a NaN pivot, which a plain "pivot <= 0" would let through.
        if (!(pivot > 0.0) || !std::isfinite(pivot)) return false;
        const double root = std::sqrt(pivot);
        for (std::size_t i = j + 1; i < M; ++i) {
            Complex* rowI = factor + i * M;
            Complex sum = matrix[i * M + j];
            for (std::size_t k = 0; k < j; ++k) sum -= timesConj(rowI[k], rowJ[k]);
            rowI[j] = sum / root;
            if (!isFinite(rowI[j])) return false;
        }
    }
    return true;
}

bool HermitianWorkspace::decompose(std::span<const Complex> matrix, std::size_t M) {
    reserve(M);
    if (M == 0) return true;
    // Scaled into the unit range first, so that no norm inside the reduction overflows or underflows.
    double scale = 0.0;
    for (std::size_t i = 0; i < M * M; ++i) {
        if (!isFinite(matrix[i])) return false;
        scale = std::max(scale, std::abs(matrix[i]));
    }
    if (scale == 0.0) {
        std::fill(eigenvalues_.begin(), eigenvalues_.end(), 0.0);
        std::fill(vectors_.begin(), vectors_.end(), Complex());
        for (std::size_t k = 0; k < M; ++k) vectors_[k * M + k] = 1.0;
        return true;
    }
    for (std::size_t i = 0; i < M * M; ++i) work_[i] = matrix[i] / scale;

    reduceToTridiagonal();
    accumulateReflectors();
    if (!diagonaliseTridiagonal()) return false;
    sortAscending();
    for (double& value : eigenvalues_) {
        value *= scale;
        if (!std::isfinite(value)) return false;
    }
    return std::all_of(vectors_.begin(), vectors_.end(), isFinite);
}

// Q^H A Q = T with Q = H_0 ... H_{n-2}, H_k = I - tau_k v_k v_k^H acting on indices k+1 .. n-1. Each
// reflector makes the off-diagonal element real, so T is real symmetric. v_k is kept in row k to the
// right of the diagonal (v_k[0] = 1), a part of the matrix no later step reads.
void HermitianWorkspace::reduceToTridiagonal() {
    const std::size_t n = size_;
    Complex* a = work_.data();
    Complex* p = column_.data();
    for (std::size_t k = 0; k + 1 < n; ++k) {
        const std::size_t m = n - k - 1;
        Complex* rowK = a + k * n + k + 1;  // conj of the column below the diagonal
        const Complex alpha = std::conj(rowK[0]);
        double tailNorm2 = 0.0;
        for (std::size_t i = 1; i < m; ++i) tailNorm2 += std::norm(rowK[i]);

        eigenvalues_[k] = a[k * n + k].real();
        if (tailNorm2 == 0.0 && alpha.imag() == 0.0) {
            offDiagonal_[k] = alpha.real();
            tau_[k] = 0.0;
            continue;
        }
        const double beta = -std::copysign(std::sqrt(std::norm(alpha) + tailNorm2), alpha.real());
        const Complex tau((beta - alpha.real()) / beta, -alpha.imag() / beta);
        const Complex inverse = 1.0 / (alpha - beta);
        rowK[0] = 1.0;
        for (std::size_t i = 1; i < m; ++i) rowK[i] = times(std::conj(rowK[i]), inverse);
        offDiagonal_[k] = beta;
        tau_[k] = tau;
        const Complex* v = rowK;

        // B := H^H B H on the trailing block, as B - v w^H - w v^H with p = tau B v and
        // w = p - (conj(tau) v^H p / 2) v.
        Complex* block = a + (k + 1) * n + (k + 1);
        Complex vp;
        for (std::size_t i = 0; i < m; ++i) {
            const Complex* row = block + i * n;
            Complex sum;
            for (std::size_t j = 0; j < m; ++j) sum += times(row[j], v[j]);
            p[i] = times(tau, sum);
            vp += timesConj(p[i], v[i]);
        }
        const Complex half = -0.5 * times(std::conj(tau), vp);
        for (std::size_t i = 0; i < m; ++i) p[i] += times(half, v[i]);
        for (std::size_t i = 0; i < m; ++i) {
            Complex* row = block + i * n;
            const Complex vi = v[i];
            const Complex wi = p[i];
            for (std::size_t j = 0; j < m; ++j) row[j] -= timesConj(vi, p[j]) + timesConj(wi, v[j]);
        }
    }
    eigenvalues_[n - 1] = a[(n - 1) * n + (n - 1)].real();
    offDiagonal_[n - 1] = 0.0;
}

// vectors := Q^T, built as H_0 (H_1 (... H_{n-2})) and transposed, so that the rotations of the QL
// iteration, which act on columns of Q, act on contiguous rows here.
void HermitianWorkspace::accumulateReflectors() {
    const std::size_t n = size_;
    Complex* q = vectors_.data();
    std::fill(vectors_.begin(), vectors_.end(), Complex());
    for (std::size_t k = 0; k < n; ++k) q[k * n + k] = 1.0;
    Complex* u = column_.data();
    for (std::size_t k = n - 1; k-- > 0;) {
        const Complex tau = tau_[k];
        if (tau == Complex()) continue;
        const std::size_t m = n - k - 1;
        const Complex* v = work_.data() + k * n + k + 1;
        Complex* block = q + (k + 1) * n + (k + 1);
        std::fill(u, u + m, Complex());
        for (std::size_t i = 0; i < m; ++i) {
            const Complex* row = block + i * n;
            const Complex vi = std::conj(v[i]);
            for (std::size_t j = 0; j < m; ++j) u[j] += times(vi, row[j]);
        }
        for (std::size_t i = 0; i < m; ++i) {
            Complex* row = block + i * n;
            const Complex scaled = times(tau, v[i]);
            for (std::size_t j = 0; j < m; ++j) row[j] -= times(scaled, u[j]);
        }
    }
    for (std::size_t r = 0; r < n; ++r)
        for (std::size_t c = r + 1; c < n; ++c) std::swap(q[r * n + c], q[c * n + r]);
}

// Implicit QL with Wilkinson shifts on the diagonal d and the off-diagonal e (e[i] couples i and
// i + 1), rotating the eigenvector rows along; at most 30 sweeps per eigenvalue on average.
bool HermitianWorkspace::diagonaliseTridiagonal() {
    const std::size_t n = size_;
    double* d = eigenvalues_.data();
    double* e = offDiagonal_.data();
    constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
    std::size_t sweepsLeft = 30 * n;
    for (std::size_t l = 0; l < n; ++l) {
        while (true) {
            std::size_t m = l;
            for (; m + 1 < n; ++m)
                if (std::abs(e[m]) <= kEpsilon * (std::abs(d[m]) + std::abs(d[m + 1]))) break;
            if (m == l) break;
            if (sweepsLeft-- == 0) return false;

            double g = (d[l + 1] - d[l]) / (2.0 * e[l]);
            double r = std::hypot(g, 1.0);
            g = d[m] - d[l] + e[l] / (g + std::copysign(r, g));
            double s = 1.0;
            double c = 1.0;
            double p = 0.0;
            bool deflated = false;
            for (std::size_t i = m; i-- > l;) {
                const double f = s * e[i];
                const double b = c * e[i];
                r = std::hypot(f, g);
                e[i + 1] = r;
                if (r == 0.0) {
                    // The rotation underflowed: the matrix splits at i + 1; start the sweep again.
                    d[i + 1] -= p;
                    e[m] = 0.0;
                    deflated = true;
                    break;
                }
                s = f / r;
                c = g / r;
                g = d[i + 1] - p;
                r = (d[i] - g) * s + 2.0 * c * b;
                p = s * r;
                d[i + 1] = g + p;
                g = c * r - b;
                rotateRows(vectors_.data() + i * n, vectors_.data() + (i + 1) * n, n, c, s);
            }
            if (deflated) continue;
            d[l] -= p;
            e[l] = g;
            e[m] = 0.0;
        }
    }
    return true;
}

void HermitianWorkspace::sortAscending() {
    const std::size_t n = size_;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        std::size_t smallest = i;
        for (std::size_t k = i + 1; k < n; ++k)
            if (eigenvalues_[k] < eigenvalues_[smallest]) smallest = k;
        if (smallest == i) continue;
        std::swap(eigenvalues_[i], eigenvalues_[smallest]);
        std::swap_ranges(vectors_.begin() + i * n, vectors_.begin() + (i + 1) * n,
                         vectors_.begin() + smallest * n);
    }
}

}  // namespace zk::core::detail
