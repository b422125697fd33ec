#include "core/compute_beamforming_map.h"

#include <stdexcept>

namespace zk::core {

HeatmapGrid computeBeamformingMap(const Beamformer& beamformer, std::span<const MatrixRows> matrices,
                                  const FrequencyBand& band, const BeamformingParameters& parameters,
                                  std::uint64_t snapshotCount, double horizontalSpanDeg,
                                  double verticalSpanDeg, double gridStepDeg) {
    const std::span<const double> f = band.binFrequenciesHz;
    const double h = horizontalSpanDeg, v = verticalSpanDeg, s = gridStepDeg;
    const double focus = parameters.focusDistanceM;
    const BeamformingParameters& p = parameters;

    HeatmapGrid map;
    switch (parameters.algorithm) {
        case 1:
            map = beamformer.broadbandDas(matrices, f, h, v, 0.0, 0.0, s, s, p.removeCsmDiagonal, focus);
            break;
        case 2:
            map = beamformer.functionalMap(matrices, f, p.functionalOrder, p.functionalEigenTolerance, h, v,
                                           0.0, 0.0, s, s, focus);
            break;
        case 3:
            map = beamformer.mvdrMap(matrices, f, p.mvdrLoading, p.mvdrFloor, h, v, 0.0, 0.0, s, s, focus);
            break;
        case 4:
            map = beamformer.robustCaponMap(matrices, f, p.robustCaponBaseLoading, p.robustCaponUncertainty,
                                            p.robustCaponUncertaintyGain, p.robustCaponFloor, h, v, 0.0, 0.0,
                                            s, s, focus);
            break;
        case 5:
            map = beamformer.fixedMusicMap(matrices, f, p.musicSourceCount, p.musicFloor, h, v, 0.0, 0.0, s,
                                           s, focus);
            break;
        case 6:
            map = beamformer.autoMusicMap(matrices, f, snapshotCount, p.autoMusicMaxSources,
                                          p.autoMusicEstimator, p.autoMusicFloor, p.autoMusicEigenFloor, h, v,
                                          0.0, 0.0, s, s, focus);
            break;
        case 7:
            map = beamformer.orthogonalMap(matrices, f, p.orthogonalMaxModes, p.orthogonalEigenThreshold, h,
                                           v, 0.0, 0.0, s, s, focus);
            break;
        case 8:
            map = beamformer.srpPhatMap(matrices, f, p.phatFloor, p.phatExponent, p.phatZeroDiagonal, h, v,
                                        0.0, 0.0, s, s, focus);
            break;
        case 9:
            map = beamformer.cleanScMap(matrices, f, p.cleanLoopGain, p.cleanMaxIterations, p.cleanStopDb, h,
                                        v, 0.0, 0.0, s, s, focus);
            break;
        case 10:
            map = beamformer.damasMap(matrices, f, p.damasIterations, p.damasStride, p.damasRelaxation, h, v,
                                      0.0, 0.0, s, s, focus);
            break;
        case 11:
            map = beamformer.damasFistaMap(matrices, f, p.damasFistaIterations, p.damasFistaStride,
                                           p.damasFistaTolerance, h, v, 0.0, 0.0, s, s, focus);
            break;
        case 12:
            map = beamformer.nnlsMap(matrices, f, p.nnlsIterations, p.nnlsStride, p.nnlsTolerance, h, v, 0.0,
                                     0.0, s, s, focus);
            break;
        case 13:
            map = beamformer.sparseFistaMap(matrices, f, p.sparseFistaIterations, p.sparseFistaStride,
                                            p.sparseFistaLambdaRel, p.sparseFistaTolerance, h, v, 0.0, 0.0, s,
                                            s, focus);
            break;
        case 14:
            map = beamformer.sblMap(matrices, f, p.sblIterations, p.sblStride, p.sblNoiseRel, p.sblPruneRel,
                                    h, v, 0.0, 0.0, s, s, focus);
            break;
        default:
            throw std::logic_error("selected beamforming algorithm is not implemented yet");
    }

    map.representativeFrequencyHz = band.representativeFrequencyHz;
    map.firstFrequencyHz = f.empty() ? 0.0 : f.front();
    map.lastFrequencyHz = f.empty() ? 0.0 : f.back();
    map.binCount = f.size();
    map.parametersRevision = parameters.revision;
    map.algorithmId = static_cast<std::uint32_t>(parameters.algorithm);
    return map;
}

}  // namespace zk::core
