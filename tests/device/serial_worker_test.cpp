#include "device/serial_worker.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "device/page_payloads.h"
#include "fake_firmware.h"

namespace zk::device {
namespace {

using Protocol = FakeFirmware::Protocol;

// The worker runs on the test thread here, so every answer arrives before its slot returns.
struct Answers {
    std::vector<std::pair<QString, QString>> probes;
    std::vector<std::pair<quint32, QByteArray>> pages;
    std::vector<std::tuple<quint32, bool, QString>> writes;
    std::vector<std::pair<QString, QString>> failures;
    std::vector<int> gains;
    std::vector<bool> acts;
    int resets = 0;

    explicit Answers(SerialWorker& worker) {
        QObject::connect(&worker, &SerialWorker::probeFinished,
                         [this](const QString& p, const QString& n) { probes.emplace_back(p, n); });
        QObject::connect(&worker, &SerialWorker::pageReady,
                         [this](quint32 a, const QByteArray& b) { pages.emplace_back(a, b); });
        QObject::connect(&worker, &SerialWorker::writeFinished,
                         [this](quint32 a, bool ok, const QString& d) { writes.emplace_back(a, ok, d); });
        QObject::connect(&worker, &SerialWorker::operationFailed,
                         [this](const QString& a, const QString& e) { failures.emplace_back(a, e); });
        QObject::connect(&worker, &SerialWorker::gainSent, [this](int v) { gains.push_back(v); });
        QObject::connect(&worker, &SerialWorker::actSent, [this](bool on) { acts.push_back(on); });
        QObject::connect(&worker, &SerialWorker::resetSent, [this] { ++resets; });
    }

    std::size_t count() const {
        return probes.size() + pages.size() + writes.size() + failures.size() + gains.size() + acts.size() +
               static_cast<std::size_t>(resets);
    }
};

QByteArray pattern(int size, int seed) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 37 + seed) & 0xFF);
    return bytes;
}

const QString kMissingPort = QStringLiteral("/dev/zk-no-such-port");

TEST(SerialWorkerUartV2, ProbeSkipsPortsThatDoNotOpenAndNamesTheProtocol) {
    FakeFirmware firmware(Protocol::UartV2);
    SerialWorker worker;
    Answers answers(worker);
    worker.probePorts({kMissingPort, firmware.portName()});
    ASSERT_EQ(answers.count(), 1u);
    ASSERT_EQ(answers.probes.size(), 1u);
    EXPECT_EQ(answers.probes[0].first, firmware.portName());
    EXPECT_EQ(answers.probes[0].second, "ZK-UART v2");

    worker.probePorts({});
    ASSERT_EQ(answers.probes.size(), 2u);
    EXPECT_TRUE(answers.probes[1].first.isEmpty());
    EXPECT_TRUE(answers.probes[1].second.isEmpty());
}

TEST(SerialWorkerUartV2, ReadsAPageAndReportsAPortThatDoesNotOpen) {
    FakeFirmware firmware(Protocol::UartV2);
    const QByteArray page = pattern(256, 3);
    firmware.setPage(256, page);
    SerialWorker worker;
    Answers answers(worker);
    worker.readPage(firmware.portName(), 256);
    ASSERT_EQ(answers.pages.size(), 1u);
    EXPECT_EQ(answers.pages[0].first, 256u);
    EXPECT_EQ(answers.pages[0].second, page);
    EXPECT_EQ(firmware.seen().commands, (std::vector<std::uint8_t>{0x30, 0x10}));

    worker.readPage(kMissingPort, 0);
    ASSERT_EQ(answers.failures.size(), 1u);
    EXPECT_EQ(answers.failures[0].first, "read(0)");
    EXPECT_TRUE(answers.failures[0].second.startsWith("failed to open serial port: "))
        << answers.failures[0].second.toStdString();
    EXPECT_EQ(answers.count(), 2u);
}

TEST(SerialWorkerUartV2, WriteErasesVerifiesBlankWritesAndReadsBack) {
    FakeFirmware firmware(Protocol::UartV2);
    firmware.setPage(256, pattern(256, 9));
    SerialWorker worker;
    Answers answers(worker);
    const QByteArray payload = pattern(24, 1);
    worker.writeSector(firmware.portName(), 256, payload);
    ASSERT_EQ(answers.writes.size(), 1u);
    EXPECT_EQ(answers.writes[0], std::make_tuple(256u, true, QStringLiteral("readback verified")));
    EXPECT_EQ(firmware.seen().commands, (std::vector<std::uint8_t>{0x30, 0x21, 0x10, 0x20, 0x10}));
    QByteArray expected = payload + QByteArray(256 - 24, '\xFF');
    EXPECT_EQ(firmware.page(256), expected);
}

TEST(SerialWorkerUartV2, CorruptReadbackAndAStuckEraseFail) {
    FakeFirmware corrupting(Protocol::UartV2, {.corruptReadback = true});
    SerialWorker worker;
    Answers answers(worker);
    worker.writeSector(corrupting.portName(), 768, pattern(128, 5));
    ASSERT_EQ(answers.writes.size(), 1u);
    EXPECT_EQ(answers.writes[0], std::make_tuple(768u, false, QStringLiteral("readback mismatch")));

    FakeFirmware stuck(Protocol::UartV2, {.eraseLeavesByte = true});
    worker.writeSector(stuck.portName(), 256, pattern(24, 2));
    ASSERT_EQ(answers.writes.size(), 2u);
    EXPECT_EQ(answers.writes[1],
              std::make_tuple(256u, false, QStringLiteral("erase verify: sector not blank (write aborted)")));
    // Three blank-verify reads and no write.
    EXPECT_EQ(stuck.seen().commands, (std::vector<std::uint8_t>{0x30, 0x21, 0x10, 0x10, 0x10}));
    EXPECT_EQ(stuck.seen().writes, 0);
}

TEST(SerialWorkerUartV2, RefusesPayloadsThatAreEmptyOrLongerThanASectorBeforeSendingAnything) {
    FakeFirmware firmware(Protocol::UartV2);
    firmware.setPage(768, pattern(256, 4));
    SerialWorker worker;
    Answers answers(worker);
    worker.writeSector(firmware.portName(), 768, pattern(257, 0));
    worker.writeSector(firmware.portName(), 768, {});
    ASSERT_EQ(answers.writes.size(), 2u);
    for (const auto& [addr, ok, detail] : answers.writes) {
        EXPECT_EQ(addr, 768u);
        EXPECT_FALSE(ok);
        EXPECT_TRUE(detail.startsWith("refused")) << detail.toStdString();
    }
    EXPECT_EQ(firmware.seen().bytesReceived, 0);
    EXPECT_EQ(firmware.page(768), pattern(256, 4));
}

TEST(SerialWorkerUartV2, GainResetAndSetAct) {
    FakeFirmware firmware(Protocol::UartV2);
    SerialWorker worker;
    Answers answers(worker);
    worker.sendGain(firmware.portName(), 7);
    worker.sendReset(firmware.portName());
    worker.sendAct(firmware.portName(), true);
    worker.sendAct(firmware.portName(), false);
    EXPECT_EQ(answers.gains, std::vector<int>{7});
    EXPECT_EQ(answers.resets, 1);
    EXPECT_EQ(answers.acts, (std::vector<bool>{true, false}));
    EXPECT_EQ(firmware.seen().gains, std::vector<int>{7});
    EXPECT_EQ(firmware.seen().resets, 1);
    EXPECT_EQ(firmware.seen().acts, (std::vector<bool>{true, false}));
    EXPECT_EQ(answers.count(), 4u);
}

TEST(SerialWorkerUartV2, ARequestNothingAnswersTimesOut) {
    FakeFirmware firmware(Protocol::UartV2, {.muteAfterIdentify = true});
    SerialWorker worker;
    Answers answers(worker);
    worker.readPage(firmware.portName(), 256);
    ASSERT_EQ(answers.failures.size(), 1u);
    EXPECT_EQ(answers.failures[0],
              std::make_pair(QStringLiteral("read(256)"), QStringLiteral("response timeout")));
    EXPECT_EQ(answers.count(), 1u);
}

TEST(SerialWorkerUartV2, AnAnswerBehindALateFrameOfAnotherCommandIsTaken) {
    FakeFirmware firmware(Protocol::UartV2, {.staleFrameFirst = true});
    SerialWorker worker;
    Answers answers(worker);
    worker.sendGain(firmware.portName(), 2);
    EXPECT_EQ(answers.gains, std::vector<int>{2});
    EXPECT_TRUE(answers.failures.empty());
}

TEST(SerialWorkerSilent, ReadsAndWritesFailGainAndResetGoOutBlind) {
    FakeFirmware firmware(Protocol::Silent);
    SerialWorker worker;
    Answers answers(worker);
    worker.readPage(firmware.portName(), 0);
    worker.writeSector(firmware.portName(), 256, pattern(24, 0));
    ASSERT_EQ(answers.failures.size(), 1u);
    EXPECT_EQ(answers.failures[0],
              std::make_pair(QStringLiteral("read(0)"), QStringLiteral("no device answered")));
    ASSERT_EQ(answers.writes.size(), 1u);
    EXPECT_EQ(answers.writes[0], std::make_tuple(256u, false, QStringLiteral("no device answered")));

    // Nothing answers, yet gain and reset report success: their legacy words went out unanswered.
    worker.sendGain(firmware.portName(), 6);
    worker.sendReset(firmware.portName());
    EXPECT_EQ(answers.gains, std::vector<int>{6});
    EXPECT_EQ(answers.resets, 1);
    EXPECT_EQ(answers.count(), 4u);
    // The words are out once sent; the firmware's thread takes them in on its own time.
    EXPECT_TRUE(firmware.waitUntilSeen([](const FakeFirmware::Seen& seen) {
        return seen.received.contains(".gain(6)") && seen.received.endsWith(".reset");
    })) << firmware.seen().received.toStdString();
}

TEST(SerialWorkerSilent, SetActFailsAndAProbeFindsNothing) {
    FakeFirmware firmware(Protocol::Silent);
    SerialWorker worker;
    Answers answers(worker);
    worker.sendAct(firmware.portName(), true);
    ASSERT_EQ(answers.failures.size(), 1u);
    EXPECT_EQ(answers.failures[0].second, "SET_ACT requires a ZK-UART v2 device");

    worker.probePorts({firmware.portName()});
    ASSERT_EQ(answers.probes.size(), 1u);
    EXPECT_TRUE(answers.probes[0].first.isEmpty());
}

TEST(SerialWorkerLegacy, ProbeReadWriteGainAndResetInTheAsciiProtocol) {
    FakeFirmware firmware(Protocol::Legacy);
    firmware.setPage(0, pattern(16, 7));
    SerialWorker worker;
    Answers answers(worker);
    worker.probePorts({firmware.portName()});
    ASSERT_EQ(answers.probes.size(), 1u);
    EXPECT_EQ(answers.probes[0].second, "legacy ASCII");

    worker.readPage(firmware.portName(), 0);
    ASSERT_EQ(answers.pages.size(), 1u);
    EXPECT_EQ(answers.pages[0].second, pattern(16, 7) + QByteArray("\xCA\xFE\xBA\xBE"));

    const QByteArray payload = pattern(40, 11);
    worker.writeSector(firmware.portName(), 768, payload);
    ASSERT_EQ(answers.writes.size(), 1u);
    EXPECT_EQ(answers.writes[0], std::make_tuple(768u, true, QStringLiteral("readback verified")));
    EXPECT_EQ(firmware.page(768).first(40), payload);
    EXPECT_EQ(firmware.seen().writes, 1);

    worker.sendGain(firmware.portName(), 4);
    worker.sendReset(firmware.portName());
    worker.sendAct(firmware.portName(), true);
    EXPECT_EQ(firmware.seen().gains, std::vector<int>{4});
    EXPECT_EQ(firmware.seen().resets, 1);
    EXPECT_EQ(answers.gains, std::vector<int>{4});
    EXPECT_EQ(answers.resets, 1);
    ASSERT_EQ(answers.failures.size(), 1u);
    EXPECT_EQ(answers.failures[0],
              std::make_pair(QStringLiteral("act"), QStringLiteral("SET_ACT requires a ZK-UART v2 device")));
}

TEST(SerialWorkerLegacy, AReplyOfElevenBytesIsNoDevice) {
    for (const int length : {11, 12}) {
        FakeFirmware firmware(Protocol::Legacy, {.legacyReplyBytes = length});
        SerialWorker worker;
        Answers answers(worker);
        worker.probePorts({firmware.portName()});
        ASSERT_EQ(answers.probes.size(), 1u);
        EXPECT_EQ(answers.probes[0].second, length == 12 ? "legacy ASCII" : "") << length;
    }
}

TEST(SerialWorkerLegacy, AReadbackShorterThanThePayloadFails) {
    FakeFirmware firmware(Protocol::Legacy, {.legacyReplyBytes = 20});
    SerialWorker worker;
    Answers answers(worker);
    worker.writeSector(firmware.portName(), 768, pattern(64, 1));
    ASSERT_EQ(answers.writes.size(), 1u);
    EXPECT_EQ(answers.writes[0], std::make_tuple(768u, false, QStringLiteral("readback timeout (20 bytes)")));
}

}  // namespace
}  // namespace zk::device
