#pragma once

// Synthetic camera frames and the sinks around a CameraFilterChain, for tests that push frames into a
// real QVideoSink and read what reaches the outputs.

#include <gtest/gtest.h>

#include <QColor>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QVideoFrame>
#include <QVideoFrameFormat>
#include <QVideoSink>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "camera/camera_filter_chain.h"

namespace zk::camera::test {

// An opaque BGRX8888 frame holding the picture, as a camera delivers it.
inline QVideoFrame frameOf(const QImage& picture) {
    const QImage argb = picture.convertToFormat(QImage::Format_RGB32);
    QVideoFrame frame(QVideoFrameFormat(argb.size(), QVideoFrameFormat::Format_BGRX8888));
    if (!frame.map(QVideoFrame::WriteOnly)) return {};
    for (int y = 0; y < argb.height(); ++y)
        std::memcpy(frame.bits(0) + y * frame.bytesPerLine(0), argb.constScanLine(y),
                    static_cast<std::size_t>(argb.width()) * 4);
    frame.unmap();
    return frame;
}

// A picture of one colour.
inline QImage filled(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The left `step` columns in one colour, the rest in another.
inline QImage stepImage(int width, int height, int step, QColor left, QColor right) {
    QImage image = filled(width, height, right);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < step; ++x) image.setPixelColor(x, y, left);
    return image;
}

// The pixels of a BGRA8888 frame read byte by byte, so no conversion of Qt's stands between the frame
// and the test. Null for any other frame.
inline QImage pixelsOf(QVideoFrame frame) {
    if (frame.pixelFormat() != QVideoFrameFormat::Format_BGRA8888 || !frame.map(QVideoFrame::ReadOnly))
        return {};
    QImage image(frame.width(), frame.height(), QImage::Format_ARGB32);
    for (int y = 0; y < frame.height(); ++y) {
        const uchar* row = frame.bits(0) + y * frame.bytesPerLine(0);
        for (int x = 0; x < frame.width(); ++x) {
            const uchar* p = row + 4 * x;
            image.setPixel(x, y, qRgba(p[2], p[1], p[0], p[3]));
        }
    }
    frame.unmap();
    return image;
}

// Runs the GUI thread's events until done() holds or the time is up.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// An input sink, the two output sinks and the chain between them, with every delivered frame kept.
struct FilterRig {
    std::vector<QVideoFrame> liveFrames;
    std::vector<QVideoFrame> cameraFrames;
    QVideoSink input;
    QVideoSink live;
    QVideoSink camera;
    std::unique_ptr<CameraFilterChain> chain;  // last: destroyed before the sinks it points to

    explicit FilterRig(CameraFilterChain::Clock clock = {}, CameraFilterChain::FrameFilter filter = {})
        : chain(std::make_unique<CameraFilterChain>(std::move(clock), nullptr, std::move(filter))) {
        QObject::connect(&live, &QVideoSink::videoFrameChanged,
                         [this](const QVideoFrame& f) { liveFrames.push_back(f); });
        QObject::connect(&camera, &QVideoSink::videoFrameChanged,
                         [this](const QVideoFrame& f) { cameraFrames.push_back(f); });
        chain->attachInput(&input);
        chain->attachLiveSink(&live);
        chain->attachCameraSink(&camera);
    }

    // Pushes the picture through the chain in the given mode and strength and returns what reaches the
    // live sink; a null image when nothing arrives.
    QImage filter(int mode, double strength, const QImage& picture) {
        chain->setMode(mode);
        chain->setStrength(strength);
        const std::size_t before = liveFrames.size();
        input.setVideoFrame(frameOf(picture));
        if (!waitUntil([&] { return liveFrames.size() > before; })) return {};
        return pixelsOf(liveFrames.back());
    }
};

}  // namespace zk::camera::test
