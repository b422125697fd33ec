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

bool gridStepInRange(double gridStep) { return gridStep >= kMinGridStepDeg && gridStep <= kMaxGridStepDeg; }

// The grid a render maps over (computeBeamformingMap builds the same one from its spans and step).
CameraGridSpec renderGrid(const DeviceProfile& profile, const BeamformingParameters& parameters,
                          double gridStep) {
    const CameraFieldOfView fov = mapFieldOfView(profile);
    return {fov.horizontalDeg, fov.verticalDeg, 0.0, 0.0, gridStep, gridStep, parameters.focusDistanceM};
}

// The map of per-frame matrices over the band matrix's band, once checkRender has passed.
HeatmapGrid renderPerFrame(const BandMatrix& bandMatrix, const std::vector<MatrixRows>& perFrame,
                           const DeviceProfile& profile, const BeamformingParameters& parameters,
                           double gridStep, const BandMatrixCancel& cancel) {
    std::vector<MicrophonePosition> microphones;
    microphones.reserve(profile.microphones.size());
    for (const MicrophoneChannel& m : profile.microphones) microphones.push_back({m.x, m.y, m.z});
    const Beamformer beamformer(std::move(microphones), parameters.speedOfSoundMps);
    const CameraGridSpec grid = renderGrid(profile, parameters, gridStep);
    const RenderCancelScope scope(cancel);
    detail::CancelPoll().throwIfRequested();
    return computeBeamformingMap(beamformer, perFrame, bandMatrix.band, parameters, bandMatrix.stftFrames,
                                 grid.horizontalSpanDeg, grid.verticalSpanDeg, gridStep);
}

void checkRender(const BandMatrix& bandMatrix, const DeviceProfile& profile,
                 const BeamformingParameters& parameters, double gridStep) {
    if (!profile.isValid()) throw std::invalid_argument("map render requires a valid Profile");
    if (bandMatrix.matrices.empty() || bandMatrix.stftFrames == 0)
        throw std::invalid_argument("Frozen matrix input is empty");
    if (!parameters.isValid(profile.channelCount))
        throw std::invalid_argument("invalid beamforming parameters");
    // Written so that NaN fails too.
    if (!gridStepInRange(gridStep))
        throw std::invalid_argument("analysis grid step is outside supported range");
}

// The band matrix holds sums over its frames (so its cache files stay what they always were); maps take
// them per frame, which is the one place a sum becomes a level.
std::vector<MatrixRows> perFrameMatrices(const BandMatrix& bandMatrix) {
    std::vector<MatrixRows> perFrame;
    perFrame.reserve(bandMatrix.matrices.size());
    for (const MatrixRows& sum : bandMatrix.matrices)
        perFrame.push_back(perFrameMean(sum, bandMatrix.stftFrames));
    return perFrame;
}

}  // namespace

HeatmapGrid renderBandMatrixMap(const BandMatrix& bandMatrix, const DeviceProfile& profile,
                                const BeamformingParameters& parameters, double gridStep,
                                const BandMatrixCancel& cancel) {
    checkRender(bandMatrix, profile, parameters, gridStep);
    return renderPerFrame(bandMatrix, perFrameMatrices(bandMatrix), profile, parameters, gridStep, cancel);
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
    return renderBandMatrixRequest(computeBandMatrix(source, profile, request, std::move(progress), cancel),
                                   profile, request, cancel);
}

BandMatrixMapResult renderBandMatrixRequest(BandMatrix bandMatrix, const DeviceProfile& profile,
                                            const BandMatrixRequest& request,
                                            const BandMatrixCancel& cancel) {
    BandMatrixMapResult result;
    result.bandMatrix = std::move(bandMatrix);
    const BandMatrix& computed = result.bandMatrix;

    checkRender(computed, profile, request.parameters, request.gridStep);
    const std::vector<MatrixRows> perFrame = perFrameMatrices(computed);

    // The floor holds per-frame means of x x^H, the same scale as the per-frame matrices.
    if (usableNoiseFloor(request.noiseFloor.get())) {
        std::vector<MatrixRows> subtracted;
        if (subtractNoiseFloor(subtracted, perFrame, *request.noiseFloor, computed.band.binIndices)) {
            result.map =
                renderPerFrame(computed, subtracted, profile, request.parameters, request.gridStep, cancel);
            result.noiseSubtracted = true;
            return result;
        }
    }
    result.map = renderPerFrame(computed, perFrame, profile, request.parameters, request.gridStep, cancel);
    return result;
}

}  // namespace zk::core
