#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zk::qmltest {

// Files and folders the page tests arrange on disk through the storage layer, inside one temporary
// folder that lives as long as the test file's engine.
class PageFixture : public QObject {
    Q_OBJECT

  public:
    explicit PageFixture(QObject* parent = nullptr);

    // A new empty folder inside the temporary folder.
    Q_INVOKABLE QString newFolder();
    // A Project with Measurements "m_1" .. "m_<count>" of the 4-channel profile, registered in order.
    Q_INVOKABLE QString makeProject(int count, const QString& name);
    // A Project with one Measurement "m_wave" of the 128-microphone profile: 1 s of an 8062.5 Hz plane
    // wave from 10 degrees right and 5 degrees down in the camera's image plane.
    Q_INVOKABLE QString makeWaveProject();
    // A run of metadata only, or with a 4 x 3 map whose peak lies at 10 degrees azimuth, 0 elevation;
    // of the whole Measurement, or of the window from start to end seconds.
    Q_INVOKABLE void addAnalysisRun(const QString& projectPath, const QString& measurementId,
                                    const QString& analysisId, bool withMap = false,
                                    double windowStartSeconds = -1.0, double windowEndSeconds = -1.0);
    // Rewrites the creation time a run's analysis.json records.
    Q_INVOKABLE void stampAnalysisRun(const QString& projectPath, const QString& measurementId,
                                      const QString& analysisId, const QString& createdAt);
    Q_INVOKABLE void makeDirs(const QString& parent, const QStringList& names);
    Q_INVOKABLE void touch(const QString& path);
    Q_INVOKABLE bool exists(const QString& path) const;
    // A file's text as UTF-8, empty when it cannot be read.
    Q_INVOKABLE QString readText(const QString& path) const;
    // A shipped device profile by its file name.
    Q_INVOKABLE QString profilePath(const QString& name) const;
    // A folder with all it holds, or a single file.
    Q_INVOKABLE void removeTree(const QString& path);

  private:
    QTemporaryDir root_;
    int folders_ = 0;
};

}  // namespace zk::qmltest
