#include "page_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/beamforming/heatmap_grid.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/project_store.h"
#include "core/storage/recording.h"
#include "core/streaming/synthetic_source.h"

namespace zk::qmltest {

namespace {

std::filesystem::path fsPath(const QString& path) { return std::filesystem::path(path.toStdString()); }

}  // namespace

PageFixture::PageFixture(QObject* parent) : QObject(parent) {}

QString PageFixture::newFolder() {
    const QString path = root_.filePath(QStringLiteral("folder%1").arg(++folders_));
    QDir().mkpath(path);
    return path;
}

QString PageFixture::makeProject(int count, const QString& name) {
    const QString path = newFolder() + QStringLiteral("/project");
    core::createProject(fsPath(path), name.toStdString());
    std::ifstream in(ZK_PROFILES_DIR "/small-4.device.json", std::ios::binary);
    const std::string profile((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (int k = 1; k <= count; ++k) {
        core::Recording recording(fsPath(path), "m_" + std::to_string(k), profile, "Synthetic");
        recording.append(std::vector<std::int16_t>(1600u * 4u * static_cast<unsigned>(k), 7));
        recording.finalize({});
    }
    return path;
}

QString PageFixture::makeWaveProject() {
    const QString path = newFolder() + QStringLiteral("/project");
    core::createProject(fsPath(path), "Wave");
    std::ifstream in(ZK_PROFILES_DIR "/TM27-128-H1.6.2.device.json", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    core::SyntheticSourceSettings settings;
    settings.frequencyHz = 8062.5;
    settings.speedOfSoundMps = 331.3 * std::sqrt(1.0 + 20.0 / 273.15);
    settings.amplitude = 6000.0;
    settings.tangentPlane = true;
    settings.tangentAngleXDeg = 10.0;
    settings.tangentAngleYDeg = -5.0;
    core::SyntheticSource source(settings);
    source.configure(core::parseDeviceProfile(text));
    core::Recording recording(fsPath(path), "m_wave", text, "Synthetic");
    recording.append(source.readFrames(48000));
    recording.finalize({});
    return path;
}

void PageFixture::addAnalysisRun(const QString& projectPath, const QString& measurementId,
                                 const QString& analysisId, bool withMap, double windowStartSeconds,
                                 double windowEndSeconds) {
    core::AnalysisRunParameters parameters;
    parameters.algorithmId = "DAS";
    parameters.frequencyHz = 2000.0;
    parameters.windowStartSeconds = windowStartSeconds;
    parameters.windowEndSeconds = windowEndSeconds;
    core::AnalysisRunProvenance provenance;
    provenance.recomputeMode = "full";
    std::optional<core::HeatmapGrid> map;
    if (withMap) {
        core::HeatmapGrid grid;
        grid.azimuthDeg = {-10.0, 0.0, 10.0, 20.0};
        grid.elevationDeg = {-5.0, 0.0, 5.0};
        grid.width = 4;
        grid.height = 3;
        std::vector<double> power(12, 1e-6);
        power[4 + 2] = 1.0;
        map = core::finalizeHeatmap(std::move(grid), std::move(power));
    }
    core::createAnalysisRun(fsPath(projectPath) / "measurements" / measurementId.toStdString(),
                            measurementId.toStdString(), analysisId.toStdString(), parameters, 1.0, 2.0, 3.0,
                            "test", provenance, map);
}

void PageFixture::stampAnalysisRun(const QString& projectPath, const QString& measurementId,
                                   const QString& analysisId, const QString& createdAt) {
    QFile file(projectPath + "/measurements/" + measurementId + "/analyses/" + analysisId + "/analysis.json");
    if (!file.open(QIODevice::ReadOnly)) return;
    QString text = QString::fromUtf8(file.readAll());
    file.close();
    text.replace(QRegularExpression(QStringLiteral("\"createdAt\": \"[^\"]*\"")),
                 QStringLiteral("\"createdAt\": \"%1\"").arg(createdAt));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(text.toUtf8());
}

void PageFixture::makeDirs(const QString& parent, const QStringList& names) {
    for (const QString& name : names) QDir(parent).mkpath(name);
}

void PageFixture::touch(const QString& path) { QFile(path).open(QIODevice::WriteOnly); }

bool PageFixture::exists(const QString& path) const { return QFileInfo::exists(path); }

QString PageFixture::readText(const QString& path) const {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString PageFixture::profilePath(const QString& name) const {
    return QStringLiteral(ZK_PROFILES_DIR "/") + name;
}

void PageFixture::removeTree(const QString& path) {
    if (QFileInfo(path).isDir())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

}  // namespace zk::qmltest
