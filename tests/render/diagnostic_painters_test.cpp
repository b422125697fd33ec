#include <gtest/gtest.h>

#include <QColor>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

#include "diagnostic_test_support.h"
#include "render/diagnostic_state.h"
#include "render/level_painter.h"
#include "render/magma_colormap.h"
#include "render/plot_canvas.h"
#include "render/spectrum_painters.h"
#include "render/waterfall_painter.h"
#include "render/waveform_painters.h"

namespace zk::render {
namespace {

using test::sineBlock;
using test::topmostPainted;

// Runs of painted pixels along canvas row y.
int paintedRuns(const QImage& image, int y) {
    int runs = 0;
    bool inside = false;
    for (int x = 0; x < image.width(); ++x) {
        const bool painted = qAlpha(image.pixel(x, y)) != 0;
        runs += painted && !inside;
        inside = painted;
    }
    return runs;
}

TEST(LevelPainter, ChannelCountsGiveTheirGrids) {
    const PlotColors colors;
    struct Case {
        std::size_t channels;
        int row0;
        int row1;
    };
    for (const Case& c : {Case{8, 8, 0}, Case{30, 24, 6}, Case{64, 32, 32}}) {
        const std::vector<double> full(c.channels, 0.0);
        const QImage image = paintLevelsImage(full, full, colors);
        // Canvas rows through the middle of the first and second bar rows (cells 200 / rows high).
        const int rows = c.row1 == 0 ? 1 : 2;
        EXPECT_EQ(paintedRuns(image, 2 * (200 / rows / 2)), c.row0) << c.channels;
        if (rows == 2) {
            EXPECT_EQ(paintedRuns(image, 2 * (100 + 42)), c.row1) << c.channels;
        }
    }
}

TEST(LevelPainter, NaNLevelsReadAsTheMeterFloor) {
    const PlotColors colors;
    const std::vector<double> nan(1, std::numeric_limits<double>::quiet_NaN());
    const QImage image = paintLevelsImage(nan, nan, colors);
    // One bar 14 wide centred at 410 and 184 high: an empty track with the peak mark at its bottom.
    for (int y = 4; y < 2 * 184 - 4; y += 8) EXPECT_EQ(image.pixel(820, y), colors.grid.rgba()) << y;
    EXPECT_EQ(image.pixel(820, 2 * 184), QColor(0xfb, 0x71, 0x85).rgba());
}

// Naive one-bin DFT of the Hann-windowed, mean-removed samples, in dBFS as the spectrum defines it.
double naiveBinDbfs(const std::vector<double>& x, std::size_t bin) {
    const std::size_t n = x.size();
    double mean = 0.0;
    for (const double v : x) mean += v / static_cast<double>(n);
    std::complex<double> acc;
    double weights = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / (n - 1.0)));
        weights += w;
        const double angle =
            -2.0 * std::numbers::pi * static_cast<double>((bin * i) % n) / static_cast<double>(n);
        acc += (x[i] - mean) * w * std::complex<double>(std::cos(angle), std::sin(angle));
    }
    const double gain = (bin == 0 || bin == n / 2) ? 1.0 : 2.0;
    return 20.0 * std::log10(std::max(1e-6, std::abs(acc) * gain / (weights * 32768.0)));
}

TEST(SpectrumPainters, ChannelSpectrumMatchesANaiveDftAndPicksItsWindow) {
    const double rate = 48000.0;
    std::vector<double> x(300);
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = 20000.0 * std::sin(0.3 * static_cast<double>(i)) +
               3000.0 * std::cos(1.1 * static_cast<double>(i)) + 500.0;
    }
    double peakHz = 0.0;
    double peakDb = 0.0;
    const std::vector<double> spectrum = computeChannelSpectrumDbfs(x, rate, 8192, peakHz, peakDb);
    ASSERT_EQ(spectrum.size(), 129u);  // only 300 samples: a 256-point window
    const std::vector<double> newest(x.end() - 256, x.end());
    std::size_t loudest = 1;
    for (std::size_t k = 0; k < spectrum.size(); ++k) {
        EXPECT_NEAR(spectrum[k], naiveBinDbfs(newest, k), 1e-6) << k;
        if (k > 0 && spectrum[k] > spectrum[loudest]) loudest = k;
    }
    EXPECT_DOUBLE_EQ(peakHz, static_cast<double>(loudest) * rate / 256.0);
    EXPECT_DOUBLE_EQ(peakDb, spectrum[loudest]);

    EXPECT_TRUE(
        computeChannelSpectrumDbfs(std::vector<double>(255, 1.0), rate, 8192, peakHz, peakDb).empty());
    EXPECT_EQ(peakHz, 0.0);
    EXPECT_EQ(peakDb, -120.0);
    EXPECT_EQ(computeChannelSpectrumDbfs(std::vector<double>(40000, 1.0), rate, 8192, peakHz, peakDb).size(),
              4097u);
}

TEST(SpectrumPainters, NaNBinsNeitherWinAColumnNorReachAPixelRow) {
    const PlotColors colors;
    std::vector<double> spectrum(513, std::numeric_limits<double>::quiet_NaN());
    const QPainterPath path = spectrumCurvePath(spectrum, 48000.0);
    ASSERT_EQ(path.elementCount(), 820);
    for (int i = 0; i < path.elementCount(); ++i) EXPECT_EQ(path.elementAt(i).y, 199.0);

    WaterfallState waterfall;
    updateWaterfallImage(waterfall, spectrum, 48000.0, kMagmaTable, QColor(Qt::black), 1);
    for (int x = 0; x < 820; x += 41) EXPECT_EQ(waterfall.image.pixel(x, 0), qRgb(0, 0, 4)) << x;
    // Without a positive axis span nothing is drawn, and a sample rate of 0 still gives a row.
    EXPECT_TRUE(spectrumCurvePath(spectrum, 0.0).isEmpty());
    updateWaterfallImage(waterfall, spectrum, 0.0, kMagmaTable, QColor(Qt::black), 2);
    EXPECT_EQ(waterfall.image.pixel(10, 1), qRgb(0, 0, 4));
}

// Every band holds at least one bin, even the low bands narrower than a bin of a short window, and the
// plot's -120..0 dBFS scale maps linearly onto 0..1.
TEST(SpectrumPainters, BarLevelsReadEveryBandOnThePlotsScale) {
    for (const std::size_t bins : {129u, 4097u}) {
        EXPECT_EQ(spectrumBarLevels(std::vector<double>(bins, -30.0), 48000.0, 32),
                  std::vector<double>(32, 0.75))
            << bins;
    }
    EXPECT_EQ(spectrumBarLevels(std::vector<double>(129, 6.0), 48000.0, 4), std::vector<double>(4, 1.0));
    EXPECT_EQ(spectrumBarLevels(std::vector<double>(129, -200.0), 48000.0, 4), std::vector<double>(4, 0.0));
    EXPECT_TRUE(spectrumBarLevels({}, 48000.0, 32).empty());
    EXPECT_TRUE(spectrumBarLevels(std::vector<double>(129, -30.0), 0.0, 32).empty());
}

TEST(PlotCanvas, CountClampsAreSafeWhenTheRangeIsInverted) {
    EXPECT_EQ(clampCount(24000.0, 256, 100), 100u);  // a short history shows all it has
    EXPECT_EQ(clampCount(10.0, 64, 1000), 64u);
    EXPECT_EQ(clampCount(10.0, 64, 40), 40u);
    EXPECT_EQ(clampCount(std::nan(""), 64, 1000), 64u);
    EXPECT_EQ(clampCount(1e300, 64, 1000), 1000u);
    EXPECT_EQ(nearestInt(std::nan("")), 0);
    EXPECT_EQ(nearestInt(-2.5), -3);
    EXPECT_EQ(nearestInt(1e300), 1'000'000'000);

    DiagnosticDisplaySettings settings;
    EXPECT_FALSE(settings.setWaveformWindowS(std::nan("")));
    EXPECT_EQ(settings.waveformWindowS.load(), 0.5);
    EXPECT_TRUE(settings.setWaveformWindowS(99.0));
    EXPECT_EQ(settings.waveformWindowS.load(), 5.0);
    EXPECT_TRUE(settings.setWaveformMode(9));
    EXPECT_FALSE(settings.setWaveformMode(2));
    EXPECT_TRUE(settings.setWaterfallColormap(-1));
    EXPECT_EQ(settings.waterfallColormap.load(), 0);
    EXPECT_TRUE(settings.setWaterfallColormap(7));
    EXPECT_EQ(settings.waterfallColormap.load(), 3);
}

TEST(WaveformPainters, SingleTraceSpansItsScaleAndIndexesLongInputsIn64Bits) {
    const PlotColors colors;
    // n x column passes 2^32 here, so 32-bit index products would wrap.
    std::vector<double> samples(6'000'000, 0.0);
    samples.back() = 1000.0;
    const SingleTraceWaveform trace = paintSingleTraceWaveform(samples, colors);
    const double mean = 1000.0 / 6e6;
    EXPECT_DOUBLE_EQ(trace.scale, (1000.0 - mean) * 1.1);
    // Only the last column holds the spike: 99 - nearest(100 / 1.1) = 8.
    EXPECT_NEAR(topmostPainted(trace.image, 2 * 819), 2 * 8, 1);
    EXPECT_NEAR(topmostPainted(trace.image, 2 * 818), 2 * 99, 1);
    EXPECT_EQ(trace.image.pixel(2 * 819, 2 * 8 + 1), colors.spectrum.rgba());

    const SingleTraceWaveform empty = paintSingleTraceWaveform({}, colors);
    EXPECT_EQ(empty.scale, 1.1);
    EXPECT_EQ(topmostPainted(empty.image, 800), -1);
}

TEST(WaveformPainters, LanesShowTheSelectedBankAndLeaveShortBanksEmptyBelow) {
    const PlotColors colors;
    const std::size_t channels = 24;
    std::vector<std::int16_t> frames(4800 * channels);
    for (std::size_t f = 0; f < 4800; ++f) {
        for (std::size_t c = 0; c < channels; ++c) {
            frames[f * channels + c] = static_cast<std::int16_t>(std::lround(
                1000.0 * (1.0 + static_cast<double>(c)) * std::sin(0.01 * static_cast<double>(f))));
        }
    }
    const WaveformFrames all{frames, channels, 0};
    const QImage image = paintLanesWaveform(all, 19, 48000.0, 0.1, colors);
    for (int lane = 0; lane < 16; ++lane) {
        int selected = 0;
        int dim = 0;
        for (int y = nearestInt(12.5 * lane); y < nearestInt(12.5 * (lane + 1)); ++y) {
            for (int x = 0; x < 820; ++x) {
                const QRgb p = image.pixel(2 * x, 2 * y);
                selected += p == colors.waveform.rgba();
                dim += p == colors.waveformDim.rgba();
            }
        }
        // Channels 17 to 24 (from 1) fill the top eight lanes; channel 20 is the selected one.
        EXPECT_EQ(selected > 0, lane == 3) << lane;
        EXPECT_EQ(dim > 0, lane < 8 && lane != 3) << lane;
    }
}

TEST(WaveformPainters, OverlayDrawsTheSelectedChannelOpaqueOnTop) {
    const std::size_t channels = 16;
    std::vector<std::int16_t> frames(2000 * channels);
    for (std::size_t f = 0; f < 2000; ++f) {
        for (std::size_t c = 0; c < channels; ++c) {
            frames[f * channels + c] = static_cast<std::int16_t>(
                std::lround(8000.0 * std::sin(0.02 * static_cast<double>(f) + static_cast<double>(c))));
        }
    }
    const QImage image = paintOverlayWaveform({frames, channels, 0}, 3, 48000.0, 0.02);
    const QRgb selected = QColor::fromHsv((3 * 360 / 16 + 11) % 360, 200, 235).rgba();
    const QRgb other = QColor::fromHsv((5 * 360 / 16 + 11) % 360, 200, 235, 110).rgba();
    int selectedPixels = 0;
    int otherPixels = 0;
    for (int y = 0; y < 400; y += 2) {
        for (int x = 0; x < 1640; x += 2) {
            selectedPixels += image.pixel(x, y) == selected;
            otherPixels += image.pixel(x, y) == other;
        }
    }
    EXPECT_GT(selectedPixels, 820);  // at least one pixel per column
    EXPECT_GT(otherPixels, 0);
    EXPECT_EQ(topmostPainted(paintOverlayWaveform({{}, channels, 0}, 3, 48000.0, 0.02), 100), -1);
}

TEST(DiagnosticState, RingAndHistoryStayWithinTheirCapacityForAnyBlock) {
    FrameRing ring;
    ring.configure(2, 16);
    const std::vector<std::int16_t> first = sineBlock(5, 2, 0, 100.0, 1.0, 50.0);
    ring.append(first);
    std::vector<std::int16_t> longBlock(40 * 2);
    for (std::size_t i = 0; i < longBlock.size(); ++i) longBlock[i] = static_cast<std::int16_t>(i);
    ring.append(longBlock);  // longer than the ring, written from the middle of it
    EXPECT_EQ(ring.fill(), 16u);
    EXPECT_EQ(ring.storedSamples(), 32u);
    std::vector<std::int16_t> newest;
    ring.copyNewest(100, 0, 2, newest);
    EXPECT_EQ(newest, std::vector<std::int16_t>(longBlock.end() - 32, longBlock.end()));
    ring.copyNewest(3, 1, 5, newest);  // one channel from channel 1 on
    EXPECT_EQ(newest, (std::vector<std::int16_t>{75, 77, 79}));

    SampleHistory history;
    history.setCapacity(10);
    history.append(first, 5, 2, 0);
    history.append(longBlock, 40, 2, 1);
    EXPECT_EQ(history.size(), 10u);
    EXPECT_EQ(history.capacity(), 10u);
    std::vector<double> samples;
    history.copyNewest(10, samples);
    for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(samples[i], 2.0 * (30 + i) + 1.0) << i;
    history.setCapacity(4);  // shrinking keeps the newest
    history.copyNewest(10, samples);
    EXPECT_EQ(samples, (std::vector<double>{73, 75, 77, 79}));
}

}  // namespace
}  // namespace zk::render
