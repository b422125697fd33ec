#pragma once

#include <complex>
#include <vector>

namespace zk::core {

/// Forward, unscaled radix-2 FFT, X[k] = sum x[n] e^(-2 pi i n k / N), computed in place on the moved-in
/// buffer and returned. Throws std::invalid_argument when the length is 0 or not a power of two.
[[nodiscard]] std::vector<std::complex<double>> fftRadix2(std::vector<std::complex<double>> values);

}  // namespace zk::core
