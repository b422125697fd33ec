#include "core/beamforming/compute_beamforming_map.h"

#include <stdexcept>
#include <vector>

#include "core/beamforming/detail/algorithm_table.h"

namespace zk::core {

HeatmapGrid selectedAlgorithmMap(const Beamformer& beamformer, std::span<const MatrixRows> matrices,
                                 std::span<const double> frequencies, const BeamformingParameters& parameters,
                                 std::uint64_t snapshotCount, double horizontalSpanDeg,
                                 double verticalSpanDeg, double gridStepDeg) {
    const detail::AlgorithmEntry* entry = detail::findAlgorithm(parameters.algorithm);
    if (entry == nullptr) throw std::logic_error("selected beamforming algorithm is not implemented yet");
    const CameraGridSpec grid{horizontalSpanDeg, verticalSpanDeg,          0.0, 0.0, gridStepDeg,
                              gridStepDeg,       parameters.focusDistanceM};
    return entry->map(beamformer, matrices, frequencies, parameters, snapshotCount, grid);
}

void stampBandAndParameters(HeatmapGrid& map, const FrequencyBand& band,
                            const BeamformingParameters& parameters) {
    const std::vector<double>& f = band.binFrequenciesHz;
    map.representativeFrequencyHz = band.representativeFrequencyHz;
    map.firstFrequencyHz = f.empty() ? 0.0 : f.front();
    map.lastFrequencyHz = f.empty() ? 0.0 : f.back();
    map.binCount = f.size();
    map.parametersRevision = parameters.revision;
    map.algorithmId = static_cast<std::uint32_t>(parameters.algorithm);
}

HeatmapGrid computeBeamformingMap(const Beamformer& beamformer, std::span<const MatrixRows> matrices,
                                  const FrequencyBand& band, const BeamformingParameters& parameters,
                                  std::uint64_t snapshotCount, double horizontalSpanDeg,
                                  double verticalSpanDeg, double gridStepDeg) {
    HeatmapGrid map = selectedAlgorithmMap(beamformer, matrices, band.binFrequenciesHz, parameters,
                                           snapshotCount, horizontalSpanDeg, verticalSpanDeg, gridStepDeg);
    stampBandAndParameters(map, band, parameters);
    return map;
}

}  // namespace zk::core
