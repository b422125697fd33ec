#include "core/signal/fft.h"

#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <utility>

#include "core/platform/cpu_features.h"

#ifdef ZK_DISPATCH_KERNELS
#include <immintrin.h>
#endif

// This file is built with -ffp-contract=off, so every variant rounds like the baseline and all of them
// return the same bits on any machine.

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
    std::vector<double> re;
    std::vector<double> im;
};

// Every group of a stage walks the same recurrence w <- w * e^(-2 pi i / len) from 1, so the table holds
// exactly the values a per-group recurrence would produce.
std::unique_ptr<TwiddleTable> buildTwiddles(std::size_t n) {
    auto table = std::make_unique<TwiddleTable>();
    table->re.reserve(2 * (n - 1));
    table->im.reserve(2 * (n - 1));
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double theta = -2.0 * std::numbers::pi / static_cast<double>(len);
        const double stepRe = std::cos(theta);
        const double stepIm = std::sin(theta);
        double wr = 1.0;
        double wi = 0.0;
        for (std::size_t j = 0; j < len / 2; ++j) {
            table->re.insert(table->re.end(), 2, wr);
            table->im.insert(table->im.end(), 2, wi);
            double nr;
            double ni;
            multiply(wr, wi, stepRe, stepIm, nr, ni);
            wr = nr;
            wi = ni;
        }
    }
    return table;
}

// Tables of sizes up to 2^20 (32 MiB) are kept for good, one per size; larger ones are built per call so
// that a single huge transform does not pin twice its own size in memory.
constexpr std::size_t kCachedLog2 = 20;

class TwiddleCache {
  public:
    // The table of size n = 2^log2n, built on first use. Safe from any thread.
    const TwiddleTable& get(std::size_t n, std::size_t log2n) {
        if (const TwiddleTable* table = published_[log2n].load(std::memory_order_acquire)) {
            return *table;
        }
        std::unique_ptr<TwiddleTable> built = buildTwiddles(n);
        const std::lock_guard lock(mutex_);
        if (const TwiddleTable* table = published_[log2n].load(std::memory_order_relaxed)) {
            return *table;
        }
        owned_[log2n] = std::move(built);
        published_[log2n].store(owned_[log2n].get(), std::memory_order_release);
        return *owned_[log2n];
    }

  private:
    std::mutex mutex_;  // serialises publishing a table into owned_ and published_
    std::array<std::unique_ptr<TwiddleTable>, kCachedLog2 + 1> owned_;  // guarded by mutex_
    std::array<std::atomic<const TwiddleTable*>, kCachedLog2 + 1>
        published_{};  // read lock-free by any thread
};

TwiddleCache& twiddleCache() {
    static TwiddleCache cache;
    return cache;
}

// One stage: every group of 2 * half values gets half butterflies u +- w v. The vector variants run the
// same products and sums on several butterflies at a time.
void stageBaseline(double* a, std::size_t n, std::size_t half, const double* wRe, const double* wIm) {
    for (std::size_t g = 0; g < n; g += 2 * half) {
        double* lo = a + 2 * g;
        double* hi = a + 2 * (g + half);
        for (std::size_t j = 0; j < half; ++j) {
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

#ifdef ZK_DISPATCH_KERNELS
// The vector stages form v = (wr hr - wi hi, wr hi + wi hr) as wr h + (wi swap(h) with the even lanes
// negated): a sign flip and an add give the bits of a subtract, and unlike addsub the compiler cannot
// fuse it into fmaddsub. Stages too short for a vector run as the baseline, so no scalar tail is
// compiled where fused multiply-adds exist.
__attribute__((target("avx2,fma"))) void stageAvx2(double* a, std::size_t n, std::size_t half,
                                                   const double* wRe, const double* wIm) {
    if (half < 2) {
        stageBaseline(a, n, half, wRe, wIm);
        return;
    }
    const __m256d evenSign = _mm256_castsi256_pd(_mm256_set_epi64x(0, INT64_MIN, 0, INT64_MIN));
    for (std::size_t g = 0; g < n; g += 2 * half) {
        double* lo = a + 2 * g;
        double* hi = a + 2 * (g + half);
        for (std::size_t j = 0; j < half; j += 2) {
            const __m256d wr = _mm256_loadu_pd(wRe + 2 * j);
            const __m256d wi = _mm256_loadu_pd(wIm + 2 * j);
            const __m256d h = _mm256_loadu_pd(hi + 2 * j);
            const __m256d swapped = _mm256_shuffle_pd(h, h, 0b0101);
            const __m256d cross = _mm256_xor_pd(_mm256_mul_pd(wi, swapped), evenSign);
            const __m256d v = _mm256_add_pd(_mm256_mul_pd(wr, h), cross);
            const __m256d u = _mm256_loadu_pd(lo + 2 * j);
            _mm256_storeu_pd(lo + 2 * j, _mm256_add_pd(u, v));
            _mm256_storeu_pd(hi + 2 * j, _mm256_sub_pd(u, v));
        }
    }
}

// Four butterflies per step.
__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl"))) void stageAvx512(double* a, std::size_t n,
                                                                               std::size_t half,
                                                                               const double* wRe,
                                                                               const double* wIm) {
    if (half < 4) {
        stageAvx2(a, n, half, wRe, wIm);
        return;
    }
    const __m512d evenSign =
        _mm512_castsi512_pd(_mm512_set_epi64(0, INT64_MIN, 0, INT64_MIN, 0, INT64_MIN, 0, INT64_MIN));
    for (std::size_t g = 0; g < n; g += 2 * half) {
        double* lo = a + 2 * g;
        double* hi = a + 2 * (g + half);
        for (std::size_t j = 0; j < half; j += 4) {
            const __m512d wr = _mm512_loadu_pd(wRe + 2 * j);
            const __m512d wi = _mm512_loadu_pd(wIm + 2 * j);
            const __m512d h = _mm512_loadu_pd(hi + 2 * j);
            const __m512d swapped = _mm512_shuffle_pd(h, h, 0b01010101);
            const __m512d cross = _mm512_xor_pd(_mm512_mul_pd(wi, swapped), evenSign);
            const __m512d v = _mm512_add_pd(_mm512_mul_pd(wr, h), cross);
            const __m512d u = _mm512_loadu_pd(lo + 2 * j);
            _mm512_storeu_pd(lo + 2 * j, _mm512_add_pd(u, v));
            _mm512_storeu_pd(hi + 2 * j, _mm512_sub_pd(u, v));
        }
    }
}
#endif

using StageKernel = void (*)(double*, std::size_t, std::size_t, const double*, const double*);

StageKernel stageKernel() {
#ifdef ZK_DISPATCH_KERNELS
    switch (vectorLevel()) {
        case VectorLevel::kAvx512:
            return stageAvx512;
        case VectorLevel::kAvx2:
            return stageAvx2;
        case VectorLevel::kBaseline:
            break;
    }
#endif
    return stageBaseline;
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

    const auto log2n = static_cast<std::size_t>(std::countr_zero(n));
    std::unique_ptr<TwiddleTable> uncached;
    if (log2n > kCachedLog2) {
        uncached = buildTwiddles(n);
    }
    const TwiddleTable& twiddles = uncached ? *uncached : twiddleCache().get(n, log2n);
    const StageKernel stage = stageKernel();
    auto* a = reinterpret_cast<double*>(values.data());  // complex<double> is an array of two doubles
    for (std::size_t half = 1; half < n; half <<= 1) {
        stage(a, n, half, twiddles.re.data() + 2 * (half - 1), twiddles.im.data() + 2 * (half - 1));
    }
    return values;
}

}  // namespace zk::core
