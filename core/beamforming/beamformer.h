#pragma once

#include <atomic>
#include <complex>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "core/beamforming/broadband_matrices.h"
#include "core/beamforming/camera_grid.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/beamforming/steering_cache.h"
#include "core/beamforming/streaming_das_state.h"
#include "core/signal/matrix_rows.h"

namespace zk::core {

// Microphone position in metres in the array frame: x to the right of the picture, y upwards, z along
// the camera's line of sight.
struct MicrophonePosition {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

class Beamformer {
  public:
    using CameraBandSteeringCache = zk::core::CameraBandSteeringCache;

    Beamformer(std::vector<MicrophonePosition> microphones, double speedOfSound);
    Beamformer(const Beamformer&) = delete;
    Beamformer& operator=(const Beamformer&) = delete;

    const std::vector<MicrophonePosition>& microphones() const { return microphones_; }
    std::uint64_t microphoneCount() const { return microphones_.size(); }
    double speedOfSound() const { return speedOfSound_.load(); }

    // May run while other threads compute maps: each map keeps the speed its steering entry was built
    // with, and no entry built with an older speed is served after the change.
    void setSpeedOfSound(double c);

    // Returns the cached entry for the grid, band and current speed of sound, building it on a miss.
    // Does not validate its arguments, but throws std::invalid_argument before allocating when the grid
    // has more points, or points x microphones, than detail/steering_blocks.h allows. An entry whose
    // tables pass the memory budget holds its path differences instead (steering_cache.h). Safe to call
    // from several threads at once.
    std::shared_ptr<const CameraBandSteeringCache> steeringCacheFor(std::span<const double> frequencies,
                                                                    const CameraGridSpec& grid) const;
    std::shared_ptr<const CameraBandSteeringCache> steeringCacheFor(
        std::span<const double> frequencies, double horizontalSpanDeg, double verticalSpanDeg,
        double horizontalCentreDeg, double verticalCentreDeg, double horizontalStepDeg,
        double verticalStepDeg, double focusDistanceM) const;
    // The steering planes, all that the live delay-and-sum update and projectBand read: the cached entry
    // when there is one; else, when the tables fit the budget, an entry of the caller's own that holds
    // the planes without the phase terms (half the memory) and never enters the cache; else the cached
    // entry of path differences.
    std::shared_ptr<const CameraBandSteeringCache> steeringPlanesFor(std::span<const double> frequencies,
                                                                     const CameraGridSpec& grid) const;

    // Every entry below that takes the grid as seven loose values (six grid values and the focus
    // distance) forwards them as one CameraGridSpec to the overload beside it.

    // Conventional maps (conventional_maps.cpp).

    static double dasPower(const MatrixRows& rows, std::span<const std::complex<double>> steering,
                           bool removeDiagonal);
    double dasPowerAtDirection(const MatrixRows& rows, double frequencyHz, double azimuthDeg,
                               double elevationDeg, bool removeDiagonal) const;
    HeatmapGrid cameraGridMap(const MatrixRows& rows, double frequencyHz, double horizontalSpanDeg,
                              double verticalSpanDeg, double horizontalCentreDeg, double verticalCentreDeg,
                              double horizontalStepDeg, double verticalStepDeg, bool removeDiagonal) const;
    HeatmapGrid azimuthElevationScan(const MatrixRows& rows, double frequencyHz, double azimuthMinDeg,
                                     double azimuthMaxDeg, std::uint64_t azimuthCount, double elevationMinDeg,
                                     double elevationMaxDeg, std::uint64_t elevationCount,
                                     bool removeDiagonal) const;
    HeatmapGrid scanMap(const MatrixRows& rows, double frequencyHz, double azimuthMinDeg,
                        double azimuthMaxDeg, std::uint64_t azimuthCount, double elevationDeg,
                        bool removeDiagonal) const;
    HeatmapGrid broadbandDas(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                             const CameraGridSpec& grid, bool removeDiagonal) const;
    HeatmapGrid broadbandDas(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                             double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                             double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                             bool removeDiagonal, double focusDistanceM) const;

    // Streaming DAS (streaming_das.cpp).

    // spectra: F x M values, index b * M + m, in frequency order. Updates bins [firstBin, firstBin +
    // binLimit) (all from firstBin if binLimit is 0) on at most maxThreads threads; a bin's first update
    // since the build or reset takes its power whole. Allocates only to rebuild the state, to grow its
    // scratch for a larger team, or for per-thread steering blocks when the grid's entry holds no tables.
    void updateStreamingDas(StreamingDasState& state, std::span<const std::complex<double>> spectra,
                            std::span<const double> frequencies, double alpha, const CameraGridSpec& grid,
                            std::int32_t maxThreads, std::uint64_t firstBin, std::uint64_t binLimit) const;
    void updateStreamingDas(StreamingDasState& state, std::span<const std::complex<double>> spectra,
                            std::span<const double> frequencies, double alpha, double horizontalSpanDeg,
                            double verticalSpanDeg, double horizontalCentreDeg, double verticalCentreDeg,
                            double horizontalStepDeg, double verticalStepDeg, double focusDistanceM,
                            std::int32_t maxThreads, std::uint64_t firstBin, std::uint64_t binLimit) const;
    HeatmapGrid finalizeStreamingDas(std::span<const double> horizontalAxis,
                                     std::span<const double> verticalAxis,
                                     std::span<const double> frequencies, std::span<const double> beamSums,
                                     std::span<const double> diagonalSums, bool removeDiagonal,
                                     std::span<const double> noiseBeamSums,
                                     std::span<const double> noiseDiagonalSums) const;
    // The expected beam and diagonal sums of the matrices in the units of updateStreamingDas.
    void projectBand(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                     const CameraGridSpec& grid, std::vector<double>& outBeamSums,
                     std::vector<double>& outDiagonalSums) const;
    void projectBand(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                     double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                     double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                     double focusDistanceM, std::vector<double>& outBeamSums,
                     std::vector<double>& outDiagonalSums) const;

    // Adaptive beamformers (capon_maps.cpp, functional_map.cpp, clean_sc_map.cpp)

    // One bin reduced to the packed strict upper triangle of a weight matrix (pair order (0,1),
    // (0,2), ..., (1,2), ...; entries already scaled by 2/M) plus its diagonal term (trace / M).
    // The eigenvalue fields and notPsd serve the Functional map only.
    struct PairWeights {
        std::vector<float> pairRe;
        std::vector<float> pairIm;
        double diagonalTerm = 0.0;
        double lambdaMax = 0.0;
        double lambdaMin = 0.0;
        bool valid = false;
        bool notPsd = false;
    };

    // Minimum-variance map: Capon with loading L0 times the mean microphone power.
    HeatmapGrid mvdrMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                        double loading, double floor, const CameraGridSpec& grid) const;
    HeatmapGrid mvdrMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                        double loading, double floor, double horizontalSpanDeg, double verticalSpanDeg,
                        double horizontalCentreDeg, double verticalCentreDeg, double horizontalStepDeg,
                        double verticalStepDeg, double focusDistanceM) const;
    HeatmapGrid robustCaponMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                               double baseLoading, double uncertainty, double uncertaintyGain, double floor,
                               const CameraGridSpec& grid) const;
    HeatmapGrid robustCaponMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                               double baseLoading, double uncertainty, double uncertaintyGain, double floor,
                               double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                               double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                               double focusDistanceM) const;
    // Sum over bins of 1 / max(a^H (R + d I)^-1 a / M, floor), d = U^2 G lambda_max + L0 mean power
    // (lambda_max only when U > 0 and G > 0). Bins without usable power or inverse add nothing.
    HeatmapGrid caponMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                         double loading, double uncertainty, double uncertaintyGain, double floor,
                         const CameraGridSpec& grid) const;
    HeatmapGrid caponMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                         double loading, double uncertainty, double uncertaintyGain, double floor,
                         double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                         double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                         double focusDistanceM) const;
    // Sum over bins of lambda_max (a^H R^(1/order) a / (M lambda_max^(1/order)))^order. Throws
    // std::runtime_error when a bin's smallest eigenvalue is below -max(1, lambda_max) * eigenTolerance.
    HeatmapGrid functionalMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                              std::uint32_t order, double eigenTolerance, const CameraGridSpec& grid) const;
    HeatmapGrid functionalMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                              std::uint32_t order, double eigenTolerance, double horizontalSpanDeg,
                              double verticalSpanDeg, double horizontalCentreDeg, double verticalCentreDeg,
                              double horizontalStepDeg, double verticalStepDeg, double focusDistanceM) const;
    // Per-bin CLEAN-SC of the conventional map; stopDb is relative to the bin's first dirty peak.
    // Runs serially in the calling thread.
    HeatmapGrid cleanScMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                           double loopGain, std::uint32_t maxIterations, double stopDb,
                           const CameraGridSpec& grid) const;
    HeatmapGrid cleanScMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                           double loopGain, std::uint32_t maxIterations, double stopDb,
                           double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                           double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                           double focusDistanceM) const;

    // Subspace and phase-transform beamformers (music_maps.cpp, orthogonal_map.cpp, srp_phat_map.cpp).

    // Argument block of musicMap.
    struct MusicConfig {
        std::uint32_t fixedSourceCount = 0;  // 0 = estimate per bin
        std::uint64_t snapshotCount = 2;     // STFT frames behind the matrices
        std::uint32_t maxSources = 1;
        std::uint32_t estimator = 1;  // 1 MDL, 2 AIC, 3 eigenvalue gap
        double spectrumFloor = 1e-14;
        double eigenFloor = 1e-12;
    };
    struct MusicBinResult {
        std::vector<double> pseudoSpectrum;  // one value per grid point; empty when the bin failed
        std::uint32_t sourceCount = 0;
    };

    // MUSIC with a fixed source count (reduced to M - 1 when larger); sourceCount 0 is rejected.
    HeatmapGrid fixedMusicMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                              std::uint32_t sourceCount, double floor, const CameraGridSpec& grid) const;
    HeatmapGrid fixedMusicMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                              std::uint32_t sourceCount, double floor, double horizontalSpanDeg,
                              double verticalSpanDeg, double horizontalCentreDeg, double verticalCentreDeg,
                              double horizontalStepDeg, double verticalStepDeg, double focusDistanceM) const;
    // MUSIC with the source count estimated per bin; the map carries the median count.
    HeatmapGrid autoMusicMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                             std::uint64_t snapshotCount, std::uint32_t maxSources, std::uint32_t estimator,
                             double floor, double eigenFloor, const CameraGridSpec& grid) const;
    HeatmapGrid autoMusicMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                             std::uint64_t snapshotCount, std::uint32_t maxSources, std::uint32_t estimator,
                             double floor, double eigenFloor, double horizontalSpanDeg,
                             double verticalSpanDeg, double horizontalCentreDeg, double verticalCentreDeg,
                             double horizontalStepDeg, double verticalStepDeg, double focusDistanceM) const;
    // Sum over bins of each bin's pseudo-spectrum normalised to its own maximum.
    HeatmapGrid musicMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                         const MusicConfig& config, const CameraGridSpec& grid) const;
    HeatmapGrid musicMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                         const MusicConfig& config, double horizontalSpanDeg, double verticalSpanDeg,
                         double horizontalCentreDeg, double verticalCentreDeg, double horizontalStepDeg,
                         double verticalStepDeg, double focusDistanceM) const;
    // Up to maxModes eigenvalues per bin (those at least relativeThreshold times the largest), each
    // placed on the grid point where its eigenvector's beam response peaks.
    HeatmapGrid orthogonalMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                              std::uint32_t maxModes, double relativeThreshold,
                              const CameraGridSpec& grid) const;
    HeatmapGrid orthogonalMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                              std::uint32_t maxModes, double relativeThreshold, double horizontalSpanDeg,
                              double verticalSpanDeg, double horizontalCentreDeg, double verticalCentreDeg,
                              double horizontalStepDeg, double verticalStepDeg, double focusDistanceM) const;
    // Steered response power with cross terms divided by (geometric mean of the auto powers)^exponent,
    // exponent in [0, 1], the divisor floored at floor before the power is taken.
    HeatmapGrid srpPhatMap(std::span<const MatrixRows> matrixRows, std::span<const double> frequencies,
                           double floor, double exponent, bool zeroDiagonal,
                           const CameraGridSpec& grid) const;
    HeatmapGrid srpPhatMap(std::span<const MatrixRows> matrixRows, std::span<const double> frequencies,
                           double floor, double exponent, bool zeroDiagonal, double horizontalSpanDeg,
                           double verticalSpanDeg, double horizontalCentreDeg, double verticalCentreDeg,
                           double horizontalStepDeg, double verticalStepDeg, double focusDistanceM) const;

    // Deconvolution (deconvolution_maps.cpp). DAS power of the band sampled on a coarse sub-grid
    // (every stride-th row and column plus the last), solved for a non-negative source distribution
    // and spread back bilinearly. The map's power is relative to the coarse DAS peak. Reached
    // through computeBeamformingMap, which stamps the band and parameter identity.

    HeatmapGrid damasMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                         std::uint32_t iterations, std::uint32_t stride, double relaxation,
                         const CameraGridSpec& grid) const;
    HeatmapGrid damasMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                         std::uint32_t iterations, std::uint32_t stride, double relaxation,
                         double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                         double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                         double focusDistanceM) const;
    HeatmapGrid damasFistaMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                              std::uint32_t iterations, std::uint32_t stride, double tolerance,
                              const CameraGridSpec& grid) const;
    HeatmapGrid damasFistaMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                              std::uint32_t iterations, std::uint32_t stride, double tolerance,
                              double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                              double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                              double focusDistanceM) const;
    HeatmapGrid nnlsMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                        std::uint32_t iterations, std::uint32_t stride, double tolerance,
                        const CameraGridSpec& grid) const;
    HeatmapGrid nnlsMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                        std::uint32_t iterations, std::uint32_t stride, double tolerance,
                        double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                        double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                        double focusDistanceM) const;
    HeatmapGrid sparseFistaMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                               std::uint32_t iterations, std::uint32_t stride, double lambdaRel,
                               double tolerance, const CameraGridSpec& grid) const;
    HeatmapGrid sparseFistaMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                               std::uint32_t iterations, std::uint32_t stride, double lambdaRel,
                               double tolerance, double horizontalSpanDeg, double verticalSpanDeg,
                               double horizontalCentreDeg, double verticalCentreDeg, double horizontalStepDeg,
                               double verticalStepDeg, double focusDistanceM) const;
    HeatmapGrid sblMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                       std::uint32_t iterations, std::uint32_t stride, double noiseRel, double pruneRel,
                       const CameraGridSpec& grid) const;
    HeatmapGrid sblMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                       std::uint32_t iterations, std::uint32_t stride, double noiseRel, double pruneRel,
                       double horizontalSpanDeg, double verticalSpanDeg, double horizontalCentreDeg,
                       double verticalCentreDeg, double horizontalStepDeg, double verticalStepDeg,
                       double focusDistanceM) const;
    // algorithmId 10..14 selects the solver; secondValue is read by 13 and 14 only. Throws
    // std::invalid_argument before any solver runs.
    HeatmapGrid deconvolutionMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                 std::int32_t algorithmId, std::uint32_t iterations, std::uint32_t stride,
                                 double firstValue, double secondValue, const CameraGridSpec& grid) const;
    HeatmapGrid deconvolutionMap(std::span<const MatrixRows> matrices, std::span<const double> frequencies,
                                 std::int32_t algorithmId, std::uint32_t iterations, std::uint32_t stride,
                                 double firstValue, double secondValue, double horizontalSpanDeg,
                                 double verticalSpanDeg, double horizontalCentreDeg, double verticalCentreDeg,
                                 double horizontalStepDeg, double verticalStepDeg,
                                 double focusDistanceM) const;
    // n x n row-major, n = coarsePoints.size(); entry [j][i] is the band-mean response at point j to a unit
    // source at point i, columns normalised to a unit diagonal.
    static std::vector<double> pointSpreadMatrix(const CameraBandSteeringCache& cache,
                                                 std::span<const std::uint64_t> coarsePoints);

  private:
    // Path differences d_m in metres of every microphone for one grid direction (degrees); far field
    // when the focus distance is infinite. out holds one value per microphone.
    void pathDifferences(double horizontalDeg, double verticalDeg, double focusDistanceM,
                         std::span<double> out) const;
    std::shared_ptr<CameraBandSteeringCache> buildSteeringCache(std::span<const double> frequencies,
                                                                const CameraGridSpec& key,
                                                                double speedOfSound,
                                                                bool withTerms = true) const;
    // The cached entry for the key at speed c, or null; the caller holds mutex_.
    std::shared_ptr<const CameraBandSteeringCache> findSteering(std::span<const double> frequencies,
                                                                const CameraGridSpec& key, double c) const;

    std::vector<MicrophonePosition> microphones_;
    std::atomic<double> speedOfSound_;  // read by any thread without the lock; written under mutex_
    mutable std::mutex mutex_;          // guards steeringCaches_ and speedOfSound_ writes
    mutable std::vector<std::shared_ptr<const CameraBandSteeringCache>> steeringCaches_;  // oldest first
};

// OpenMP team size of the numeric loops: min(omp_get_max_threads(), 4).
int beamformerThreadCount();

}  // namespace zk::core
