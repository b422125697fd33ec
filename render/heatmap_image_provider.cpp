#include "render/heatmap_image_provider.h"

#include <QStringView>
#include <algorithm>
#include <cstring>

#include "render/colormaps.h"

namespace zk::render {
namespace {

QImage colormapStrip(const ColormapTable& table) {
    QImage strip(256, 1, QImage::Format_RGB888);
    std::memcpy(strip.scanLine(0), table.data(), table.size());
    return strip;
}

}  // namespace

HeatmapImageProvider::HeatmapImageProvider()
    : QQuickImageProvider(QQuickImageProvider::Image),
      placeholderImage_(1, 1, QImage::Format_ARGB32),
      fieldImage_(1, 1, QImage::Format_RGBA8888),
      colormapStrips_{colormapStrip(kViridisTable), colormapStrip(kTurboTable), colormapStrip(kJetTable)} {
    placeholderImage_.fill(Qt::transparent);
    fieldImage_.fill(0u);
}

HeatmapImageProvider::~HeatmapImageProvider() = default;

QImage HeatmapImageProvider::requestImage(const QString& id, QSize* size, const QSize& /*requestedSize*/) {
    // QML appends "?" and a time stamp to force a reload; the key is what stands before it.
    const qsizetype query = id.indexOf(u'?');
    const QStringView key = query < 0 ? QStringView(id) : QStringView(id).first(query);

    QImage image;
    {
        const std::lock_guard lock(mutex_);
        if (key == QLatin1String("field")) {
            image = fieldImage_;
        } else if (key.startsWith(QLatin1String("lut"))) {
            bool ok = false;
            const qlonglong n = key.sliced(3).toLongLong(&ok, 10);
            image = colormapStrips_[ok ? std::clamp<qlonglong>(n, 0, 2) : 0];
        } else if (key == QLatin1String("camera") && !cameraImage_.isNull()) {
            image = cameraImage_;
        } else {
            image = placeholderImage_;
        }
    }
    if (size != nullptr) *size = image.size();
    return image;
}

void HeatmapImageProvider::setImage(const QString& id, const QImage& image) {
    const std::lock_guard lock(mutex_);
    if (id == QLatin1String("camera")) {
        cameraImage_ = image;
    } else if (id == QLatin1String("field")) {
        fieldImage_ = image;
    } else {
        placeholderImage_ = image;
    }
}

}  // namespace zk::render
