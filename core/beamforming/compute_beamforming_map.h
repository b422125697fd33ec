#pragma once

#include <cstdint>
#include <span>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/beamforming_parameters.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/signal/frequency_band.h"

namespace zk::core {

// The single entry from per-bin cross-spectral matrices (one per band bin, in the band's order) to the
// map of the algorithm that parameters.algorithm selects, on a camera grid centred on 0, 0 with equal
// steps. snapshotCount is the number of STFT frames behind the matrices (read by Auto-MUSIC only). The
// result carries the band's frequencies and bin count and the parameters' revision and algorithm id.
// Throws std::logic_error "selected beamforming algorithm is not implemented yet" for an id outside
// 1..14 and passes on the algorithm's own exceptions. Runs on the calling thread; the algorithms open
// their own OpenMP teams.
HeatmapGrid computeBeamformingMap(const Beamformer& beamformer, std::span<const MatrixRows> matrices,
                                  const FrequencyBand& band, const BeamformingParameters& parameters,
                                  std::uint64_t snapshotCount, double horizontalSpanDeg,
                                  double verticalSpanDeg, double gridStepDeg);

// The map of the selected algorithm over the given bins, carrying only the stamps the algorithm sets
// itself; throws as computeBeamformingMap does.
HeatmapGrid selectedAlgorithmMap(const Beamformer& beamformer, std::span<const MatrixRows> matrices,
                                 std::span<const double> frequencies, const BeamformingParameters& parameters,
                                 std::uint64_t snapshotCount, double horizontalSpanDeg,
                                 double verticalSpanDeg, double gridStepDeg);

// Stamps the band's representative, first and last frequencies and bin count and the parameters'
// revision and algorithm id on a map (0 Hz for an empty band).
void stampBandAndParameters(HeatmapGrid& map, const FrequencyBand& band,
                            const BeamformingParameters& parameters);

}  // namespace zk::core
