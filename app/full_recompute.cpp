// The Full Recompute worker: frozen inputs checked, the derived cache used or refilled, the result built.
#include "app/full_recompute.h"

#include <fstream>
#include <span>
#include <stdexcept>
#include <vector>

#include "app/error_text.h"
#include "core/beamforming/derived_matrix_cache.h"
#include "core/storage/fnv1a.h"
#include "core/storage/measurement_files.h"
#include "core/streaming/replay_source.h"

namespace zk::app {

namespace fs = std::filesystem;

namespace {

const std::string kAlgorithmVersion = "1";

fs::path utf8Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

// A long raw file must not hold up a cancel for the whole of its reading.
constexpr const char* kCancelled = "Band matrix computation cancelled";

std::function<bool()> keepGoingUnless(const std::function<bool()>& cancelled) {
    return [&cancelled] { return !(cancelled && cancelled()); };
}

core::DerivedMatrixKey cacheKeyOf(const FullRecomputeJob& job, const std::string& rawHash) {
    core::DerivedMatrixKey key;
    key.frameSize = job.request.frameSize;
    key.hopSize = job.request.hopSize;
    key.bandMode = job.request.band.mode;
    key.centerFrequencyHz = job.request.band.centerHz;
    key.customBandwidthHz = job.request.band.bandwidthHz;
    key.targetBinCount = job.request.band.binLimit;
    key.rawHash = rawHash;
    key.profileHash = job.measurement.profileHash;
    key.windowStartFrame = job.windowStartFrame;
    key.windowFrameCount = job.request.windowFrameCount;
    return key;
}

core::BandMatrixMapResult recomputeFromRaw(const FullRecomputeJob& job, const fs::path& rawPath,
                                           const FullRecomputeHooks& hooks) {
    core::ReplaySource source(rawPath);
    source.configure(job.profile);
    source.start();
    core::BandMatrixRequest request = job.request;
    if (request.windowFrameCount != 0) {
        source.seekFrame(job.windowStartFrame);
        request.totalFrames = request.windowFrameCount;
    } else {
        request.totalFrames = source.totalFrames();
    }
    core::BandMatrixMapResult result =
        core::recomputeBandMatrixMap(source, job.profile, request, hooks.progress, hooks.cancelled);
    source.stop();
    return result;
}

}  // namespace

FullRecomputeOutcome runFullRecompute(const FullRecomputeJob& job, const FullRecomputeHooks& hooks) {
    const core::MeasurementRecord& m = job.measurement;
    const fs::path rawPath = m.directory / utf8Path(m.rawFile);

    std::string rawHash;
    const std::optional<core::MeasurementFiles> files =
        core::compareMeasurementFiles(m, keepGoingUnless(hooks.cancelled), &rawHash);
    if (!files) throw std::runtime_error(kCancelled);
    core::requireMatchingFiles(*files, "Measurement manifest");

    const core::DerivedMatrixKey key = cacheKeyOf(job, rawHash);
    std::optional<core::BandMatrix> cached;
    if (core::derivedMatrixExists(m.directory, key)) {
        // An entry that cannot be read is only a miss: the run recomputes and writes it again.
        try {
            cached = core::readDerivedMatrix(m.directory, key);
        } catch (const std::exception& error) {
            if (hooks.cacheBroken) hooks.cacheBroken(textOf(error));
        }
    }

    FullRecomputeOutcome outcome;
    core::BandMatrix matrix;
    bool noiseSubtracted = false;
    if (cached) {
        if (hooks.cacheHit) hooks.cacheHit();
        // The cache holds the matrices before any subtraction: the floor is taken off as on the full path.
        core::BandMatrixMapResult result =
            core::renderBandMatrixRequest(std::move(*cached), job.profile, job.request, hooks.cancelled);
        outcome.map = std::move(result.map);
        matrix = std::move(result.bandMatrix);
        noiseSubtracted = result.noiseSubtracted;
        if (hooks.progress) hooks.progress(1.0);
        outcome.provenance.recomputeMode = "fast";
    } else {
        core::BandMatrixMapResult result = recomputeFromRaw(job, rawPath, hooks);
        try {
            core::writeDerivedMatrix(m.directory, key, result.bandMatrix);
        } catch (const std::exception& error) {
            if (hooks.cacheWriteFailed) hooks.cacheWriteFailed(textOf(error));
        }
        outcome.map = std::move(result.map);
        matrix = std::move(result.bandMatrix);
        noiseSubtracted = result.noiseSubtracted;
        outcome.provenance.recomputeMode = "full";
    }

    const std::optional<std::string> rawAfter =
        core::hashFileUnlessStopped(rawPath, keepGoingUnless(hooks.cancelled));
    if (!rawAfter) throw std::runtime_error(kCancelled);
    if (*rawAfter != rawHash) throw std::runtime_error("Measurement raw changed during Full Recompute");

    const core::HeatmapGrid& map = outcome.map;
    core::AnalysisRunParameters& p = outcome.parameters;
    p.algorithmId = core::algorithmName(job.request.parameters.algorithm);
    p.algorithmVersion = kAlgorithmVersion;
    p.frequencyHz = map.representativeFrequencyHz;
    p.frequencyBin =
        matrix.band.binIndices.empty() ? 0 : static_cast<std::uint32_t>(matrix.band.binIndices.front());
    p.bandLowHz = map.firstFrequencyHz;
    p.bandHighHz = map.lastFrequencyHz;
    p.bandBinCount = static_cast<std::uint32_t>(map.binCount);
    p.removeCsmDiagonal = job.request.parameters.removeCsmDiagonal;
    p.focusDistanceM = job.request.parameters.focusDistanceM;
    p.noiseSubtracted = noiseSubtracted;
    p.algorithmParams = job.request.parameters.toJson();
    p.frameSize = static_cast<std::uint32_t>(job.request.frameSize);
    p.hopSize = static_cast<std::uint32_t>(job.request.hopSize);
    p.gridStepDeg = job.request.gridStep;
    if (!map.azimuthDeg.empty()) {
        p.azimuthBeginDeg = map.azimuthDeg.front();
        p.azimuthEndDeg = map.azimuthDeg.back();
    }
    p.azimuthCount = static_cast<std::uint32_t>(map.width);
    if (!map.elevationDeg.empty()) {
        p.elevationBeginDeg = map.elevationDeg.front();
        p.elevationEndDeg = map.elevationDeg.back();
    }
    p.elevationCount = static_cast<std::uint32_t>(map.height);
    p.csmMode = "arithmetic";

    core::AnalysisRunProvenance& v = outcome.provenance;
    v.inputRawHash = rawHash;
    v.profileHash = m.profileHash;
    v.profileId = job.profile.profileId;
    v.inputFrames = matrix.inputFrames;
    v.stftFrames = matrix.stftFrames;
    return outcome;
}

}  // namespace zk::app
