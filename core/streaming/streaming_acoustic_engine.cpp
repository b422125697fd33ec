#include "core/streaming/streaming_acoustic_engine.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "core/beamforming/compute_beamforming_map.h"
#include "core/detail/parallel_for.h"

namespace zk::core {

namespace {

constexpr std::int32_t kDasAlgorithm = static_cast<std::int32_t>(BeamformingAlgorithm::kDas);
constexpr double kGridStepDeg = 1.0;
constexpr std::uint64_t kMatrixParallelBins = 4;
constexpr std::size_t kNoiseCaptureLimit = 128;
constexpr double kFarField = std::numeric_limits<double>::infinity();

CameraGridSpec gridOf(const CameraFieldOfView& fov, double focusDistanceM) {
    return {fov.horizontalDeg, fov.verticalDeg, 0.0, 0.0, kGridStepDeg, kGridStepDeg, focusDistanceM};
}

// Truncation to an unsigned count that stays defined for NaN, negative and huge values.
std::uint64_t truncatedCount(double value) {
    if (!(value >= 1.0)) return 0;
    if (value >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(value);
}

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return a / b + (a % b != 0 ? 1 : 0); }

std::vector<CrossSpectralMatrix> makeMatrices(std::uint64_t channels, std::size_t bins, double alpha) {
    std::vector<CrossSpectralMatrix> matrices;
    matrices.reserve(bins);
    for (std::size_t i = 0; i < bins; ++i) {
        matrices.emplace_back(channels);
        matrices.back().setAveragingAlpha(alpha);
    }
    return matrices;
}

std::vector<MicrophonePosition> positionsOf(const DeviceProfile& profile) {
    std::vector<MicrophonePosition> positions;
    positions.reserve(profile.microphones.size());
    for (const MicrophoneChannel& m : profile.microphones) positions.push_back({m.x, m.y, m.z});
    return positions;
}

}  // namespace

std::uint64_t averagedSnapshotCount(std::uint64_t frames, double alpha) {
    if (frames <= 1 || !(alpha > 0.0 && alpha < 1.0)) return frames;
    // The first frame weighs alpha^(n-1), frame k >= 1 weighs (1 - alpha) alpha^(n-1-k); they sum to 1.
    const double first = std::pow(alpha, 2.0 * static_cast<double>(frames - 1));
    const double sumOfSquares = first + (1.0 - alpha) / (1.0 + alpha) * (1.0 - first);
    return std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::llround(1.0 / sumOfSquares)));
}

StreamingAcousticEngine::StreamingAcousticEngine() = default;

StreamingAcousticEngine::~StreamingAcousticEngine() = default;

double StreamingAcousticEngine::hopSeconds() const {
    return static_cast<double>(config_.hopSize) / static_cast<double>(profile_.sampleRateHz);
}

double StreamingAcousticEngine::averagingAlpha(double periodSeconds) const {
    return std::exp(-periodSeconds / config_.csmTauSeconds);
}

CameraGridSpec StreamingAcousticEngine::cameraGrid(double focusDistanceM) const {
    return gridOf({context_->horizontalSpanDeg, context_->verticalSpanDeg}, focusDistanceM);
}

void StreamingAcousticEngine::configure(const DeviceProfile& profile, const StreamingEngineConfig& config) {
    if (!profile.isValid()) throw std::invalid_argument("invalid device profile");
    const std::uint64_t m = profile.channelCount;
    if (config.frameSize == 0 || config.hopSize == 0 || config.hopSize > config.frameSize ||
        !(std::isfinite(config.csmTauSeconds) && config.csmTauSeconds > 0.0) || config.mapIntervalMs < 0 ||
        !config.beamforming.isValid(m)) {
        throw std::invalid_argument("invalid streaming frame/hop size");
    }

    // The whole pipeline is built aside and committed at the end, so a failure (a band the frame size
    // cannot hold, a field of view of 180 degrees or more) leaves the engine as it was.
    DeviceProfile profileCopy = profile;
    StreamingEngineConfig configCopy = config;
    ChannelGatherMap gather = buildChannelGatherMap(
        std::vector<std::uint64_t>(profile.logicalToWire.begin(), profile.logicalToWire.end()));
    SpectralFramer framer(config.frameSize, config.hopSize);

    FrequencyBandParameters bandParameters = config.band;
    if (!(bandParameters.centerHz > 0.0)) bandParameters.centerHz = config.frequencyHz;
    FrequencyBand band = resolveFrequencyBand(profile.sampleRateHz, config.frameSize, bandParameters);
    const double hopSeconds = static_cast<double>(config.hopSize) / static_cast<double>(profile.sampleRateHz);
    const double alpha = std::exp(-hopSeconds / config.csmTauSeconds);
    std::vector<CrossSpectralMatrix> matrices = makeMatrices(m, band.binIndices.size(), alpha);
    std::vector<std::complex<double>> bandBuffer(band.binIndices.size() * m);

    const CameraFieldOfView fov = mapFieldOfView(profile);
    auto context = std::make_shared<MapRenderContext>();
    context->beamformer = std::make_shared<Beamformer>(positionsOf(profile), 343.0);
    context->horizontalSpanDeg = fov.horizontalDeg;
    context->verticalSpanDeg = fov.verticalDeg;
    context->sampleRateHz = profile.sampleRateHz;
    context->channelCount = m;
    context->frameSize = config.frameSize;
    context->useBinRotation = config.useBinRotation;

    // The steering data is built here rather than on the first live hop.
    StreamingDasState dasState;
    context->beamformer->updateStreamingDas(dasState, bandBuffer, band.binFrequenciesHz, alpha,
                                            gridOf(fov, config.beamforming.focusDistanceM),
                                            config.dasMaxThreads, 0, 0);
    dasState.reset();
    auto bandSnapshot = std::make_shared<const FrequencyBandParameters>(bandParameters);
    auto parameterSnapshot = std::make_shared<const BeamformingParameters>(config.beamforming);
    std::vector<std::int16_t> history;
    history.reserve(2 * m * config.frameSize);

    profile_ = std::move(profileCopy);
    config_ = std::move(configCopy);
    gatherMap_ = std::move(gather);
    framer_ = std::move(framer);
    band_ = std::move(band);
    matrices_ = std::move(matrices);
    bandBuffer_ = std::move(bandBuffer);
    dasState_ = std::move(dasState);
    context_ = std::move(context);
    publishedContext_.store(context_);
    bandSnapshot_.store(std::move(bandSnapshot));
    parameterSnapshot_.store(std::move(parameterSnapshot));

    dasRotationCursor_ = 0;
    history_ = std::move(history);
    historyHead_ = 0;
    processedBlockCount_.store(0);
    mapSinceReset_ = false;
    workItemSlot_.store(nullptr);
    pendingJobSlot_.store(nullptr);
    // The bump comes before the map is cleared, so a render finishing in between cannot store its map.
    generation_.fetch_add(1);
    clearLatestMap();
    supersededJobs_.store(0);
    latencyCount_.store(0);
    latencySumUs_.store(0);
    latencyMaxUs_.store(0);
    for (auto& bucket : latencyBuckets_) bucket.store(0);
}

void StreamingAcousticEngine::applyFrequencyBand(const FrequencyBandParameters& parameters) {
    FrequencyBand band = resolveFrequencyBand(profile_.sampleRateHz, config_.frameSize, parameters);
    std::vector<CrossSpectralMatrix> matrices =
        makeMatrices(profile_.channelCount, band.binIndices.size(), averagingAlpha(hopSeconds()));
    std::vector<std::complex<double>> bandBuffer(band.binIndices.size() * profile_.channelCount);

    band_ = std::move(band);
    matrices_ = std::move(matrices);
    bandBuffer_ = std::move(bandBuffer);
    dasState_ = StreamingDasState{};
    mapSinceReset_ = false;
    workItemSlot_.store(nullptr);
    pendingJobSlot_.store(nullptr);
    generation_.fetch_add(1);
    clearLatestMap();
}

void StreamingAcousticEngine::pushWireFrames(std::span<const std::int16_t> samples) {
    if (!gatherMap_ || !framer_ || matrices_.empty() || !context_) {
        throw std::logic_error("streaming engine is not configured");
    }
    if (samples.empty()) return;
    const std::uint64_t wire = profile_.wireChannelCount;
    if (samples.size() % wire != 0) throw std::invalid_argument("wire frames are incomplete");
    const std::size_t logical = samples.size() / wire * profile_.channelCount;

    // The consumed front is reclaimed only when it is at least as long as the live tail (or the
    // capacity runs out), which keeps the cost per sample constant and the capacity steady once warm.
    const std::size_t live = history_.size() - historyHead_;
    if (historyHead_ > 0 && (historyHead_ >= live || history_.size() + logical > history_.capacity())) {
        std::copy(history_.begin() + static_cast<std::ptrdiff_t>(historyHead_), history_.end(),
                  history_.begin());
        history_.resize(live);
        historyHead_ = 0;
    }
    const std::size_t start = history_.size();
    history_.resize(start + logical);
    try {
        gatherLogicalChannels(*gatherMap_, samples, std::span(history_).subspan(start), wire);
    } catch (...) {
        history_.resize(start);
        throw;
    }
    processHops();
    scheduleMap(false);
}

void StreamingAcousticEngine::processHops() {
    if (const auto band = bandSnapshot_.load(); band && band->revision != band_.parameters.revision) {
        applyFrequencyBand(*band);
    }
    if (const double tau = pendingTimeConstant_.exchange(0.0); tau > 0.0) {
        config_.csmTauSeconds = tau;
        const double alpha = averagingAlpha(hopSeconds());
        for (CrossSpectralMatrix& matrix : matrices_) matrix.setAveragingAlpha(alpha);
    }

    const auto parameters = parameterSnapshot_.load();
    if (parameters && parameters->speedOfSoundMps != context_->beamformer->speedOfSound()) {
        // A render may still use the old Beamformer, so the new speed gets a Beamformer of its own.
        auto context = std::make_shared<MapRenderContext>(*context_);
        context->beamformer =
            std::make_shared<Beamformer>(positionsOf(profile_), parameters->speedOfSoundMps);
        context_ = std::move(context);
        publishedContext_.store(context_);
        dasState_ = StreamingDasState{};
        dasRotationCursor_ = 0;
        generation_.fetch_add(1);
    }
    const bool dasOn = parameters && parameters->algorithm == kDasAlgorithm;
    if (!dasOn && dasState_.updateCount > 0) {
        dasState_ = StreamingDasState{};
        dasRotationCursor_ = 0;
    }
    const double focusDistanceM = parameters ? parameters->focusDistanceM : kFarField;

    const std::uint64_t m = profile_.channelCount;
    const std::size_t frameSamples = m * config_.frameSize;
    const std::size_t hopSamples = m * config_.hopSize;
    const std::size_t bins = band_.binIndices.size();
    const int matrixThreads = bins >= kMatrixParallelBins ? beamformerThreadCount() : 1;
    while (history_.size() - historyHead_ >= frameSamples) {
        framer_->frameInto(std::span<const std::int16_t>(history_).subspan(historyHead_, frameSamples), m,
                           frames_);
        if (!frames_.empty()) {
            const SpectralFrame& frame = frames_.front();
            if (noiseCaptureEnabled_.load()) captureNoiseBlock(frame);

            for (std::size_t i = 0; i < bins; ++i) {
                const std::uint64_t k = band_.binIndices[i];
                for (std::uint64_t c = 0; c < m; ++c) bandBuffer_[i * m + c] = frame.spectra[c][k];
            }
            const std::span<const std::complex<double>> spectra(bandBuffer_);
            detail::parallelFor(static_cast<std::int64_t>(bins), matrixThreads, [&](std::int64_t i) {
                const auto bin = static_cast<std::size_t>(i);
                matrices_[bin].addSpectrum(spectra.subspan(bin * m, m));
            });

            if (dasOn && bins >= 1) updateDasRotation(focusDistanceM);
            processedBlockCount_.fetch_add(1);
        }
        historyHead_ += hopSamples;
    }
}

void StreamingAcousticEngine::updateDasRotation(double focusDistanceM) {
    const std::uint64_t bins = band_.binIndices.size();
    const std::uint64_t hopsPerMap =
        truncatedCount((static_cast<double>(config_.mapIntervalMs) / 1000.0) / hopSeconds());
    const std::uint64_t binsPerHop =
        std::min(bins, std::max<std::uint64_t>(1, ceilDiv(bins, std::max<std::uint64_t>(1, hopsPerMap))));
    const std::uint64_t first = dasRotationCursor_ < bins ? dasRotationCursor_ : 0;
    const std::uint64_t count = std::min(bins - first, binsPerHop);
    dasRotationCursor_ = first + binsPerHop < bins ? first + binsPerHop : 0;
    // Each bin is revisited every `revisit` hops, so its decay spans that many hops.
    const double revisit = static_cast<double>(ceilDiv(bins, binsPerHop));
    const double alpha = averagingAlpha(revisit * hopSeconds());

    const auto t0 = std::chrono::steady_clock::now();
    context_->beamformer->updateStreamingDas(dasState_, bandBuffer_, band_.binFrequenciesHz, alpha,
                                             cameraGrid(focusDistanceM), config_.dasMaxThreads, first, count);
    const auto t1 = std::chrono::steady_clock::now();
    recordMapLatency(
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(t1 - t0).count()));
}

void StreamingAcousticEngine::captureNoiseBlock(const SpectralFrame& frame) {
    const std::size_t m = frame.spectra.size();
    const std::size_t bins = config_.frameSize / 2 + 1;
    auto block = std::make_shared<NoiseCaptureBlock>();
    block->values.resize(m * bins);
    for (std::size_t c = 0; c < m; ++c) {
        std::copy_n(frame.spectra[c].begin(), bins,
                    block->values.begin() + static_cast<std::ptrdiff_t>(c * bins));
    }
    const std::lock_guard lock(noiseMutex_);
    // Checked again under the lock: a block made just before capture was switched off is not queued.
    if (!noiseCaptureEnabled_.load()) return;
    if (noiseCaptureQueue_.size() >= kNoiseCaptureLimit) {
        noiseCaptureQueue_.pop_front();
        noiseCaptureOverflow_ += 1;
    }
    noiseCaptureQueue_.push_back(std::move(block));
}

void StreamingAcousticEngine::scheduleMap(bool force) {
    if (mapsSuspended_) return;
    const auto parameters = parameterSnapshot_.load();
    if (!parameters) throw std::logic_error("beamforming parameters are not available");
    const bool das = parameters->algorithm == kDasAlgorithm;
    // The rotation reaches the band's bins over several hops: a map before each holds a frame since the
    // restart would lack the bins still at 0 and read far low, often off the source.
    const bool ready =
        das ? dasState_.updateCount > 0 && dasState_.binsReached == dasState_.frequencies.size()
            : !matrices_.empty() && matrices_.front().frameCount() > 0;
    if (!ready) return;
    const auto now = mapClock_ ? mapClock_() : std::chrono::steady_clock::now();
    // Compared in whole milliseconds, which is the same test for an integer interval and cannot overflow.
    const bool due = force || !mapSinceReset_ ||
                     std::chrono::duration_cast<std::chrono::milliseconds>(now - lastMapTime_).count() >=
                         config_.mapIntervalMs;
    if (!due) return;
    lastMapTime_ = now;
    mapSinceReset_ = true;

    if (config_.asyncMaps && das) {
        auto item = std::make_shared<MapWorkItem>();
        item->beamSums = dasState_.beamSums;
        item->diagonalSums = dasState_.diagonalSums;
        item->frequencies = dasState_.frequencies;
        item->horizontalAxis = dasState_.horizontalAxis;
        item->verticalAxis = dasState_.verticalAxis;
        item->representativeFrequencyHz = band_.representativeFrequencyHz;
        item->removeCsmDiagonal = parameters->removeCsmDiagonal;
        item->revision = static_cast<std::uint32_t>(parameters->revision);
        item->generation = generation_.load();
        item->context = context_;
        if (workItemSlot_.exchange(std::move(item))) supersededJobs_.fetch_add(1);
        return;
    }

    std::vector<MatrixRows> rows;
    rows.reserve(matrices_.size());
    for (const CrossSpectralMatrix& matrix : matrices_) rows.push_back(matrix.toRows());
    // Auto-MUSIC weighs the spread of the eigenvalues by the snapshots behind them. The frames since the
    // restart grow for as long as the session runs, while the exponential average holds only about
    // (1 + alpha) / (1 - alpha) of them: counted so, a late map would find sources in the noise.
    const std::uint64_t frameCount = matrices_.empty() ? processedBlockCount_.load()
                                                       : averagedSnapshotCount(matrices_.front().frameCount(),
                                                                               averagingAlpha(hopSeconds()));
    if (config_.asyncMaps) {
        auto job = std::make_shared<PendingMapJob>();
        job->rows = std::move(rows);
        job->band = band_;
        job->parameters = parameters;
        job->frameCount = frameCount;
        job->generation = generation_.load();
        job->context = context_;
        if (pendingJobSlot_.exchange(std::move(job))) supersededJobs_.fetch_add(1);
        return;
    }
    HeatmapGrid grid =
        computeBeamformingMap(*context_->beamformer, rows, band_, *parameters, frameCount,
                              context_->horizontalSpanDeg, context_->verticalSpanDeg, kGridStepDeg);
    const std::lock_guard lock(mapMutex_);
    latestMap_ = std::move(grid);
}

void StreamingAcousticEngine::suspendMaps() { mapsSuspended_ = true; }

void StreamingAcousticEngine::resumeMaps() { mapsSuspended_ = false; }

void StreamingAcousticEngine::requestMapNow() {
    mapsSuspended_ = false;
    scheduleMap(true);
}

void StreamingAcousticEngine::restartWindow() {
    restartFraming();
    mapSinceReset_ = false;
    for (CrossSpectralMatrix& matrix : matrices_) matrix.reset();
    dasState_.reset();
}

void StreamingAcousticEngine::reset() {
    restartWindow();
    processedBlockCount_.store(0);
    workItemSlot_.store(nullptr);
    pendingJobSlot_.store(nullptr);
    generation_.fetch_add(1);
    clearLatestMap();
}

void StreamingAcousticEngine::release() {
    reset();
    publishedContext_.store(nullptr);
    context_.reset();
    gatherMap_.reset();
    framer_.reset();
    matrices_ = {};
    dasState_ = StreamingDasState{};
    noiseReference_ = NoiseReference{};
    cleaned_ = {};
    history_ = {};
    frames_ = {};
    bandBuffer_ = {};
    binRotation_ = BinRotationMap{};
}

void StreamingAcousticEngine::restartContinuityWindow() {
    // A gap does not restart the map clock: under overload gaps come many times per interval, and
    // each would otherwise post a map of a freshly restarted average at once.
    const bool mapped = mapSinceReset_;
    restartWindow();
    mapSinceReset_ = mapped;
    workItemSlot_.store(nullptr);
    generation_.fetch_add(1);
    clearLatestMap();
}

void StreamingAcousticEngine::restartFraming() {
    history_.clear();
    historyHead_ = 0;
}

void StreamingAcousticEngine::setMapClock(MapClock clock) { mapClock_ = std::move(clock); }

std::uint64_t StreamingAcousticEngine::processedBlockCount() const { return processedBlockCount_.load(); }

void StreamingAcousticEngine::setBeamformingParameters(const BeamformingParameters& parameters) {
    const auto context = publishedContext_.load();
    if (!parameters.isValid(context ? context->channelCount : 0)) {
        throw std::invalid_argument("invalid beamforming parameter snapshot");
    }
    parameterSnapshot_.store(std::make_shared<const BeamformingParameters>(parameters));
}

void StreamingAcousticEngine::setFrequencyBand(const FrequencyBandParameters& parameters) {
    const auto context = publishedContext_.load();
    static_cast<void>(resolveFrequencyBand(context ? context->sampleRateHz : 0,
                                           context ? context->frameSize : 0, parameters));
    bandSnapshot_.store(std::make_shared<const FrequencyBandParameters>(parameters));
}

void StreamingAcousticEngine::setAveragingTimeConstant(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0.05 || seconds > 10.0) {
        throw std::invalid_argument("averaging time constant must be within [0.05, 10] seconds");
    }
    pendingTimeConstant_.exchange(seconds);
}

void StreamingAcousticEngine::clearLatestMap() {
    const std::lock_guard lock(mapMutex_);
    latestMap_.reset();
}

}  // namespace zk::core
