#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QQuickImageProvider>
#include <QString>

#include <vector>

namespace zk::qmltest {

// The test's own colour strips: entry i of strip s, chosen so that no entry is near black and the three
// strips differ everywhere.
QRgb lutEntry(int strip, int index);

// A field image as the map painter stores it: RGBA8888, 16-bit value J per cell (red = J >> 8,
// green = J & 0xFF, blue 0, alpha 255), cells row by row from the top line.
QImage makeField(int width, int height, const std::vector<int>& values);

// Serves "field" and "lut0".."lut2" from images the test sets, ignoring the query after "?".
class FakeHeatmapProvider : public QQuickImageProvider {
public:
    FakeHeatmapProvider();

    void setImage(const QString& id, const QImage& image);
    int requestCount(const QString& id) const;

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

private:
    mutable QMutex mutex_;  // guards images_ and counts_: the test thread and the engine's image loading
    QHash<QString, QImage> images_;
    QHash<QString, int> counts_;
};

}  // namespace zk::qmltest
