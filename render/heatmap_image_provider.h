#pragma once

#include <QImage>
#include <QQuickImageProvider>
#include <QSize>
#include <QString>
#include <array>
#include <mutex>

namespace zk::render {

// The QML image provider "heatmap": hands out the painted power field ("field"), the 256 x 1 colour
// strips ("lut" + colormap number) and the camera overlay ("camera"). It only stores images; the
// heatmap painter draws the field. QML's loader threads and the painting threads may call it at once.
class HeatmapImageProvider : public QQuickImageProvider {
  public:
    HeatmapImageProvider();
    ~HeatmapImageProvider() override;

    HeatmapImageProvider(const HeatmapImageProvider&) = delete;
    HeatmapImageProvider& operator=(const HeatmapImageProvider&) = delete;

    // A shallow copy of the stored image for the id's text before its first "?", at the image's own
    // size (requestedSize is ignored); that size goes to *size when size is not null.
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // "camera" replaces the camera overlay, "field" the power field, any other id the placeholder.
    void setImage(const QString& id, const QImage& image);

  private:
    std::mutex mutex_;  // guards the five images below: QML's loader threads read, painting threads write
    QImage placeholderImage_;
    QImage cameraImage_;
    QImage fieldImage_;
    std::array<QImage, 3> colormapStrips_;
};

}  // namespace zk::render
