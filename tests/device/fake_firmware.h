#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

// What a firmware does wrong, for the failure tests.
struct FirmwareBehaviour {
    bool corruptReadback = false;     // a read after a write returns one byte flipped
    bool eraseLeavesByte = false;     // erase leaves byte 17 at 0x00
    bool muteAfterIdentify = false;   // uart_v2: answers identify only
    bool muteReads = false;           // uart_v2: never answers a page read
    bool staleFrameFirst = false;     // uart_v2: every answer is preceded by one for command 0x10
    bool legacyAnswersFrames = true;  // legacy: answers uart_v2 frames with ERR_CMD
    int legacyReplyBytes = -1;        // legacy: reply length (-1: the whole page and trailer)
    int readbackBytes = -1;           // uart_v2: a read after a write returns only this many bytes
    std::uint8_t failCommand = 0;     // uart_v2: this command is answered with failStatus (0: none)
    std::uint8_t failStatus = 0;
    std::uint8_t lateCommand = 0;  // uart_v2: this command is carried out at once but answered lateMs later
    int lateMs = 0;
    std::uint8_t hangUpOn = 0;  // uart_v2: this command closes the terminal's master side, unanswered
};

// The array's firmware behind a real pseudo-terminal, with flash pages in memory. It keeps its own
// slave descriptor open, so the host's open and close per request never hang the terminal up.
class FakeFirmware {
  public:
    enum class Protocol { UartV2, Legacy, Silent };
    using Behaviour = FirmwareBehaviour;

    explicit FakeFirmware(Protocol protocol, Behaviour behaviour = {});
    ~FakeFirmware();
    FakeFirmware(const FakeFirmware&) = delete;
    FakeFirmware& operator=(const FakeFirmware&) = delete;

    QString portName() const { return portName_; }

    // What the firmware has been asked, in arrival order.
    struct Seen {
        std::vector<std::uint8_t> commands;  // uart_v2 request commands
        std::vector<int> gains;
        std::vector<bool> acts;
        int resets = 0;
        int writes = 0;               // sector writes in either protocol
        qsizetype bytesReceived = 0;  // every byte the host sent
        QByteArray received;          // the same bytes
    };

    QByteArray page(std::uint32_t address) const;
    void setPage(std::uint32_t address, const QByteArray& bytes);
    Seen seen() const;
    // Waits until what the firmware has taken in satisfies `done` (checked after every read of its
    // thread); false once `guard` has passed without it, which only a failing test reaches.
    bool waitUntilSeen(const std::function<bool(const Seen&)>& done,
                       std::chrono::milliseconds guard = std::chrono::seconds(30)) const;
    // From the next request on.
    void setBehaviour(const Behaviour& behaviour);

  private:
    void run();
    void handleUartV2(QByteArray& buffer);
    void handleLegacy(QByteArray& buffer);
    bool takeRequest(QByteArray& buffer, std::uint8_t& command, QByteArray& data);
    void answer(const Behaviour& behaviour, std::uint8_t command, std::uint8_t status,
                const QByteArray& data = {});
    void send(const QByteArray& bytes);
    QByteArray readPageLocked(std::uint32_t address);

    Protocol protocol_;
    int master_ = -1;  // -1 once hung up; firmware thread only after construction
    int slave_ = -1;
    QString portName_;
    std::atomic<bool> stop_{false};  // set by the destructor, read by the firmware thread

    mutable std::mutex mutex_;                     // guards everything below; firmware thread and test thread
    mutable std::condition_variable seenChanged_;  // waited on under mutex_; notified after each read
    Behaviour behaviour_;
    std::map<std::uint32_t, QByteArray> pages_;
    Seen seen_;

    std::thread thread_;
};
