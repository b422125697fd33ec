// Device profile import and the profile information properties.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointF>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "core/storage/device_profile.h"
#include "core/storage/file_io.h"
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

// The bytes of a profile file, read as the profile store reads them: regular files only, at most 4 MiB.
std::string readProfileFile(const QString& path) {
    const std::filesystem::path file = toFsPath(path);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (error || !std::filesystem::exists(status)) throw std::runtime_error("cannot open Device Profile");
    // Asked before opening: opening a named pipe waits for a writer, and a device never ends.
    if (!std::filesystem::is_regular_file(status))
        throw std::runtime_error("Device Profile is not a regular file");
    std::string bytes;
    switch (core::readFileBounded(file, core::kMaxDeviceProfileBytes, bytes)) {
        case core::FileReadStatus::Ok:
            return bytes;
        case core::FileReadStatus::TooLarge:
            throw std::invalid_argument("device profile file exceeds 4 MiB");
        case core::FileReadStatus::ReadFailed:
            throw std::runtime_error("cannot read Device Profile");
        case core::FileReadStatus::CannotOpen:
            break;
    }
    throw std::runtime_error("cannot open Device Profile");
}

bool hasCameraResolution(const core::DeviceProfile& profile) {
    return profile.camera.has_value() && profile.camera->width != 0 && profile.camera->height != 0;
}

}  // namespace

QString UiController::profilePath() const { return profileState_.path; }
// Made when read, in the language of the moment. A no-break space keeps the rate with its unit when
// the line wraps; one pass over the pattern leaves an identity holding "%2" as it is.
QString UiController::profileInfo() const {
    if (!profileState_.session.hasProfile()) return {};
    const core::DeviceProfile& profile = profileState_.live;
    return UiText::tr("%1 | %2 logical / %3 wire | %4 Hz")
        .arg(QString::fromStdString(profile.profileId), QString::number(profile.channelCount),
             QString::number(profile.wireChannelCount), QString::number(profile.sampleRateHz));
}
QString UiController::profilesDir() const {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/profiles");
}
bool UiController::hasProfile() const { return profileState_.session.hasProfile(); }

bool UiController::canImportProfile() const {
    const std::int32_t state = run_.session.load();
    return run_.recording.load() == kRecordingIdle &&
           (state == kNoProfile || state == kReady || state == kFaulted);
}

double UiController::profileCameraAspect() const {
    if (!profileState_.session.hasProfile() || !hasCameraResolution(profileState_.live)) return 0.0;
    return static_cast<double>(profileState_.live.camera->width) /
           static_cast<double>(profileState_.live.camera->height);
}

QString UiController::profileCameraResolution() const {
    if (!profileState_.session.hasProfile() || !hasCameraResolution(profileState_.live)) return {};
    return QStringLiteral("%1x%2")
        .arg(profileState_.live.camera->width)
        .arg(profileState_.live.camera->height);
}

QVariantList UiController::profileGeometry() const {
    QVariantList points;
    if (!profileState_.session.hasProfile() || !profileState_.live.isValid()) return points;
    for (const core::MicrophoneChannel& mic : profileState_.live.microphones)
        points.append(QPointF(mic.x, mic.y));
    return points;
}

const core::DeviceProfile* UiController::activeProfile() const {
    return profileState_.session.hasProfile() ? &profileState_.live : nullptr;
}

QString UiController::activeProfileHash() const {
    // A Replay is judged against the profile its Measurement was recorded with.
    if (replayActive() && profileState_.frozen.isValid()) return replay_.profileHash;
    if (!profileState_.session.hasProfile() || profileState_.path.isEmpty()) return {};
    try {
        return QString::fromStdString(core::formatHash64(core::hashFile(toFsPath(profileState_.path))));
    } catch (const std::exception&) {
        return {};
    }
}

void UiController::setProfilePath(const QString& path) {
    if (!canImportProfile() || path == profileState_.path) return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (absolute == profileState_.path) return;
    profileState_.path = absolute;
    settings_.setValue(QStringLiteral("profilePath"), profileState_.path);
    emit profilePathChanged();
}

void UiController::importProfile(const QString& path) {
    QElapsedTimer elapsed;
    elapsed.start();
    const QString requested = unquotedPath(path);
    if (requested.isEmpty()) return;
    if (!canImportProfile()) {
        reportEvent(UiText::tr("Stop the active session before replacing the Device Profile"));
        return;
    }
    try {
        std::string bytes = readProfileFile(requested);
        core::DeviceProfile profile = core::parseDeviceProfile(bytes);
        core::requireFirCoefficientsInRange(profile);
        profileState_.session.importProfile(profile);
        profileState_.live = std::move(profile);

        const double fs = profileState_.live.sampleRateHz;
        const double frequency = frequencyForSampleRate(live_.frequency, fs);
        if (!fuzzyEqual(frequency, live_.frequency)) {
            live_.frequency = frequency;
            settings_.setValue(QStringLiteral("frequency"), live_.frequency);
            emit frequencyChanged();
        }
        live_.band.centerHz = live_.frequency;
        live_.band.bandwidthHz = std::min(live_.band.bandwidthHz, fs);
        ++live_.band.revision;
        emit frequencyBandChanged();

        profileState_.json = std::move(bytes);

        QString pathInUse;
        try {
            // A file already in the store comes back as it was named, perhaps relative to the folder
            // the program started in.
            pathInUse =
                QFileInfo(fromFsPath(core::copyIntoStore(toFsPath(requested), toFsPath(profilesDir()))))
                    .absoluteFilePath();
        } catch (const std::exception& error) {
            appendDiagnosticsLog(
                QStringLiteral("profile store copy failed: %1").arg(QString::fromUtf8(error.what())));
            pathInUse = QFileInfo(requested).absoluteFilePath();
        }

        profileState_.path = pathInUse;
        settings_.setValue(QStringLiteral("profilePath"), profileState_.path);
        emit profilePathChanged();
        emit profileInfoChanged();
        // The noise floor is judged against the new profile's hash.
        rebuildNoiseProfileInfo();
        emit noiseSubtractionChanged();

        if (run_.session.load() != kReady) setSessionState(kReady);
        reportLocalized(QT_TRANSLATE_NOOP("UiController", "Device Profile validated; system ready to start"));
        appendDiagnosticsLog(
            QStringLiteral("profile import ok in %1 ms: %2").arg(elapsed.elapsed()).arg(profileState_.path));
    } catch (const std::exception& error) {
        const QString text = QString::fromUtf8(error.what());
        reportLocalized(QT_TRANSLATE_NOOP("UiController", "Profile validation failed: %1"), {text});
        appendDiagnosticsLog(
            QStringLiteral("profile import failed in %1 ms: %2").arg(elapsed.elapsed()).arg(text));
    }
}

}  // namespace zk::app
