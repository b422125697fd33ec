#include <gtest/gtest.h>

#include "controller_test_support.h"
#include "device/network_adapters.h"
#include "fake_firmware.h"

namespace zk::device {
namespace {

using testing::ControllerRig;
using Outcome = NetworkProbe::PingOutcome;

Ipv4Bytes ip(const char* text) { return *parseIpv4Text(text); }

std::vector<std::string> texts(const std::vector<Ipv4Bytes>& list) {
    std::vector<std::string> out;
    for (const auto& a : list) out.push_back(formatIpv4Text(a));
    return out;
}

NetworkInterfaceInfo iface(const QString& name, const QString& mac,
                           const QList<std::pair<QString, QString>>& addresses, bool up = true,
                           bool loopback = false) {
    NetworkInterfaceInfo info{name, up, up, loopback, mac, {}};
    for (const auto& [address, mask] : addresses) {
        QNetworkAddressEntry entry;
        entry.setIp(QHostAddress(address));
        entry.setNetmask(QHostAddress(mask));
        info.addresses.push_back(entry);
    }
    return info;
}

TEST(AddressCandidates, FollowTheHostListInsideTheSubnet) {
    EXPECT_EQ(texts(addressCandidates(ip("192.168.1.100"), ip("255.255.255.0"), 8)),
              (std::vector<std::string>{"192.168.1.200", "192.168.1.101", "192.168.1.102", "192.168.1.103",
                                        "192.168.1.104", "192.168.1.105", "192.168.1.106", "192.168.1.107"}));
    EXPECT_EQ(texts(addressCandidates(ip("192.168.1.200"), ip("255.255.255.0"), 3)),
              (std::vector<std::string>{"192.168.1.100", "192.168.1.101", "192.168.1.102"}));
    // A /25 holds host numbers below 128 only.
    EXPECT_EQ(texts(addressCandidates(ip("10.1.2.130"), ip("255.255.255.128"), 4)),
              (std::vector<std::string>{"10.1.2.228", "10.1.2.229", "10.1.2.230", "10.1.2.231"}));
    for (const char* mask :
         {"255.255.255.252", "255.255.255.254", "255.255.255.255", "0.0.0.0", "255.255.0.255"}) {
        EXPECT_TRUE(addressCandidates(ip("10.0.0.5"), ip(mask), 8).empty()) << mask;
    }
}

TEST(NetworkAdapters, OnlyRealRunningAdaptersWithIpv4AndLinkLocalLast) {
    const QList<NetworkInterfaceInfo> list{
        iface("lo", "00:00:00:00:00:00", {{"127.0.0.1", "255.0.0.0"}}, true, true),
        iface("Ethernet 3", "02:00:00:00:00:01", {{"169.254.7.9", "255.255.0.0"}}),
        iface("vEthernet (Hyper-V)", "02:00:00:00:00:02", {{"172.20.0.1", "255.255.240.0"}}),
        iface("vmware network adapter", "02:00:00:00:00:03", {{"192.168.56.1", "255.255.255.0"}}),
        iface("wlan0", "02:00:00:00:00:04", {{"192.168.9.4", "255.255.255.0"}}, false),
        iface("usb0", "", {{"192.168.7.2", "255.255.255.0"}}),
        iface("eth1", "02:00:00:00:00:05", {{"fe80::1", "ffff:ffff:ffff:ffff::"}}),
        iface("eth0", "A0-B1-C2-D3-E4-F5",
              {{"fe80::2", "ffff:ffff:ffff:ffff::"},
               {"192.168.1.100", "255.255.255.0"},
               {"10.9.9.9", "255.0.0.0"}}),
    };
    const QList<NetworkAdapterEntry> adapters = collectNetworkAdapters(list);
    ASSERT_EQ(adapters.size(), 2);
    EXPECT_EQ(adapters[0].label, "eth0 - 192.168.1.100");
    EXPECT_EQ(formatMacText(adapters[0].mac), "a0:b1:c2:d3:e4:f5");
    EXPECT_EQ(formatIpv4Text(adapters[0].netmask), "255.255.255.0");
    EXPECT_EQ(adapters[1].label, "Ethernet 3 - 169.254.7.9");
}

TEST(NeighbourTable, AnEntryNeedsWhitespaceAfterTheAddressAndARealMac) {
    EXPECT_TRUE(neighbourTableHasEntry("  192.168.1.10   ff-ff-ff-ff-ff-ff   static\n", "192.168.1.10"));
    EXPECT_FALSE(neighbourTableHasEntry("192.168.1.10  00-00-00-00-00-00\n", "192.168.1.10"));
    EXPECT_FALSE(neighbourTableHasEntry("192.168.1.101  aa-bb-cc-dd-ee-ff\n", "192.168.1.10"));
    EXPECT_TRUE(neighbourTableHasEntry("110.0.0.20  aa-bb-cc-dd-ee-ff\n", "10.0.0.20"));
    EXPECT_FALSE(neighbourTableHasEntry("192.168.1.10  aa:bb:cc:dd:ee:ff\n", "192.168.1.10"));
    // The dots of the address are literal.
    EXPECT_FALSE(neighbourTableHasEntry("192a168b1c10  aa-bb-cc-dd-ee-ff\n", "192.168.1.10"));
}

TEST(NeighbourTable, KernelTableBecomesAddressAndHyphenatedMacLines) {
    const QString table =
        "IP address       HW type     Flags       HW address            Mask     Device\n"
        "192.168.1.1      0x1         0x2         AA:bb:cc:dd:ee:01     *        eth0\n"
        "192.168.1.77     0x1         0x0         00:00:00:00:00:00     *        eth0\n"
        "10.0.0.9         0x1         0x2         12:34:56:78:9a:bc     *        wlan0\n";
    const QString lines = neighbourLinesFromArpTable(table);
    EXPECT_EQ(
        lines,
        "192.168.1.1  aa-bb-cc-dd-ee-01\n192.168.1.77  00-00-00-00-00-00\n10.0.0.9  12-34-56-78-9a-bc\n");
    EXPECT_TRUE(neighbourTableHasEntry(lines, "192.168.1.1"));
    EXPECT_FALSE(neighbourTableHasEntry(lines, "192.168.1.77"));
}

// A controller over a uart_v2 firmware on its first port, a missing second port and the adapter eth0
// 192.168.1.100/24.
struct AutoNetRig {
    FakeFirmware firmware{FakeFirmware::Protocol::UartV2};
    ControllerRig rig{{{firmware.portName(), "pty"}, {"/dev/zk-no-such-port", "other"}}};

    AutoNetRig() {
        rig.probe->interfaceList = {iface("eth0", "A0:B1:C2:D3:E4:F5", {{"192.168.1.100", "255.255.255.0"}})};
    }
    bool waitDone() {
        return QTest::qWaitFor(
            [this] { return !rig->busy() && rig->autoNetStage() == DeviceController::AutoNetStage::Idle; },
            20000);
    }
    QString writtenBoardIp() const {
        const auto record = unpackNetworkRecord(
            ByteSpan(reinterpret_cast<const std::uint8_t*>(firmware.page(256).constData()), 24));
        return record ? QString::fromStdString(formatIpv4Text(record->boardIp)) : QString();
    }
};

TEST(AutoNetwork, SkipsAddressesInUseWritesTheFreeOneAndRebootsOnThePortItStartedWith) {
    AutoNetRig t;
    t.rig.probe->pings["192.168.1.200"] = {Outcome::Reply, 0};
    t.rig.probe->neighbourLines = "192.168.1.101  11-22-33-44-55-66\n192.168.1.1  aa-bb-cc-dd-ee-ff\n";
    EXPECT_EQ(t.rig->networkAdapters(),
              (QVariantList{QVariantMap{
                  {"label", "eth0 - 192.168.1.100"}, {"ip", "192.168.1.100"}, {"mask", "255.255.255.0"}}}));
    std::vector<std::pair<bool, QString>> busyWhileReadBack;
    QObject::connect(t.rig.controller.get(), &DeviceController::netInfoChanged,
                     [&] { busyWhileReadBack.emplace_back(t.rig->busy(), t.rig->busyLabel()); });

    t.rig->autoConfigureNetwork(0);
    EXPECT_EQ(t.rig->busyLabel(), "auto-net");
    t.rig->setSelectedPortIndex(1);
    ASSERT_TRUE(t.waitDone());

    EXPECT_EQ(t.firmware.page(256).first(24),
              QByteArray::fromHex("001122334455C0A80166A0B1C2D3E4F5C0A8016415B31A0A"));
    EXPECT_EQ(t.firmware.seen().resets, 1);
    EXPECT_EQ(t.rig.probe->pinged, (QStringList{"192.168.1.200", "192.168.1.101", "192.168.1.102"}));
    // The read-back is shown while the reset still waits in the worker's queue: still busy.
    EXPECT_EQ(busyWhileReadBack, (std::vector<std::pair<bool, QString>>{{true, "auto-net: reset"}}));
    const QString summary =
        "device 00:11:22:33:44:55 @ 192.168.1.102  ->  target a0:b1:c2:d3:e4:f5 @ 192.168.1.100:6666  (src "
        "port 5555)";
    EXPECT_EQ(
        t.rig.log(),
        (QStringList{
            "auto-net: adapter eth0 - 192.168.1.100, target a0:b1:c2:d3:e4:f5 @ 192.168.1.100 - reading "
            "current "
            "device parameters",
            "auto-net: probing 192.168.1.200 for conflicts...",
            "auto-net: 192.168.1.200 is occupied (ping reply), trying next",
            "auto-net: probing 192.168.1.101 for conflicts...",
            "auto-net: 192.168.1.101 is occupied (ARP entry), trying next",
            "auto-net: probing 192.168.1.102 for conflicts...",
            "auto-net: 192.168.1.102 appears free (no ping reply, no ARP entry)",
            "auto-net: writing device @ 192.168.1.102 -> target 192.168.1.100:6666",
            "write(256) OK: readback verified",
            "auto-net: write verified - rebooting device (.reset)",
            "read(256): " + summary,
            "reset: done (device is rebooting)",
            "auto-net: complete - device 00:11:22:33:44:55 @ 192.168.1.102 -> target a0:b1:c2:d3:e4:f5 @ "
            "192.168.1.100:6666 (device is rebooting, parameters take effect now)",
        }));
}

TEST(AutoNetwork, KeepsTheDeviceMacAndSourcePortButAlwaysTargetsTheLivePort) {
    AutoNetRig t;
    t.firmware.setPage(256, QByteArray::fromHex("02AABBCCDDEEC0A80132A0B1C2D3E4F5C0A801140FA01B58"));
    t.rig->autoConfigureNetwork(0);
    ASSERT_TRUE(t.waitDone());
    EXPECT_EQ(t.firmware.page(256).first(24),
              QByteArray::fromHex("02AABBCCDDEEC0A801C8A0B1C2D3E4F5C0A801640FA01A0A"));
    const QStringList log = t.rig.log();
    EXPECT_TRUE(log.contains("auto-net: keeping device board MAC 02:aa:bb:cc:dd:ee and ports 4000/6666"));
    EXPECT_TRUE(log.contains("auto-net: device target port 7000 replaced by 6666, the live stream's port"));
}

TEST(AutoNetwork, APingOrTableThatFailsIsNeverTakenAsAFreeAddress) {
    for (const bool tableFails : {false, true}) {
        AutoNetRig t;
        if (tableFails) {
            t.rig.probe->neighbourQueryFails = true;
        } else {
            t.rig.probe->pings["192.168.1.200"] = {Outcome::Error, 0};
        }
        t.rig->autoConfigureNetwork(0);
        ASSERT_TRUE(t.waitDone());
        EXPECT_EQ(t.firmware.seen().writes, 0);
        EXPECT_EQ(t.rig.log().last(), tableFails
                                          ? "auto-net: aborted - neighbour table unreadable: table unreadable"
                                          : "auto-net: aborted - ping of 192.168.1.200 failed: exit code 2");
        EXPECT_TRUE(t.rig->canOperate());
    }
}

TEST(AutoNetwork, EveryCandidateOccupiedAbortsWithoutWriting) {
    AutoNetRig t;
    QString table;
    for (const char* host : {"200", "101", "102", "103", "104", "105", "106", "107"}) {
        table += QStringLiteral("192.168.1.%1  aa-bb-cc-dd-ee-%2\n").arg(host, QString(host).right(2));
    }
    t.rig.probe->neighbourLines = table;
    t.rig->autoConfigureNetwork(0);
    ASSERT_TRUE(t.waitDone());
    EXPECT_EQ(t.rig.probe->pinged.size(), 8);
    EXPECT_EQ(t.firmware.seen().writes, 0);
    EXPECT_EQ(t.rig.log().last(), "auto-net: every candidate address is occupied - aborted");
}

TEST(AutoNetwork, AHangingPingIsEndedAfterItsOwnTimeoutOnly) {
    {
        // Killed after 2.5 s, it counts as no reply.
        AutoNetRig t;
        t.rig.probe->pings["192.168.1.200"] = {Outcome::NoReply, -1};
        t.rig->autoConfigureNetwork(0);
        ASSERT_TRUE(t.waitDone());
        EXPECT_EQ(t.rig.probe->cancels, 1);
        EXPECT_EQ(t.writtenBoardIp(), "192.168.1.200");
    }
    // The timer of the first, quick ping fires while the third ping runs; it must not end it.
    AutoNetRig t;
    t.rig.probe->pings["192.168.1.200"] = {Outcome::Reply, 0};
    t.rig.probe->pings["192.168.1.101"] = {Outcome::Reply, 1500};
    t.rig.probe->pings["192.168.1.102"] = {Outcome::Reply, 1500};
    t.rig->autoConfigureNetwork(0);
    ASSERT_TRUE(t.waitDone());
    EXPECT_EQ(t.rig.probe->cancels, 0);
    EXPECT_EQ(t.writtenBoardIp(), "192.168.1.103");
}

// Each failed serial step ends the setup where the state table says, and the next setup is accepted.
TEST(AutoNetwork, AFailedSerialStepAbortsAndTheNextSetupRunsToTheEnd) {
    struct Case {
        FirmwareBehaviour fault;
        QStringList ending;
    };
    const Case cases[] = {
        {{.failCommand = 0x10, .failStatus = 4}, {"read(256) failed: ERR_PAGE", "auto-net: aborted"}},
        {{.failCommand = 0x20, .failStatus = 5},
         {"write(256) FAILED: write: ERR_FLASH", "auto-net: aborted (write failed)"}},
        {{.failCommand = 0x42, .failStatus = 7}, {"reset failed: ERR_STATE", "auto-net: aborted"}},
    };
    const QString complete =
        "auto-net: complete - device 00:11:22:33:44:55 @ 192.168.1.200 -> target a0:b1:c2:d3:e4:f5 @ "
        "192.168.1.100:6666 (device is rebooting, parameters take effect now)";
    for (const Case& c : cases) {
        AutoNetRig t;
        t.firmware.setBehaviour(c.fault);
        t.rig->autoConfigureNetwork(0);
        ASSERT_TRUE(t.waitDone()) << c.ending[0].toStdString();
        EXPECT_EQ(t.rig.log().mid(t.rig.log().size() - 2), c.ending);
        EXPECT_TRUE(t.rig->canOperate());

        t.firmware.setBehaviour({});
        t.rig->clearLog();
        t.rig->autoConfigureNetwork(0);
        ASSERT_TRUE(t.waitDone()) << c.ending[0].toStdString();
        EXPECT_EQ(t.rig.log().last(), complete) << c.ending[0].toStdString();
    }
}

TEST(AutoNetwork, RefusalsOnlyLog) {
    AutoNetRig t;
    t.rig->autoConfigureNetwork(1);
    EXPECT_EQ(t.rig.log().last(),
              "auto-net rejected: no usable network adapter - connect the array's cable first");
    t.rig.probe->interfaceList = {iface("eth0", "A0:B1:C2:D3:E4:F5", {{"10.0.0.5", "255.255.255.252"}})};
    t.rig->autoConfigureNetwork(0);
    EXPECT_EQ(t.rig.log().last(), "auto-net rejected: adapter eth0 - 10.0.0.5 has no usable IPv4 subnet");
    t.rig->setGain(2);
    t.rig->autoConfigureNetwork(0);
    EXPECT_EQ(t.rig.log().last(), "auto-net rejected: another device action is running");
    ASSERT_TRUE(t.waitDone());
    t.rig->setSelectedPortIndex(-1);
    t.rig->autoConfigureNetwork(0);
    EXPECT_EQ(t.rig.log().last(), "auto-net rejected: no serial port selected");
    EXPECT_TRUE(t.rig.probe->pinged.isEmpty());
    EXPECT_EQ(t.firmware.seen().writes, 0);
}

}  // namespace
}  // namespace zk::device
