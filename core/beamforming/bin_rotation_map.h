#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/beamforming_parameters.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/signal/frequency_band.h"

namespace zk::core {

// Keeps the live broadband map of the narrowband algorithms (ids 2 to 8) within a render budget: the
// band's bins are split into at most five contiguous groups, each with its own cached map, and every
// update refreshes only as many groups as fit in 60 ms, in cyclic order, before summing all group maps.
// Groups not refreshed keep maps of older matrices. Not thread-safe: one caller (the engine's map
// worker) at a time.
class BinRotationMap {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    struct Group {
        std::vector<std::uint64_t> binPositions;  // ascending, contiguous positions into the band
        HeatmapGrid map;
        double averageComputeMs = 0.0;  // 0 = not yet measured
    };

    BinRotationMap();
    // Times group computations with the given clock instead of the steady clock.
    explicit BinRotationMap(Clock clock);

    static bool isRotatable(std::int32_t algorithmId);

    // binMatrices: one matrix per band bin in band order; frameCount: STFT frames behind them (for
    // Auto-MUSIC); the grid is centred on 0, 0 with gridStepDeg in both directions. Rebuilds every group
    // when any part of the key (revision, generation, algorithm, channel count, grid, focus distance,
    // bin frequencies) changed, else refreshes the groups the budget allows. Throws std::logic_error
    // "BinRotationMap: algorithm is not rotatable" for other ids and passes the algorithms' exceptions
    // on; a group that fails keeps its previous map, and a failed rebuild leaves the map invalid.
    HeatmapGrid update(const Beamformer& beamformer, std::span<const MatrixRows> binMatrices,
                       const FrequencyBand& band, const BeamformingParameters& parameters,
                       std::uint64_t frameCount, double horizontalSpanDeg, double verticalSpanDeg,
                       double gridStepDeg, std::uint64_t generation);

    // The map of one group's bins with the selected algorithm on the stored grid, read in place from
    // binMatrices. Throws std::logic_error "BinRotationMap: algorithm is not rotatable" for other ids and
    // std::invalid_argument "invalid broadband matrix/frequency band" for positions that are not a
    // contiguous run inside the band.
    HeatmapGrid computeBin(const Group& group, const Beamformer& beamformer,
                           std::span<const MatrixRows> binMatrices, const FrequencyBand& band,
                           const BeamformingParameters& parameters, std::uint64_t frameCount) const;

    bool valid() const { return valid_; }
    const std::vector<Group>& groups() const { return groups_; }
    std::uint64_t cursor() const { return cursor_; }

  private:
    bool keyMatches(std::span<const MatrixRows> binMatrices, const FrequencyBand& band,
                    const BeamformingParameters& parameters, double horizontalSpanDeg, double verticalSpanDeg,
                    double gridStepDeg, std::uint64_t generation) const;
    // Computes the group at index and returns the measured time in milliseconds.
    double refresh(std::size_t index, const Beamformer& beamformer, std::span<const MatrixRows> binMatrices,
                   const FrequencyBand& band, const BeamformingParameters& parameters,
                   std::uint64_t frameCount);
    HeatmapGrid combine(const FrequencyBand& band, const BeamformingParameters& parameters) const;

    Clock clock_;
    bool valid_ = false;
    std::uint64_t revision_ = 0;
    std::uint64_t generation_ = 0;
    std::int32_t algorithmId_ = 0;
    std::uint64_t channelCount_ = 0;
    double horizontalSpanDeg_ = 0.0;
    double verticalSpanDeg_ = 0.0;
    double gridStepDeg_ = 0.0;
    double focusDistanceM_ = 0.0;
    std::vector<double> frequencies_;
    std::vector<Group> groups_;
    std::uint64_t cursor_ = 0;
};

}  // namespace zk::core
