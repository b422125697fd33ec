// The map side of the streaming engine: rendering of published records, the latest map, latency
// statistics and the noise-floor operations.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/beamforming/compute_beamforming_map.h"
#include "core/streaming/noise_floor_subtraction.h"
#include "core/streaming/streaming_acoustic_engine.h"

namespace zk::core {

namespace {

constexpr std::int32_t kDasAlgorithm = static_cast<std::int32_t>(BeamformingAlgorithm::kDas);
constexpr double kGridStepDeg = 1.0;

// Element-wise ==, so a NaN on either side never matches.
bool sameValues(std::span<const double> a, std::span<const double> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

template <typename T>
bool sameObject(const std::weak_ptr<T>& a, const std::shared_ptr<T>& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

bool StreamingAcousticEngine::renderPendingMap() {
    if (const auto item = workItemSlot_.exchange(nullptr)) {
        if (item->generation != generation_.load()) return false;
        return renderWorkItem(*item);
    }
    const auto job = pendingJobSlot_.exchange(nullptr);
    if (!job || job->generation != generation_.load() || !job->parameters) return false;
    return renderPendingJob(*job);
}

bool StreamingAcousticEngine::renderWorkItem(const MapWorkItem& item) {
    // Held for the whole render: a configure or speed change meanwhile installs another Beamformer.
    const std::shared_ptr<const Beamformer> beamformer = item.context->beamformer;
    std::span<const double> noiseBeamSums;
    std::span<const double> noiseDiagonalSums;
    if (const auto noise = noiseFloorFor(*item.context)) {
        const auto parameters = parameterSnapshot_.load();
        const double focusDistanceM =
            parameters ? parameters->focusDistanceM : std::numeric_limits<double>::infinity();
        prepareNoiseReference(noise, *item.context, item.frequencies, focusDistanceM);
        noiseBeamSums = noiseReference_.beamSums;
        noiseDiagonalSums = noiseReference_.diagonalSums;
    }
    HeatmapGrid grid = beamformer->finalizeStreamingDas(
        item.horizontalAxis, item.verticalAxis, item.frequencies, item.beamSums, item.diagonalSums,
        item.removeCsmDiagonal, noiseBeamSums, noiseDiagonalSums);
    grid.representativeFrequencyHz = item.representativeFrequencyHz;
    grid.parametersRevision = item.revision;
    grid.algorithmId = static_cast<std::uint32_t>(kDasAlgorithm);
    return storeIfCurrent(item.generation, std::move(grid));
}

bool StreamingAcousticEngine::renderPendingJob(const PendingMapJob& job) {
    const auto t0 = std::chrono::steady_clock::now();
    const MapRenderContext& context = *job.context;
    const std::shared_ptr<const Beamformer> beamformer = context.beamformer;
    const std::vector<MatrixRows>* rows = &job.rows;
    if (const auto noise = noiseFloorFor(context)) {
        if (subtractNoiseFloor(cleaned_, job.rows, *noise, job.band.binIndices) && !cleaned_.empty()) {
            rows = &cleaned_;
        }
    }
    const BeamformingParameters& parameters = *job.parameters;
    HeatmapGrid grid;
    if (context.useBinRotation && BinRotationMap::isRotatable(parameters.algorithm)) {
        grid = binRotation_.update(*beamformer, *rows, job.band, parameters, job.frameCount,
                                   context.horizontalSpanDeg, context.verticalSpanDeg, kGridStepDeg,
                                   job.generation);
    } else {
        grid = computeBeamformingMap(*beamformer, *rows, job.band, parameters, job.frameCount,
                                     context.horizontalSpanDeg, context.verticalSpanDeg, kGridStepDeg);
    }
    const auto t1 = std::chrono::steady_clock::now();
    recordMapLatency(static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(t1 - t0).count() / 1000));
    return storeIfCurrent(job.generation, std::move(grid));
}

bool StreamingAcousticEngine::storeIfCurrent(std::uint64_t generation, HeatmapGrid&& grid) {
    // Checked under the lock: every bump is made before the map is cleared, so a render that
    // overlaps a bump either sees it here or has its map cleared after it.
    const std::lock_guard lock(mapMutex_);
    if (generation != generation_.load()) return false;
    latestMap_ = std::move(grid);
    return true;
}

void StreamingAcousticEngine::prepareNoiseReference(const std::shared_ptr<const NoiseFloorProfile>& profile,
                                                    const MapRenderContext& context,
                                                    std::span<const double> frequencies,
                                                    double focusDistanceM) {
    NoiseReference& cache = noiseReference_;
    // The Beamformer is part of the key: a speed of sound or a geometry of its own changes the beams.
    if (cache.valid && cache.profile == profile && sameObject(cache.beamformer, context.beamformer) &&
        cache.focusDistanceM == focusDistanceM && sameValues(cache.frequencies, frequencies)) {
        return;
    }
    cache.valid = false;
    const double binWidthHz =
        static_cast<double>(context.sampleRateHz) / static_cast<double>(context.frameSize);
    std::vector<MatrixRows> matrices;
    matrices.reserve(frequencies.size());
    for (const double f : frequencies) {
        const long long bin = std::llround(f / binWidthHz);
        if (bin < 0 || static_cast<std::uint64_t>(bin) >= profile->matrices.size()) {
            throw std::invalid_argument("noise floor does not cover the imaging band");
        }
        matrices.push_back(profile->matrices[static_cast<std::size_t>(bin)]);
    }
    const CameraGridSpec grid{context.horizontalSpanDeg,
                              context.verticalSpanDeg,
                              0.0,
                              0.0,
                              kGridStepDeg,
                              kGridStepDeg,
                              focusDistanceM};
    context.beamformer->projectBand(matrices, frequencies, grid, cache.beamSums, cache.diagonalSums);
    for (double& v : cache.beamSums) v *= profile->subtractBeta;
    for (double& v : cache.diagonalSums) v *= profile->subtractBeta;
    cache.profile = profile;
    cache.beamformer = context.beamformer;
    cache.frequencies.assign(frequencies.begin(), frequencies.end());
    cache.focusDistanceM = focusDistanceM;
    cache.valid = true;
}

std::optional<HeatmapGrid> StreamingAcousticEngine::latestMap() const {
    const std::lock_guard lock(mapMutex_);
    return latestMap_;
}

void StreamingAcousticEngine::recordMapLatency(std::uint64_t microseconds) {
    latencyCount_.fetch_add(1);
    latencySumUs_.fetch_add(microseconds);
    std::uint64_t seen = latencyMaxUs_.load();
    while (seen < microseconds && !latencyMaxUs_.compare_exchange_weak(seen, microseconds)) {
    }
    const auto bucket = std::find_if(mapLatencyBucketBoundsUs.begin(), mapLatencyBucketBoundsUs.end(),
                                     [&](std::uint64_t bound) { return bound >= microseconds; });
    latencyBuckets_[static_cast<std::size_t>(bucket - mapLatencyBucketBoundsUs.begin())].fetch_add(1);
}

MapLatencyStats StreamingAcousticEngine::latencyStatistics() const {
    MapLatencyStats stats;
    stats.supersededJobs = supersededJobs_.load();
    const std::uint64_t count = latencyCount_.load();
    if (count == 0) return stats;
    const double maxMs = static_cast<double>(latencyMaxUs_.load()) / 1000.0;
    stats.mapCount = count;
    stats.sampleCount = count;
    stats.meanMs = static_cast<double>(latencySumUs_.load()) / static_cast<double>(count) / 1000.0;
    stats.maxMs = maxMs;
    const std::size_t last = mapLatencyBucketBoundsUs.size() - 1;
    const auto percentile = [&](double p) {
        const auto target = static_cast<std::uint64_t>(std::ceil(static_cast<double>(count) * p));
        std::uint64_t running = 0;
        for (std::size_t b = 0; b <= last; ++b) {
            running += latencyBuckets_[b].load();
            if (running >= target) {
                return b == last ? maxMs : static_cast<double>(mapLatencyBucketBoundsUs[b]) / 1000.0;
            }
        }
        // Counters read while another thread records.
        return maxMs;
    };
    stats.p50Ms = percentile(0.5);
    stats.p95Ms = percentile(0.95);
    stats.p99Ms = percentile(0.99);
    return stats;
}

void StreamingAcousticEngine::setNoiseFloorProfile(std::shared_ptr<const NoiseFloorProfile> profile) {
    noiseFloorProfile_.store(std::move(profile));
}

void StreamingAcousticEngine::setNoiseSubtractionEnabled(bool enabled) {
    noiseSubtractionEnabled_.store(enabled);
}

std::shared_ptr<const NoiseFloorProfile> StreamingAcousticEngine::noiseFloorFor(
    const MapRenderContext& context) const {
    if (!noiseSubtractionEnabled_.load()) return nullptr;
    auto profile = noiseFloorProfile_.load();
    // The profile's own enabled flag is the user's stored choice; the caller's switch decides here.
    if (!profile || profile->channelCount == 0 || profile->fftSize == 0 ||
        profile->matrices.size() != profile->fftSize / 2 + 1 || profile->averagedFrames == 0 ||
        profile->fftSize != context.frameSize || profile->channelCount != context.channelCount ||
        profile->sampleRateHz != context.sampleRateHz) {
        return nullptr;
    }
    return profile;
}

std::shared_ptr<const NoiseFloorProfile> StreamingAcousticEngine::activeNoiseFloor() const {
    const auto context = publishedContext_.load();
    return context ? noiseFloorFor(*context) : nullptr;
}

void StreamingAcousticEngine::setNoiseCaptureEnabled(bool enabled) {
    const std::lock_guard lock(noiseMutex_);
    noiseCaptureQueue_.clear();
    noiseCaptureOverflow_ = 0;
    noiseCaptureEnabled_.store(enabled);
}

std::shared_ptr<NoiseCaptureBlock> StreamingAcousticEngine::takeNoiseCaptureBlock() {
    const std::lock_guard lock(noiseMutex_);
    if (noiseCaptureQueue_.empty()) return nullptr;
    auto block = std::move(noiseCaptureQueue_.front());
    noiseCaptureQueue_.pop_front();
    return block;
}

std::uint64_t StreamingAcousticEngine::noiseCaptureOverflowCount() const {
    const std::lock_guard lock(noiseMutex_);
    return noiseCaptureOverflow_;
}

}  // namespace zk::core
