#include "core/beamforming/source_count.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zk::core {

namespace {

std::uint32_t eigenGapCount(std::span<const double> lambda, std::uint64_t kmax, double floor) {
    double best = -std::numeric_limits<double>::infinity();
    std::uint32_t result = 1;
    for (std::uint64_t i = 1; i <= kmax; ++i) {
        const double gap = std::log(lambda[i - 1] / std::max(floor, lambda[i]));
        if (gap > best) {
            best = gap;
            result = static_cast<std::uint32_t>(i);
        }
    }
    return result;
}

// Information-criterion scores compare the flatness (geometric over arithmetic mean) of the
// smallest p - k eigenvalues against a penalty that grows with the free parameters of k sources.
std::uint32_t informationCriterionCount(std::span<const double> lambda, std::uint64_t kmax,
                                        std::uint64_t snapshotCount, bool aic, double floor) {
    const double p = static_cast<double>(lambda.size());
    const double snapshots = static_cast<double>(std::max<std::uint64_t>(snapshotCount, 2));
    double bestScore = std::numeric_limits<double>::infinity();
    std::uint64_t bestK = 0;
    bool haveBest = false;
    for (std::uint64_t k = 0; k <= kmax; ++k) {
        const double n = static_cast<double>(lambda.size() - k);
        double logSum = 0.0;
        double sum = 0.0;
        for (std::size_t j = k; j < lambda.size(); ++j) {
            const double x = std::max(floor, lambda[j]);
            logSum += std::log(x);
            sum += x;
        }
        const double geometricMean = std::exp(logSum / n);
        const double arithmeticMean = sum / n;
        const double ratio = geometricMean / std::max(floor, arithmeticMean);
        const double logRatio = std::log(std::max(floor, ratio));
        const double kd = static_cast<double>(k);
        const double penalty = (2.0 * p - kd) * kd;
        const double score = aic ? 2.0 * penalty - 2.0 * snapshots * n * logRatio
                                 : 0.5 * penalty * std::log(snapshots) - n * snapshots * logRatio;
        if (!haveBest || score < bestScore) {
            bestScore = score;
            bestK = k;
            haveBest = true;
        }
    }
    return bestK == 0 ? 1u : static_cast<std::uint32_t>(bestK);
}

}  // namespace

std::uint32_t estimateSourceCount(std::span<const double> eigenvaluesDescending, std::uint64_t snapshotCount,
                                  std::uint32_t maxSources, std::uint32_t estimator, double eigenFloor) {
    const std::uint64_t p = eigenvaluesDescending.size();
    if (p < 2) {
        return 1;
    }
    const std::uint64_t kmax = std::min<std::uint64_t>(p - 1, maxSources);
    if (estimator == static_cast<std::uint32_t>(SourceCountEstimator::EigenGap)) {
        return eigenGapCount(eigenvaluesDescending, kmax, eigenFloor);
    }
    const bool aic = estimator == static_cast<std::uint32_t>(SourceCountEstimator::Aic);
    return informationCriterionCount(eigenvaluesDescending, kmax, snapshotCount, aic, eigenFloor);
}

}  // namespace zk::core
