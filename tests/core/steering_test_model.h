#pragma once

// Independent double-precision model of the camera-grid steering vectors and of synthetic
// cross-spectral matrices, for checking the beamforming maps against closed forms.

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "core/beamformer.h"

namespace zk::core::testmodel {

using cd = std::complex<double>;
using Vec = std::vector<cd>;

struct Grid {
    double hSpan = 40.0;
    double vSpan = 20.0;
    double hCentre = 0.0;
    double vCentre = 0.0;
    double hStep = 2.0;
    double vStep = 2.0;
    double focus = std::numeric_limits<double>::infinity();

    std::uint64_t columns() const { return static_cast<std::uint64_t>(std::floor(hSpan / hStep)) + 1; }
    std::uint64_t rows() const { return static_cast<std::uint64_t>(std::floor(vSpan / vStep)) + 1; }
    std::uint64_t cells() const { return columns() * rows(); }
    double h(std::uint64_t c) const {
        return (static_cast<double>(c) - static_cast<double>(columns() - 1) / 2.0) * hStep + hCentre;
    }
    double v(std::uint64_t r) const {
        return (static_cast<double>(r) - static_cast<double>(rows() - 1) / 2.0) * vStep + vCentre;
    }
    std::uint64_t cell(std::uint64_t r, std::uint64_t c) const { return r * columns() + c; }
};

// Pinhole ray through the cell, far-field or focused path differences, exp(-i 2 pi f d / c).
inline Vec steering(const std::vector<MicrophonePosition>& mics, double speed, const Grid& grid,
                    std::uint64_t cell, double frequencyHz) {
    const double tx = std::tan(grid.h(cell % grid.columns()) * std::numbers::pi / 180.0);
    const double ty = std::tan(grid.v(cell / grid.columns()) * std::numbers::pi / 180.0);
    const double n = std::sqrt(1.0 + tx * tx + ty * ty);
    std::vector<double> d(mics.size());
    if (std::isinf(grid.focus)) {
        double top = 0.0;
        for (std::size_t m = 0; m < mics.size(); ++m) {
            d[m] = (tx * mics[m].x + ty * mics[m].y) / n;
            top = std::max(top, d[m]);
        }
        for (double& value : d) value = top - value;
    } else {
        const double px = grid.focus * tx / n, py = grid.focus * ty / n, pz = grid.focus / n;
        for (std::size_t m = 0; m < mics.size(); ++m) {
            const double dx = px - mics[m].x, dy = py - mics[m].y, dz = pz - mics[m].z;
            d[m] = std::sqrt(dx * dx + dy * dy + dz * dz) - grid.focus;
        }
    }
    Vec a(mics.size());
    for (std::size_t m = 0; m < mics.size(); ++m) {
        a[m] = std::polar(1.0, -2.0 * std::numbers::pi * frequencyHz * d[m] / speed);
    }
    return a;
}

struct Source {
    Vec v;
    double power;
};

// R = sum of power * v v^H plus noise * I, as rows.
inline MatrixRows mixture(const std::vector<Source>& sources, double noise, std::size_t M) {
    MatrixRows R(M, std::vector<cd>(M, cd{}));
    for (const Source& s : sources) {
        for (std::size_t i = 0; i < M; ++i) {
            for (std::size_t j = 0; j < M; ++j) R[i][j] += s.power * s.v[i] * std::conj(s.v[j]);
        }
    }
    for (std::size_t i = 0; i < M; ++i) R[i][i] += noise;
    return R;
}

// a^H R a in double.
inline double quadraticForm(const MatrixRows& R, const Vec& a) {
    cd q{};
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t j = 0; j < a.size(); ++j) q += std::conj(a[i]) * R[i][j] * a[j];
    }
    return q.real();
}

// A planar array without grating lobes: microphones on a sunflower spiral of the given radius.
inline std::vector<MicrophonePosition> spiralArray(std::size_t count, double radius) {
    std::vector<MicrophonePosition> mics(count);
    const double golden = std::numbers::pi * (3.0 - std::sqrt(5.0));
    for (std::size_t m = 0; m < count; ++m) {
        const double r = radius * std::sqrt((static_cast<double>(m) + 0.5) / static_cast<double>(count));
        const double angle = golden * static_cast<double>(m);
        mics[m] = {r * std::cos(angle), r * std::sin(angle), 0.0};
    }
    return mics;
}

inline std::uint64_t argmax(const std::vector<double>& values) {
    std::uint64_t best = 0;
    for (std::uint64_t i = 1; i < values.size(); ++i) {
        if (values[i] > values[best]) best = i;
    }
    return best;
}

}  // namespace zk::core::testmodel
