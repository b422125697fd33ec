#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <complex>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/beamforming_parameters.h"
#include "core/beamforming/bin_rotation_map.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/beamforming/streaming_das_state.h"
#include "core/signal/cross_spectral_matrix.h"
#include "core/signal/frequency_band.h"
#include "core/signal/interleaved_sample_buffer.h"
#include "core/signal/spectral_framer.h"
#include "core/storage/device_profile.h"
#include "core/streaming/detail/snapshot_slot.h"
#include "core/streaming/map_jobs.h"
#include "core/streaming/noise_floor_profile.h"
#include "core/streaming/streaming_engine_config.h"

namespace zk::core {

/// The independent frames an exponential average of `frames` frames is worth, (sum w)^2 / sum w^2 of its
/// weights with the first frame taken whole: `frames` while they are few, (1 + alpha) / (1 - alpha) once
/// the average has settled; at least 1 for one frame or more, rounded to the nearest whole frame.
std::uint64_t averagedSnapshotCount(std::uint64_t frames, double alpha);

/// Turns a continuous stream of interleaved int16 wire frames into sound maps while it runs. Threads:
/// the producer pushes (configure, reset and restartContinuityWindow are serialised with it by the
/// owner); the GUI thread calls the setters; one map thread calls renderPendingMap; latestMap,
/// latencyStatistics and processedBlockCount may be called from any thread.
class StreamingAcousticEngine {
  public:
    StreamingAcousticEngine();
    ~StreamingAcousticEngine();
    StreamingAcousticEngine(const StreamingAcousticEngine&) = delete;
    StreamingAcousticEngine& operator=(const StreamingAcousticEngine&) = delete;

    /// Builds the whole pipeline. std::invalid_argument "invalid device profile" or "invalid streaming
    /// frame/hop size"; the band's and the beamformer's own messages pass through. A failed call leaves
    /// the engine as it was.
    void configure(const DeviceProfile& profile, const StreamingEngineConfig& config);

    /// Producer thread: appends whole wire frames, runs every hop they complete and publishes or renders
    /// a map when one is due.
    void pushWireFrames(std::span<const std::int16_t> samples);

    void suspendMaps();
    void resumeMaps();
    /// Clears the suspension and makes a map at once when there is data.
    void requestMapNow();

    void reset();
    /// Owner, while no producer or map thread runs: reset, then drops the whole pipeline (the
    /// Beamformer with its steering data, the matrices, the sums, the sample history) so that a stopped
    /// session holds no memory; the GUI thread's noise settings stay. configure must come before the
    /// next push.
    void release();
    /// After a gap in the samples: like reset, but keeps processedBlockCount, the time of the last map
    /// (the next comes a map interval after it) and a queued PendingMapJob (which the generation check
    /// then discards).
    void restartContinuityWindow();
    /// After samples dropped inside the program while the producer fell behind: drops the history so
    /// that no frame spans the hole, and keeps everything else (the averages, the map clock, the latest
    /// map, queued records). The frames on both sides are the stream's own; only their spacing changes.
    void restartFraming();

    /// Owner, while no producer runs: the clock the map interval is measured on, the steady clock
    /// unless a test stands in its own. An empty function restores the steady clock.
    using MapClock = std::function<std::chrono::steady_clock::time_point()>;
    void setMapClock(MapClock clock);

    [[nodiscard]] std::uint64_t processedBlockCount() const;

    /// GUI thread: validated snapshots, applied by the producer at its next hop boundary.
    void setBeamformingParameters(const BeamformingParameters& parameters);
    void setFrequencyBand(const FrequencyBandParameters& parameters);
    void setAveragingTimeConstant(double seconds);

    void setNoiseFloorProfile(std::shared_ptr<const NoiseFloorProfile> profile);
    void setNoiseSubtractionEnabled(bool enabled);
    /// The stored profile when subtraction is on and the profile matches the configured stream; else empty.
    [[nodiscard]] std::shared_ptr<const NoiseFloorProfile> activeNoiseFloor() const;
    void setNoiseCaptureEnabled(bool enabled);
    /// The oldest queued capture block, or empty.
    [[nodiscard]] std::shared_ptr<NoiseCaptureBlock> takeNoiseCaptureBlock();

    /// Map thread: renders the newest published record; true when a new map was stored.
    bool renderPendingMap();
    [[nodiscard]] std::optional<HeatmapGrid> latestMap() const;
    void recordMapLatency(std::uint64_t microseconds);
    [[nodiscard]] MapLatencyStats latencyStatistics() const;

    /// Producer-side views of the pipeline state, for diagnostics and tests.
    [[nodiscard]] const FrequencyBand& frequencyBand() const { return band_; }
    [[nodiscard]] const StreamingDasState& streamingDasState() const { return dasState_; }
    [[nodiscard]] std::uint64_t dasRotationCursor() const { return dasRotationCursor_; }
    /// Capture blocks dropped because the queue was full since capture was last switched.
    [[nodiscard]] std::uint64_t noiseCaptureOverflowCount() const;

  private:
    // The noise floor seen through the delay-and-sum beams, built on the map thread for one profile,
    // Beamformer, focus distance and band.
    struct NoiseReference {
        std::shared_ptr<const NoiseFloorProfile> profile;
        std::weak_ptr<const Beamformer> beamformer;  // identity only: never keeps an old one alive
        std::vector<double> frequencies;
        double focusDistanceM = 0.0;
        std::vector<double> beamSums;
        std::vector<double> diagonalSums;
        bool valid = false;
    };

    void applyFrequencyBand(const FrequencyBandParameters& parameters);
    void processHops();
    void scheduleMap(bool force);
    void captureNoiseBlock(const SpectralFrame& frame);
    void updateDasRotation(double focusDistanceM);
    void clearLatestMap();
    void restartWindow();
    [[nodiscard]] CameraGridSpec cameraGrid(double focusDistanceM) const;
    [[nodiscard]] double hopSeconds() const;
    [[nodiscard]] double averagingAlpha(double periodSeconds) const;

    bool renderWorkItem(const MapWorkItem& item);
    bool renderPendingJob(const PendingMapJob& job);
    bool storeIfCurrent(std::uint64_t generation, HeatmapGrid&& grid);
    [[nodiscard]] std::shared_ptr<const NoiseFloorProfile> noiseFloorFor(
        const MapRenderContext& context) const;
    void prepareNoiseReference(const std::shared_ptr<const NoiseFloorProfile>& profile,
                               const MapRenderContext& context, std::span<const double> frequencies,
                               double focusDistanceM);

    // Pipeline state of the producer thread (members are released in reverse order).
    DeviceProfile profile_;
    StreamingEngineConfig config_;
    std::optional<ChannelGatherMap> gatherMap_;
    std::optional<SpectralFramer> framer_;
    std::vector<CrossSpectralMatrix> matrices_;        // one per band bin, in band order
    std::shared_ptr<const MapRenderContext> context_;  // holds the engine's Beamformer
    StreamingDasState dasState_;
    std::uint64_t dasRotationCursor_ = 0;

    // Noise capture queue of at most 128 blocks and its drop count.
    std::deque<std::shared_ptr<NoiseCaptureBlock>> noiseCaptureQueue_;  // guarded by noiseMutex_
    std::uint64_t noiseCaptureOverflow_ = 0;                            // guarded by noiseMutex_
    mutable std::mutex noiseMutex_;  // guards the capture queue and its overflow count (producer, worker)
    // Set by the GUI thread under noiseMutex_, read by the producer at every frame.
    std::atomic<bool> noiseCaptureEnabled_{false};
    // Written by the GUI thread, read by the map thread and activeNoiseFloor callers.
    detail::SnapshotSlot<const NoiseFloorProfile> noiseFloorProfile_;
    // Written by the GUI thread, read by the map thread and activeNoiseFloor callers.
    std::atomic<bool> noiseSubtractionEnabled_{false};
    NoiseReference noiseReference_;    // map thread only
    std::vector<MatrixRows> cleaned_;  // map thread only: noise-subtracted rows of the current job

    // The history is an offset buffer: hops advance historyHead_; the consumed front is reclaimed only
    // once it outgrows the live tail, so a sample moves at most once on average.
    std::vector<std::int16_t> history_;
    std::size_t historyHead_ = 0;
    std::vector<SpectralFrame> frames_;             // reused by every hop's frameInto
    std::vector<std::complex<double>> bandBuffer_;  // F x M spectra of one hop, bin-major

    FrequencyBand band_;
    // Written by the producer, read by any thread.
    std::atomic<std::uint64_t> processedBlockCount_{0};
    std::chrono::steady_clock::time_point lastMapTime_{};
    MapClock mapClock_;           // producer (and the owner while it is idle); empty: the steady clock
    bool mapSinceReset_ = false;  // a map was scheduled since configure, reset or a band change
    bool mapsSuspended_ = false;

    mutable std::mutex mapMutex_;           // guards latestMap_ (map thread, producer, any reader)
    std::optional<HeatmapGrid> latestMap_;  // guarded by mapMutex_

    // Single-entry hand-off slots: the producer exchanges a new record in, the map thread exchanges
    // it out; the owner empties them on configure, band change and reset.
    detail::SnapshotSlot<const MapWorkItem> workItemSlot_;
    detail::SnapshotSlot<const PendingMapJob> pendingJobSlot_;
    BinRotationMap binRotation_;  // map thread only

    // Bumped by the producer side on every change that makes published records stale; read by the map
    // thread before and after a render.
    std::atomic<std::uint64_t> generation_{0};
    // Statistics, written by the producer (publication, DAS updates) and the map thread, read by any
    // thread without a lock; configure zeroes them.
    std::atomic<std::uint64_t> supersededJobs_{0};  // records replaced in a slot before they were taken
    std::atomic<std::uint64_t> latencyCount_{0};    // latency samples
    std::atomic<std::uint64_t> latencySumUs_{0};    // their sum
    std::atomic<std::uint64_t> latencyMaxUs_{0};    // their maximum, raised by compare-and-swap
    std::array<std::atomic<std::uint64_t>, mapLatencyBucketBoundsUs.size()> latencyBuckets_{};  // per bucket

    // Snapshots published by the GUI thread (and configure), loaded by the producer at hop boundaries;
    // the parameter snapshot is also read by the map thread for the noise reference's focus distance.
    detail::SnapshotSlot<const BeamformingParameters> parameterSnapshot_;
    detail::SnapshotSlot<const FrequencyBandParameters> bandSnapshot_;
    // Copy of context_ for the threads other than the producer (setters, activeNoiseFloor).
    detail::SnapshotSlot<const MapRenderContext> publishedContext_;
    // Time constant set by the GUI thread, taken (exchanged with 0) by the producer; 0 = none pending.
    std::atomic<double> pendingTimeConstant_{0.0};
};

}  // namespace zk::core
