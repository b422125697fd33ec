#pragma once

#include <QImage>
#include <QQuickImageProvider>
#include <QSize>
#include <QString>
#include <QStringView>
#include <mutex>

namespace zk::render {

// The "diagnostic" image provider: five plot slots stored by the diagnostics and replay threads and the
// GUI thread, read by the QML engine's image loader. Painting never happens under its mutex.
class DiagnosticImageProvider : public QQuickImageProvider {
  public:
    DiagnosticImageProvider();

    // id is a view id, optionally followed by "?" and a revision stamp. An unknown id or an empty slot
    // gives a 2 x 2 transparent image; size, when given, receives the returned image's size.
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // Stores a shared copy under "levels", "waveform", "spectrum", "analysisSpectrum" or "waterfall";
    // any other id is ignored. Any thread.
    void setImage(QStringView viewId, const QImage& image);

  private:
    QImage* slot(QStringView viewId);

    std::mutex
        mutex_;  // guards the five slots below; writers are the painters' threads, readers QML's loader
    QImage levels_;
    QImage waveform_;
    QImage spectrum_;
    QImage analysisSpectrum_;
    QImage waterfall_;
};

}  // namespace zk::render
