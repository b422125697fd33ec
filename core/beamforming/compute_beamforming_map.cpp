#include "core/beamforming/compute_beamforming_map.h"

#include <stdexcept>
#include <vector>

namespace zk::core {

HeatmapGrid selectedAlgorithmMap(const Beamformer& beamformer, std::span<const MatrixRows> matrices,
                                 std::span<const double> f, const BeamformingParameters& parameters,
                                 std::uint64_t snapshotCount, double horizontalSpanDeg,
                                 double verticalSpanDeg, double gridStepDeg) {
    const double h = horizontalSpanDeg, v = verticalSpanDeg, s = gridStepDeg;
    const double focus = parameters.focusDistanceM;
    const BeamformingParameters& p = parameters;

    switch (parameters.algorithm) {
        case 1:
            return beamformer.broadbandDas(matrices, f, h, v, 0.0, 0.0, s, s, p.removeCsmDiagonal, focus);
        case 2:
            return beamformer.functionalMap(matrices, f, p.functionalOrder, p.functionalEigenTolerance, h, v,
                                            0.0, 0.0, s, s, focus);
        case 3:
            return beamformer.mvdrMap(matrices, f, p.mvdrLoading, p.mvdrFloor, h, v, 0.0, 0.0, s, s, focus);
        case 4:
            return beamformer.robustCaponMap(matrices, f, p.robustCaponBaseLoading, p.robustCaponUncertainty,
                                             p.robustCaponUncertaintyGain, p.robustCaponFloor, h, v, 0.0, 0.0,
                                             s, s, focus);
        case 5:
            return beamformer.fixedMusicMap(matrices, f, p.musicSourceCount, p.musicFloor, h, v, 0.0, 0.0, s,
                                            s, focus);
        case 6:
            return beamformer.autoMusicMap(matrices, f, snapshotCount, p.autoMusicMaxSources,
                                           p.autoMusicEstimator, p.autoMusicFloor, p.autoMusicEigenFloor, h,
                                           v, 0.0, 0.0, s, s, focus);
        case 7:
            return beamformer.orthogonalMap(matrices, f, p.orthogonalMaxModes, p.orthogonalEigenThreshold, h,
                                            v, 0.0, 0.0, s, s, focus);
        case 8:
            return beamformer.srpPhatMap(matrices, f, p.phatFloor, p.phatExponent, p.phatZeroDiagonal, h, v,
                                         0.0, 0.0, s, s, focus);
        case 9:
            return beamformer.cleanScMap(matrices, f, p.cleanLoopGain, p.cleanMaxIterations, p.cleanStopDb, h,
                                         v, 0.0, 0.0, s, s, focus);
        case 10:
            return beamformer.damasMap(matrices, f, p.damasIterations, p.damasStride, p.damasRelaxation, h, v,
                                       0.0, 0.0, s, s, focus);
        case 11:
            return beamformer.damasFistaMap(matrices, f, p.damasFistaIterations, p.damasFistaStride,
                                            p.damasFistaTolerance, h, v, 0.0, 0.0, s, s, focus);
        case 12:
            return beamformer.nnlsMap(matrices, f, p.nnlsIterations, p.nnlsStride, p.nnlsTolerance, h, v, 0.0,
                                      0.0, s, s, focus);
        case 13:
            return beamformer.sparseFistaMap(matrices, f, p.sparseFistaIterations, p.sparseFistaStride,
                                             p.sparseFistaLambdaRel, p.sparseFistaTolerance, h, v, 0.0, 0.0,
                                             s, s, focus);
        case 14:
            return beamformer.sblMap(matrices, f, p.sblIterations, p.sblStride, p.sblNoiseRel, p.sblPruneRel,
                                     h, v, 0.0, 0.0, s, s, focus);
        default:
            throw std::logic_error("selected beamforming algorithm is not implemented yet");
    }
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
