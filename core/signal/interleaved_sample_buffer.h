#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zk::core {

/// Reassembles raw little-endian int16 bytes arriving in arbitrary chunks into whole interleaved frames.
/// Appending and taking cost amortised constant time per sample whatever the backlog. Not thread-safe:
/// the owning source serialises every call.
class InterleavedSampleBuffer {
  public:
    /// channelCount is the number of interleaved (wire) channels per frame; throws std::invalid_argument
    /// when it is 0.
    explicit InterleavedSampleBuffer(std::uint32_t channelCount);

    /// Converts every complete byte pair; an odd trailing byte waits for the next chunk as a low byte.
    void append(std::span<const std::uint8_t> bytes);

    [[nodiscard]] std::uint64_t framesAvailable() const;

    /// Removes and returns up to maxFrames whole frames from the front, interleaved as received.
    [[nodiscard]] std::vector<std::int16_t> takeFrames(std::uint64_t maxFrames);

    /// Drops the carried byte and all samples; the channel count stays.
    void clear();

    /// When no whole or partial sample is held, gives back the storage beyond `keepSamples` (keeping that
    /// much reserved): a drained backlog would otherwise keep its peak size, while storage within the
    /// working size stays, so a steady stream does not allocate again.
    void releaseIfEmpty(std::size_t keepSamples);

    /// Caps the doubling of the storage at `samples`; it still grows to whatever one append needs.
    void setGrowthLimit(std::size_t samples) { growthLimit_ = samples; }

    /// Samples the storage can hold without growing.
    [[nodiscard]] std::size_t reservedSamples() const { return samples_.capacity(); }

    [[nodiscard]] std::uint32_t channelCount() const { return channelCount_; }

  private:
    [[nodiscard]] std::size_t buffered() const { return samples_.size() - head_; }
    void makeRoom(std::size_t incoming);

    std::uint32_t channelCount_;
    std::vector<std::uint8_t> carry_;  // at most one byte between calls
    std::vector<std::int16_t> samples_;
    std::size_t growthLimit_ = SIZE_MAX;
    std::size_t head_ = 0;  // samples_[0 .. head_) were taken already; the buffered ones follow
};

/// For each logical channel, in logical order, the wire-channel index that feeds it.
struct ChannelGatherMap {
    std::vector<std::uint64_t> wireChannels;
};

/// Takes ownership of the wire indices; throws std::invalid_argument when the list is empty. The indices
/// themselves are checked by gatherLogicalChannels, which knows the wire channel count.
[[nodiscard]] ChannelGatherMap buildChannelGatherMap(std::vector<std::uint64_t>&& wireChannels);

/// Reorders whole interleaved wire frames into logical-channel order: output[f*L + k] = input[f*W + map[k]].
/// output must hold exactly (input.size() / W) * L samples. Throws std::invalid_argument before writing
/// anything when the map, the input length or the output length is invalid.
void gatherLogicalChannels(const ChannelGatherMap& map, std::span<const std::int16_t> input,
                           std::span<std::int16_t> output, std::uint64_t wireChannelCount);

}  // namespace zk::core
