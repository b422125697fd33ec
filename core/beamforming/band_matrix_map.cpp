#include <stdexcept>
#include <utility>

#include "core/beamforming/band_matrix.h"
#include "core/beamforming/beamformer.h"
#include "core/beamforming/compute_beamforming_map.h"
#include "core/streaming/noise_floor_subtraction.h"

namespace zk::core {

namespace {

constexpr double kMinGridStepDeg = 0.25;
constexpr double kMaxGridStepDeg = 10.0;
constexpr double kDefaultHorizontalSpanDeg = 64.0;
constexpr double kDefaultVerticalSpanDeg = 48.0;

bool usableNoiseFloor(const NoiseFloorProfile* floor) {
    return floor != nullptr && floor->channelCount != 0 && floor->fftSize != 0 &&
           floor->matrices.size() == floor->fftSize / 2 + 1 && floor->enabled;
}

// The floor holds per-frame means of x x^H while a band matrix holds sums over its frames, so the
// floor is scaled by the frame count before it is subtracted. Only the band's bins are filled: the
// subtraction reads no other, and the rest of the floor is never copied.
NoiseFloorProfile floorForSums(const NoiseFloorProfile& floor, const std::vector<std::uint64_t>& binIndices,
                               std::uint64_t frames) {
    NoiseFloorProfile scaled;
    scaled.channelCount = floor.channelCount;
    scaled.fftSize = floor.fftSize;
    scaled.averagedFrames = floor.averagedFrames;
    scaled.subtractBeta = floor.subtractBeta;
    scaled.psdFloor = floor.psdFloor;
    scaled.enabled = floor.enabled;
    scaled.matrices.resize(floor.matrices.size());
    const auto scale = static_cast<double>(frames);
    for (const std::uint64_t bin : binIndices) {
        if (bin >= floor.matrices.size()) continue;  // the subtraction refuses such a bin itself
        MatrixRows rows = floor.matrices[bin];
        for (auto& row : rows) {
            for (auto& value : row) value *= scale;
        }
        scaled.matrices[bin] = std::move(rows);
    }
    return scaled;
}

}  // namespace

HeatmapGrid renderBandMatrixMap(const BandMatrix& bandMatrix, const DeviceProfile& profile,
                                const BeamformingParameters& parameters, double gridStep) {
    if (!profile.isValid()) throw std::invalid_argument("map render requires a valid Profile");
    if (bandMatrix.matrices.empty() || bandMatrix.stftFrames == 0)
        throw std::invalid_argument("Frozen matrix input is empty");
    if (!parameters.isValid(profile.channelCount))
        throw std::invalid_argument("invalid beamforming parameters");
    // Written so that NaN fails too.
    if (!(gridStep >= kMinGridStepDeg && gridStep <= kMaxGridStepDeg))
        throw std::invalid_argument("analysis grid step is outside supported range");

    std::vector<MicrophonePosition> microphones;
    microphones.reserve(profile.microphones.size());
    for (const MicrophoneChannel& m : profile.microphones) microphones.push_back({m.x, m.y, m.z});
    const Beamformer beamformer(std::move(microphones), parameters.speedOfSoundMps);
    const double horizontalSpanDeg = profile.camera ? profile.camera->hfovDeg : kDefaultHorizontalSpanDeg;
    const double verticalSpanDeg = profile.camera ? profile.camera->vfovDeg : kDefaultVerticalSpanDeg;
    return computeBeamformingMap(beamformer, bandMatrix.matrices, bandMatrix.band, parameters,
                                 bandMatrix.stftFrames, horizontalSpanDeg, verticalSpanDeg, gridStep);
}

BandMatrixMapResult recomputeBandMatrixMap(IRawSampleSource& source, const DeviceProfile& profile,
                                           const BandMatrixRequest& request, BandMatrixProgress progress,
                                           BandMatrixCancel cancel) {
    BandMatrixMapResult result;
    result.bandMatrix = computeBandMatrix(source, profile, request, std::move(progress), std::move(cancel));
    const BandMatrix& computed = result.bandMatrix;

    if (usableNoiseFloor(request.noiseFloor.get())) {
        const NoiseFloorProfile floor =
            floorForSums(*request.noiseFloor, computed.band.binIndices, computed.stftFrames);
        BandMatrix subtracted;
        if (subtractNoiseFloor(subtracted.matrices, computed.matrices, floor, computed.band.binIndices)) {
            subtracted.band = computed.band;
            subtracted.inputFrames = computed.inputFrames;
            subtracted.stftFrames = computed.stftFrames;
            result.map = renderBandMatrixMap(subtracted, profile, request.parameters, request.gridStep);
            result.noiseSubtracted = true;
            return result;
        }
    }
    result.map = renderBandMatrixMap(computed, profile, request.parameters, request.gridStep);
    return result;
}

}  // namespace zk::core
