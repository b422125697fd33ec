#include "core/beamforming/bin_rotation_map.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "core/beamforming/compute_beamforming_map.h"
#include "core/beamforming/detail/algorithm_table.h"
#include "core/beamforming/detail/input_checks.h"

namespace zk::core {
namespace {

constexpr double kBudgetMs = 60.0;
constexpr std::uint64_t kBinsPerGroup = 8;
constexpr std::uint64_t kMaxGroups = 5;

[[noreturn]] void notRotatable() { throw std::logic_error("BinRotationMap: algorithm is not rotatable"); }

}  // namespace

BinRotationMap::BinRotationMap() : BinRotationMap(Clock(&std::chrono::steady_clock::now)) {}

BinRotationMap::BinRotationMap(Clock clock) : clock_(std::move(clock)) {}

bool BinRotationMap::isRotatable(std::int32_t algorithmId) {
    const detail::AlgorithmEntry* entry = detail::findAlgorithm(algorithmId);
    return entry != nullptr && entry->rotatable;
}

bool BinRotationMap::keyMatches(std::span<const MatrixRows> binMatrices, const FrequencyBand& band,
                                const BeamformingParameters& parameters, double horizontalSpanDeg,
                                double verticalSpanDeg, double gridStepDeg, std::uint64_t generation) const {
    const std::uint64_t channels = binMatrices.empty() ? 0 : binMatrices.front().size();
    // Plain == throughout, so a NaN on either side is a mismatch.
    return valid_ && revision_ == parameters.revision && algorithmId_ == parameters.algorithm &&
           generation_ == generation && channelCount_ == channels &&
           horizontalSpanDeg_ == horizontalSpanDeg && verticalSpanDeg_ == verticalSpanDeg &&
           gridStepDeg_ == gridStepDeg && focusDistanceM_ == parameters.focusDistanceM &&
           detail::sameFrequencies(frequencies_, band.binFrequenciesHz);
}

HeatmapGrid BinRotationMap::update(const Beamformer& beamformer, std::span<const MatrixRows> binMatrices,
                                   const FrequencyBand& band, const BeamformingParameters& parameters,
                                   std::uint64_t frameCount, double horizontalSpanDeg, double verticalSpanDeg,
                                   double gridStepDeg, std::uint64_t generation) {
    if (!isRotatable(parameters.algorithm)) notRotatable();
    // Groups index the matrices by band position, so a short list would be read out of bounds.
    if (binMatrices.size() != band.binFrequenciesHz.size()) {
        throw std::invalid_argument("invalid broadband matrix/frequency band");
    }

    if (keyMatches(binMatrices, band, parameters, horizontalSpanDeg, verticalSpanDeg, gridStepDeg,
                   generation)) {
        const std::uint64_t groupCount = groups_.size();
        const double average = groups_[cursor_].averageComputeMs;
        std::uint64_t refreshes = 1;
        if (average > 0.0) {
            const double fit = std::floor(kBudgetMs / average);
            refreshes = fit > static_cast<double>(groupCount)
                            ? groupCount
                            : std::max<std::uint64_t>(1, static_cast<std::uint64_t>(fit));
        }
        for (std::uint64_t k = 0; k < refreshes; ++k) {
            Group& group = groups_[cursor_];
            const double ms = refresh(cursor_, beamformer, binMatrices, band, parameters, frameCount);
            group.averageComputeMs =
                group.averageComputeMs > 0.0 ? 0.7 * group.averageComputeMs + 0.3 * ms : ms;
            cursor_ = (cursor_ + 1) % groupCount;
        }
        return combine(band, parameters);
    }

    // A rebuild that fails part-way must not leave groups under the new key looking usable: the next
    // update would rotate over groups that were never computed and fail to combine them.
    valid_ = false;
    revision_ = parameters.revision;
    generation_ = generation;
    algorithmId_ = parameters.algorithm;
    channelCount_ = binMatrices.empty() ? 0 : binMatrices.front().size();
    horizontalSpanDeg_ = horizontalSpanDeg;
    verticalSpanDeg_ = verticalSpanDeg;
    gridStepDeg_ = gridStepDeg;
    focusDistanceM_ = parameters.focusDistanceM;
    frequencies_ = band.binFrequenciesHz;

    const std::uint64_t bins = frequencies_.size();
    const std::uint64_t groupCount =
        std::clamp<std::uint64_t>((bins + kBinsPerGroup - 1) / kBinsPerGroup, 1, kMaxGroups);
    groups_.assign(groupCount, Group{});
    for (std::uint64_t i = 0; i < bins; ++i) groups_[groupCount * i / bins].binPositions.push_back(i);
    cursor_ = 0;
    for (std::uint64_t g = 0; g < groupCount; ++g) {
        groups_[g].averageComputeMs = refresh(g, beamformer, binMatrices, band, parameters, frameCount);
    }
    valid_ = true;
    return combine(band, parameters);
}

double BinRotationMap::refresh(std::size_t index, const Beamformer& beamformer,
                               std::span<const MatrixRows> binMatrices, const FrequencyBand& band,
                               const BeamformingParameters& parameters, std::uint64_t frameCount) {
    const auto start = clock_();
    HeatmapGrid map = computeBin(groups_[index], beamformer, binMatrices, band, parameters, frameCount);
    const auto end = clock_();
    groups_[index].map = std::move(map);
    return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count()) /
           1e6;
}

HeatmapGrid BinRotationMap::computeBin(const Group& group, const Beamformer& beamformer,
                                       std::span<const MatrixRows> binMatrices, const FrequencyBand& band,
                                       const BeamformingParameters& parameters,
                                       std::uint64_t frameCount) const {
    if (!isRotatable(parameters.algorithm)) notRotatable();
    // A group is a contiguous run of band positions, so its bins are read in place as one span.
    const std::span<const std::uint64_t> positions(group.binPositions);
    const std::uint64_t first = positions.empty() ? 0 : positions.front();
    const std::uint64_t count = positions.size();
    for (std::uint64_t k = 0; k < count; ++k) {
        if (positions[k] != first + k || positions[k] >= binMatrices.size() ||
            positions[k] >= band.binFrequenciesHz.size()) {
            throw std::invalid_argument("invalid broadband matrix/frequency band");
        }
    }
    const std::span<const MatrixRows> matrices = binMatrices.subspan(first, count);
    const std::span<const double> frequencies =
        std::span<const double>(band.binFrequenciesHz).subspan(first, count);
    // The grid and focus are those update() matched or stored as its key.
    return selectedAlgorithmMap(beamformer, matrices, frequencies, parameters, frameCount, horizontalSpanDeg_,
                                verticalSpanDeg_, gridStepDeg_);
}

HeatmapGrid BinRotationMap::combine(const FrequencyBand& band,
                                    const BeamformingParameters& parameters) const {
    std::vector<HeatmapGrid> maps;
    maps.reserve(groups_.size());
    for (const Group& g : groups_) maps.push_back(g.map);
    HeatmapGrid out = combineHeatmapBands(maps);
    stampBandAndParameters(out, band, parameters);
    if (parameters.algorithm == 6) {
        std::vector<std::uint32_t> counts;
        for (const Group& g : groups_) {
            if (g.map.estimatedSourceCount != 0) counts.push_back(g.map.estimatedSourceCount);
        }
        if (!counts.empty()) {
            std::ranges::sort(counts);
            out.estimatedSourceCount = counts[counts.size() / 2];
        }
    }
    return out;
}

}  // namespace zk::core
