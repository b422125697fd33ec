#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace zk::app {

// The averaged and the peak-hold spectrum of a raw file's window, N / 2 + 1 values each in dBFS
// (20 log10 of the amplitude over full scale, floored at 1e-6); empty when no transform was made.
struct WindowSpectrum {
    std::vector<double> averageDbfs;
    std::vector<double> peakDbfs;
};

// The transform length for a window of this many frames: the first of 8192, 4096, 2048, 1024, 512
// the frames hold at least twice, else 256.
std::size_t analysisSpectrumFftSize(std::uint64_t frames);

// Reads frameCount frames of wireChannels int16 samples from startFrame on (at most 4096 frames per
// read, the cancel flag tested before each) and averages, over every wire channel and every hop, the
// one-sided amplitude spectrum of N mean-removed, Hann-windowed samples (a full-scale sine at a bin
// centre reads 0 dBFS). Needs wireChannels > 0, fftSize >= 8 a power of two and hop > 0, else empty.
// Throws std::runtime_error "cannot open raw file for the analysis spectrum".
WindowSpectrum computeWindowSpectrum(const std::filesystem::path& rawFile, std::uint32_t wireChannels,
                                     std::uint64_t startFrame, std::uint64_t frameCount, std::size_t fftSize,
                                     std::size_t hop, const std::atomic<bool>& cancel);

}  // namespace zk::app
