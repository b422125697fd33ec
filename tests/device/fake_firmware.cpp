#include "fake_firmware.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QRegularExpression>
#include <chrono>
#include <stdexcept>

#include "bitwise_crc.h"
#include "device/serial_protocol.h"

namespace {

constexpr std::uint8_t kIdentify = 0x30, kRead = 0x10, kErase = 0x21, kWrite = 0x20, kReset = 0x42,
                       kGain = 0x43, kAct = 0x44;

QByteArray bytesOf(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}
QString textOf(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::vector<std::uint8_t> toVector(const QByteArray& bytes) { return {bytes.begin(), bytes.end()}; }

QByteArray blankSector() { return QByteArray(256, '\xFF'); }

QByteArray withCrc(QByteArray frame) {
    const std::uint16_t crc = bitSerialCrc16(toVector(frame.mid(2)));
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

// A legacy word with its decimal argument and ")", or the reset word alone.
const QRegularExpression& legacyCommand() {
    using zk::device::kLegacyEraseWord, zk::device::kLegacyGainWord, zk::device::kLegacyReadWord,
        zk::device::kLegacyWriteWord, zk::device::kLegacyResetWord;
    static const QRegularExpression pattern(QStringLiteral("^(?:(%1|%2|%3|%4)(\\d+)\\)|%5)")
                                                .arg(QRegularExpression::escape(textOf(kLegacyReadWord)),
                                                     QRegularExpression::escape(textOf(kLegacyGainWord)),
                                                     QRegularExpression::escape(textOf(kLegacyEraseWord)),
                                                     QRegularExpression::escape(textOf(kLegacyWriteWord)),
                                                     QRegularExpression::escape(textOf(kLegacyResetWord))));
    return pattern;
}

}  // namespace

FakeFirmware::FakeFirmware(Protocol protocol, Behaviour behaviour)
    : protocol_(protocol), behaviour_(behaviour) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128];
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    portName_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0) throw std::runtime_error("pseudo-terminal slave does not open");
    // Raw, so nothing sent towards the host is echoed or translated, also while the host's port is
    // closed and its saved settings are back.
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
    if (master_ >= 0) ::close(master_);
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

FakeFirmware::Seen FakeFirmware::seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

bool FakeFirmware::waitUntilSeen(const std::function<bool(const Seen&)>& done,
                                 std::chrono::milliseconds guard) const {
    std::unique_lock lock(mutex_);
    return seenChanged_.wait_for(lock, guard, [&] { return done(seen_); });
}

void FakeFirmware::setBehaviour(const Behaviour& behaviour) {
    std::lock_guard lock(mutex_);
    behaviour_ = behaviour;
}

void FakeFirmware::run() {
    QByteArray buffer;
    while (!stop_ && master_ >= 0) {
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, 20) <= 0 || (pfd.revents & POLLIN) == 0) continue;
        char chunk[4096];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n <= 0) continue;
        buffer.append(chunk, n);
        {
            std::lock_guard lock(mutex_);
            seen_.bytesReceived += n;
            seen_.received.append(chunk, n);
        }
        if (protocol_ == Protocol::UartV2) handleUartV2(buffer);
        if (protocol_ == Protocol::Legacy) handleLegacy(buffer);
        if (protocol_ == Protocol::Silent) buffer.clear();
        seenChanged_.notify_all();  // after the handlers, which record what the bytes asked for
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
        if (withCrc(buffer.first(length + 5)) != buffer.first(length + 7)) {
            buffer.remove(0, 1);
            continue;
        }
        command = static_cast<std::uint8_t>(buffer[2]);
        data = buffer.mid(5, length);
        buffer.remove(0, length + 7);
        return true;
    }
}

void FakeFirmware::answer(const Behaviour& behaviour, std::uint8_t command, std::uint8_t status,
                          const QByteArray& data) {
    QByteArray frame("\xAA\x5A", 2);
    frame.append(static_cast<char>(command));
    frame.append(static_cast<char>(status));
    frame.append(static_cast<char>(data.size() & 0xFF));
    frame.append(static_cast<char>(data.size() >> 8));
    frame = withCrc(frame + data);
    if (behaviour.staleFrameFirst && command != kRead)
        frame.prepend(withCrc(QByteArray("\xAA\x5A\x10\x00\x00\x00", 6)));
    send(frame);
}

void FakeFirmware::send(const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n =
            ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0) return;
        done += n;
    }
}

QByteArray FakeFirmware::readPageLocked(std::uint32_t address) {
    const auto it = pages_.find(address);
    QByteArray bytes = it == pages_.end() ? blankSector() : it->second;
    if (behaviour_.corruptReadback && seen_.writes > 0 && !bytes.isEmpty())
        bytes[0] = static_cast<char>(bytes[0] ^ 1);
    if (behaviour_.readbackBytes >= 0 && seen_.writes > 0) bytes.truncate(behaviour_.readbackBytes);
    return bytes;
}

void FakeFirmware::handleUartV2(QByteArray& buffer) {
    std::uint8_t command = 0;
    QByteArray data;
    while (takeRequest(buffer, command, data)) {
        std::unique_lock lock(mutex_);
        const Behaviour behaviour = behaviour_;
        seen_.commands.push_back(command);
        const std::uint32_t address =
            data.size() >= 2 ? static_cast<std::uint8_t>(data[0]) | (static_cast<std::uint8_t>(data[1]) << 8)
                             : 0;
        const int argument = data.isEmpty() ? 0 : static_cast<std::uint8_t>(data[0]);
        QByteArray reply;
        std::uint8_t status = 0;
        switch (command) {
            case kIdentify:
                reply = bytesOf(zk::device::kIdentifyMarker) + QByteArray("\x01\x02", 2);
                break;
            case kRead:
                reply = readPageLocked(address);
                break;
            case kErase:
                pages_[address] = blankSector();
                if (behaviour_.eraseLeavesByte) pages_[address][17] = '\0';
                break;
            case kWrite:
                pages_.try_emplace(address, blankSector())
                    .first->second.replace(0, data.size() - 2, data.mid(2));
                ++seen_.writes;
                break;
            case kReset:
                ++seen_.resets;
                break;
            case kGain:
                seen_.gains.push_back(argument);
                break;
            case kAct:
                seen_.acts.push_back(argument != 0);
                break;
            default:
                status = 3;
                break;
        }
        lock.unlock();
        if (command == behaviour.hangUpOn) {
            ::close(master_);
            master_ = -1;
            return;
        }
        if (command == behaviour.failCommand) status = behaviour.failStatus;
        if (command == behaviour.lateCommand) {
            for (int waited = 0; waited < behaviour.lateMs && !stop_; waited += 10) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        const bool mute = (behaviour.muteAfterIdentify && command != kIdentify) ||
                          (behaviour.muteReads && command == kRead);
        if (!mute) answer(behaviour, command, status, reply);
    }
}

void FakeFirmware::handleLegacy(QByteArray& buffer) {
    const QByteArray trailer = bytesOf(zk::device::kLegacyTrailer);
    for (;;) {
        if (buffer.startsWith("\xAA\x5A")) {
            std::uint8_t command = 0;
            QByteArray data;
            if (!takeRequest(buffer, command, data)) return;
            const Behaviour behaviour = [this] {
                std::lock_guard lock(mutex_);
                return behaviour_;
            }();
            if (behaviour.legacyAnswersFrames) answer(behaviour, command, 3);
            continue;
        }
        const qsizetype dot = buffer.indexOf('.');
        buffer.remove(0, dot < 0 ? buffer.size() : dot);
        if (buffer.isEmpty()) return;
        const auto match = legacyCommand().match(QString::fromLatin1(buffer), 0,
                                                 QRegularExpression::PartialPreferCompleteMatch);
        if (match.hasPartialMatch()) return;
        if (!match.hasMatch()) {
            buffer.remove(0, 1);
            continue;
        }
        const QByteArray word = match.captured(1).toLatin1();
        const auto argument = match.captured(2).toUInt();
        qsizetype used = match.capturedEnd(0);
        std::unique_lock lock(mutex_);
        if (word.isEmpty()) {
            ++seen_.resets;
        } else if (word == bytesOf(zk::device::kLegacyReadWord)) {
            QByteArray reply = readPageLocked(argument) + trailer;
            if (behaviour_.legacyReplyBytes >= 4)
                reply = reply.left(behaviour_.legacyReplyBytes - 4) + trailer;
            lock.unlock();
            send(reply);
        } else if (word == bytesOf(zk::device::kLegacyGainWord)) {
            seen_.gains.push_back(static_cast<int>(argument));
        } else if (word == bytesOf(zk::device::kLegacyEraseWord)) {
            pages_[argument] = blankSector();
        } else {
            const qsizetype end = buffer.indexOf(trailer, used);
            if (end < 0) return;
            pages_.try_emplace(argument, blankSector())
                .first->second.replace(0, end - used, buffer.mid(used, end - used));
            ++seen_.writes;
            used = end + trailer.size();
        }
        buffer.remove(0, used);
    }
}
