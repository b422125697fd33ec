#include <algorithm>
#include <stdexcept>

#include "device/device_controller.h"

namespace zk::device {
namespace {

ByteSpan spanOf(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

QByteArray toByteArray(const ByteVector& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QString macText(const MacBytes& mac) { return QString::fromStdString(formatMacText(mac)); }
QString ipText(const Ipv4Bytes& ip) { return QString::fromStdString(formatIpv4Text(ip)); }

constexpr int kMaxPort = 65535;

}  // namespace

void DeviceController::onPageReady(quint32 addr, const QByteArray& page) {
    runGuarded("read", [&] {
        finishAction();
        if (autoNet_.stage == AutoNetStage::ReadingParameters && addr == 256) {
            takeAutoNetParameters(page);
            return;
        }
        switch (addr) {
            case 0:
                showHardwareId(page);
                break;
            case 256:
                showNetParams(page);
                break;
            case 768:
                showFir(page);
                break;
            default:
                break;
        }
    });
}

void DeviceController::showHardwareId(const QByteArray& page) {
    hardwareId_ = QString::fromLatin1(page.first(std::min<qsizetype>(8, page.size())).toHex(' '));
    emit hardwareIdChanged();
    appendLog(tr("read(0): hardware id %1").arg(hardwareId_));
}

void DeviceController::showNetParams(const QByteArray& page) {
    netParams_.clear();
    if (isBlankSector(spanOf(page))) {
        netSummary_ = tr("sector blank (0xFF) - firmware defaults in effect");
    } else if (const auto record = unpackNetworkRecord(spanOf(page))) {
        netSummary_ = tr("device %1 @ %2  ->  target %3 @ %4:%5  (src port %6)")
                          .arg(macText(record->boardMac), ipText(record->boardIp), macText(record->targetMac),
                               ipText(record->targetIp), QString::number(record->targetPort),
                               QString::number(record->sourcePort));
        netParams_.insert(QStringLiteral("boardMac"), macText(record->boardMac));
        netParams_.insert(QStringLiteral("boardIp"), ipText(record->boardIp));
        netParams_.insert(QStringLiteral("targetMac"), macText(record->targetMac));
        netParams_.insert(QStringLiteral("targetIp"), ipText(record->targetIp));
        netParams_.insert(QStringLiteral("sourcePort"), int{record->sourcePort});
        netParams_.insert(QStringLiteral("targetPort"), int{record->targetPort});
    } else {
        netSummary_ = tr("unparsable sector content");
    }
    emit netInfoChanged();
    appendLog(tr("read(256): %1").arg(netSummary_));
}

void DeviceController::showFir(const QByteArray& page) {
    if (isBlankSector(spanOf(page))) {
        firSummary_ = tr("sector blank (0xFF)");
    } else {
        const core::DeviceProfile* profile = activeProfile();
        const core::FirConfig* fir = profile != nullptr && profile->fir ? &*profile->fir : nullptr;
        const std::size_t tapCount = fir != nullptr ? fir->taps : static_cast<std::size_t>(page.size()) / 2;
        const std::size_t used = std::min(static_cast<std::size_t>(page.size()), 2 * tapCount);
        const std::vector<std::int16_t> taps = unpackFirTaps(spanOf(page).first(used));
        firSummary_ = tr("%1 taps read").arg(taps.size());
        if (fir != nullptr) {
            const auto match =
                std::find_if(fir->presets.begin(), fir->presets.end(), [&](const core::FirPreset& p) {
                    return std::equal(p.coefficients.begin(), p.coefficients.end(), taps.begin(), taps.end());
                });
            if (match != fir->presets.end()) {
                firSummary_ = tr("%1 taps - matches preset \"%2\"")
                                  .arg(QString::number(taps.size()), QString::fromStdString(match->id));
            } else {
                firSummary_ += tr(" - no preset in the active profile matches");
            }
        }
    }
    emit firInfoChanged();
    appendLog(tr("read(768): %1").arg(firSummary_));
}

void DeviceController::writeNetParams(const QString& boardMac, const QString& boardIp,
                                      const QString& targetMac, const QString& targetIp, int sourcePort,
                                      int targetPort) {
    runGuarded("write(256)", [&] {
        if (!canOperate()) {
            appendLog(tr("write(256) rejected: no serial port selected"));
            return;
        }
        const auto bMac = parseMacText(boardMac.toStdString());
        const auto bIp = parseIpv4Text(boardIp.toStdString());
        const auto tMac = parseMacText(targetMac.toStdString());
        const auto tIp = parseIpv4Text(targetIp.toStdString());
        // Port 0 is no port a UDP stream can use.
        const auto portOk = [](int port) { return port >= 1 && port <= kMaxPort; };
        const int invalid = !bMac + !bIp + !tMac + !tIp + !portOk(sourcePort) + !portOk(targetPort);
        if (invalid > 0) {
            appendLog(invalid == 1 ? tr("write(256) rejected: %n invalid field", nullptr, 1)
                                   : tr("write(256) rejected: %n invalid fields", nullptr, invalid));
            return;
        }
        NetworkParameterRecord record;
        record.boardMac = *bMac;
        record.boardIp = *bIp;
        record.targetMac = *tMac;
        record.targetIp = *tIp;
        record.sourcePort = static_cast<std::uint16_t>(sourcePort);
        record.targetPort = static_cast<std::uint16_t>(targetPort);
        const QByteArray bytes = toByteArray(packNetworkRecord(record));

        beginAction(tr("write(256)"));
        appendLog(tr("write(256): device %1 @ %2 -> target %3 @ %4:%5 (power cycle required after write)")
                      .arg(boardMac, boardIp, targetMac, targetIp, QString::number(targetPort)));
        const QString port = selectedPortName();
        const quint32 addr = 256;
        invokeWorker("writeSector", Q_ARG(QString, port), Q_ARG(quint32, addr), Q_ARG(QByteArray, bytes));
    });
}

void DeviceController::writeFirPreset(const QString& presetId) {
    runGuarded("write(768)", [&] {
        if (!canOperate()) {
            appendLog(tr("write(768) rejected: no serial port selected"));
            return;
        }
        const core::DeviceProfile* profile = activeProfile();
        if (profile == nullptr || !profile->fir) {
            appendLog(tr("write(768) rejected: active profile has no FIR section"));
            return;
        }
        const std::string id = presetId.toStdString();
        const auto& presets = profile->fir->presets;
        const auto preset = std::find_if(presets.begin(), presets.end(),
                                         [&](const core::FirPreset& p) { return p.id == id; });
        if (preset == presets.end()) {
            appendLog(tr("write(768) rejected: unknown preset %1").arg(presetId));
            return;
        }
        QByteArray bytes;
        try {
            // A wrapped coefficient would load another filter than the profile names.
            if (!preset->coefficientsInRange)
                throw std::invalid_argument("FIR preset coefficient outside the signed 32-bit range");
            bytes = toByteArray(packFirTaps(preset->coefficients));
        } catch (const std::invalid_argument& e) {
            appendLog(tr("write(768) rejected: %1").arg(QString::fromUtf8(e.what())));
            return;
        }
        // An empty write would erase the sector and then "verify" nothing.
        if (bytes.isEmpty()) {
            appendLog(tr("write(768) rejected: preset \"%1\" has no coefficients").arg(presetId));
            return;
        }
        if (bytes.size() > static_cast<qsizetype>(kSectorBytes)) {
            appendLog(tr("write(768) rejected: preset \"%1\" has %2 taps, one sector holds at most %3")
                          .arg(presetId, QString::number(preset->coefficients.size()),
                               QString::number(kSectorBytes / 2)));
            return;
        }
        beginAction(tr("write(768)"));
        appendLog(
            tr("write(768): preset \"%1\" (%2 taps, %3 bytes)")
                .arg(presetId, QString::number(preset->coefficients.size()), QString::number(bytes.size())));
        const QString port = selectedPortName();
        const quint32 addr = 768;
        invokeWorker("writeSector", Q_ARG(QString, port), Q_ARG(quint32, addr), Q_ARG(QByteArray, bytes));
    });
}

}  // namespace zk::device
