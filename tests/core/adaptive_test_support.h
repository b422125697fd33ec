#pragma once

// Independent double-precision truth for the adaptive map tests: the far-field pinhole steering
// model, matrices built from it, and brute-force quadratic forms.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/beamformer.h"

namespace zk::core::testing {

using cd = std::complex<double>;
using CVec = std::vector<cd>;

inline constexpr double kSoundSpeed = 343.0;
inline constexpr double kFarField = std::numeric_limits<double>::infinity();

// A 40 x 30 degree grid at 2 degrees: 21 columns (-20 .. 20) by 16 rows (-15 .. 15).
struct TestGrid {
    double hSpan = 40.0;
    double vSpan = 30.0;
    double step = 2.0;
    std::uint64_t columns() const { return static_cast<std::uint64_t>(std::floor(hSpan / step)) + 1; }
    std::uint64_t rows() const { return static_cast<std::uint64_t>(std::floor(vSpan / step)) + 1; }
    std::uint64_t count() const { return rows() * columns(); }
    double hDeg(std::uint64_t c) const { return (static_cast<double>(c) - (columns() - 1) / 2.0) * step; }
    double vDeg(std::uint64_t r) const { return (static_cast<double>(r) - (rows() - 1) / 2.0) * step; }
    std::uint64_t cell(std::uint64_t r, std::uint64_t c) const { return r * columns() + c; }
};

// Sixteen microphones scattered over a 0.3 m square in the z = 0 plane (fixed seed).
inline std::vector<MicrophonePosition> scatteredArray(std::size_t count = 16, double aperture = 0.3) {
    std::mt19937 rng(20240611u);
    std::uniform_real_distribution<double> pos(-aperture / 2.0, aperture / 2.0);
    std::vector<MicrophonePosition> mics(count);
    for (auto& m : mics) {
        m.x = pos(rng);
        m.y = pos(rng);
    }
    return mics;
}

// exp(-i 2 pi f d_m / c) with the far-field path differences of the pinhole ray through (h, v).
inline CVec steeringVector(const std::vector<MicrophonePosition>& mics, double frequencyHz, double hDeg,
                           double vDeg) {
    const double tx = std::tan(hDeg * std::numbers::pi / 180.0);
    const double ty = std::tan(vDeg * std::numbers::pi / 180.0);
    const double n = std::sqrt(1.0 + tx * tx + ty * ty);
    std::vector<double> t(mics.size());
    double top = 0.0;
    for (std::size_t m = 0; m < mics.size(); ++m) {
        t[m] = (tx * mics[m].x + ty * mics[m].y) / n;
        top = std::max(top, t[m]);
    }
    CVec a(mics.size());
    for (std::size_t m = 0; m < mics.size(); ++m) {
        const double phase = 2.0 * std::numbers::pi * frequencyHz * (top - t[m]) / kSoundSpeed;
        a[m] = std::polar(1.0, -phase);
    }
    return a;
}

inline CVec cellSteering(const std::vector<MicrophonePosition>& mics, const TestGrid& grid,
                         double frequencyHz, std::uint64_t cell) {
    return steeringVector(mics, frequencyHz, grid.hDeg(cell % grid.columns()),
                          grid.vDeg(cell / grid.columns()));
}

inline MatrixRows zeroMatrix(std::size_t M) { return MatrixRows(M, CVec(M, cd{})); }

// R += power v v^H
inline void addSource(MatrixRows& R, const CVec& v, double power) {
    for (std::size_t i = 0; i < v.size(); ++i) {
        for (std::size_t k = 0; k < v.size(); ++k) {
            R[i][k] += power * v[i] * std::conj(v[k]);
        }
    }
}

inline void addNoise(MatrixRows& R, double power) {
    for (std::size_t i = 0; i < R.size(); ++i) {
        R[i][i] += power;
    }
}

// a^H R a in double precision over all M x M entries.
inline double quadraticForm(const MatrixRows& R, const CVec& a) {
    cd sum{};
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t k = 0; k < a.size(); ++k) {
            sum += std::conj(a[i]) * R[i][k] * a[k];
        }
    }
    return sum.real();
}

inline double innerProductPower(const CVec& v, const CVec& a) {
    cd sum{};
    for (std::size_t m = 0; m < v.size(); ++m) {
        sum += std::conj(v[m]) * a[m];
    }
    return std::norm(sum);
}

// Runs fn and checks that it throws exactly E with the given text.
template <typename E>
void expectThrowText(const std::function<void()>& fn, const std::string& text) {
    try {
        fn();
        ADD_FAILURE() << "expected an exception with text \"" << text << "\"";
    } catch (const E& e) {
        EXPECT_EQ(std::string(e.what()), text);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "wrong exception type, text \"" << e.what() << "\"";
    }
}

// Largest |a - b| / max(|b|, tiny) over two equally long power planes.
inline double maxRelativeDifference(const std::vector<double>& a, const std::vector<double>& b) {
    EXPECT_EQ(a.size(), b.size());
    double worst = 0.0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        worst = std::max(worst, std::abs(a[i] - b[i]) / std::max(std::abs(b[i]), 1e-300));
    }
    return worst;
}

// Same map up to the last bits: the factorisations may take other vector paths on other threads.
inline void expectSamePower(const std::vector<double>& a, const std::vector<double>& b) {
    EXPECT_LT(maxRelativeDifference(a, b), 1e-12);
}

inline std::uint64_t argMax(std::span<const double> values) {
    std::uint64_t best = 0;
    for (std::uint64_t i = 1; i < values.size(); ++i) {
        if (values[i] > values[best]) {
            best = i;
        }
    }
    return best;
}

}  // namespace zk::core::testing
