#include "core/signal/interleaved_sample_buffer.h"

#include <algorithm>
#include <bitset>
#include <limits>
#include <stdexcept>
#include <utility>

namespace zk::core {

namespace {

std::int16_t littleEndianSample(std::uint8_t low, std::uint8_t high) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (static_cast<unsigned>(high) << 8)));
}

// Wire counts up to this size find repeats with a bit set on the stack, so a gather on the live path
// allocates nothing.
constexpr std::uint64_t kStackBitSetWires = std::uint64_t{1} << 16;

// Every entry is below w here. Above the stack bit set's size a sorted copy finds repeats in O(L log L);
// a bit set of W bits would have to be allocated at the size of an untrusted count.
bool hasRepeats(const std::vector<std::uint64_t>& wire, std::uint64_t w) {
    if (w <= kStackBitSetWires) {
        std::bitset<kStackBitSetWires> seen;
        for (const std::uint64_t index : wire) {
            if (seen.test(index)) {
                return true;
            }
            seen.set(index);
        }
        return false;
    }
    std::vector<std::uint64_t> sorted(wire);
    std::sort(sorted.begin(), sorted.end());
    return std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
}

}  // namespace

InterleavedSampleBuffer::InterleavedSampleBuffer(std::uint32_t channelCount) : channelCount_(channelCount) {
    if (channelCount == 0) {
        throw std::invalid_argument("channel_count must be non-zero");
    }
}

// Taken samples are dropped only when that pays: by sliding the rest to the front when the taken prefix is
// at least as long as the rest, or else by growing geometrically into a new block that holds only the rest.
// Either copy is paid for by the samples taken or the doubling since the last one.
void InterleavedSampleBuffer::makeRoom(std::size_t incoming) {
    const std::size_t live = buffered();
    if (samples_.capacity() - samples_.size() >= incoming) {
        return;
    }
    if (head_ >= live && samples_.capacity() - live >= incoming) {
        std::copy(samples_.begin() + static_cast<std::ptrdiff_t>(head_), samples_.end(), samples_.begin());
        samples_.resize(live);
        head_ = 0;
        return;
    }
    std::vector<std::int16_t> grown;
    // Doubling stops at the growth limit, so a bounded owner reserves no more than its bound.
    grown.reserve(std::max(live + incoming, std::min(2 * samples_.capacity(), growthLimit_)));
    grown.insert(grown.end(), samples_.begin() + static_cast<std::ptrdiff_t>(head_), samples_.end());
    samples_.swap(grown);
    head_ = 0;
}

void InterleavedSampleBuffer::append(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return;
    }
    const std::size_t pending = carry_.size() + bytes.size();
    // Make room first so an allocation failure leaves both the carry and the samples untouched.
    makeRoom(pending / 2);
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

std::uint64_t InterleavedSampleBuffer::framesAvailable() const { return buffered() / channelCount_; }

std::vector<std::int16_t> InterleavedSampleBuffer::takeFrames(std::uint64_t maxFrames) {
    const std::uint64_t frames = std::min(framesAvailable(), maxFrames);
    if (frames == 0) {
        return {};
    }
    const std::size_t count = frames * channelCount_;
    const auto first = samples_.begin() + static_cast<std::ptrdiff_t>(head_);
    std::vector<std::int16_t> out(first, first + static_cast<std::ptrdiff_t>(count));
    head_ += count;
    if (head_ == samples_.size()) {
        samples_.clear();
        head_ = 0;
    }
    return out;
}

void InterleavedSampleBuffer::clear() {
    carry_.clear();
    samples_.clear();
    head_ = 0;
}

void InterleavedSampleBuffer::releaseIfEmpty(std::size_t keepSamples) {
    if (buffered() != 0) return;
    samples_.clear();
    head_ = 0;
    if (samples_.capacity() <= keepSamples) return;
    std::vector<std::int16_t> kept;
    kept.reserve(keepSamples);
    samples_.swap(kept);
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
    if (hasRepeats(wire, w)) {
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
