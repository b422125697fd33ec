#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "device/platform/network_probe.h"

namespace zk::device {
namespace {

using Outcome = NetworkProbe::PingOutcome;

// PATH holds only a folder with a "ping" script of the test's own, so no echo request ever leaves.
class ScriptedPing {
  public:
    explicit ScriptedPing(const QByteArray& body) : savedPath_(qgetenv("PATH")) {
        if (!body.isEmpty()) {
            QFile script(dir_.filePath("ping"));
            script.open(QIODevice::WriteOnly);
            script.write("#!/bin/sh\nprintf '%s ' \"$@\" > '" + dir_.filePath("args").toLocal8Bit() + "'\n" +
                         body + "\n");
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", dir_.path().toLocal8Bit());
    }
    ~ScriptedPing() { qputenv("PATH", savedPath_); }

    std::pair<Outcome, QString> run(bool cancelAfterStart = false) {
        std::optional<std::pair<Outcome, QString>> result;
        QObject::connect(probe_.get(), &NetworkProbe::pingFinished,
                         [&](Outcome outcome, const QString& detail) { result.emplace(outcome, detail); });
        probe_->startPing(QStringLiteral("192.0.2.7"));
        EXPECT_FALSE(result) << "answered inside the request";
        if (cancelAfterStart) {
            QTest::qWait(200);
            probe_->cancel();
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
        return result.value_or(std::pair{Outcome::Reply, QStringLiteral("no answer")});
    }
    QByteArray arguments() const {
        QFile file(dir_.filePath("args"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    }

  private:
    QByteArray savedPath_;
    QTemporaryDir dir_;
    std::unique_ptr<NetworkProbe> probe_ = createSystemNetworkProbe();
};

TEST(SystemNetworkProbe, PingExitCodesMapToReplyNoReplyAndError) {
    {
        ScriptedPing ping("exit 0");
        EXPECT_EQ(ping.run().first, Outcome::Reply);
        EXPECT_EQ(ping.arguments(), "-n -c 1 -W 1 192.0.2.7");
    }
    {
        ScriptedPing ping("exit 1");
        EXPECT_EQ(ping.run().first, Outcome::NoReply);
    }
    {
        ScriptedPing ping("echo 'connect: Network is unreachable' >&2; exit 2");
        const auto [outcome, detail] = ping.run();
        EXPECT_EQ(outcome, Outcome::Error);
        EXPECT_EQ(detail, "ping exit code 2: connect: Network is unreachable");
    }
    // Nothing on the error stream: the exit status alone, no dangling separator.
    ScriptedPing silent("exit 2");
    const auto [outcome, detail] = silent.run();
    EXPECT_EQ(outcome, Outcome::Error);
    EXPECT_EQ(detail, "ping exit code 2");
}

TEST(SystemNetworkProbe, AMissingPingIsAnErrorAndAKilledOneNoReply) {
    {
        ScriptedPing missing("");
        const auto [outcome, detail] = missing.run();
        EXPECT_EQ(outcome, Outcome::Error);
        EXPECT_TRUE(detail.startsWith("ping could not be started")) << detail.toStdString();
    }
    ScriptedPing hanging("exec /bin/sleep 30");
    EXPECT_EQ(hanging.run(true).first, Outcome::NoReply);
}

TEST(SystemNetworkProbe, NeighbourTableLinesCarryAnAddressAndAHyphenatedMac) {
    auto probe = createSystemNetworkProbe();
    std::optional<std::tuple<bool, QString, QString>> result;
    QObject::connect(
        probe.get(), &NetworkProbe::neighboursRead,
        [&](bool ok, const QString& lines, const QString& error) { result.emplace(ok, lines, error); });
    probe->startNeighbourQuery();
    EXPECT_FALSE(result);
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
    ASSERT_TRUE(std::get<0>(*result)) << std::get<2>(*result).toStdString();
    static const QRegularExpression line(R"(^\d{1,3}(\.\d{1,3}){3}  ([0-9a-f]{2}-){5}[0-9a-f]{2}$)");
    for (const QString& entry : std::get<1>(*result).split('\n', Qt::SkipEmptyParts)) {
        EXPECT_TRUE(line.match(entry).hasMatch()) << entry.toStdString();
    }
}

}  // namespace
}  // namespace zk::device
