#include "device/device_controller.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <algorithm>
#include <stdexcept>

#include "app/i18n_manager.h"
#include "controller_test_support.h"
#include "device/platform/network_probe.h"
#include "device/serial_worker.h"
#include "device/uart_v2_codec.h"
#include "fake_firmware.h"

namespace zk::device {
namespace {

using testing::ControllerRig;
using testing::firPreset;
using Protocol = FakeFirmware::Protocol;

QByteArray hexBytes(const char* hex) { return QByteArray::fromHex(hex); }

const QByteArray kRecord = hexBytes("001122334455C0A80132A0B1C2D3E4F5C0A8011415B31A0A");
const QString kRecordSummary = QStringLiteral(
    "device 00:11:22:33:44:55 @ 192.168.1.50  ->  target a0:b1:c2:d3:e4:f5 @ 192.168.1.20:6666  (src port "
    "5555)");

std::vector<std::int32_t> ramp(int count, int start) {
    std::vector<std::int32_t> taps;
    for (int i = 0; i < count; ++i) taps.push_back(start - 300 * i);
    return taps;
}

core::DeviceProfile firProfile(std::vector<core::FirPreset> presets, std::uint32_t taps = 64) {
    core::DeviceProfile profile;
    profile.fir = core::FirConfig{48000, taps, std::move(presets)};
    return profile;
}

TEST(DeviceController, LogLinesAreTimedNewestFirstAndBoundedToWholeLines) {
    ControllerRig rig({});
    EXPECT_EQ(rig->selectedPortIndex(), -1);
    EXPECT_FALSE(rig->canOperate());
    rig->probeAndSelect();
    EXPECT_FALSE(rig->busy());
    rig->readFir();
    EXPECT_EQ(rig.log(), (QStringList{"probe: no serial ports found", "read(768): no serial port selected"}));
    EXPECT_TRUE(rig->logText().startsWith(QLatin1Char('[')));

    for (int i = 0; i < 600; ++i) rig->rebootDevice();  // about 30000 characters
    rig->setActEnabled(true);
    const QString text = rig->logText();
    // As many whole lines as 20000 characters hold, the newest first: one act line, then reset lines.
    const qsizetype actLine = qsizetype(sizeof "[00:00:00] act rejected: no serial port selected\n") - 1;
    const qsizetype resetLine = qsizetype(sizeof "[00:00:00] reset rejected: no serial port selected\n") - 1;
    EXPECT_EQ(text.size(), actLine + (20000 - actLine) / resetLine * resetLine);
    EXPECT_TRUE(text.endsWith(QLatin1Char('\n')));
    EXPECT_EQ(rig.log().last(), "act rejected: no serial port selected");
    EXPECT_FALSE(rig.log().join(QLatin1Char('\n')).contains("<malformed>"));

    rig->clearLog();
    EXPECT_TRUE(rig->logText().isEmpty());
}

// Each class's tr() finds the catalogue context of its own (namespaced) name: a context written under
// another name would leave these lines in English after the switch.
TEST(DeviceController, LogLinesComeFromTheCatalogueOfTheLanguageSwitchedTo) {
    app::I18nManager i18n(QCoreApplication::instance(), nullptr);
    const auto inLanguage = [](const QString& text, const char* english) {
        return text != QLatin1String(english) &&
               std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3040; });
    };
    for (const char* language : {"zh_CN", "ja_JP"}) {
        i18n.setLanguage(QString::fromLatin1(language));
        ControllerRig rig({});
        rig->probeAndSelect();
        rig->readFir();
        ASSERT_EQ(rig.log().size(), 2) << language;
        EXPECT_TRUE(inLanguage(rig.log()[0], "probe: no serial ports found")) << rig.log()[0].toStdString();
        EXPECT_TRUE(inLanguage(rig.log()[1], "read(768): no serial port selected"))
            << rig.log()[1].toStdString();
        EXPECT_TRUE(inLanguage(SerialWorker::tr("read timeout"), "read timeout")) << language;
        EXPECT_TRUE(inLanguage(NetworkProbe::tr("ping killed"), "ping killed")) << language;
    }
    i18n.setLanguage(QStringLiteral("en"));
}

TEST(DeviceController, RefreshKeepsAValidSelectionElsePrefersCh340ElseTheFirstPort) {
    ControllerRig rig({{"ttyS0", ""}, {"ttyS1", "Standard"}, {"ttyS2", "Standard"}});
    EXPECT_EQ(rig->serialPorts(), (QStringList{"ttyS0 - serial", "ttyS1 - Standard", "ttyS2 - Standard"}));
    EXPECT_EQ(rig->selectedPortIndex(), 0);
    rig->setSelectedPortIndex(2);
    rig.ports = {{"ttyS0", "Standard"}, {"ttyUSB0", "USB-SERIAL ch340"}};
    rig->refreshPorts();
    EXPECT_EQ(rig->selectedPortIndex(), 1);
    rig->refreshPorts();
    EXPECT_EQ(rig->selectedPortIndex(), 1);
    rig->setSelectedPortIndex(5);
    rig.ports = {{"ttyS0", "Standard"}, {"ttyS1", ""}};
    rig->refreshPorts();
    EXPECT_EQ(rig->selectedPortIndex(), 0);
    EXPECT_TRUE(rig->canOperate());
}

TEST(DeviceController, GainIsClampedStoredAndSentEvenWhenUnchanged) {
    {
        ControllerRig rig({});
        EXPECT_EQ(rig->gain(), 3);
        rig->setGain(15);
        EXPECT_EQ(rig->gain(), 10);
        EXPECT_EQ(QSettings().value("deviceGain").toInt(), 10);
        rig->setGain(-3);
        EXPECT_EQ(rig->gain(), 0);
        EXPECT_EQ(rig.log(), (QStringList{"gain 10 stored; no serial port selected",
                                          "gain 0 stored; no serial port selected"}));
    }
    FakeFirmware firmware(Protocol::UartV2);
    ControllerRig rig({{firmware.portName(), "pty"}});
    EXPECT_EQ(rig->gain(), 0);
    int changes = 0;
    QObject::connect(rig.controller.get(), &DeviceController::gainChanged, [&] { ++changes; });
    rig->setGain(4);
    EXPECT_TRUE(rig->busy());
    EXPECT_EQ(rig->busyLabel(), "gain 4");
    ASSERT_TRUE(rig.waitIdle());
    rig->setGain(4);
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(firmware.seen().gains, (std::vector<int>{4, 4}));
    EXPECT_EQ(rig.log(), (QStringList{"gain level 4 applied", "gain level 4 applied"}));
}

TEST(DeviceController, ProbeSelectsTheAnsweringPortRefusesOtherActionsMeanwhileAndReadsTheHardwareId) {
    FakeFirmware firmware(Protocol::UartV2);
    firmware.setPage(0, hexBytes("0a1b2c3d4e5f60719900"));
    ControllerRig rig({{"/dev/zk-no-such-port", "first"}, {firmware.portName(), "pty"}});
    ASSERT_EQ(rig->selectedPortIndex(), 0);
    rig->probeAndSelect();
    EXPECT_EQ(rig->busyLabel(), "probe");
    EXPECT_FALSE(rig->canOperate());
    rig->readFir();
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(rig->selectedPortIndex(), 1);
    EXPECT_EQ(rig->hardwareId(), "0a 1b 2c 3d 4e 5f 60 71");
    EXPECT_EQ(rig.log(), (QStringList{"probing 2 ports...", "read(768): no serial port selected",
                                      "probe: device answered on " + firmware.portName() + " (ZK-UART v2)",
                                      "read(0): hardware id 0a 1b 2c 3d 4e 5f 60 71"}));
}

TEST(DeviceController, PagesTurnIntoSummaries) {
    const std::vector<std::int32_t> taps = ramp(64, 9000);
    core::DeviceProfile profile = firProfile({firPreset("short", ramp(63, 9000)), firPreset("match", taps)});
    ControllerRig rig({}, &profile);

    rig->onPageReady(256, QByteArray(256, '\xFF'));
    EXPECT_EQ(rig->netSummary(), "sector blank (0xFF) - firmware defaults in effect");
    EXPECT_TRUE(rig->netParams().isEmpty());
    rig->onPageReady(256, kRecord + QByteArray(232, '\xFF'));
    EXPECT_EQ(rig->netSummary(), kRecordSummary);
    EXPECT_EQ(rig->netParams(), (QVariantMap{{"boardMac", "00:11:22:33:44:55"},
                                             {"boardIp", "192.168.1.50"},
                                             {"targetMac", "a0:b1:c2:d3:e4:f5"},
                                             {"targetIp", "192.168.1.20"},
                                             {"sourcePort", 5555},
                                             {"targetPort", 6666}}));
    rig->onPageReady(256, QByteArray(256, '\0'));
    EXPECT_EQ(rig->netSummary(), "unparsable sector content");
    EXPECT_TRUE(rig->netParams().isEmpty());

    rig->onPageReady(0, {});
    EXPECT_EQ(rig->hardwareId(), "");
    rig->onPageReady(0, hexBytes("A0B1C2"));
    EXPECT_EQ(rig->hardwareId(), "a0 b1 c2");

    // Only the declared 64 taps of a 256-byte page count; the 63-tap preset does not match.
    QByteArray firPage(256, '\x11');
    for (int i = 0; i < 64; ++i) {
        firPage[2 * i] = static_cast<char>((taps[i] >> 8) & 0xFF);
        firPage[2 * i + 1] = static_cast<char>(taps[i] & 0xFF);
    }
    rig->onPageReady(768, firPage);
    EXPECT_EQ(rig->firSummary(), "64 taps - matches preset \"match\"");
    firPage[5] = static_cast<char>(firPage[5] ^ 1);
    rig->onPageReady(768, firPage);
    EXPECT_EQ(rig->firSummary(), "64 taps read - no preset in the active profile matches");
    rig.profile = nullptr;
    rig->onPageReady(768, firPage);
    EXPECT_EQ(rig->firSummary(), "128 taps read");
    rig->onPageReady(768, QByteArray(256, '\xFF'));
    EXPECT_EQ(rig->firSummary(), "sector blank (0xFF)");
    EXPECT_EQ(rig.log().last(), "read(768): sector blank (0xFF)");
}

TEST(DeviceController, WriteNetParamsWritesTheRecordAndReadsItBack) {
    FakeFirmware firmware(Protocol::UartV2);
    ControllerRig rig({{firmware.portName(), "pty"}});
    int written = 0;
    QObject::connect(rig.controller.get(), &DeviceController::netParamsWritten, [&] { ++written; });

    for (const auto& [ip, sourcePort, targetPort, refusal] :
         {std::tuple{"192.168.1.50", 5555, 70000, "write(256) rejected: 1 invalid field"},
          {"192.168.1.50", 5555, -1, "write(256) rejected: 1 invalid field"},
          {"192.168.1.50", 0, 6666, "write(256) rejected: 1 invalid field"},
          {"192.168.1", 5555, 6666, "write(256) rejected: 1 invalid field"},
          {"192.168.1", 0, 0, "write(256) rejected: 3 invalid fields"}}) {
        rig->writeNetParams("00-11-22-33-44-55", ip, "a0:b1:c2:d3:e4:f5", "192.168.1.20", sourcePort,
                            targetPort);
        EXPECT_FALSE(rig->busy());
        EXPECT_EQ(rig.log().last(), refusal);
    }
    EXPECT_EQ(firmware.seen().bytesReceived, 0);

    rig->writeNetParams("00-11-22-33-44-55", "192.168.1.50", "a0:b1:c2:d3:e4:f5", "192.168.1.20", 5555, 6666);
    EXPECT_EQ(rig->busyLabel(), "write(256)");
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(firmware.page(256).first(24), kRecord);
    EXPECT_EQ(written, 1);
    EXPECT_EQ(rig->netSummary(), kRecordSummary);
    const QStringList log = rig.log();
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log[log.size() - 3],
              "write(256): device 00-11-22-33-44-55 @ 192.168.1.50 -> target a0:b1:c2:d3:e4:f5 @ "
              "192.168.1.20:6666 (power cycle required after write)");
    EXPECT_EQ(log[log.size() - 2], "write(256) OK: readback verified");
    EXPECT_EQ(log.last(), "read(256): " + kRecordSummary);
}

TEST(DeviceController, FirPresetIsWrittenVerifiedAndRecognisedWhileBadPresetsAreRefused) {
    FakeFirmware firmware(Protocol::UartV2);
    const std::vector<std::int32_t> taps = ramp(64, 12000);
    std::vector<std::int32_t> wild = taps;
    wild[3] = 40000;
    // A stored 4294967297 reads as its low 32 bits, 1, which would pass as a tap.
    core::FirPreset wrapped = firPreset("wrapped", taps);
    wrapped.coefficients[3] = 1;
    wrapped.coefficientsInRange = false;
    core::DeviceProfile profile =
        firProfile({firPreset("lowpass", taps), firPreset("wild", wild), firPreset("empty", {}),
                    firPreset("long", std::vector<std::int32_t>(129, 7)), wrapped});
    ControllerRig rig({{firmware.portName(), "pty"}}, &profile);
    EXPECT_EQ(rig->firPresetIds(), (QStringList{"lowpass", "wild", "empty", "long", "wrapped"}));

    for (const char* id : {"missing", "wild", "empty", "long", "wrapped"}) {
        rig->writeFirPreset(id);
        EXPECT_FALSE(rig->busy()) << id;
    }
    const QStringList refusals = rig.log();
    ASSERT_EQ(refusals.size(), 5);
    EXPECT_EQ(refusals[0], "write(768) rejected: unknown preset missing");
    EXPECT_EQ(refusals[1], "write(768) rejected: FIR tap out of int16 range");
    EXPECT_TRUE(refusals[2].startsWith("write(768) rejected: preset \"empty\"")) << refusals[2].toStdString();
    EXPECT_TRUE(refusals[3].startsWith("write(768) rejected: preset \"long\"")) << refusals[3].toStdString();
    EXPECT_EQ(refusals[4], "write(768) rejected: FIR preset coefficient outside the signed 32-bit range");
    EXPECT_EQ(firmware.seen().bytesReceived, 0);

    rig->writeFirPreset("lowpass");
    ASSERT_TRUE(rig.waitIdle());
    const QByteArray page = firmware.page(768);
    for (int i = 0; i < 64; ++i) {
        const auto tap = static_cast<std::int16_t>((static_cast<std::uint8_t>(page[2 * i]) << 8) |
                                                   static_cast<std::uint8_t>(page[2 * i + 1]));
        ASSERT_EQ(tap, taps[i]) << i;
    }
    EXPECT_TRUE(page.mid(128) == QByteArray(128, '\xFF'));
    EXPECT_TRUE(rig.log().contains("write(768): preset \"lowpass\" (64 taps, 128 bytes)"));
    EXPECT_EQ(rig->firSummary(), "64 taps - matches preset \"lowpass\"");

    rig.profile = nullptr;
    rig->writeFirPreset("lowpass");
    EXPECT_EQ(rig.log().last(), "write(768) rejected: active profile has no FIR section");
    EXPECT_TRUE(rig->firPresetIds().isEmpty());
}

TEST(DeviceController, AFailureThrownByTheProfileSourceIsLoggedNotThrown) {
    FakeFirmware firmware(Protocol::UartV2);
    DeviceController::Services services;
    services.activeProfile = []() -> const core::DeviceProfile* {
        throw std::runtime_error("profile store broken");
    };
    services.listPorts = [&] { return QList<SerialPortListing>{{firmware.portName(), "pty"}}; };
    services.networkProbe = std::make_unique<FakeNetworkProbe>();
    DeviceController controller(std::move(services));
    EXPECT_NO_THROW(controller.writeFirPreset("lowpass"));
    EXPECT_TRUE(controller.logText().endsWith("] write(768) failed: profile store broken\n"));
    EXPECT_FALSE(controller.busy());
    EXPECT_TRUE(controller.canOperate());
}

TEST(DeviceController, RebootAndUdpOutputGoThroughTheWorker) {
    FakeFirmware firmware(Protocol::UartV2);
    FakeFirmware legacy(Protocol::Legacy);
    ControllerRig rig({{firmware.portName(), "pty"}, {legacy.portName(), "pty"}});
    rig->rebootDevice();
    EXPECT_EQ(rig->busyLabel(), "reset");
    ASSERT_TRUE(rig.waitIdle());
    rig->setActEnabled(true);
    EXPECT_EQ(rig->busyLabel(), "act 1");
    ASSERT_TRUE(rig.waitIdle());
    rig->setSelectedPortIndex(1);
    rig->setActEnabled(false);
    ASSERT_TRUE(rig.waitIdle());
    EXPECT_EQ(firmware.seen().resets, 1);
    EXPECT_EQ(firmware.seen().acts, std::vector<bool>{true});
    EXPECT_EQ(rig.log(),
              (QStringList{"Reboot command sent - device rebooting, network parameters take effect",
                           "reset: done (device is rebooting)", "UDP output enabled (SET_ACT)",
                           "act failed: SET_ACT requires a ZK-UART v2 device"}));
}

TEST(DeviceController, DestroyingItDuringALongWriteStopsTheSerialThreadSoon) {
    // The blank verify after the erase reads the sector up to three times and waits 3 s for each answer,
    // which never comes.
    FakeFirmware firmware(Protocol::UartV2, {.muteReads = true});
    auto rig = std::make_unique<ControllerRig>(QList<SerialPortListing>{{firmware.portName(), "pty"}});
    const auto reads = [](const FakeFirmware::Seen& seen) {
        return std::count(seen.commands.begin(), seen.commands.end(), uart_v2_command::kReadPage);
    };
    (*rig)->writeNetParams("00:11:22:33:44:55", "10.0.0.2", "00:11:22:33:44:66", "10.0.0.1", 5555, 6666);
    ASSERT_TRUE(firmware.waitUntilSeen([&](const FakeFirmware::Seen& seen) { return reads(seen) >= 1; }));
    rig.reset();
    // Closing ends the wait under way, or the one after it, within the erase + write pair's 3 s of
    // grace: the third read, which a worker that ignores closing sends 6 s after the first, never goes
    // out, nor does the write.
    EXPECT_LE(reads(firmware.seen()), 2);
    EXPECT_EQ(firmware.seen().writes, 0);
}

}  // namespace
}  // namespace zk::device
