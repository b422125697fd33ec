#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVariantList>
#include <QVariantMap>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "core/storage/device_profile.h"
#include "device/network_adapters.h"
#include "device/page_payloads.h"
#include "device/platform/network_probe.h"

namespace zk::app {
class UiController;
}  // namespace zk::app

namespace zk::device {

class SerialWorker;

// One serial port as offered to the user.
struct SerialPortListing {
    QString name;         // the system's port name
    QString description;  // may be empty
};

// The ports of QSerialPortInfo::availablePorts, in its order.
QList<SerialPortListing> listSystemSerialPorts();

// The object behind the Device page: serial ports, one device action at a time on the SerialWorker's
// thread, the parameter pages, gain, reboot, UDP output, FIR presets of the active profile, the
// automatic network setup and the device log. GUI thread only.
class DeviceController : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList serialPorts READ serialPorts NOTIFY serialPortsChanged)
    Q_PROPERTY(int selectedPortIndex READ selectedPortIndex WRITE setSelectedPortIndex NOTIFY
                   selectedPortIndexChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(QString busyLabel READ busyLabel NOTIFY busyChanged)
    Q_PROPERTY(bool canOperate READ canOperate NOTIFY stateChanged)
    Q_PROPERTY(bool canWrite READ canWrite NOTIFY stateChanged)
    Q_PROPERTY(int gain READ gain WRITE setGain NOTIFY gainChanged)
    Q_PROPERTY(QString hardwareId READ hardwareId NOTIFY hardwareIdChanged)
    Q_PROPERTY(QString netSummary READ netSummary NOTIFY netInfoChanged)
    Q_PROPERTY(QVariantMap netParams READ netParams NOTIFY netInfoChanged)
    Q_PROPERTY(QString firSummary READ firSummary NOTIFY firInfoChanged)
    Q_PROPERTY(QStringList firPresetIds READ firPresetIds NOTIFY firPresetIdsChanged)
    Q_PROPERTY(QString logText READ logText NOTIFY logTextChanged)

  public:
    // The profile whose FIR presets apply, or null without a validated one; called on every use.
    using ActiveProfileSource = std::function<const core::DeviceProfile*()>;
    using SerialPortLister = std::function<QList<SerialPortListing>()>;

    struct Services {
        ActiveProfileSource activeProfile;           // empty: no profile
        std::unique_ptr<NetworkProbe> networkProbe;  // null: the operating system's
        SerialPortLister listPorts;                  // empty: listSystemSerialPorts
    };

    enum class AutoNetStage { Idle = 0, ReadingParameters = 1, Probing = 2, Writing = 3, Resetting = 4 };

    explicit DeviceController(Services services, QObject* parent = nullptr);
    // The application's controller, not owned: its active profile supplies the FIR presets, its
    // profileInfoChanged is announced as firPresetIdsChanged and stateChanged, its uiStateChanged as
    // stateChanged. Serial ports and the network probe are the operating system's.
    explicit DeviceController(app::UiController* ui, QObject* parent = nullptr);
    // Stops the serial thread: queued requests never start, a running one is cut short at its next
    // wait, but an erase + write pair in flight finishes (bounded) so no flash sector is left erased.
    // The worker never loses its thread while it runs.
    ~DeviceController() override;

    QStringList serialPorts() const { return serialPorts_; }
    int selectedPortIndex() const { return selectedPortIndex_; }
    void setSelectedPortIndex(int index);
    bool busy() const { return !pendingActions_.empty(); }
    QString busyLabel() const { return busy() ? pendingActions_.front() : QString(); }
    bool canOperate() const;
    bool canWrite() const { return canOperate(); }
    int gain() const { return gain_; }
    // Clamped to 0..10, stored under "deviceGain" and sent when a port can be used.
    void setGain(int value);
    QString hardwareId() const { return hardwareId_; }
    QString netSummary() const { return netSummary_; }
    QVariantMap netParams() const { return netParams_; }
    QString firSummary() const { return firSummary_; }
    QStringList firPresetIds() const;
    QString logText() const { return logText_; }
    AutoNetStage autoNetStage() const { return autoNet_.stage; }

    Q_INVOKABLE void refreshPorts();
    Q_INVOKABLE void probeAndSelect();
    Q_INVOKABLE void readHardwareId();
    Q_INVOKABLE void readNetParams();
    Q_INVOKABLE void readFir();
    Q_INVOKABLE void writeNetParams(const QString& boardMac, const QString& boardIp, const QString& targetMac,
                                    const QString& targetIp, int sourcePort, int targetPort);
    Q_INVOKABLE void writeFirPreset(const QString& presetId);
    Q_INVOKABLE void rebootDevice();
    Q_INVOKABLE void clearLog();
    Q_INVOKABLE void setActEnabled(bool on);
    // One map per usable adapter ("label", "ip", "mask"); the index is autoConfigureNetwork's argument.
    Q_INVOKABLE QVariantList networkAdapters() const;
    Q_INVOKABLE void autoConfigureNetwork(int adapterIndex);

  signals:
    void serialPortsChanged();
    void selectedPortIndexChanged();
    void busyChanged();
    void stateChanged();
    void gainChanged();
    void hardwareIdChanged();
    void netInfoChanged();
    void firInfoChanged();
    void firPresetIdsChanged();
    void logTextChanged();
    void netParamsWritten();

  public slots:
    void onProbeFinished(const QString& portName, const QString& protocol);
    void onResetSent();
    void onActSent(bool on);
    void onPageReady(quint32 addr, const QByteArray& page);
    void onGainSent(int value);
    void onOperationFailed(const QString& action, const QString& error);
    void onWriteFinished(quint32 addr, bool ok, const QString& detail);

  private:
    struct AutoNetState {
        AutoNetStage stage = AutoNetStage::Idle;
        NetworkParameterRecord record;
        std::vector<Ipv4Bytes> candidates;
        std::size_t candidateIndex = 0;
        bool pingReplied = false;
        bool arpPending = false;
        QString portName;             // fixed for the whole run
        NetworkAdapterEntry adapter;  // fixed for the whole run
        quint64 probeRun = 0;         // number of the latest probe run; older kill timers see a newer one
        bool probeRunning = false;
    };

    QString selectedPortName() const;
    // Queues the request behind those still pending; busy until every queued answer has come.
    void beginAction(const QString& label);
    void finishAction();
    void appendLog(const QString& text);
    void invokeWorker(const char* slot, QGenericArgument a = {}, QGenericArgument b = {},
                      QGenericArgument c = {});
    void readPage(const QString& refusal, const QString& label, quint32 addr);
    void runGuarded(const char* action, const std::function<void()>& body);
    const core::DeviceProfile* activeProfile() const;

    void showHardwareId(const QByteArray& page);
    void showNetParams(const QByteArray& page);
    void showFir(const QByteArray& page);

    void takeAutoNetParameters(const QByteArray& page);
    void probeNextCandidate();
    void startProbeRun(bool neighbours);
    void onPingFinished(NetworkProbe::PingOutcome outcome, const QString& detail);
    void onNeighboursRead(bool ok, const QString& lines, const QString& error);
    void continueAutoNetAfterWrite();
    void completeAutoNetAfterReset();
    void abortAutoNet(const QString& text);
    bool autoNetRunning() const { return autoNet_.stage != AutoNetStage::Idle; }

    ActiveProfileSource activeProfileSource_;
    SerialPortLister listPorts_;
    std::unique_ptr<NetworkProbe> networkProbe_;
    QThread serialThread_;
    SerialWorker* worker_ = nullptr;  // lives on serialThread_, deleted as it finishes
    QSettings settings_;

    QStringList serialPorts_;
    QStringList portNames_;
    int selectedPortIndex_ = -1;
    std::deque<QString> pendingActions_;  // labels of the requests not yet answered, oldest first
    int gain_ = 3;
    QString hardwareId_;
    QString netSummary_;
    QVariantMap netParams_;
    QString firSummary_;
    QString logText_;
    AutoNetState autoNet_;
};

}  // namespace zk::device
