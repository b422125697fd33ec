#include "core/beamforming/camera_grid.h"

#include <cmath>
#include <stdexcept>

#include "core/beamforming/detail/steering_blocks.h"
#include "core/storage/device_profile.h"

namespace zk::core {

namespace {

// Bounds the grid size so that the count conversion stays defined; no real grid comes near it.
constexpr double kMaxAxisPoints = 1.0e6;

bool validAxis(double spanDeg, double centreDeg, double stepDeg) {
    if (!std::isfinite(spanDeg) || !std::isfinite(centreDeg) || !std::isfinite(stepDeg)) return false;
    if (spanDeg <= 0.0 || stepDeg <= 0.0) return false;
    if (spanDeg / stepDeg >= kMaxAxisPoints) return false;
    // The outermost direction lies at most span / 2 from the centre; at 90 degrees the tangent of the
    // pinhole model diverges and beyond it the direction folds back.
    return std::abs(centreDeg) + spanDeg / 2.0 < 90.0;
}

}  // namespace

bool CameraGridSpec::sameAs(const CameraGridSpec& o) const {
    return horizontalSpanDeg == o.horizontalSpanDeg && verticalSpanDeg == o.verticalSpanDeg &&
           horizontalCentreDeg == o.horizontalCentreDeg && verticalCentreDeg == o.verticalCentreDeg &&
           horizontalStepDeg == o.horizontalStepDeg && verticalStepDeg == o.verticalStepDeg &&
           focusDistanceM == o.focusDistanceM;
}

CameraFieldOfView mapFieldOfView(const DeviceProfile& profile) {
    if (profile.camera && profile.camera->hfovDeg > 0.0 && profile.camera->vfovDeg > 0.0) {
        return {profile.camera->hfovDeg, profile.camera->vfovDeg};
    }
    return {};
}

void checkCameraGrid(const CameraGridSpec& grid) {
    const bool ok = validAxis(grid.horizontalSpanDeg, grid.horizontalCentreDeg, grid.horizontalStepDeg) &&
                    validAxis(grid.verticalSpanDeg, grid.verticalCentreDeg, grid.verticalStepDeg) &&
                    !std::isnan(grid.focusDistanceM);
    if (!ok) throw std::invalid_argument("invalid camera grid");
    // No steering data serves more points, and a map built without it (one bin's) would run on over any.
    const double points =
        static_cast<double>(cameraGridPointCount(grid.horizontalSpanDeg, grid.horizontalStepDeg)) *
        static_cast<double>(cameraGridPointCount(grid.verticalSpanDeg, grid.verticalStepDeg));
    if (points > static_cast<double>(detail::kMaxSteeringPoints))
        throw std::invalid_argument(detail::kGridTooLarge);
}

std::uint64_t cameraGridPointCount(double spanDeg, double stepDeg) {
    return static_cast<std::uint64_t>(std::floor(spanDeg / stepDeg)) + 1;
}

std::vector<double> cameraGridAxis(double spanDeg, double centreDeg, double stepDeg) {
    const std::uint64_t count = cameraGridPointCount(spanDeg, stepDeg);
    std::vector<double> axis(count);
    const double middle = (static_cast<double>(count) - 1.0) / 2.0;
    for (std::uint64_t i = 0; i < count; ++i) {
        axis[i] = (static_cast<double>(i) - middle) * stepDeg + centreDeg;
    }
    return axis;
}

}  // namespace zk::core
