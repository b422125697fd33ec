#include "fake_firmware.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "bitwise_crc.h"
#include "device/serial_protocol.h"

namespace {

constexpr std::uint8_t kIdentify = 0x30, kRead = 0x10, kErase = 0x21, kWrite = 0x20, kReset = 0x42,
                       kGain = 0x43, kAct = 0x44;

QByteArray bytesOf(std::string_view text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

std::vector<std::uint8_t> toVector(const QByteArray& bytes) { return {bytes.begin(), bytes.end()}; }

QByteArray blankSector() { return QByteArray(256, '\xFF'); }

}  // namespace

FakeFirmware::FakeFirmware(Protocol protocol, Behaviour behaviour) : protocol_(protocol), behaviour_(behaviour) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("no pty");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("no pty name");
    portName_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0) throw std::runtime_error("pty slave does not open");
    // Raw mode, so nothing written towards the host is echoed or translated, also while the host's
    // port is closed and its saved settings are back.
    termios tio{};
    tcgetattr(slave_, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave_, TCSANOW, &tio);
    thread_ = std::thread([this] { run(); });
}

FakeFirmware::~FakeFirmware() {
    stop_ = true;
    thread_.join();
    ::close(slave_);
    ::close(master_);
}

QByteArray FakeFirmware::page(std::uint32_t address) const {
    std::lock_guard lock(mutex_);
    const auto it = pages_.find(address);
    return it == pages_.end() ? blankSector() : it->second;
}

void FakeFirmware::setPage(std::uint32_t address, const QByteArray& bytes) {
    std::lock_guard lock(mutex_);
    pages_[address] = bytes;
}

std::vector<std::uint8_t> FakeFirmware::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::vector<int> FakeFirmware::gains() const {
    std::lock_guard lock(mutex_);
    return gains_;
}

int FakeFirmware::resets() const {
    std::lock_guard lock(mutex_);
    return resets_;
}

std::vector<bool> FakeFirmware::acts() const {
    std::lock_guard lock(mutex_);
    return acts_;
}

int FakeFirmware::writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

qsizetype FakeFirmware::bytesReceived() const {
    std::lock_guard lock(mutex_);
    return bytesReceived_;
}

void FakeFirmware::run() {
    QByteArray buffer;
    while (!stop_) {
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, 20) <= 0 || (pfd.revents & POLLIN) == 0) continue;
        char chunk[4096];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n <= 0) continue;
        buffer.append(chunk, n);
        {
            std::lock_guard lock(mutex_);
            bytesReceived_ += n;
        }
        if (protocol_ == Protocol::UartV2) handleUartV2(buffer);
        if (protocol_ == Protocol::Legacy) handleLegacy(buffer);
        if (protocol_ == Protocol::Silent) buffer.clear();
    }
}

// A request frame (no status byte) at the front; noise before it is dropped.
bool FakeFirmware::takeRequest(QByteArray& buffer, std::uint8_t& command, QByteArray& data) {
    for (;;) {
        const qsizetype sync = buffer.indexOf(QByteArray("\xAA\x5A", 2));
        if (sync < 0) return false;
        buffer.remove(0, sync);
        if (buffer.size() < 5) return false;
        const int length = static_cast<std::uint8_t>(buffer[3]) | (static_cast<std::uint8_t>(buffer[4]) << 8);
        if (buffer.size() < length + 7) return false;
        const std::uint16_t crc = bitSerialCrc16(toVector(buffer.mid(2, length + 3)));
        const std::uint16_t stored = static_cast<std::uint8_t>(buffer[length + 5]) |
                                     (static_cast<std::uint8_t>(buffer[length + 6]) << 8);
        if (crc != stored) {
            buffer.remove(0, 1);
            continue;
        }
        command = static_cast<std::uint8_t>(buffer[2]);
        data = buffer.mid(5, length);
        buffer.remove(0, length + 7);
        return true;
    }
}

void FakeFirmware::answer(std::uint8_t command, std::uint8_t status, const QByteArray& data) {
    QByteArray frame("\xAA\x5A", 2);
    frame.append(static_cast<char>(command));
    frame.append(static_cast<char>(status));
    frame.append(static_cast<char>(data.size() & 0xFF));
    frame.append(static_cast<char>(data.size() >> 8));
    frame.append(data);
    const std::uint16_t crc = bitSerialCrc16(toVector(frame.mid(2)));
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
    if (behaviour_.staleFrameFirst && command != kRead) {
        QByteArray stale("\xAA\x5A\x10\x00\x00\x00", 6);
        const std::uint16_t staleCrc = bitSerialCrc16(toVector(stale.mid(2)));
        stale.append(static_cast<char>(staleCrc & 0xFF));
        stale.append(static_cast<char>(staleCrc >> 8));
        frame.prepend(stale);
    }
    send(frame);
}

void FakeFirmware::send(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0) return;
        done += n;
    }
}

QByteArray FakeFirmware::readPageLocked(std::uint32_t address) {
    const auto it = pages_.find(address);
    QByteArray bytes = it == pages_.end() ? blankSector() : it->second;
    if (behaviour_.corruptReadback && writes_ > 0 && !bytes.isEmpty()) bytes[0] = static_cast<char>(bytes[0] ^ 0x01);
    return bytes;
}

void FakeFirmware::handleUartV2(QByteArray& buffer) {
    std::uint8_t command = 0;
    QByteArray data;
    while (takeRequest(buffer, command, data)) {
        std::unique_lock lock(mutex_);
        commands_.push_back(command);
        const bool mute = (behaviour_.muteAfterIdentify && command != kIdentify) || (behaviour_.muteReads && command == kRead);
        const std::uint32_t address =
            data.size() >= 2 ? static_cast<std::uint8_t>(data[0]) | (static_cast<std::uint8_t>(data[1]) << 8) : 0;
        QByteArray reply;
        std::uint8_t status = 0;
        switch (command) {
            case kIdentify: reply = bytesOf(zk::device::kIdentifyMarker) + QByteArray("\x01\x02", 2); break;
            case kRead: reply = readPageLocked(address); break;
            case kErase:
                pages_[address] = blankSector();
                if (behaviour_.eraseLeavesByte) pages_[address][17] = '\0';
                break;
            case kWrite: {
                QByteArray& target = pages_.try_emplace(address, blankSector()).first->second;
                target.replace(0, data.size() - 2, data.mid(2));
                ++writes_;
                break;
            }
            case kReset: ++resets_; break;
            case kGain: gains_.push_back(static_cast<std::uint8_t>((data.isEmpty() ? 0 : data[0]))); break;
            case kAct: acts_.push_back((data.isEmpty() ? 0 : data[0]) != 0); break;
            default: status = 3; break;
        }
        lock.unlock();
        if (!mute) answer(command, status, reply);
    }
}

void FakeFirmware::handleLegacy(QByteArray& buffer) {
    const QByteArray trailer = bytesOf(zk::device::kLegacyTrailer);
    for (;;) {
        if (buffer.startsWith("\xAA\x5A")) {
            std::uint8_t command = 0;
            QByteArray data;
            if (!takeRequest(buffer, command, data)) return;
            if (behaviour_.legacyAnswersFrames) answer(command, 3);
            continue;
        }
        const qsizetype dot = buffer.indexOf('.');
        if (dot < 0) {
            buffer.clear();
            return;
        }
        buffer.remove(0, dot);
        // The word with its decimal argument and ")": -1 while incomplete, 0 when it is not this word.
        const auto argumentOf = [&](std::string_view word, long& argument) -> qsizetype {
            const QByteArray w = bytesOf(word);
            if (buffer.size() < w.size()) return w.startsWith(buffer) ? -1 : 0;
            if (!buffer.startsWith(w)) return 0;
            qsizetype i = w.size();
            while (i < buffer.size() && buffer[i] >= '0' && buffer[i] <= '9') ++i;
            if (i == buffer.size()) return -1;
            if (buffer[i] != ')' || i == w.size()) return 0;
            argument = std::strtol(buffer.mid(w.size(), i - w.size()).constData(), nullptr, 10);
            return i + 1;
        };
        long arg = 0;
        const QByteArray resetWord = bytesOf(zk::device::kLegacyResetWord);
        if (buffer.size() < resetWord.size() && resetWord.startsWith(buffer)) return;
        if (buffer.startsWith(resetWord)) {
            buffer.remove(0, 6);
            std::lock_guard lock(mutex_);
            ++resets_;
            continue;
        }
        qsizetype used = argumentOf(zk::device::kLegacyReadWord, arg);
        if (used > 0) {
            buffer.remove(0, used);
            std::unique_lock lock(mutex_);
            QByteArray reply = readPageLocked(static_cast<std::uint32_t>(arg)) + trailer;
            lock.unlock();
            if (behaviour_.legacyReplyBytes >= 4) reply = reply.left(behaviour_.legacyReplyBytes - 4) + trailer;
            send(reply);
            continue;
        }
        if (used < 0) return;
        used = argumentOf(zk::device::kLegacyGainWord, arg);
        if (used > 0) {
            buffer.remove(0, used);
            std::lock_guard lock(mutex_);
            gains_.push_back(static_cast<int>(arg));
            continue;
        }
        if (used < 0) return;
        used = argumentOf(zk::device::kLegacyEraseWord, arg);
        if (used > 0) {
            buffer.remove(0, used);
            std::lock_guard lock(mutex_);
            pages_[static_cast<std::uint32_t>(arg)] = blankSector();
            continue;
        }
        if (used < 0) return;
        used = argumentOf(zk::device::kLegacyWriteWord, arg);
        if (used > 0) {
            const qsizetype end = buffer.indexOf(trailer, used);
            if (end < 0) return;
            std::lock_guard lock(mutex_);
            QByteArray& target = pages_.try_emplace(static_cast<std::uint32_t>(arg), blankSector()).first->second;
            target.replace(0, end - used, buffer.mid(used, end - used));
            ++writes_;
            buffer.remove(0, end + trailer.size());
            continue;
        }
        if (used < 0) return;
        buffer.remove(0, 1);
    }
}
