#include "core/fft.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <utility>

namespace zk::core {

namespace {

// Plain product without the NaN/Inf recovery of operator*, which stops the compiler from inlining it.
inline void multiply(double ar, double ai, double br, double bi, double& outR, double& outI) {
    outR = ar * br - ai * bi;
    outI = ar * bi + ai * br;
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

    // Every group of a stage walks the same twiddle recurrence from 1, so one table per stage holds
    // exactly the values a per-group recurrence would produce, without repeating the work per group.
    std::vector<double> twiddleRe(n / 2);
    std::vector<double> twiddleIm(n / 2);
    auto* a = reinterpret_cast<double*>(values.data());  // complex<double> is an array of two doubles
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::size_t half = len / 2;
        const double theta = -2.0 * std::numbers::pi / static_cast<double>(len);
        const double stepRe = std::cos(theta);
        const double stepIm = std::sin(theta);
        double wr = 1.0;
        double wi = 0.0;
        for (std::size_t j = 0; j < half; ++j) {
            twiddleRe[j] = wr;
            twiddleIm[j] = wi;
            double nr;
            double ni;
            multiply(wr, wi, stepRe, stepIm, nr, ni);
            wr = nr;
            wi = ni;
        }
        for (std::size_t g = 0; g < n; g += len) {
            double* lo = a + 2 * g;
            double* hi = a + 2 * (g + half);
            for (std::size_t j = 0; j < half; ++j) {
                double vr;
                double vi;
                multiply(twiddleRe[j], twiddleIm[j], hi[2 * j], hi[2 * j + 1], vr, vi);
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
