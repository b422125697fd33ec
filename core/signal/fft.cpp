#include "core/signal/fft.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <utility>

#ifdef __AVX2__
#include <immintrin.h>
#endif

namespace zk::core {

namespace {

// Plain product without the NaN/Inf recovery of operator*, which stops the compiler from inlining it.
inline void multiply(double ar, double ai, double br, double bi, double& outR, double& outI) {
    outR = ar * br - ai * bi;
    outI = ar * bi + ai * br;
}

// Twiddles of every stage of one transform size, each value stored twice so a vector load yields the
// factors of two butterflies. The stage of half-length h starts at 2 * (h - 1).
struct TwiddleTable {
    std::size_t size = 0;
    std::vector<double> re;
    std::vector<double> im;
};

// Every group of a stage walks the same recurrence w <- w * e^(-2 pi i / len) from 1, so the table holds
// exactly the values a per-group recurrence would produce. The recurrence is a serial chain of N - 1
// products, as long as the butterflies themselves, so each thread keeps the table of its last size.
const TwiddleTable& twiddlesFor(std::size_t n) {
    thread_local TwiddleTable table;
    if (table.size == n) {
        return table;
    }
    std::vector<double> re;
    std::vector<double> im;
    re.reserve(2 * (n - 1));
    im.reserve(2 * (n - 1));
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double theta = -2.0 * std::numbers::pi / static_cast<double>(len);
        const double stepRe = std::cos(theta);
        const double stepIm = std::sin(theta);
        double wr = 1.0;
        double wi = 0.0;
        for (std::size_t j = 0; j < len / 2; ++j) {
            re.insert(re.end(), 2, wr);
            im.insert(im.end(), 2, wi);
            double nr;
            double ni;
            multiply(wr, wi, stepRe, stepIm, nr, ni);
            wr = nr;
            wi = ni;
        }
    }
    table.re = std::move(re);
    table.im = std::move(im);
    table.size = n;
    return table;
}

}  // namespace

std::vector<std::complex<double>> fftRadix2(std::vector<std::complex<double>> values) {
    const std::size_t n = values.size();
    if (n == 0 || (n & (n - 1)) != 0) {
        throw std::invalid_argument("transform size must be a power of two");
    }
    if (n == 1) {
        return values;
    }

    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1) {
            j &= ~bit;
        }
        j |= bit;
        if (i < j) {
            std::swap(values[i], values[j]);
        }
    }

    const TwiddleTable& twiddles = twiddlesFor(n);
    auto* a = reinterpret_cast<double*>(values.data());  // complex<double> is an array of two doubles
    for (std::size_t half = 1; half < n; half <<= 1) {
        const double* wRe = twiddles.re.data() + 2 * (half - 1);
        const double* wIm = twiddles.im.data() + 2 * (half - 1);
        for (std::size_t g = 0; g < n; g += 2 * half) {
            double* lo = a + 2 * g;
            double* hi = a + 2 * (g + half);
            std::size_t j = 0;
#ifdef __AVX2__
            // Two butterflies per step on interleaved (re, im) pairs; the same products and sums as below.
            for (; j + 2 <= half; j += 2) {
                const __m256d wr = _mm256_loadu_pd(wRe + 2 * j);
                const __m256d wi = _mm256_loadu_pd(wIm + 2 * j);
                const __m256d h = _mm256_loadu_pd(hi + 2 * j);
                const __m256d swapped = _mm256_permute_pd(h, 0b0101);
                const __m256d v = _mm256_addsub_pd(_mm256_mul_pd(wr, h), _mm256_mul_pd(wi, swapped));
                const __m256d u = _mm256_loadu_pd(lo + 2 * j);
                _mm256_storeu_pd(lo + 2 * j, _mm256_add_pd(u, v));
                _mm256_storeu_pd(hi + 2 * j, _mm256_sub_pd(u, v));
            }
#endif
            for (; j < half; ++j) {
                double vr;
                double vi;
                multiply(wRe[2 * j], wIm[2 * j], hi[2 * j], hi[2 * j + 1], vr, vi);
                const double ur = lo[2 * j];
                const double ui = lo[2 * j + 1];
                lo[2 * j] = ur + vr;
                lo[2 * j + 1] = ui + vi;
                hi[2 * j] = ur - vr;
                hi[2 * j + 1] = ui - vi;
            }
        }
    }
    return values;
}

}  // namespace zk::core
