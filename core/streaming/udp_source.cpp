#include "core/streaming/udp_source.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>
#include <span>
#include <stdexcept>
#include <utility>

namespace zk::core {

namespace {

// Largest IPv4 UDP payload: no datagram is cut.
constexpr std::size_t kReceiveBufferBytes = 65507;
// Longest wait of the receive thread before it looks at running again.
constexpr int kWaitTimeoutMs = 100;

// Frames of one datagram: the layout's, or as many as the largest payload holds. frameBytes > 0.
std::uint64_t datagramFramesFor(const DeviceProfile& profile, std::uint64_t frameBytes) {
    return profile.udp ? profile.udp->samplesPerDatagram : kReceiveBufferBytes / frameBytes + 1;
}

std::uint64_t capacityFramesFor(const DeviceProfile& profile) {
    const std::uint64_t frameBytes = std::uint64_t{profile.wireChannelCount} * 2;
    if (frameBytes == 0) return 0;
    const auto span = static_cast<std::uint64_t>(std::ceil(kUdpBufferSeconds * profile.sampleRateHz));
    const std::uint64_t frames = std::min(span, kUdpBufferMaxBytes / frameBytes);
    // A buffer that cannot take one whole datagram would drop every one.
    return std::max(frames, datagramFramesFor(profile, frameBytes));
}

// What a drained buffer keeps reserved: a sixteenth of its bound, and room for four datagrams (the
// working size of a reader that takes two at a time), so a steady stream allocates nothing more.
std::uint64_t keptFramesFor(const DeviceProfile& profile, std::uint64_t capacityFrames) {
    const std::uint64_t frameBytes = std::uint64_t{profile.wireChannelCount} * 2;
    if (frameBytes == 0) return 0;
    return std::min(capacityFrames,
                    std::max(capacityFrames / 16, 4 * datagramFramesFor(profile, frameBytes)));
}

}  // namespace

std::string senderText(const DatagramSender& sender) {
    const std::uint32_t a = sender.address;
    return std::to_string(a >> 24) + '.' + std::to_string((a >> 16) & 0xFF) + '.' +
           std::to_string((a >> 8) & 0xFF) + '.' + std::to_string(a & 0xFF) + ':' +
           std::to_string(sender.port);
}

UdpSource::UdpSource(std::int32_t port, std::int32_t receiveBufferBytes, std::int32_t timeoutMs)
    : port_(port), receiveBufferBytes_(receiveBufferBytes), timeoutMs_(timeoutMs) {
    if (receiveBufferBytes <= 0 || timeoutMs <= 0) {
        throw std::invalid_argument("invalid UDP receive buffer or timeout");
    }
    // htons would keep only the low 16 bits and bind another port without a word.
    if (port < 0 || port > 65535) {
        throw std::invalid_argument("invalid UDP port");
    }
}

UdpSource::~UdpSource() { stop(); }

void UdpSource::configure(const DeviceProfile& profile) {
    if (running_) {
        throw std::logic_error("cannot configure UDP source while running");
    }
    auto buffer = std::make_unique<InterleavedSampleBuffer>(profile.wireChannelCount);
    DeviceProfile copy = profile;
    std::lock_guard lock(mutex_);
    capacityFrames_ = capacityFramesFor(copy);
    keptFrames_ = keptFramesFor(copy, capacityFrames_);
    buffer->setGrowthLimit(capacityFrames_ * copy.wireChannelCount);
    profile_ = std::move(copy);
    buffer_ = std::move(buffer);
    stats_.bufferedFrames = 0;
    appendedFrames_ = takenFrames_ = 0;
    gaps_.clear();
}

void UdpSource::start() {
    if (running_) return;
    std::optional<std::uint32_t> datagramBytes;
    {
        std::lock_guard lock(mutex_);
        if (!profile_.isValid() || !buffer_) {
            throw std::logic_error("UDP source requires a configured profile");
        }
        if (profile_.udp) datagramBytes = profile_.udp->datagramBytes;
    }

    SocketHandle socket = openUdpSocket();
    SocketHandle wake = openWakeChannel();
    if (socket == kClosedSocket || wake == kClosedSocket) {
        closeSocket(socket);
        closeSocket(wake);
        throw std::runtime_error("socket creation failed");
    }
    setReceiveBufferBytes(socket, receiveBufferBytes_);  // the system's cap may grant less; that is fine
    enableDropCounter(socket);  // without it system drops go uncounted, nothing worse
    if (!bindUdpAnyAddress(socket, static_cast<std::uint16_t>(port_))) {
        closeSocket(socket);
        closeSocket(wake);
        throw std::runtime_error("UDP bind failed");
    }

    arraySenders_.clear();                       // which address the array sends from is learnt afresh
    arraySenders_.reserve(kUdpMaxArraySenders);  // so the receive thread allocates nothing for it
    arraySendersFull_ = false;
    {
        std::lock_guard lock(mutex_);
        stopReason_.reset();
        // The system counts per socket: a new socket starts from zero.
        socketDropsBefore_ = stats_.datagramsDroppedBySocket;
    }
    socket_ = socket;
    wake_ = wake;
    boundPort_ = boundUdpPort(socket);
    running_ = true;
    try {
        receiver_ =
            std::thread([this, socket, wake, datagramBytes] { receiveLoop(socket, wake, datagramBytes); });
    } catch (...) {
        running_ = false;
        closeSocket(socket_);
        closeSocket(wake_);
        boundPort_ = 0;
        throw;
    }
}

void UdpSource::stop() {
    if (!running_.exchange(false)) return;
    // Closing alone would not wake a thread blocked on the socket, and the number could be reused at
    // once: wake it, join it, and only then close.
    signalWakeChannel(wake_);
    if (receiver_.joinable()) receiver_.join();
    closeSocket(socket_);
    closeSocket(wake_);
    boundPort_ = 0;
    // Taking the mutex orders this broadcast after a reader's check of running, so none misses it.
    { std::lock_guard lock(mutex_); }
    dataArrived_.notify_all();
}

std::vector<std::int16_t> UdpSource::readFrames(std::uint64_t frameCount) {
    return readBlock(frameCount).samples;
}

UdpRead UdpSource::readBlock(std::uint64_t frameCount) {
    if (frameCount == 0) return {};
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
    // A read stops at the next gap ahead; a gap right at the front belongs to this read's start.
    const auto readable = [&] {
        const std::uint64_t available = buffer_->framesAvailable();
        for (const std::uint64_t gap : gaps_) {
            if (gap > takenFrames_) return std::min(available, gap - takenFrames_);
        }
        return available;
    };
    const auto gapAhead = [&] { return !gaps_.empty() && gaps_.back() > takenFrames_; };
    dataArrived_.wait_until(lock, deadline,
                            [&] { return !running_ || !buffer_ || readable() >= frameCount || gapAhead(); });
    if (!buffer_) return {};
    UdpRead read;
    read.samples = buffer_->takeFrames(std::min(frameCount, readable()));
    // A gap at the front is passed only by a read that brings frames, so no empty read swallows it.
    while (!read.samples.empty() && !gaps_.empty() && gaps_.front() <= takenFrames_) {
        gaps_.pop_front();
        read.gapBefore = true;
    }
    takenFrames_ += read.samples.size() / buffer_->channelCount();
    if (buffer_->framesAvailable() == 0) buffer_->releaseIfEmpty(keptFrames_ * buffer_->channelCount());
    stats_.bufferedFrames = buffer_->framesAvailable();
    return read;
}

std::uint64_t UdpSource::bufferCapacityFrames() const {
    std::lock_guard lock(mutex_);
    return capacityFrames_;
}

std::uint64_t UdpSource::reservedBufferBytes() const {
    std::lock_guard lock(mutex_);
    return buffer_ ? buffer_->reservedSamples() * sizeof(std::int16_t) : 0;
}

UdpReceiveStats UdpSource::statistics() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

void UdpSource::countReceiveError() {
    std::lock_guard lock(mutex_);
    ++stats_.receiveErrors;
}

void UdpSource::receiveLoop(SocketHandle socket, SocketHandle wake,
                            std::optional<std::uint32_t> datagramBytes) {
    raiseCurrentThreadPriority();
    try {
        std::vector<std::uint8_t> datagram(kReceiveBufferBytes);
        std::uint64_t systemDropsSeen = 0;  // this socket's count as the last datagram told it
        while (running_) {
            const SocketWait wait = waitForDatagram(socket, wake, kWaitTimeoutMs);
            if (wait == SocketWait::Failed) {
                countReceiveError();
                endReception("the socket can no longer be waited on");
                return;
            }
            if (wait != SocketWait::Readable) continue;

            const ReceiveResult received = receiveDatagram(socket, datagram);
            if (received.status == ReceiveStatus::NothingQueued) continue;
            if (received.status == ReceiveStatus::Failed) {
                countReceiveError();
                continue;
            }
            {
                std::lock_guard lock(mutex_);
                if (received.systemDrops && *received.systemDrops > systemDropsSeen) {
                    systemDropsSeen = *received.systemDrops;
                    stats_.datagramsDroppedBySocket = socketDropsBefore_ + systemDropsSeen;
                    // The system dropped datagrams before this one: the samples are not contiguous.
                    markGap();
                }
                if (received.bytes == 0) {
                    ++stats_.emptyDatagrams;
                    continue;
                }
                ++stats_.datagramsReceived;
                stats_.bytesReceived += received.bytes;
                if (datagramBytes && received.bytes != *datagramBytes) {
                    ++stats_.datagramsDroppedWrongSize;
                    if (!fromArray(received.sender)) {
                        ++stats_.strayDatagrams;
                        stats_.lastStrayBytes = received.bytes;
                        stats_.lastStraySender = *received.sender;
                        continue;
                    }
                    // It may stand in for a whole datagram: the samples around it are not contiguous.
                    markGap();
                    continue;
                }
                noteArraySender(received.sender);
                acceptDatagram(std::span<const std::uint8_t>(datagram.data(), received.bytes));
            }
            dataArrived_.notify_all();
        }
    } catch (const std::exception& error) {
        // Nothing may leave the thread body.
        countReceiveError();
        endReception(error.what());
    } catch (...) {
        countReceiveError();
        endReception("unknown error");
    }
}

void UdpSource::endReception(const char* reason) noexcept {
    try {
        std::lock_guard lock(mutex_);
        stopReason_ = reason;
    } catch (...) {
        // No memory for the text: the reader still learns that reception ended.
        std::lock_guard lock(mutex_);
        stopReason_.emplace();
    }
    dataArrived_.notify_all();
}

std::optional<std::string> UdpSource::receiveStopReason() const {
    std::lock_guard lock(mutex_);
    return stopReason_;
}

void UdpSource::markGap() {
    // Drops in a row make one gap; before the first sample nothing is broken.
    if (appendedFrames_ > 0 && (gaps_.empty() || gaps_.back() != appendedFrames_))
        gaps_.push_back(appendedFrames_);
}

bool UdpSource::fromArray(const std::optional<DatagramSender>& sender) const {
    // Before the first whole datagram, and for a sender the system does not name, nothing tells the
    // array apart: the datagram counts as the array's, the side on which no splice can pass unseen.
    if (!sender || arraySenders_.empty() || arraySendersFull_) return true;
    return std::find(arraySenders_.begin(), arraySenders_.end(), sender->address) != arraySenders_.end();
}

void UdpSource::noteArraySender(const std::optional<DatagramSender>& sender) {
    // Every sender of a whole datagram is the array's: its samples are in the stream, so a wrong length
    // from it may stand in for one of them.
    if (arraySendersFull_) return;
    if (!sender) {
        arraySendersFull_ = true;
        return;
    }
    if (std::find(arraySenders_.begin(), arraySenders_.end(), sender->address) != arraySenders_.end()) return;
    if (arraySenders_.size() == kUdpMaxArraySenders) {
        arraySendersFull_ = true;
        return;
    }
    arraySenders_.push_back(sender->address);
}

void UdpSource::acceptDatagram(std::span<const std::uint8_t> payload) {
    const std::uint64_t frameBytes = std::uint64_t{buffer_->channelCount()} * 2;
    const std::uint64_t incomingFrames = (payload.size() + frameBytes - 1) / frameBytes;
    bool fits = buffer_->framesAvailable() + incomingFrames <= capacityFrames_;
    if (fits) {
        try {
            const std::uint64_t before = buffer_->framesAvailable();
            buffer_->append(payload);
            appendedFrames_ += buffer_->framesAvailable() - before;
        } catch (const std::bad_alloc&) {
            fits = false;  // the append left the buffer as it was: the datagram is dropped like any other
        }
    }
    if (!fits) {
        ++stats_.datagramsDroppedBufferFull;
        markGap();
    }
    stats_.bufferedFrames = buffer_->framesAvailable();
}

}  // namespace zk::core
