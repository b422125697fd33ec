#include "render/diagnostic_image_provider.h"

#include <QColor>

namespace zk::render {

DiagnosticImageProvider::DiagnosticImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

QImage* DiagnosticImageProvider::slot(QStringView viewId) {
    if (viewId == u"levels") return &levels_;
    if (viewId == u"waveform") return &waveform_;
    if (viewId == u"spectrum") return &spectrum_;
    if (viewId == u"analysisSpectrum") return &analysisSpectrum_;
    if (viewId == u"waterfall") return &waterfall_;
    return nullptr;
}

QImage DiagnosticImageProvider::requestImage(const QString& id, QSize* size, const QSize& /*requestedSize*/) {
    const qsizetype query = id.indexOf(u'?');
    const QStringView viewId = query < 0 ? QStringView(id) : QStringView(id).left(query);
    QImage image;
    {
        const std::lock_guard lock(mutex_);
        if (const QImage* stored = slot(viewId)) image = *stored;
    }
    if (image.isNull()) {
        image = QImage(2, 2, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
    }
    if (size != nullptr) *size = image.size();
    return image;
}

void DiagnosticImageProvider::setImage(QStringView viewId, const QImage& image) {
    const std::lock_guard lock(mutex_);
    if (QImage* stored = slot(viewId)) *stored = image;
}

}  // namespace zk::render
