// Each filter mode on a picture whose result follows from the mode's rule by hand: the expected pixels
// are worked out from the rule's arithmetic, not from the filter code.

#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <array>
#include <functional>

#include "camera/camera_filter_chain.h"
#include "camera_frame_support.h"
#include "render/colormaps.h"
#include "render/magma_colormap.h"

namespace zk::camera {
namespace {

using test::filled;
using test::FilterRig;
using test::stepImage;

// Every pixel of out against expected(x, y); reports the first mismatch and how many there are.
::testing::AssertionResult pixelsAre(const QImage& out, const std::function<QRgb(int, int)>& expected) {
    if (out.isNull()) return ::testing::AssertionFailure() << "no frame reached the live sink";
    int mismatches = 0;
    QString first;
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const QRgb got = out.pixel(x, y);
            const QRgb want = expected(x, y);
            if (got == want) continue;
            if (mismatches++ == 0)
                first = QStringLiteral("(%1, %2): got %3, want %4")
                            .arg(x)
                            .arg(y)
                            .arg(got, 8, 16, QLatin1Char('0'))
                            .arg(want, 8, 16, QLatin1Char('0'));
        }
    }
    if (mismatches == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << mismatches << " pixels differ, first " << first.toStdString();
}

QRgb grey(int level) { return qRgb(level, level, level); }

TEST(CameraFilterModes, GreyTakesTheWeightedLumaOfEachColour) {
    FilterRig rig;
    QImage picture(5, 1, QImage::Format_ARGB32);
    const std::array<QRgb, 5> colours{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255),
                                      qRgb(0, 0, 0)};
    for (int x = 0; x < 5; ++x) picture.setPixel(x, 0, colours[static_cast<std::size_t>(x)]);
    // 11 x 255 / 32, 16 x 255 / 32 and 5 x 255 / 32, truncated; white and black stay.
    const std::array<int, 5> levels{87, 127, 39, 255, 0};
    EXPECT_TRUE(pixelsAre(rig.filter(1, 1.0, picture),
                          [&](int x, int) { return grey(levels[static_cast<std::size_t>(x)]); }));
}

TEST(CameraFilterModes, InvertComplementsEveryChannel) {
    FilterRig rig;
    EXPECT_TRUE(pixelsAre(rig.filter(2, 1.0, filled(4, 3, QColor(10, 200, 255))),
                          [](int, int) { return qRgb(245, 55, 0); }));
}

TEST(CameraFilterModes, InvertReadsTheChannelsOfAnotherPixelFormat) {
    FilterRig rig;
    // RGBX8888 keeps the bytes in R, G, B order, the reverse of the chain's BGRA output.
    QVideoFrame frame(QVideoFrameFormat(QSize(3, 2), QVideoFrameFormat::Format_RGBX8888));
    ASSERT_TRUE(frame.map(QVideoFrame::WriteOnly));
    for (int y = 0; y < 2; ++y) {
        uchar* row = frame.bits(0) + y * frame.bytesPerLine(0);
        for (int x = 0; x < 3; ++x) {
            row[4 * x] = 30;
            row[4 * x + 1] = 60;
            row[4 * x + 2] = 90;
            row[4 * x + 3] = 255;
        }
    }
    frame.unmap();
    rig.chain->setMode(2);
    rig.input.setVideoFrame(frame);
    ASSERT_TRUE(test::waitUntil([&] { return !rig.liveFrames.empty(); }));
    EXPECT_EQ(rig.liveFrames.back().pixelFormat(), QVideoFrameFormat::Format_BGRA8888);
    EXPECT_TRUE(
        pixelsAre(test::pixelsOf(rig.liveFrames.back()), [](int, int) { return qRgb(225, 195, 165); }));
}

struct FalseColour {
    int mode;
    const render::ColormapTable* table;
    QRgb first;  // the published first and last colours of the map
    QRgb last;
};

TEST(CameraFilterModes, FalseColourTakesTheTableEntryOfScaledLuma) {
    const std::array<FalseColour, 4> maps{
        {{3, &render::kTurboTable, qRgb(0x30, 0x12, 0x3b), qRgb(0x7a, 0x04, 0x03)},
         {4, &render::kViridisTable, qRgb(68, 1, 84), qRgb(0xfd, 0xe7, 0x25)},
         {5, &render::kMagmaTable, qRgb(0, 0, 4), qRgb(0xfc, 0xfd, 0xbf)},
         {6, &render::kJetTable, qRgb(0, 0, 0x80), qRgb(0x80, 0, 0)}}};
    FilterRig rig;
    for (const FalseColour& map : maps) {
        SCOPED_TRACE(map.mode);
        const auto entry = [&](int i) {
            const auto* t = map.table->data() + 3 * i;
            return qRgb(t[0], t[1], t[2]);
        };
        EXPECT_TRUE(pixelsAre(rig.filter(map.mode, 1.0, filled(2, 2, Qt::black)),
                              [&](int, int) { return map.first; }));
        EXPECT_TRUE(pixelsAre(rig.filter(map.mode, 1.0, filled(2, 2, Qt::white)),
                              [&](int, int) { return map.last; }));
        // 128 / 255 x 255 = 128; 100 / 255 x 2 x 255 = 200; 40 / 255 x 8 passes 1 and stays at the top.
        EXPECT_TRUE(pixelsAre(rig.filter(map.mode, 1.0, filled(2, 2, QColor(128, 128, 128))),
                              [&](int, int) { return entry(128); }));
        EXPECT_TRUE(pixelsAre(rig.filter(map.mode, 2.0, filled(2, 2, QColor(100, 100, 100))),
                              [&](int, int) { return entry(200); }));
        EXPECT_TRUE(pixelsAre(rig.filter(map.mode, 8.0, filled(2, 2, QColor(40, 40, 40))),
                              [&](int, int) { return map.last; }));
        EXPECT_TRUE(pixelsAre(rig.filter(map.mode, 0.0, filled(2, 2, Qt::white)),
                              [&](int, int) { return map.first; }));
    }
}

// A vertical step from black (columns 0 .. 7) to white (8 .. 15): the Sobel x-gradient of the two
// columns at the step is 4 x 255 = 1020, half of it 510, so the edge level is strength x 2, clamped.
QImage blackWhiteStep() { return stepImage(16, 6, 8, Qt::black, Qt::white); }
bool atStep(int x) { return x == 7 || x == 8; }

TEST(CameraFilterModes, EdgeMagnitudeMarksTheStepAndNothingElse) {
    FilterRig rig;
    EXPECT_TRUE(pixelsAre(rig.filter(7, 1.0, blackWhiteStep()),
                          [](int x, int) { return grey(atStep(x) ? 255 : 0); }));
    // 0.25 x 510 / 255 = 0.5, and 255 x 0.5 = 127.5 truncates to 127.
    EXPECT_TRUE(pixelsAre(rig.filter(7, 0.25, blackWhiteStep()),
                          [](int x, int) { return grey(atStep(x) ? 127 : 0); }));
    EXPECT_TRUE(pixelsAre(rig.filter(7, 0.0, blackWhiteStep()), [](int, int) { return grey(0); }));
    // Outside the picture the edge pixels repeat: a flat picture has no edge at its border either, down
    // to a single row, a single column and a single pixel.
    for (const QSize size : {QSize(5, 4), QSize(7, 1), QSize(1, 5), QSize(1, 1)}) {
        EXPECT_TRUE(pixelsAre(rig.filter(7, 8.0, filled(size.width(), size.height(), QColor(200, 200, 200))),
                              [](int, int) { return grey(0); }));
    }
}

TEST(CameraFilterModes, EdgeOverlayPaintsRedFromLevelPoint35) {
    FilterRig rig;
    const auto unchanged = [](int x, int) { return grey(x < 8 ? 0 : 255); };
    // Edge level 0.36 at the step: red; 0.34: the picture stays; strength 0: the picture stays.
    EXPECT_TRUE(pixelsAre(rig.filter(8, 0.18, blackWhiteStep()),
                          [&](int x, int y) { return atStep(x) ? qRgb(255, 13, 26) : unchanged(x, y); }));
    EXPECT_TRUE(pixelsAre(rig.filter(8, 0.17, blackWhiteStep()), unchanged));
    EXPECT_TRUE(pixelsAre(rig.filter(8, 0.0, blackWhiteStep()), unchanged));
}

TEST(CameraFilterModes, SharpenAddsTheCentreLessTheMeanToEveryChannel) {
    FilterRig rig;
    // Left (120, 100, 60) has luma 100, right (180, 210, 190) luma 196. Left of the step the nine values
    // sum to 6 x 100 + 3 x 196 = 1188, mean 132, so d = -32; right of it 1476, mean 164, d = +32.
    const QImage picture = stepImage(16, 5, 8, QColor(120, 100, 60), QColor(180, 210, 190));
    const auto original = [](int x, int) { return x < 8 ? qRgb(120, 100, 60) : qRgb(180, 210, 190); };
    EXPECT_TRUE(pixelsAre(rig.filter(11, 1.0, picture), [&](int x, int y) {
        if (x == 7) return qRgb(88, 68, 28);
        if (x == 8) return qRgb(212, 242, 222);
        return original(x, y);
    }));
    // 0.7 x -32 = -22.4 truncates towards zero to -22, 0.7 x 32 to 22.
    EXPECT_TRUE(pixelsAre(rig.filter(11, 0.7, picture), [&](int x, int y) {
        if (x == 7) return qRgb(98, 78, 38);
        if (x == 8) return qRgb(202, 232, 212);
        return original(x, y);
    }));
    // 4 x 32 = 128 drives the bright side past 255 and the dark side below 0.
    EXPECT_TRUE(pixelsAre(rig.filter(11, 4.0, picture), [&](int x, int y) {
        if (x == 7) return qRgb(0, 0, 0);
        if (x == 8) return qRgb(255, 255, 255);
        return original(x, y);
    }));
    EXPECT_TRUE(pixelsAre(rig.filter(11, 0.0, picture), original));
}

TEST(CameraFilterModes, ZebraStripesOnlyPixelsAboveTheThreshold) {
    FilterRig rig;
    // Grey g striped: odd diagonal stripes (g + 1785) / 8 in every channel, even ones in red only.
    const auto striped = [](int g) {
        return [g](int x, int y) {
            const int bright = (g + 1785) / 8;
            return ((x + y) / 24) % 2 == 1 ? grey(bright) : qRgb(bright, g / 8, g / 8);
        };
    };
    // Strength 1: threshold (0.98 - 0.25 x 0.28) x 255 = 232.05.
    EXPECT_TRUE(pixelsAre(rig.filter(9, 1.0, filled(60, 50, QColor(232, 232, 232))),
                          [](int, int) { return grey(232); }));
    EXPECT_TRUE(pixelsAre(rig.filter(9, 1.0, filled(60, 50, QColor(233, 233, 233))), striped(233)));
    // Strength 4 and beyond: (0.98 - 0.28) x 255 = 178.5.
    for (const double strength : {4.0, 8.0}) {
        EXPECT_TRUE(pixelsAre(rig.filter(9, strength, filled(60, 50, QColor(178, 178, 178))),
                              [](int, int) { return grey(178); }));
        EXPECT_TRUE(pixelsAre(rig.filter(9, strength, filled(60, 50, QColor(179, 179, 179))), striped(179)));
    }
    // Strength 0: 0.98 x 255 = 249.9.
    EXPECT_TRUE(pixelsAre(rig.filter(9, 0.0, filled(30, 30, QColor(249, 249, 249))),
                          [](int, int) { return grey(249); }));
    EXPECT_TRUE(pixelsAre(rig.filter(9, 0.0, filled(30, 30, QColor(250, 250, 250))), striped(250)));
}

TEST(CameraFilterModes, HalftoneDotsGrowWithTheLevel) {
    FilterRig rig;
    // Distances from the centre of a 6 x 6 cell are those of offsets 0.5, 1.5 and 2.5; a pixel is white
    // when distance / 2.5 <= 1.02 x level. At level 1 that keeps every place but the corners that have
    // one offset 2.5 and the other at least 1.5.
    constexpr std::array<const char*, 6> fullDot{"..##..", ".####.", "######", "######", ".####.", "..##.."};
    EXPECT_TRUE(pixelsAre(rig.filter(10, 1.0, filled(18, 12, Qt::white)),
                          [&](int x, int y) { return grey(fullDot[y % 6][x % 6] == '#' ? 255 : 0); }));
    // Level 128 / 255: 1.02 x 0.502 = 0.512 admits only the four places at offsets (0.5, 0.5).
    EXPECT_TRUE(pixelsAre(rig.filter(10, 1.0, filled(18, 12, QColor(128, 128, 128))), [](int x, int y) {
        const bool centre = (x % 6 == 2 || x % 6 == 3) && (y % 6 == 2 || y % 6 == 3);
        return grey(centre ? 255 : 0);
    }));
    EXPECT_TRUE(pixelsAre(rig.filter(10, 1.0, filled(12, 12, Qt::black)), [](int, int) { return grey(0); }));
    EXPECT_TRUE(pixelsAre(rig.filter(10, 0.0, filled(12, 12, Qt::white)), [](int, int) { return grey(0); }));
}

TEST(CameraFilterModes, PassThroughHandsOnTheCameraFrameItself) {
    FilterRig rig;
    rig.chain->setMode(0);
    // A YUYV frame goes out as it came: the same frame, not a converted copy.
    QVideoFrame frame(QVideoFrameFormat(QSize(8, 4), QVideoFrameFormat::Format_YUYV));
    rig.input.setVideoFrame(frame);
    ASSERT_EQ(rig.liveFrames.size(), 1u);
    ASSERT_EQ(rig.cameraFrames.size(), 1u);
    EXPECT_TRUE(rig.liveFrames[0] == frame);
    EXPECT_TRUE(rig.cameraFrames[0] == frame);
    EXPECT_EQ(rig.liveFrames[0].pixelFormat(), QVideoFrameFormat::Format_YUYV);
}

}  // namespace
}  // namespace zk::camera
