#include "core/signal/interleaved_sample_buffer.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

namespace zk::core {

namespace {

std::int16_t littleEndianSample(std::uint8_t low, std::uint8_t high) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (static_cast<unsigned>(high) << 8)));
}

}  // namespace

InterleavedSampleBuffer::InterleavedSampleBuffer(std::uint32_t channelCount) : channelCount_(channelCount) {
    if (channelCount == 0) {
        throw std::invalid_argument("channel_count must be non-zero");
    }
}

void InterleavedSampleBuffer::append(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return;
    }
    const std::size_t pending = carry_.size() + bytes.size();
    // Reserve first so an allocation failure leaves both the carry and the samples untouched.
    samples_.reserve(samples_.size() + pending / 2);
    carry_.reserve(1);

    std::size_t pos = 0;
    if (!carry_.empty()) {
        samples_.push_back(littleEndianSample(carry_.front(), bytes[0]));
        carry_.clear();
        pos = 1;
    }
    for (; pos + 1 < bytes.size(); pos += 2) {
        samples_.push_back(littleEndianSample(bytes[pos], bytes[pos + 1]));
    }
    if (pos < bytes.size()) {
        carry_.push_back(bytes[pos]);
    }
}

std::uint64_t InterleavedSampleBuffer::framesAvailable() const { return samples_.size() / channelCount_; }

std::vector<std::int16_t> InterleavedSampleBuffer::takeFrames(std::uint64_t maxFrames) {
    const std::uint64_t frames = std::min(framesAvailable(), maxFrames);
    if (frames == 0) {
        return {};
    }
    const auto count = static_cast<std::ptrdiff_t>(frames * channelCount_);
    std::vector<std::int16_t> out(samples_.begin(), samples_.begin() + count);
    samples_.erase(samples_.begin(), samples_.begin() + count);
    return out;
}

void InterleavedSampleBuffer::clear() {
    carry_.clear();
    samples_.clear();
}

ChannelGatherMap buildChannelGatherMap(std::vector<std::uint64_t>&& wireChannels) {
    if (wireChannels.empty()) {
        throw std::invalid_argument("gather mapping must not be empty");
    }
    return ChannelGatherMap{std::move(wireChannels)};
}

void gatherLogicalChannels(const ChannelGatherMap& map, std::span<const std::int16_t> input,
                           std::span<std::int16_t> output, std::uint64_t wireChannelCount) {
    const std::vector<std::uint64_t>& wire = map.wireChannels;
    const std::uint64_t w = wireChannelCount;
    if (w == 0 || wire.empty() ||
        std::any_of(wire.begin(), wire.end(), [w](std::uint64_t index) { return index >= w; })) {
        throw std::invalid_argument("invalid channel mapping");
    }
    // A sorted copy finds repeats in O(L log L) whatever W is; a bit set of W bits would have to be
    // allocated at the size of an untrusted count.
    std::vector<std::uint64_t> sorted(wire);
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
        throw std::invalid_argument("invalid channel mapping");
    }
    if (input.size() % w != 0) {
        throw std::invalid_argument("input is not a complete interleaved stream");
    }
    const std::uint64_t frames = input.size() / w;
    const std::uint64_t logical = wire.size();
    if (frames > std::numeric_limits<std::uint64_t>::max() / logical || output.size() != frames * logical) {
        throw std::invalid_argument("output size does not match mapping");
    }

    const std::uint64_t* index = wire.data();
    for (std::uint64_t f = 0; f < frames; ++f) {
        const std::int16_t* src = input.data() + f * w;
        std::int16_t* dst = output.data() + f * logical;
        for (std::uint64_t k = 0; k < logical; ++k) {
            dst[k] = src[index[k]];
        }
    }
}

}  // namespace zk::core
