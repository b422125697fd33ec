#include "core/signal/cross_spectral_matrix.h"

#include <algorithm>
#include <stdexcept>

#include "core/platform/cpu_features.h"

#ifdef ZK_DISPATCH_KERNELS
#include <immintrin.h>
#endif

// This file is built with -ffp-contract=off: a fused multiply-add in the imaginary term b_p*a_q - a_p*b_q
// would leave the rounding error of one product on the diagonal instead of an exact zero. The AVX2
// variant is compiled without FMA at all; AVX-512 implies FMA, so it relies on the flag and has no
// scalar tail (masked lanes instead) where the compiler could pair up products on its own.

namespace zk::core {

namespace {

// Each row kernel updates row p over columns q = p .. M - 1. dstRe/dstIm and a/b point at column p;
// (ap, bp) is x_p. Every variant rounds identically (same operations in the same order per element), so
// all of them give the baseline's bits.

void plainRowBaseline(double* __restrict dstRe, double* __restrict dstIm, const double* __restrict a,
                      const double* __restrict b, double ap, double bp, std::size_t count) {
    for (std::size_t q = 0; q < count; ++q) {
        dstRe[q] += ap * a[q] + bp * b[q];
        dstIm[q] += bp * a[q] - ap * b[q];
    }
}

void exponentialRowBaseline(double* __restrict dstRe, double* __restrict dstIm, const double* __restrict a,
                            const double* __restrict b, double ap, double bp, double alpha, double beta,
                            std::size_t count) {
    for (std::size_t q = 0; q < count; ++q) {
        dstRe[q] = alpha * dstRe[q] + beta * (ap * a[q] + bp * b[q]);
        dstIm[q] = alpha * dstIm[q] + beta * (bp * a[q] - ap * b[q]);
    }
}

#ifdef ZK_DISPATCH_KERNELS
__attribute__((target("avx2"))) inline void plainStep4(double* dstRe, double* dstIm, const double* a,
                                                       const double* b, __m256d ap, __m256d bp) {
    const __m256d aq = _mm256_loadu_pd(a);
    const __m256d bq = _mm256_loadu_pd(b);
    const __m256d termRe = _mm256_add_pd(_mm256_mul_pd(ap, aq), _mm256_mul_pd(bp, bq));
    const __m256d termIm = _mm256_sub_pd(_mm256_mul_pd(bp, aq), _mm256_mul_pd(ap, bq));
    _mm256_storeu_pd(dstRe, _mm256_add_pd(_mm256_loadu_pd(dstRe), termRe));
    _mm256_storeu_pd(dstIm, _mm256_add_pd(_mm256_loadu_pd(dstIm), termIm));
}

__attribute__((target("avx2"))) inline void exponentialStep4(double* dstRe, double* dstIm, const double* a,
                                                             const double* b, __m256d ap, __m256d bp,
                                                             __m256d alpha, __m256d beta) {
    const __m256d aq = _mm256_loadu_pd(a);
    const __m256d bq = _mm256_loadu_pd(b);
    const __m256d termRe = _mm256_add_pd(_mm256_mul_pd(ap, aq), _mm256_mul_pd(bp, bq));
    const __m256d termIm = _mm256_sub_pd(_mm256_mul_pd(bp, aq), _mm256_mul_pd(ap, bq));
    _mm256_storeu_pd(
        dstRe, _mm256_add_pd(_mm256_mul_pd(alpha, _mm256_loadu_pd(dstRe)), _mm256_mul_pd(beta, termRe)));
    _mm256_storeu_pd(
        dstIm, _mm256_add_pd(_mm256_mul_pd(alpha, _mm256_loadu_pd(dstIm)), _mm256_mul_pd(beta, termIm)));
}

__attribute__((target("avx2"))) void plainRowAvx2(double* __restrict dstRe, double* __restrict dstIm,
                                                  const double* __restrict a, const double* __restrict b,
                                                  double ap, double bp, std::size_t count) {
    std::size_t q = 0;
    const __m256d vap = _mm256_set1_pd(ap);
    const __m256d vbp = _mm256_set1_pd(bp);
    for (; q + 16 <= count; q += 16) {
        for (std::size_t u = q; u < q + 16; u += 4) {
            plainStep4(dstRe + u, dstIm + u, a + u, b + u, vap, vbp);
        }
    }
    for (; q < count; ++q) {
        dstRe[q] += ap * a[q] + bp * b[q];
        dstIm[q] += bp * a[q] - ap * b[q];
    }
}

__attribute__((target("avx2"))) void exponentialRowAvx2(double* __restrict dstRe, double* __restrict dstIm,
                                                        const double* __restrict a,
                                                        const double* __restrict b, double ap, double bp,
                                                        double alpha, double beta, std::size_t count) {
    std::size_t q = 0;
    const __m256d vap = _mm256_set1_pd(ap);
    const __m256d vbp = _mm256_set1_pd(bp);
    const __m256d valpha = _mm256_set1_pd(alpha);
    const __m256d vbeta = _mm256_set1_pd(beta);
    for (; q + 8 <= count; q += 8) {
        exponentialStep4(dstRe + q, dstIm + q, a + q, b + q, vap, vbp, valpha, vbeta);
        exponentialStep4(dstRe + q + 4, dstIm + q + 4, a + q + 4, b + q + 4, vap, vbp, valpha, vbeta);
    }
    for (; q < count; ++q) {
        dstRe[q] = alpha * dstRe[q] + beta * (ap * a[q] + bp * b[q]);
        dstIm[q] = alpha * dstIm[q] + beta * (bp * a[q] - ap * b[q]);
    }
}

#define ZK_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl")))

// Eight columns per step; the last partial step runs on the first `count % 8` lanes only.
ZK_AVX512 inline void plainStep8(double* dstRe, double* dstIm, const double* a, const double* b, __m512d ap,
                                 __m512d bp, __mmask8 lanes) {
    const __m512d aq = _mm512_maskz_loadu_pd(lanes, a);
    const __m512d bq = _mm512_maskz_loadu_pd(lanes, b);
    const __m512d termRe = _mm512_add_pd(_mm512_mul_pd(ap, aq), _mm512_mul_pd(bp, bq));
    const __m512d termIm = _mm512_sub_pd(_mm512_mul_pd(bp, aq), _mm512_mul_pd(ap, bq));
    _mm512_mask_storeu_pd(dstRe, lanes, _mm512_add_pd(_mm512_maskz_loadu_pd(lanes, dstRe), termRe));
    _mm512_mask_storeu_pd(dstIm, lanes, _mm512_add_pd(_mm512_maskz_loadu_pd(lanes, dstIm), termIm));
}

ZK_AVX512 inline void exponentialStep8(double* dstRe, double* dstIm, const double* a, const double* b,
                                       __m512d ap, __m512d bp, __m512d alpha, __m512d beta, __mmask8 lanes) {
    const __m512d aq = _mm512_maskz_loadu_pd(lanes, a);
    const __m512d bq = _mm512_maskz_loadu_pd(lanes, b);
    const __m512d termRe = _mm512_add_pd(_mm512_mul_pd(ap, aq), _mm512_mul_pd(bp, bq));
    const __m512d termIm = _mm512_sub_pd(_mm512_mul_pd(bp, aq), _mm512_mul_pd(ap, bq));
    const __m512d oldRe = _mm512_maskz_loadu_pd(lanes, dstRe);
    const __m512d oldIm = _mm512_maskz_loadu_pd(lanes, dstIm);
    _mm512_mask_storeu_pd(dstRe, lanes,
                          _mm512_add_pd(_mm512_mul_pd(alpha, oldRe), _mm512_mul_pd(beta, termRe)));
    _mm512_mask_storeu_pd(dstIm, lanes,
                          _mm512_add_pd(_mm512_mul_pd(alpha, oldIm), _mm512_mul_pd(beta, termIm)));
}

ZK_AVX512 void plainRowAvx512(double* __restrict dstRe, double* __restrict dstIm, const double* __restrict a,
                              const double* __restrict b, double ap, double bp, std::size_t count) {
    const __m512d vap = _mm512_set1_pd(ap);
    const __m512d vbp = _mm512_set1_pd(bp);
    std::size_t q = 0;
    for (; q + 8 <= count; q += 8) {
        plainStep8(dstRe + q, dstIm + q, a + q, b + q, vap, vbp, 0xFF);
    }
    if (q < count) {
        const auto lanes = static_cast<__mmask8>((1u << (count - q)) - 1u);
        plainStep8(dstRe + q, dstIm + q, a + q, b + q, vap, vbp, lanes);
    }
}

ZK_AVX512 void exponentialRowAvx512(double* __restrict dstRe, double* __restrict dstIm,
                                    const double* __restrict a, const double* __restrict b, double ap,
                                    double bp, double alpha, double beta, std::size_t count) {
    const __m512d vap = _mm512_set1_pd(ap);
    const __m512d vbp = _mm512_set1_pd(bp);
    const __m512d valpha = _mm512_set1_pd(alpha);
    const __m512d vbeta = _mm512_set1_pd(beta);
    std::size_t q = 0;
    for (; q + 8 <= count; q += 8) {
        exponentialStep8(dstRe + q, dstIm + q, a + q, b + q, vap, vbp, valpha, vbeta, 0xFF);
    }
    if (q < count) {
        const auto lanes = static_cast<__mmask8>((1u << (count - q)) - 1u);
        exponentialStep8(dstRe + q, dstIm + q, a + q, b + q, vap, vbp, valpha, vbeta, lanes);
    }
}

#undef ZK_AVX512
#endif

using PlainRow = void (*)(double*, double*, const double*, const double*, double, double, std::size_t);
using ExponentialRow = void (*)(double*, double*, const double*, const double*, double, double, double,
                                double, std::size_t);

struct RowKernels {
    PlainRow plain;
    ExponentialRow exponential;
};

RowKernels rowKernels() {
#ifdef ZK_DISPATCH_KERNELS
    switch (vectorLevel()) {
        case VectorLevel::kAvx512:
            return {plainRowAvx512, exponentialRowAvx512};
        case VectorLevel::kAvx2:
            return {plainRowAvx2, exponentialRowAvx2};
        case VectorLevel::kBaseline:
            break;
    }
#endif
    return {plainRowBaseline, exponentialRowBaseline};
}

}  // namespace

CrossSpectralMatrix::CrossSpectralMatrix(std::uint64_t channelCount) : channelCount_(channelCount) {
    if (channelCount == 0) {
        throw std::invalid_argument("matrix channel count must be non-zero");
    }
    if (channelCount > kMaxMatrixChannels) {
        throw std::invalid_argument("matrix channel count is too large");
    }
    real_.assign(channelCount * channelCount, 0.0);
    imag_.assign(channelCount * channelCount, 0.0);
    scratchRe_.assign(channelCount, 0.0);
    scratchIm_.assign(channelCount, 0.0);
}

void CrossSpectralMatrix::setAveragingAlpha(double alpha) {
    // Written so that NaN fails too.
    if (!(alpha > 0.0 && alpha < 1.0)) {
        throw std::invalid_argument("matrix alpha must be in (0, 1)");
    }
    alpha_ = alpha;
    exponential_ = true;
}

void CrossSpectralMatrix::addSpectrum(std::span<const std::complex<double>> spectrum) {
    if (spectrum.size() != channelCount_) {
        throw std::invalid_argument("spectrum channel count does not match matrix");
    }
    const bool exponential = exponential_ && frameCount_ > 0;
    for (std::size_t c = 0; c < spectrum.size(); ++c) {
        scratchRe_[c] = spectrum[c].real();
        scratchIm_[c] = spectrum[c].imag();
    }
    accumulate(exponential);
    ++frameCount_;
}

void CrossSpectralMatrix::addFrameBins(const SpectralFrame& frame, std::uint64_t firstBin,
                                       std::uint64_t lastBin) {
    if (frame.channelCount != channelCount_ || frame.spectra.size() != channelCount_) {
        throw std::invalid_argument("spectral frame channel count does not match matrix");
    }
    // A spectrum shorter than the frame claims would be read out of bounds, so its real length bounds
    // the range as well.
    const bool rangeValid =
        firstBin < lastBin && lastBin <= frame.frameSize &&
        std::all_of(frame.spectra.begin(), frame.spectra.end(),
                    [lastBin](const std::vector<std::complex<double>>& s) { return lastBin <= s.size(); });
    if (!rangeValid) {
        throw std::invalid_argument("invalid matrix frequency bin range");
    }
    const bool exponential = exponential_ && frameCount_ > 0;
    for (std::uint64_t bin = firstBin; bin < lastBin; ++bin) {
        for (std::size_t c = 0; c < channelCount_; ++c) {
            scratchRe_[c] = frame.spectra[c][bin].real();
            scratchIm_[c] = frame.spectra[c][bin].imag();
        }
        accumulate(exponential);
    }
    ++frameCount_;
}

void CrossSpectralMatrix::reset() {
    std::fill(real_.begin(), real_.end(), 0.0);
    std::fill(imag_.begin(), imag_.end(), 0.0);
    frameCount_ = 0;
}

std::vector<std::vector<std::complex<double>>> CrossSpectralMatrix::toRows() const {
    const std::size_t m = channelCount_;
    std::vector<std::vector<std::complex<double>>> rows(m, std::vector<std::complex<double>>(m));
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < m; ++j) {
            rows[i][j] = j >= i ? std::complex<double>(real_[i * m + j], imag_[i * m + j])
                                : std::complex<double>(real_[j * m + i], -imag_[j * m + i]);
        }
    }
    return rows;
}

void CrossSpectralMatrix::accumulate(bool exponential) {
    const std::size_t m = channelCount_;
    const double* a = scratchRe_.data();
    const double* b = scratchIm_.data();
    const double beta = 1.0 - alpha_;
    const RowKernels kernels = rowKernels();
    for (std::size_t p = 0; p < m; ++p) {
        double* rowRe = real_.data() + p * m + p;
        double* rowIm = imag_.data() + p * m + p;
        if (exponential) {
            kernels.exponential(rowRe, rowIm, a + p, b + p, a[p], b[p], alpha_, beta, m - p);
        } else {
            kernels.plain(rowRe, rowIm, a + p, b + p, a[p], b[p], m - p);
        }
    }
}

}  // namespace zk::core
