#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace zk::core {

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
// where the pinhole steering model's tangent is defined. Call it before any grid size is computed.
void checkCameraGrid(const CameraGridSpec& grid);

// floor(span / step) + 1 for a grid that passed checkCameraGrid.
std::uint64_t cameraGridPointCount(double spanDeg, double stepDeg);

// The axis values of one grid direction, symmetric about the centre.
std::vector<double> cameraGridAxis(double spanDeg, double centreDeg, double stepDeg);

}  // namespace zk::core
