#include "core/signal/cross_spectral_matrix.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#ifdef __AVX2__
#include <immintrin.h>
#endif

// This file is built with -ffp-contract=off: a fused multiply-add in the imaginary term b_p*a_q - a_p*b_q
// would leave the rounding error of one product on the diagonal instead of an exact zero.

namespace zk::core {

namespace {

// Each row kernel updates row p over columns q = p .. M - 1. dstRe/dstIm and a/b point at column p;
// (ap, bp) is x_p. Vector and scalar paths round identically (same operations, same order).

#ifdef __AVX2__
inline void plainStep4(double* dstRe, double* dstIm, const double* a, const double* b, __m256d ap,
                       __m256d bp) {
    const __m256d aq = _mm256_loadu_pd(a);
    const __m256d bq = _mm256_loadu_pd(b);
    const __m256d termRe = _mm256_add_pd(_mm256_mul_pd(ap, aq), _mm256_mul_pd(bp, bq));
    const __m256d termIm = _mm256_sub_pd(_mm256_mul_pd(bp, aq), _mm256_mul_pd(ap, bq));
    _mm256_storeu_pd(dstRe, _mm256_add_pd(_mm256_loadu_pd(dstRe), termRe));
    _mm256_storeu_pd(dstIm, _mm256_add_pd(_mm256_loadu_pd(dstIm), termIm));
}

inline void exponentialStep4(double* dstRe, double* dstIm, const double* a, const double* b, __m256d ap,
                             __m256d bp, __m256d alpha, __m256d beta) {
    const __m256d aq = _mm256_loadu_pd(a);
    const __m256d bq = _mm256_loadu_pd(b);
    const __m256d termRe = _mm256_add_pd(_mm256_mul_pd(ap, aq), _mm256_mul_pd(bp, bq));
    const __m256d termIm = _mm256_sub_pd(_mm256_mul_pd(bp, aq), _mm256_mul_pd(ap, bq));
    _mm256_storeu_pd(
        dstRe, _mm256_add_pd(_mm256_mul_pd(alpha, _mm256_loadu_pd(dstRe)), _mm256_mul_pd(beta, termRe)));
    _mm256_storeu_pd(
        dstIm, _mm256_add_pd(_mm256_mul_pd(alpha, _mm256_loadu_pd(dstIm)), _mm256_mul_pd(beta, termIm)));
}
#endif

void plainRow(double* __restrict dstRe, double* __restrict dstIm, const double* __restrict a,
              const double* __restrict b, double ap, double bp, std::size_t count) {
    std::size_t q = 0;
#ifdef __AVX2__
    const __m256d vap = _mm256_set1_pd(ap);
    const __m256d vbp = _mm256_set1_pd(bp);
    for (; q + 16 <= count; q += 16) {
        for (std::size_t u = q; u < q + 16; u += 4) {
            plainStep4(dstRe + u, dstIm + u, a + u, b + u, vap, vbp);
        }
    }
#endif
    for (; q < count; ++q) {
        dstRe[q] += ap * a[q] + bp * b[q];
        dstIm[q] += bp * a[q] - ap * b[q];
    }
}

void exponentialRow(double* __restrict dstRe, double* __restrict dstIm, const double* __restrict a,
                    const double* __restrict b, double ap, double bp, double alpha, double beta,
                    std::size_t count) {
    std::size_t q = 0;
#ifdef __AVX2__
    const __m256d vap = _mm256_set1_pd(ap);
    const __m256d vbp = _mm256_set1_pd(bp);
    const __m256d valpha = _mm256_set1_pd(alpha);
    const __m256d vbeta = _mm256_set1_pd(beta);
    for (; q + 8 <= count; q += 8) {
        exponentialStep4(dstRe + q, dstIm + q, a + q, b + q, vap, vbp, valpha, vbeta);
        exponentialStep4(dstRe + q + 4, dstIm + q + 4, a + q + 4, b + q + 4, vap, vbp, valpha, vbeta);
    }
#endif
    for (; q < count; ++q) {
        dstRe[q] = alpha * dstRe[q] + beta * (ap * a[q] + bp * b[q]);
        dstIm[q] = alpha * dstIm[q] + beta * (bp * a[q] - ap * b[q]);
    }
}

}  // namespace

CrossSpectralMatrix::CrossSpectralMatrix(std::uint64_t channelCount) : channelCount_(channelCount) {
    if (channelCount == 0) {
        throw std::invalid_argument("matrix channel count must be non-zero");
    }
    // M * M would wrap around for such counts and size the planes far too small.
    if (channelCount > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("matrix channel count is too large");
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
    for (std::size_t p = 0; p < m; ++p) {
        double* rowRe = real_.data() + p * m + p;
        double* rowIm = imag_.data() + p * m + p;
        if (exponential) {
            exponentialRow(rowRe, rowIm, a + p, b + p, a[p], b[p], alpha_, beta, m - p);
        } else {
            plainRow(rowRe, rowIm, a + p, b + p, a[p], b[p], m - p);
        }
    }
}

}  // namespace zk::core
