// The camera filter on one 1920 x 1080 frame per iteration, as its worker thread runs it: the frame
// converted to an RGB32 image, filtered, and written into a new BGRA8888 frame; each mode in turn, from
// an opaque BGRX8888 camera frame and, for grey, a YUYV one. Beside it the pixel loops alone, and the
// pass-through of mode 0 from the input sink to both output sinks.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QVideoFrame>
#include <QVideoFrameFormat>
#include <QVideoSink>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bench_support.h"
#include "camera/camera_filter_chain.h"
#include "camera/camera_frame_filter.h"

namespace {

using namespace zk;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Qt's frame conversion asks the GUI application for its platform; no display is needed.
void ensureGuiApplication() {
    static int argc = 1;
    static char name[] = "zk_bench";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QGuiApplication> app;
    if (QCoreApplication::instance() != nullptr) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
}

// A picture with every kind of content the modes react to: smooth gradients, hard edges between
// 64-pixel squares, and bright areas above the zebra threshold.
std::uint32_t scenePixel(int x, int y) {
    const int r = x * 255 / (kWidth - 1);
    const int g = y * 255 / (kHeight - 1);
    const int b = ((x / 64 + y / 64) % 2) * 255;
    return 0xff000000u | (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) |
           static_cast<std::uint32_t>(b);
}

// A new frame per call: a frame keeps the image it was converted to, so a frame filtered twice would
// skip the conversion.
QVideoFrame sceneFrame(QVideoFrameFormat::PixelFormat format) {
    QVideoFrame frame(QVideoFrameFormat(QSize(kWidth, kHeight), format));
    if (!frame.map(QVideoFrame::WriteOnly)) return {};
    for (int y = 0; y < kHeight; ++y) {
        uchar* row = frame.bits(0) + y * frame.bytesPerLine(0);
        if (format == QVideoFrameFormat::Format_YUYV) {
            for (int x = 0; x < kWidth; x += 2) {
                const std::uint32_t p = scenePixel(x, y);
                const auto luma = static_cast<uchar>(16 + (((p >> 16) & 0xff) * 219) / 255);
                uchar* pair = row + 2 * x;
                pair[0] = luma;
                pair[1] = 128;
                pair[2] = luma;
                pair[3] = 128;
            }
        } else {
            auto* pixels = reinterpret_cast<std::uint32_t*>(row);
            for (int x = 0; x < kWidth; ++x) pixels[x] = scenePixel(x, y);
        }
    }
    frame.unmap();
    return frame;
}

void runFrameFilter(benchmark::State& state, QVideoFrameFormat::PixelFormat format) {
    ensureGuiApplication();
    const int mode = static_cast<int>(state.range(0));
    std::vector<std::int32_t> luma;
    for (auto _ : state) {
        state.PauseTiming();
        const QVideoFrame input = sceneFrame(format);
        state.ResumeTiming();
        const QVideoFrame out = camera::filterVideoFrame(input, mode, 1.0, luma);
        if (!out.isValid()) {
            state.SkipWithError("the frame could not be filtered");
            break;
        }
        benchmark::DoNotOptimize(out);
    }
    state.counters["pixels"] = static_cast<double>(kWidth) * kHeight;
}

void BM_CameraFilterFrame(benchmark::State& state) {
    runFrameFilter(state, QVideoFrameFormat::Format_BGRX8888);
}
BENCHMARK(BM_CameraFilterFrame)
    ->ArgName("mode")
    ->DenseRange(1, camera::kFilterModeLast)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(zk::bench::minOfRepetitions);

void BM_CameraFilterYuyvFrame(benchmark::State& state) {
    runFrameFilter(state, QVideoFrameFormat::Format_YUYV);
}
BENCHMARK(BM_CameraFilterYuyvFrame)
    ->ArgName("mode")
    ->Arg(camera::kFilterGrey)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(zk::bench::minOfRepetitions);

void BM_CameraFilterPixels(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    std::vector<std::uint32_t> src(static_cast<std::size_t>(kWidth) * kHeight);
    std::vector<std::uint32_t> dst(src.size());
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) src[static_cast<std::size_t>(y) * kWidth + x] = scenePixel(x, y);
    std::vector<std::int32_t> luma;
    for (auto _ : state) {
        camera::filterPixels(mode, 1.0, src.data(), kWidth, dst.data(), kWidth, kWidth, kHeight, luma);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.counters["pixels"] = static_cast<double>(kWidth) * kHeight;
}
BENCHMARK(BM_CameraFilterPixels)
    ->ArgName("mode")
    ->DenseRange(1, camera::kFilterModeLast)
    ->Unit(benchmark::kMillisecond)
    ->Apply(zk::bench::minOfRepetitions);

// Mode 0: the camera's frame reaches both sinks as the same frame, with no copy and no worker.
void BM_CameraPassThrough(benchmark::State& state) {
    ensureGuiApplication();
    QVideoSink input;
    QVideoSink live;
    QVideoSink preview;
    camera::CameraFilterChain chain;
    chain.attachInput(&input);
    chain.attachLiveSink(&live);
    chain.attachCameraSink(&preview);
    // A sink passes on only a frame that differs from its last one, so two frames take turns.
    const QVideoFrame frames[2] = {sceneFrame(QVideoFrameFormat::Format_BGRX8888),
                                   sceneFrame(QVideoFrameFormat::Format_BGRX8888)};
    std::size_t next = 0;
    for (auto _ : state) {
        const QVideoFrame& frame = frames[next++ % 2];
        input.setVideoFrame(frame);
        if (!(live.videoFrame() == frame) || !(preview.videoFrame() == frame)) {
            state.SkipWithError("pass-through did not hand on the camera's own frame");
            break;
        }
    }
}
BENCHMARK(BM_CameraPassThrough)->Unit(benchmark::kMicrosecond)->Apply(zk::bench::minOfRepetitions);

}  // namespace
