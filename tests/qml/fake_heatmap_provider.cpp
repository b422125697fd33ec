#include "fake_heatmap_provider.h"

#include <QMutexLocker>

namespace zk::qmltest {

QRgb lutEntry(int strip, int index) {
    switch (strip) {
        case 1:
            return qRgb(255 - index, 200, index);
        case 2:
            return qRgb(200, index, 255 - index);
        default:
            return qRgb(index, 255 - index, 200);
    }
}

QImage makeField(int width, int height, const std::vector<int>& values) {
    QImage image(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int j = values.at(static_cast<std::size_t>(y * width + x));
            image.setPixel(x, y, qRgba(j >> 8, j & 0xFF, 0, 255));
        }
    }
    return image;
}

FakeHeatmapProvider::FakeHeatmapProvider() : QQuickImageProvider(QQuickImageProvider::Image) {
    for (int strip = 0; strip < 3; ++strip) {
        QImage lut(256, 1, QImage::Format_RGB888);
        for (int i = 0; i < 256; ++i) lut.setPixel(i, 0, lutEntry(strip, i));
        images_.insert(QStringLiteral("lut%1").arg(strip), lut);
    }
    images_.insert(QStringLiteral("field"), makeField(1, 1, {0}));
}

void FakeHeatmapProvider::setImage(const QString& id, const QImage& image) {
    QMutexLocker lock(&mutex_);
    images_.insert(id, image);
}

int FakeHeatmapProvider::requestCount(const QString& id) const {
    QMutexLocker lock(&mutex_);
    return counts_.value(id);
}

QImage FakeHeatmapProvider::requestImage(const QString& id, QSize* size, const QSize&) {
    const QString key = id.section(QLatin1Char('?'), 0, 0);
    QImage image;
    {
        QMutexLocker lock(&mutex_);
        ++counts_[key];
        image = images_.value(key);
    }
    if (image.isNull()) {
        image = QImage(1, 1, QImage::Format_RGBA8888);
        image.fill(Qt::transparent);
    }
    if (size) *size = image.size();
    return image;
}

}  // namespace zk::qmltest
