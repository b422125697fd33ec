#include <stdexcept>
#include <utility>

#include "core/beamforming/band_matrix.h"
#include "core/beamforming/beamformer.h"
#include "core/beamforming/compute_beamforming_map.h"
#include "core/beamforming/render_cancel.h"
#include "core/streaming/noise_floor_subtraction.h"

namespace zk::core {

namespace {

constexpr double kMinGridStepDeg = 0.25;
constexpr double kMaxGridStepDeg = 10.0;

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

bool gridStepInRange(double gridStep) { return gridStep >= kMinGridStepDeg && gridStep <= kMaxGridStepDeg; }

// The grid a render maps over (computeBeamformingMap builds the same one from its spans and step).
CameraGridSpec renderGrid(const DeviceProfile& profile, const BeamformingParameters& parameters,
                          double gridStep) {
    const CameraFieldOfView fov = mapFieldOfView(profile);
    return {fov.horizontalDeg, fov.verticalDeg, 0.0, 0.0, gridStep, gridStep, parameters.focusDistanceM};
}

}  // namespace

HeatmapGrid renderBandMatrixMap(const BandMatrix& bandMatrix, const DeviceProfile& profile,
                                const BeamformingParameters& parameters, double gridStep,
                                const BandMatrixCancel& cancel) {
    if (!profile.isValid()) throw std::invalid_argument("map render requires a valid Profile");
    if (bandMatrix.matrices.empty() || bandMatrix.stftFrames == 0)
        throw std::invalid_argument("Frozen matrix input is empty");
    if (!parameters.isValid(profile.channelCount))
        throw std::invalid_argument("invalid beamforming parameters");
    // Written so that NaN fails too.
    if (!gridStepInRange(gridStep))
        throw std::invalid_argument("analysis grid step is outside supported range");

    std::vector<MicrophonePosition> microphones;
    microphones.reserve(profile.microphones.size());
    for (const MicrophoneChannel& m : profile.microphones) microphones.push_back({m.x, m.y, m.z});
    const Beamformer beamformer(std::move(microphones), parameters.speedOfSoundMps);
    const CameraGridSpec grid = renderGrid(profile, parameters, gridStep);
    const RenderCancelScope scope(cancel);
    detail::CancelPoll().throwIfRequested();
    return computeBeamformingMap(beamformer, bandMatrix.matrices, bandMatrix.band, parameters,
                                 bandMatrix.stftFrames, grid.horizontalSpanDeg, grid.verticalSpanDeg,
                                 gridStep);
}

BandMatrixMapResult recomputeBandMatrixMap(IRawSampleSource& source, const DeviceProfile& profile,
                                           const BandMatrixRequest& request, BandMatrixProgress progress,
                                           BandMatrixCancel cancel) {
    // A grid the render would refuse fails the same way whatever the window holds, so it is refused
    // before the window is read; the render's earlier checks keep their messages and their order.
    if (profile.isValid() && request.parameters.isValid(profile.channelCount) &&
        gridStepInRange(request.gridStep)) {
        checkCameraGrid(renderGrid(profile, request.parameters, request.gridStep));
    }
    BandMatrixMapResult result;
    result.bandMatrix = computeBandMatrix(source, profile, request, std::move(progress), cancel);
    const BandMatrix& computed = result.bandMatrix;

    if (usableNoiseFloor(request.noiseFloor.get())) {
        const NoiseFloorProfile floor =
            floorForSums(*request.noiseFloor, computed.band.binIndices, computed.stftFrames);
        BandMatrix subtracted;
        if (subtractNoiseFloor(subtracted.matrices, computed.matrices, floor, computed.band.binIndices)) {
            subtracted.band = computed.band;
            subtracted.inputFrames = computed.inputFrames;
            subtracted.stftFrames = computed.stftFrames;
            result.map =
                renderBandMatrixMap(subtracted, profile, request.parameters, request.gridStep, cancel);
            result.noiseSubtracted = true;
            return result;
        }
    }
    result.map = renderBandMatrixMap(computed, profile, request.parameters, request.gridStep, cancel);
    return result;
}

}  // namespace zk::core
