#include "render/diagnostic_renderer.h"

#include <gtest/gtest.h>

#include <QColor>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <numbers>
#include <thread>
#include <vector>

#include "diagnostic_test_support.h"
#include "render/magma_colormap.h"

namespace zk::render {
namespace {

using test::axisColumn;
using test::identityProfile;
using test::sineBlock;
using test::TestOwner;
using test::topmostPainted;

constexpr double kRate = 48000.0;
constexpr std::size_t kFrames = 8192;
constexpr double kToneHz = 171.0 * kRate / kFrames;  // bin 171 of the 8192-point window

std::vector<double> channelOf(const std::vector<std::int16_t>& block, std::size_t channels, std::size_t c) {
    std::vector<double> out;
    for (std::size_t i = c; i < block.size(); i += channels) out.push_back(block[i]);
    return out;
}

struct Moments {
    double mean = 0.0;
    double rmsDbfs = 0.0;
};

Moments moments(const std::vector<double>& x) {
    double sum = 0.0;
    for (const double v : x) sum += v;
    const double mean = sum / static_cast<double>(x.size());
    double squares = 0.0;
    for (const double v : x) squares += (v - mean) * (v - mean);
    return {mean, 20.0 * std::log10(std::sqrt(squares / static_cast<double>(x.size())) / 32768.0)};
}

TEST(DiagnosticRenderer, FullScaleSineGivesItsLevelRmsSpectrumPeakWaterfallRowAndSummary) {
    TestOwner owner;
    const std::size_t channels = 8;
    owner.settings.diagnosticChannel = 3;
    const std::vector<std::int16_t> block = sineBlock(kFrames, channels, 3, 32767.0, kToneHz, kRate);
    ASSERT_TRUE(owner.render(block, identityProfile(channels, 48000)));

    const std::vector<double> tone = channelOf(block, channels, 3);
    const Moments m = moments(tone);
    EXPECT_NEAR(m.rmsDbfs, -3.0106, 1e-3);  // the sine's own RMS, computed here in double
    ASSERT_EQ(owner.meters.rmsDbfs.size(), channels);
    EXPECT_NEAR(owner.meters.rmsDbfs[3], m.rmsDbfs, 1e-9);
    EXPECT_EQ(owner.meters.rmsDbfs[0], -120.0);
    ASSERT_EQ(owner.meters.channelPeaks.size(), 8);
    EXPECT_NEAR(owner.meters.channelPeaks[3].toDouble(), 20.0 * std::log10(32767.0 / 32768.0), 1e-9);

    // Level bar of channel 3: eight 102.5-wide cells, bars 14 wide and 184 high from the top.
    const PlotColors colors;
    const QImage levels = owner.image("levels");
    ASSERT_EQ(levels.size(), QSize(1640, 400));
    const int barX = 2 * (3 * 102.5 + 51.25);
    const double fillTop = 2.0 * (1.0 - (96.0 + m.rmsDbfs) / 96.0) * 184.0;  // canvas rows
    EXPECT_EQ(levels.pixel(barX, static_cast<int>(std::ceil(fillTop)) + 1), QColor(0xfb, 0x71, 0x85).rgba());
    EXPECT_EQ(levels.pixel(barX, static_cast<int>(std::floor(fillTop)) - 1), colors.grid.rgba());
    EXPECT_EQ(levels.pixel(barX, 1), QColor(0xfb, 0x71, 0x85).rgba());  // peak mark at 0 dBFS
    EXPECT_EQ(levels.pixel(2 * 51, 200), colors.grid.rgba());           // a silent channel's empty track

    // Spectrum: the curve reaches the top only in the tone's column and the one after it, whose first
    // bin is the tone's.
    const QImage spectrum = owner.image("spectrum");
    const int toneColumn = axisColumn(kToneHz, kRate);
    int highest = 400;
    for (int x = 0; x < 1640; ++x) {
        const int top = topmostPainted(spectrum, x);
        if (top >= 0) highest = std::min(highest, top);
    }
    EXPECT_EQ(highest, 0);
    for (int x = 0; x < 820; ++x) {
        const bool atTop = topmostPainted(spectrum, 2 * x) == 0;
        if (atTop) {
            EXPECT_TRUE(x >= toneColumn - 1 && x <= toneColumn + 2) << x;
        }
        if (x == toneColumn) {
            EXPECT_TRUE(atTop);
        }
    }
    EXPECT_GT(topmostPainted(spectrum, 2 * (toneColumn - 20)), 40);

    // Waterfall: 0 dBFS is the top of magma in the tone's column, the noise floor its bottom far away.
    const QImage waterfall = owner.image("waterfall");
    ASSERT_EQ(waterfall.size(), QSize(820, 200));
    EXPECT_EQ(waterfall.pixel(toneColumn, 0), qRgb(252, 253, 191));
    EXPECT_EQ(waterfall.pixel(0, 0), qRgb(0, 0, 4));
    EXPECT_EQ(waterfall.pixel(700, 0), qRgb(0, 0, 4));
    EXPECT_EQ(waterfall.pixel(toneColumn, 1), colors.waterfallBg.rgba());

    // Single trace (mode 0): the whole 8192-sample history, scaled by its largest excursion.
    double excursion = 0.0;
    for (const double v : tone) excursion = std::max(excursion, std::abs(v - m.mean));
    EXPECT_DOUBLE_EQ(owner.outputs.diagnosticWaveformScaleAbs.load(), excursion * 1.1);
    const QImage waveform = owner.image("waveform");
    int traceTop = 400;
    for (int x = 0; x < 1640; ++x) {
        const int top = topmostPainted(waveform, x);
        if (top >= 0) traceTop = std::min(traceTop, top);
    }
    EXPECT_NEAR(traceTop, 2 * (99 - 91), 1);  // 99 - nearest(100 x excursion / scale)

    // Summary, with the peak level from a naive DFT of the tone's bin.
    std::complex<double> bin;
    double weights = 0.0;
    for (std::size_t i = 0; i < kFrames; ++i) {
        const double w =
            0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / (kFrames - 1.0)));
        weights += w;
        bin += (tone[i] - m.mean) * w *
               std::polar(1.0, -2.0 * std::numbers::pi * static_cast<double>(171 * i % kFrames) / kFrames);
    }
    const double peakDbfs = 20.0 * std::log10(2.0 * std::abs(bin) / (weights * 32768.0));
    const auto [lo, hi] = std::minmax_element(tone.begin(), tone.end());
    const QString expected = QStringLiteral(
                                 "CH 4 | DC %1 counts | RMS -3.0 dBFS | raw %2..%3 | peak 1002.0 Hz / %4 "
                                 "dBFS | silent 7/8 | win 8192 (df 5.9 Hz)")
                                 .arg(QString::number(m.mean, 'f', 1), QString::number(*lo, 'f', 0),
                                      QString::number(*hi, 'f', 0), QString::number(peakDbfs, 'f', 1));
    EXPECT_EQ(owner.state.summary, expected);
    EXPECT_EQ(owner.state.summarySilentChannels, 7);  // the count the summary's colour follows
    EXPECT_EQ(owner.outputs.diagnosticRevision.load(), 1u);
    EXPECT_EQ(owner.outputs.diagnosticSource.load(), kDiagnosticSourceLive);
    EXPECT_DOUBLE_EQ(owner.outputs.diagnosticSpectrumBinHz.load(), kRate / 8192.0);

    // The next row pushes this one down.
    ASSERT_TRUE(owner.render(block, identityProfile(channels, 48000), true, 1'100'000'000));
    EXPECT_EQ(owner.image("waterfall").pixel(toneColumn, 1), qRgb(252, 253, 191));
    EXPECT_NEAR(owner.outputs.diagnosticWaterfallSpanS.load(), 200 * 0.1, 1e-9);
}

// A pure tone on a bin in the middle of one of the 32 bands of the spectrum axis (100 Hz to Nyquist, or
// Nyquist / 100 to Nyquist below 20 kHz): that band's bar reads the tone's level from a naive DFT on
// the plot's -120..0 dBFS scale, and bars away from it stay near empty.
TEST(DiagnosticRenderer, SpectrumBarsOfAPureTonePeakInItsBand) {
    struct Case {
        double rate;
        std::size_t window;  // the renderer's spectrum window for this rate
        int band;
    };
    for (const Case& c : {Case{48000.0, 8192, 16}, Case{16000.0, 2048, 9}, Case{8000.0, 1024, 25}}) {
        const double nyquist = c.rate / 2.0;
        const double lowest = std::min(nyquist / 100.0, 100.0);
        const double ratio = std::log(nyquist / lowest) / 32.0;
        const auto bin = static_cast<std::size_t>(
            std::lround(lowest * std::exp((c.band + 0.5) * ratio) * c.window / c.rate));
        const double toneHz = static_cast<double>(bin) * c.rate / c.window;
        const double position = std::log(toneHz / lowest) / ratio - c.band;  // 0..1 across the band
        ASSERT_GT(position, 0.3) << c.rate;
        ASSERT_LT(position, 0.7) << c.rate;

        TestOwner owner;
        const std::vector<std::int16_t> block = sineBlock(c.window, 1, 0, 8000.0, toneHz, c.rate);
        ASSERT_TRUE(owner.render(block, identityProfile(1, static_cast<std::uint32_t>(c.rate))));
        const QVariantList bars = owner.meters.spectrumLevels;
        ASSERT_EQ(bars.size(), 32) << c.rate;

        std::complex<double> sum;
        double weights = 0.0;
        const std::vector<double> tone = channelOf(block, 1, 0);
        const double mean = moments(tone).mean;
        for (std::size_t i = 0; i < c.window; ++i) {
            const double w =
                0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / (c.window - 1.0)));
            weights += w;
            sum += (tone[i] - mean) * w *
                   std::polar(1.0, -2.0 * std::numbers::pi * static_cast<double>(bin * i % c.window) /
                                       static_cast<double>(c.window));
        }
        const double toneDbfs = 20.0 * std::log10(2.0 * std::abs(sum) / (weights * 32768.0));
        EXPECT_NEAR(bars[c.band].toDouble(), (toneDbfs + 120.0) / 120.0, 1e-9) << c.rate;
        for (int k = 0; k < 32; ++k) {
            const double level = bars[k].toDouble();
            EXPECT_GE(level, 0.0) << c.rate << " bar " << k;
            EXPECT_LE(level, 1.0) << c.rate << " bar " << k;
            if (std::abs(k - c.band) > 2) {
                EXPECT_LT(level, 0.25) << c.rate << " bar " << k;
            }
        }
    }
}

TEST(DiagnosticRenderer, ConstantChannelIsSilentAndGathersThroughTheProfileMap) {
    TestOwner owner;
    // Three wire channels; logical 0 is wire 2 (the constant), logical 1 is wire 0 (zero).
    std::vector<std::int16_t> block(4800 * 3, 0);
    for (std::size_t f = 0; f < 4800; ++f) block[f * 3 + 2] = 1000;
    ASSERT_TRUE(owner.render(block, test::makeProfile(3, {2, 0}, 48000)));
    EXPECT_EQ(owner.state.summary,
              QStringLiteral("CH 1 | DC 1000.0 counts | RMS -120.0 dBFS | raw 1000..1000 | peak 0.0 Hz / "
                             "-120.0 dBFS | silent 2/2 | win 4096 (df 11.7 Hz)"));
    EXPECT_EQ(owner.state.summarySilentChannels, 2);
    EXPECT_NEAR(owner.meters.peakDbfs[0], 20.0 * std::log10(1000.0 / 32768.0), 1e-9);  // about -30.3
    EXPECT_EQ(owner.meters.peakDbfs[1], -120.0);
    EXPECT_EQ(owner.meters.spectrumLevels, QVariantList(32, 0.0));  // nothing above the floor
}

TEST(DiagnosticRenderer, BlocksThatDoNotFitTheProfileChangeNothing) {
    TestOwner owner;
    const std::vector<std::int16_t> seven(7, 100);
    EXPECT_FALSE(owner.render(seven, identityProfile(2, 48000)));
    EXPECT_FALSE(owner.render(seven, test::makeProfile(7, {7}, 48000)));  // wire index out of range
    EXPECT_FALSE(owner.render({}, identityProfile(2, 48000)));
    EXPECT_EQ(owner.state.accumulators.channels(), 0u);
    EXPECT_EQ(owner.state.ring.fill(), 0u);
    EXPECT_EQ(owner.outputs.diagnosticRevision.load(), 0u);
}

TEST(DiagnosticRenderer, RendersAtMostEvery50MsButAccumulatesEveryBlock) {
    TestOwner owner;
    const auto profile = identityProfile(2, 48000);
    const std::vector<std::int16_t> block = sineBlock(480, 2, 0, 1000.0, 1000.0, kRate);
    EXPECT_TRUE(owner.render(block, profile, false, 5'000'000'000));
    EXPECT_FALSE(owner.render(block, profile, false, 5'010'000'000));
    EXPECT_EQ(owner.state.accumulators.frames, 480u);
    EXPECT_EQ(owner.state.skippedBlocks, 1u);
    EXPECT_TRUE(owner.render(block, profile, false, 5'050'000'000));
    EXPECT_EQ(owner.state.accumulators.frames, 0u);
    EXPECT_TRUE(owner.render(block, profile, true, 5'051'000'000));
    EXPECT_EQ(owner.outputs.diagnosticRevision.load(), 3u);
    // 300 samples of history at 48 kHz: a 256-point spectrum.
    TestOwner shortHistory;
    ASSERT_TRUE(shortHistory.render(sineBlock(300, 1, 0, 1000.0, 1000.0, kRate), identityProfile(1, 48000)));
    EXPECT_DOUBLE_EQ(shortHistory.outputs.diagnosticSpectrumBinHz.load(), 48000.0 / 256.0);
}

// Fewer samples than the views' lower bounds (256 for the trace, 64 for the lanes): each shows what there
// is, and without a spectrum window the spectrum stays transparent and the waterfall does not scroll.
TEST(DiagnosticRenderer, ShortBlocksDrawWhatTheyHave) {
    TestOwner owner;
    const auto profile = identityProfile(1, 48000);
    ASSERT_TRUE(owner.render(sineBlock(100, 1, 0, 20000.0, 1200.0, kRate), profile));
    EXPECT_TRUE(owner.state.summary.endsWith(
        QStringLiteral("| peak 0.0 Hz / -120.0 dBFS | silent 0/1 | win 0 (df 0.0 Hz)")))
        << owner.state.summary.toStdString();
    EXPECT_EQ(owner.state.summarySilentChannels, 0);
    EXPECT_GE(topmostPainted(owner.image("waveform"), 2 * 819), 0);
    EXPECT_EQ(topmostPainted(owner.image("spectrum"), 800), -1);
    EXPECT_EQ(owner.image("waterfall").size(), QSize(2, 2));
    EXPECT_EQ(owner.outputs.diagnosticSpectrumBinHz.load(), 0.0);
    EXPECT_TRUE(owner.meters.spectrumLevels.isEmpty());

    // At 1 kHz the trace wants 100 samples, below its bound of 256, and the history holds 150.
    TestOwner slow;
    slow.settings.setWaveformWindowS(0.1);
    ASSERT_TRUE(slow.render(sineBlock(150, 1, 0, 20000.0, 50.0, 1000.0), identityProfile(1, 1000)));
    EXPECT_GE(topmostPainted(slow.image("waveform"), 2 * 819), 0);

    TestOwner lanes;
    lanes.settings.setWaveformMode(1);
    ASSERT_TRUE(lanes.render(sineBlock(40, 1, 0, 20000.0, 1200.0, kRate), profile));
    EXPECT_GE(topmostPainted(lanes.image("waveform"), 2 * 819), 0);
}

TEST(DiagnosticRenderer, HistoryAndRingStayBoundedByTheirCapacities) {
    TestOwner owner;
    const std::vector<std::int16_t> block = sineBlock(100'000, 2, 1, 5000.0, 50.0, 8000.0);
    ASSERT_TRUE(owner.render(block, identityProfile(2, 8000)));
    EXPECT_EQ(owner.state.history.capacity(), 48000u);
    EXPECT_EQ(owner.state.history.size(), 48000u);
    EXPECT_EQ(owner.state.ring.fill(), 16384u);
    EXPECT_EQ(owner.state.ring.storedSamples(), 2u * 16384u);
    std::vector<std::int16_t> newest;
    owner.state.ring.copyNewest(16384, 0, 2, newest);
    EXPECT_TRUE(std::equal(newest.begin(), newest.end(), block.end() - 2 * 16384));
}

TEST(DiagnosticRenderer, AnyProfileRateStaysWithinTheByteBudgets) {
    struct Case {
        std::uint32_t channels;
        std::uint32_t rateHz;
        std::size_t historySamples;
        std::size_t ringFrames;
    };
    for (const Case& c : {Case{128, 48000, 288000, 48000},
                          Case{128, 4'000'000, kDiagnosticHistoryBytes / 8, kDiagnosticRingBytes / 256},
                          Case{128, 20'000'000, kDiagnosticHistoryBytes / 8, kDiagnosticRingBytes / 256}}) {
        TestOwner owner;
        ASSERT_TRUE(owner.render(std::vector<std::int16_t>(256 * c.channels, 7),
                                 identityProfile(c.channels, c.rateHz)))
            << c.rateHz;
        EXPECT_EQ(owner.state.history.capacity(), c.historySamples) << c.rateHz;
        EXPECT_EQ(owner.state.ring.capacityFrames(), c.ringFrames) << c.rateHz;
    }
}

TEST(DiagnosticRenderer, LanesAndOverlayModesDrawTheSelectedBank) {
    TestOwner owner;
    const std::size_t channels = 24;
    std::vector<std::int16_t> block(4800 * channels);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::int16_t>((i * 7919) % 2001) - 1000;
    owner.settings.diagnosticChannel = 19;
    owner.settings.setWaveformMode(1);
    ASSERT_TRUE(owner.render(block, identityProfile(channels, 48000)));
    const QImage lanes = owner.image("waveform");
    EXPECT_GE(topmostPainted(lanes, 800), 0);
    for (int y = 2 * 101; y < 400; ++y)
        ASSERT_EQ(qAlpha(lanes.pixel(800, y)), 0) << y;  // lanes 9 to 16 empty

    owner.settings.setWaveformMode(2);
    ASSERT_TRUE(owner.render(block, identityProfile(channels, 48000)));
    const QRgb selected = QColor::fromHsv((3 * 360 / 16 + 11) % 360, 200, 235).rgba();
    int found = 0;
    const QImage overlay = owner.image("waveform");
    for (int y = 0; y < 400; ++y) found += overlay.pixel(800, y) == selected;
    EXPECT_GT(found, 0);
}

TEST(DiagnosticRenderer, WaterfallBackgroundChangeRestartsTheHistory) {
    TestOwner owner;
    const auto profile = identityProfile(1, 48000);
    const std::vector<std::int16_t> block = sineBlock(4096, 1, 0, 10000.0, 1000.0, kRate);
    ASSERT_TRUE(owner.render(block, profile));
    setPlotPalette(owner.context, {{"waterfallBg", "#08111f"}});
    EXPECT_FALSE(owner.state.waterfall.image.isNull());
    setPlotPalette(owner.context, {{"waterfallBg", "#ff0000"}, {"cursor", "#00ff00"}});
    EXPECT_TRUE(owner.state.waterfall.image.isNull());
    ASSERT_TRUE(owner.render(block, profile));
    EXPECT_EQ(owner.image("waterfall").pixel(10, 199), qRgb(255, 0, 0));
}

// The painters run on a worker thread while the GUI side changes settings and the palette and QML reads
// images; the sanitizer build watches for races.
TEST(DiagnosticRenderer, PaintersOnAWorkerWhileSettersRunOnAnother) {
    TestOwner owner;
    const auto profile = identityProfile(16, 48000);
    const std::vector<std::int16_t> block = sineBlock(1024, 16, 5, 20000.0, 1500.0, kRate);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 60; ++i) owner.render(block, profile, true, 1'000'000'000 + i * 1'000'000);
        done = true;
    });
    int toggles = 0;
    while (!done) {
        owner.settings.setWaveformMode(toggles % 3);
        owner.settings.setDiagnosticChannel(toggles % 20);
        owner.settings.setWaveformWindowS(0.1 + 0.1 * (toggles % 4));
        owner.settings.setWaterfallColormap(toggles % 4);
        setPlotPalette(owner.context, {{"waterfallBg", toggles % 2 ? "#102030" : "#203040"}});
        (void)owner.image("waterfall");
        (void)owner.image("waveform");
        {
            const std::lock_guard lock(owner.channelMeterMutex);
            const QVariantList bars = owner.meters.spectrumLevels;
            EXPECT_TRUE(bars.isEmpty() || bars.size() == 32);
        }
        ++toggles;
    }
    worker.join();
    EXPECT_EQ(owner.outputs.diagnosticRevision.load(), 60u);
    EXPECT_GT(toggles, 0);
}

}  // namespace
}  // namespace zk::render
