#include <QFile>
#include <QMetaObject>
#include <QNetworkInterface>
#include <QProcess>
#include <QRegularExpression>
#include <utility>

#include "device/platform/network_probe.h"

namespace zk::device {
namespace {

const QRegularExpression& macPattern() {
    static const QRegularExpression pattern(QStringLiteral("^(?:[0-9A-Fa-f]{2}:){5}[0-9A-Fa-f]{2}$"));
    return pattern;
}

QString neighbourLine(const QString& ip, QString mac) {
    return ip + QStringLiteral("  ") + mac.replace(QLatin1Char(':'), QLatin1Char('-')).toLower() +
           QLatin1Char('\n');
}

// "ip -4 neigh" prints "ADDRESS dev IF lladdr aa:bb:cc:dd:ee:ff STATE".
QString neighbourLinesFromIpNeigh(const QString& output) {
    QString lines;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        const qsizetype at = fields.indexOf(QStringLiteral("lladdr"));
        if (at > 0 && at + 1 < fields.size() && macPattern().match(fields[at + 1]).hasMatch()) {
            lines += neighbourLine(fields[0], fields[at + 1]);
        }
    }
    return lines;
}

// ping -n -c 1 -W 1: exit 0 a reply, 1 none, anything else an error; /proc/net/arp for the table, or
// "ip -4 neigh" where that file cannot be read.
class LinuxNetworkProbe final : public NetworkProbe {
  public:
    LinuxNetworkProbe() = default;
    LinuxNetworkProbe(const LinuxNetworkProbe&) = delete;
    LinuxNetworkProbe& operator=(const LinuxNetworkProbe&) = delete;
    ~LinuxNetworkProbe() override {
        // A command still running is killed here, while its answer can no longer reach this object.
        for (QProcess* process : findChildren<QProcess*>()) {
            process->disconnect(this);
            delete process;
        }
    }

    QList<NetworkInterfaceInfo> interfaces() const override {
        QList<NetworkInterfaceInfo> list;
        for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
            const auto flags = iface.flags();
            list.push_back({iface.humanReadableName(), flags.testFlag(QNetworkInterface::IsUp),
                            flags.testFlag(QNetworkInterface::IsRunning),
                            flags.testFlag(QNetworkInterface::IsLoopBack), iface.hardwareAddress(),
                            iface.addressEntries()});
        }
        return list;
    }

    void startPing(const QString& address) override {
        QProcess* process = startProcess(QStringLiteral("ping"),
                                         {QStringLiteral("-n"), QStringLiteral("-c"), QStringLiteral("1"),
                                          QStringLiteral("-W"), QStringLiteral("1"), address});
        connect(process, &QProcess::finished, this, [this, process](int code, QProcess::ExitStatus status) {
            if (!finish(process)) return;
            const bool killed = process->property("killed").toBool();
            if (killed || (status == QProcess::NormalExit && code == 1)) {
                emit pingFinished(PingOutcome::NoReply, killed ? NetworkProbe::tr("ping killed") : QString());
            } else if (status == QProcess::NormalExit && code == 0) {
                emit pingFinished(PingOutcome::Reply, {});
            } else {
                const QString why = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
                // A ping that says nothing on its error stream is still named by its exit status.
                const QString detail = status == QProcess::CrashExit ? NetworkProbe::tr("ping crashed")
                                       : why.isEmpty()
                                           ? NetworkProbe::tr("ping exit code %1").arg(code)
                                           : NetworkProbe::tr("ping exit code %1: %2").arg(code).arg(why);
                emit pingFinished(PingOutcome::Error, detail);
            }
        });
        connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart || !finish(process)) return;
            emit pingFinished(PingOutcome::Error,
                              NetworkProbe::tr("ping could not be started: %1").arg(process->errorString()));
        });
        process->start();
    }

    void startNeighbourQuery() override {
        QFile file(QStringLiteral("/proc/net/arp"));
        if (file.open(QIODevice::ReadOnly)) {
            const QString lines = neighbourLinesFromArpTable(QString::fromLocal8Bit(file.readAll()));
            answerLater([this, lines] { emit neighboursRead(true, lines, {}); });
            return;
        }
        QProcess* process =
            startProcess(QStringLiteral("ip"), {QStringLiteral("-4"), QStringLiteral("neigh")});
        connect(process, &QProcess::finished, this, [this, process] {
            if (!finish(process)) return;
            emit neighboursRead(
                true, neighbourLinesFromIpNeigh(QString::fromLocal8Bit(process->readAllStandardOutput())),
                {});
        });
        connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart || !finish(process)) return;
            answerLater([this, why = process->errorString()] {
                emit neighboursRead(false, {}, NetworkProbe::tr("neighbour table unavailable: %1").arg(why));
            });
        });
        process->start();
    }

    void cancel() override {
        if (!running_) return;
        running_->setProperty("killed", true);
        running_->kill();
    }

  private:
    // A process that fails to start may report it inside start(); answers still come later.
    template <typename Answer>
    void answerLater(Answer answer) {
        QMetaObject::invokeMethod(this, std::move(answer), Qt::QueuedConnection);
    }

    QProcess* startProcess(const QString& program, const QStringList& arguments) {
        auto* process = new QProcess(this);
        process->setProgram(program);
        process->setArguments(arguments);
        running_ = process;
        return process;
    }

    // True once for the process that is running; the process is released after its answer.
    bool finish(QProcess* process) {
        if (process != running_) return false;
        running_ = nullptr;
        process->deleteLater();
        return true;
    }

    QProcess* running_ = nullptr;  // the request in flight, if it runs a process
};

}  // namespace

QString neighbourLinesFromArpTable(const QString& table) {
    QString lines;
    const QStringList rows = table.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const QStringList fields = rows[i].simplified().split(QLatin1Char(' '));
        if (fields.size() >= 4 && macPattern().match(fields[3]).hasMatch())
            lines += neighbourLine(fields[0], fields[3]);
    }
    return lines;
}

std::unique_ptr<NetworkProbe> createSystemNetworkProbe() { return std::make_unique<LinuxNetworkProbe>(); }

}  // namespace zk::device
