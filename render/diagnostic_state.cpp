#include "render/diagnostic_state.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace zk::render {
namespace {

template <typename T>
bool storeIfChanged(std::atomic<T>& target, T value) {
    return target.exchange(value) != value;
}

}  // namespace

bool DiagnosticDisplaySettings::setWaveformMode(int mode) {
    return storeIfChanged(waveformMode, std::clamp(mode, 0, 2));
}

bool DiagnosticDisplaySettings::setWaveformWindowS(double seconds) {
    if (std::isnan(seconds)) return false;
    return storeIfChanged(waveformWindowS, std::clamp(seconds, 0.1, 5.0));
}

bool DiagnosticDisplaySettings::setWaterfallColormap(int index) {
    return storeIfChanged(waterfallColormap, std::clamp(index, 0, 3));
}

bool DiagnosticDisplaySettings::setDiagnosticChannel(int channel) {
    return storeIfChanged(diagnosticChannel, channel);
}

void ChannelAccumulators::reset(std::size_t channels) {
    sum.assign(channels, 0.0);
    sumSquares.assign(channels, 0.0);
    minimum.assign(channels, std::numeric_limits<double>::max());
    maximum.assign(channels, std::numeric_limits<double>::lowest());
    frames = 0;
}

void SampleHistory::setCapacity(std::size_t capacity) {
    if (capacity == ring_.size()) return;
    std::vector<double> kept;
    copyNewest(capacity, kept);
    ring_.assign(capacity, 0.0);
    std::copy(kept.begin(), kept.end(), ring_.begin());
    size_ = kept.size();
    next_ = capacity == 0 ? 0 : size_ % capacity;
}

void SampleHistory::clear() {
    next_ = 0;
    size_ = 0;
}

void SampleHistory::append(std::span<const std::int16_t> samples, std::size_t frames, std::size_t stride,
                           std::size_t offset) {
    const std::size_t capacity = ring_.size();
    if (capacity == 0) return;
    const std::size_t skipped = frames > capacity ? frames - capacity : 0;
    for (std::size_t f = skipped; f < frames; ++f) {
        ring_[next_] = samples[f * stride + offset];
        next_ = next_ + 1 == capacity ? 0 : next_ + 1;
    }
    size_ = std::min(capacity, size_ + (frames - skipped));
}

void SampleHistory::copyNewest(std::size_t count, std::vector<double>& out) const {
    const std::size_t n = std::min(count, size_);
    out.resize(n);
    if (n == 0) return;
    const std::size_t capacity = ring_.size();
    const std::size_t start = (next_ + capacity - n) % capacity;
    const std::size_t firstPart = std::min(n, capacity - start);
    std::copy_n(ring_.begin() + static_cast<std::ptrdiff_t>(start), firstPart, out.begin());
    std::copy_n(ring_.begin(), n - firstPart, out.begin() + static_cast<std::ptrdiff_t>(firstPart));
}

void FrameRing::configure(std::size_t channels, std::size_t capacityFrames) {
    if (channels != channels_) {
        writePosition_ = 0;
        fill_ = 0;
    }
    channels_ = channels;
    capacityFrames_ = capacityFrames;
    if (samples_.size() != channels * capacityFrames) {
        samples_.assign(channels * capacityFrames, 0);
        writePosition_ = 0;
        fill_ = 0;
    }
}

void FrameRing::append(std::span<const std::int16_t> frames) {
    if (channels_ == 0 || capacityFrames_ == 0) return;
    const std::size_t count = frames.size() / channels_;
    const std::size_t skipped = count > capacityFrames_ ? count - capacityFrames_ : 0;
    for (std::size_t f = skipped; f < count;) {
        const std::size_t run = std::min(count - f, capacityFrames_ - writePosition_);
        std::memcpy(samples_.data() + writePosition_ * channels_, frames.data() + f * channels_,
                    run * channels_ * sizeof(std::int16_t));
        f += run;
        writePosition_ = (writePosition_ + run) % capacityFrames_;
    }
    fill_ = std::min(capacityFrames_, fill_ + (count - skipped));
}

void FrameRing::copyNewest(std::size_t frames, std::size_t firstChannel, std::size_t channelCount,
                           std::vector<std::int16_t>& out) const {
    const std::size_t n = std::min(frames, fill_);
    const std::size_t width = firstChannel < channels_ ? std::min(channelCount, channels_ - firstChannel) : 0;
    out.resize(n * width);
    if (n == 0 || width == 0) return;
    std::size_t slot = (writePosition_ + capacityFrames_ - n) % capacityFrames_;
    for (std::size_t f = 0; f < n; ++f) {
        std::copy_n(samples_.data() + slot * channels_ + firstChannel, width, out.data() + f * width);
        slot = slot + 1 == capacityFrames_ ? 0 : slot + 1;
    }
}

}  // namespace zk::render
