#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace zk::core {

struct DeviceProfile;

// The spans of the map grid of an array, in degrees.
struct CameraFieldOfView {
    double horizontalDeg = 64.0;
    double verticalDeg = 48.0;
};

// The camera's field of view, or 64 x 48 degrees when the profile has no camera block or its block gives
// no positive field of view in either direction (a block without "hfovDeg" and "vfovDeg" holds 0 x 0).
CameraFieldOfView mapFieldOfView(const DeviceProfile& profile);

// A grid of viewing directions over the camera picture, in degrees; an infinite focus distance (either
// sign) means far field.
struct CameraGridSpec {
    double horizontalSpanDeg = 0.0;
    double verticalSpanDeg = 0.0;
    double horizontalCentreDeg = 0.0;
    double verticalCentreDeg = 0.0;
    double horizontalStepDeg = 0.0;
    double verticalStepDeg = 0.0;
    double focusDistanceM = std::numeric_limits<double>::infinity();

    // Ordinary floating-point equality of all seven values, so a NaN never matches.
    bool sameAs(const CameraGridSpec& other) const;
};

// Throws std::invalid_argument "invalid camera grid" unless every value is finite (the focus distance
// may also be infinite), spans and steps are positive, and each axis stays strictly inside +-90 degrees
// where the pinhole steering model's tangent is defined; std::invalid_argument "camera grid too large
// for the steering data (...)" when it holds more than 2^22 directions. Call it before any grid size
// is computed.
void checkCameraGrid(const CameraGridSpec& grid);

// floor(span / step) + 1 for a grid that passed checkCameraGrid.
std::uint64_t cameraGridPointCount(double spanDeg, double stepDeg);

// The axis values of one grid direction, symmetric about the centre.
std::vector<double> cameraGridAxis(double spanDeg, double centreDeg, double stepDeg);

}  // namespace zk::core
