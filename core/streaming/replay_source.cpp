#include "core/streaming/replay_source.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace zk::core {

namespace {

// Largest read handed to the file at once: a huge frameCount never sizes the scratch by itself.
constexpr std::uint64_t kReadChunkBytes = std::uint64_t{1} << 20;

std::uint64_t fileSize(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) throw std::filesystem::filesystem_error("file_size", path, error);
    return size;
}

}  // namespace

ReplaySource::ReplaySource(std::filesystem::path rawPath) : rawPath_(std::move(rawPath)) {}

void ReplaySource::configure(const DeviceProfile& profile) {
    if (stream_) throw std::logic_error("cannot configure replay source while open");
    std::unique_ptr<InterleavedSampleBuffer> buffer;
    if (profile.wireChannelCount != 0)
        buffer = std::make_unique<InterleavedSampleBuffer>(profile.wireChannelCount);
    DeviceProfile copy = profile;
    profile_ = std::move(copy);
    buffer_ = std::move(buffer);
}

void ReplaySource::start() {
    if (stream_) return;
    if (!profile_.isValid() || !buffer_)
        throw std::logic_error("replay source requires a configured profile");
    stream_ = openFileForReading(rawPath_);
    if (!stream_) throw std::runtime_error("cannot open replay raw file");
    buffer_->clear();
    positionFrames_ = 0;
}

void ReplaySource::stop() { stream_.reset(); }

std::vector<std::int16_t> ReplaySource::readFrames(std::uint64_t frameCount) {
    if (!stream_) throw std::logic_error("replay source is not started");
    const std::uint64_t bytesPerFrame = frameBytes();
    const std::uint64_t chunkFrames = std::max<std::uint64_t>(kReadChunkBytes / bytesPerFrame, 1);

    std::vector<std::int16_t> frames;
    std::uint64_t taken = 0;
    while (taken < frameCount) {
        const std::uint64_t request = std::min(frameCount - taken, chunkFrames) * bytesPerFrame;
        scratch_.resize(static_cast<std::size_t>(request));
        const std::size_t got = std::fread(scratch_.data(), 1, scratch_.size(), stream_.get());
        if (got == 0) break;
        buffer_->append(std::span<const std::uint8_t>(scratch_.data(), got));
        std::vector<std::int16_t> block = buffer_->takeFrames(frameCount - taken);
        taken += block.size() / profile_.wireChannelCount;
        if (frames.empty()) {
            frames = std::move(block);
        } else {
            frames.insert(frames.end(), block.begin(), block.end());
        }
        if (got < request) break;  // end of file (or a failed read, which reads as one)
    }
    positionFrames_ += taken;
    return frames;
}

void ReplaySource::seekFrame(std::uint64_t frame) {
    if (!stream_ || !buffer_) throw std::logic_error("replay source is not started");
    const std::uint64_t total = fileSize(rawPath_) / frameBytes();
    const std::uint64_t target = std::min(frame, total);
    if (!seekFileTo(stream_.get(), target * frameBytes())) {
        throw std::runtime_error("cannot seek replay raw file");
    }
    buffer_->clear();
    positionFrames_ = target;
}

std::uint64_t ReplaySource::totalFrames() const {
    const std::uint64_t size = fileSize(rawPath_);
    // Before a profile with wire channels there is no frame size to count in.
    if (profile_.wireChannelCount == 0) return 0;
    return size / frameBytes();
}

}  // namespace zk::core
