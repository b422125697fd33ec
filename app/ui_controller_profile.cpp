// Device profile import and the profile information properties.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointF>
#include <filesystem>
#include <stdexcept>

#include "app/ui_controller.h"
#include "core/storage/fnv1a.h"
#include "core/storage/profile_store.h"

namespace zk::app {

namespace {

// Trims the path and peels double quotes around it, so a path pasted with quotes works.
QString unquotedPath(const QString& path) {
    QString text = path.trimmed();
    while (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"')) {
        text = text.mid(1, text.size() - 2).trimmed();
    }
    return text;
}

std::filesystem::path toFsPath(const QString& path) { return std::filesystem::path(path.toStdU16String()); }
QString fromFsPath(const std::filesystem::path& path) { return QString::fromStdU16String(path.u16string()); }

bool hasCameraResolution(const core::DeviceProfile& profile) {
    return profile.camera.has_value() && profile.camera->width != 0 && profile.camera->height != 0;
}

}  // namespace

QString UiController::profilePath() const { return profilePath_; }
QString UiController::profileInfo() const { return profileInfo_; }
QString UiController::profilesDir() const {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/profiles");
}
bool UiController::hasProfile() const { return deviceSession_.hasProfile(); }

bool UiController::canImportProfile() const {
    const std::int32_t state = sessionState_.load();
    return recordingState_.load() == kRecordingIdle &&
           (state == kNoProfile || state == kReady || state == kFaulted);
}

double UiController::profileCameraAspect() const {
    if (!deviceSession_.hasProfile() || !hasCameraResolution(liveProfile_)) return 0.0;
    return static_cast<double>(liveProfile_.camera->width) / static_cast<double>(liveProfile_.camera->height);
}

QString UiController::profileCameraResolution() const {
    if (!deviceSession_.hasProfile() || !hasCameraResolution(liveProfile_)) return {};
    return QStringLiteral("%1x%2").arg(liveProfile_.camera->width).arg(liveProfile_.camera->height);
}

QVariantList UiController::profileGeometry() const {
    QVariantList points;
    if (!deviceSession_.hasProfile() || !liveProfile_.isValid()) return points;
    for (const core::MicrophoneChannel& mic : liveProfile_.microphones) points.append(QPointF(mic.x, mic.y));
    return points;
}

const core::DeviceProfile* UiController::activeProfile() const {
    return deviceSession_.hasProfile() ? &liveProfile_ : nullptr;
}

QString UiController::activeProfileHash() const {
    if (!deviceSession_.hasProfile() || profilePath_.isEmpty()) return {};
    try {
        return QString::fromStdString(core::formatHash64(core::hashFile(toFsPath(profilePath_))));
    } catch (const std::exception&) {
        return {};
    }
}

void UiController::setProfilePath(const QString& path) {
    if (!canImportProfile() || path == profilePath_) return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (absolute == profilePath_) return;
    profilePath_ = absolute;
    settings_.setValue(QStringLiteral("profilePath"), profilePath_);
    emit profilePathChanged();
}

void UiController::importProfile(const QString& path) {
    QElapsedTimer elapsed;
    elapsed.start();
    const QString requested = unquotedPath(path);
    if (requested.isEmpty()) return;
    if (!canImportProfile()) {
        reportEvent(QStringLiteral("Stop the active session before replacing the Device Profile"));
        return;
    }
    try {
        QFile file(requested);
        if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot open Device Profile");
        const QByteArray bytes = file.readAll();
        file.close();

        core::DeviceProfile profile = core::parseDeviceProfile(std::string_view(bytes.constData(), bytes.size()));
        deviceSession_.importProfile(profile);
        liveProfile_ = std::move(profile);

        const double fs = liveProfile_.sampleRateHz;
        if (frequency_ > fs / 2.0) {
            frequency_ = fs / 2.0;
            settings_.setValue(QStringLiteral("frequency"), frequency_);
            emit frequencyChanged();
        }
        liveBand_.centerHz = frequency_;
        liveBand_.bandwidthHz = std::min(liveBand_.bandwidthHz, fs);
        ++liveBand_.revision;
        emit frequencyBandChanged();

        profileJson_.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));

        QString pathInUse;
        try {
            pathInUse = fromFsPath(core::copyIntoStore(toFsPath(requested), toFsPath(profilesDir())));
        } catch (const std::exception& error) {
            appendDiagnosticsLog(QStringLiteral("profile store copy failed: %1").arg(QString::fromUtf8(error.what())));
            pathInUse = QFileInfo(requested).absoluteFilePath();
        }

        profilePath_ = pathInUse;
        profileInfo_ = QStringLiteral("%1 | %2 logical / %3 wire | %4 Hz")
                           .arg(QString::fromStdString(liveProfile_.profileId))
                           .arg(liveProfile_.channelCount)
                           .arg(liveProfile_.wireChannelCount)
                           .arg(liveProfile_.sampleRateHz);
        settings_.setValue(QStringLiteral("profilePath"), profilePath_);
        emit profilePathChanged();
        emit profileInfoChanged();

        if (sessionState_.load() != kReady) setSessionState(kReady);
        reportEvent(QCoreApplication::translate("UiController", "Device Profile validated; system ready to start"));
        appendDiagnosticsLog(
            QStringLiteral("profile import ok in %1 ms: %2").arg(elapsed.elapsed()).arg(profilePath_));
    } catch (const std::exception& error) {
        const QString text = QString::fromUtf8(error.what());
        reportEvent(QCoreApplication::translate("UiController", "Profile validation failed: %1").arg(text));
        appendDiagnosticsLog(QStringLiteral("profile import failed in %1 ms: %2").arg(elapsed.elapsed()).arg(text));
    }
}

}  // namespace zk::app
