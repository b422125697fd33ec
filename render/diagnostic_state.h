#pragma once

#include <QString>
#include <QVariantList>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "render/waterfall_painter.h"

namespace zk::render {

// The display settings the diagnostic painters read. Every member is an atomic written by the GUI thread
// (the UiController's setters) and read by the diagnostics and replay threads.
struct DiagnosticDisplaySettings {
    std::atomic<int> diagnosticChannel{0};     // selected channel; the renderer clamps it to the profile
    std::atomic<int> waveformMode{0};          // 0 single trace, 1 lanes, 2 overlay
    std::atomic<double> waveformWindowS{0.5};  // seconds shown by the single trace and the lanes
    std::atomic<double> overlayWindowS{0.02};  // seconds shown by the overlay view
    std::atomic<int> waterfallColormap{3};     // 0 viridis, 1 Turbo, 2 jet, 3 magma

    // Each stores its clamped value and returns whether the stored value changed, so the owner saves and
    // signals only then. NaN seconds are refused.
    bool setWaveformMode(int mode);
    bool setWaveformWindowS(double seconds);
    bool setWaterfallColormap(int index);
    bool setDiagnosticChannel(int channel);
};

// Running sums of every logical channel since the last render.
struct ChannelAccumulators {
    std::vector<double> sum;
    std::vector<double> sumSquares;
    std::vector<double> minimum;  // largest finite double until a sample arrives
    std::vector<double> maximum;  // lowest finite double until a sample arrives
    std::uint64_t frames = 0;

    void reset(std::size_t channels);
    [[nodiscard]] std::size_t channels() const { return sum.size(); }
};

// Byte budgets of the sample history and the frame ring, whatever the profile's rate and channel count.
inline constexpr std::size_t kDiagnosticHistoryBytes = std::size_t{32} << 20;
inline constexpr std::size_t kDiagnosticRingBytes = std::size_t{64} << 20;

// The selected channel's samples as doubles, newest last, in a ring that never grows past its capacity.
class SampleHistory {
  public:
    // Keeps the newest samples that fit the new capacity.
    void setCapacity(std::size_t capacity);
    void clear();
    // Appends samples[offset + k x stride] of each of the frames; only the newest capacity() of them when
    // the block is longer than the ring.
    void append(std::span<const std::int16_t> samples, std::size_t frames, std::size_t stride,
                std::size_t offset);
    // The newest min(count, size()) samples, oldest first, into out.
    void copyNewest(std::size_t count, std::vector<double>& out) const;

    [[nodiscard]] std::size_t size() const { return size_; }
    [[nodiscard]] std::size_t capacity() const { return ring_.size(); }

  private:
    std::vector<double> ring_;
    std::size_t next_ = 0;  // slot of the next sample
    std::size_t size_ = 0;
};

// int16 frames of every logical channel, the newest overwriting the oldest.
class FrameRing {
  public:
    // Empties the ring when the channel count changes, and re-allocates it zeroed and empty when
    // channels x capacity no longer matches its size.
    void configure(std::size_t channels, std::size_t capacityFrames);
    // Appends whole interleaved frames; only the newest capacityFrames() of a longer block are kept.
    void append(std::span<const std::int16_t> frames);
    // The newest min(frames, fill()) frames of channels [firstChannel, firstChannel + channelCount),
    // oldest first, interleaved, into out.
    void copyNewest(std::size_t frames, std::size_t firstChannel, std::size_t channelCount,
                    std::vector<std::int16_t>& out) const;

    [[nodiscard]] std::size_t channels() const { return channels_; }
    [[nodiscard]] std::size_t capacityFrames() const { return capacityFrames_; }
    [[nodiscard]] std::size_t fill() const { return fill_; }
    [[nodiscard]] std::size_t writePosition() const { return writePosition_; }
    [[nodiscard]] std::size_t storedSamples() const { return samples_.size(); }

  private:
    std::vector<std::int16_t> samples_;  // capacityFrames_ frames of channels_ samples
    std::size_t channels_ = 0;
    std::size_t capacityFrames_ = 0;
    std::size_t writePosition_ = 0;  // frame slot written next
    std::size_t fill_ = 0;
};

// Everything the diagnostics renderer keeps between blocks. Guarded by the UiController's diagnostics
// mutex.
struct DiagnosticsState {
    ChannelAccumulators accumulators;
    SampleHistory history;
    FrameRing ring;
    std::int64_t lastRenderNs = 0;    // steady clock of the last render; 0 before the first
    std::uint64_t skippedBlocks = 0;  // blocks that only accumulated because a render was not due
    WaterfallState waterfall;
    QString summary;                 // diagnosticSummary
    int summarySilentChannels = -1;  // diagnosticSilentChannels: what the summary counts; -1 for a note

    // A summary that is a note ("Waiting for raw samples"), not a render's: it counts no channel.
    void setSummaryNote(QString note) {
        summary = std::move(note);
        summarySilentChannels = -1;
    }
};

// Per-channel results of the last render for the channel meters. Guarded by the UiController's
// channel-meter mutex.
struct ChannelMeters {
    std::vector<double> rmsDbfs;
    std::vector<double> peakDbfs;
    QVariantList channelPeaks;    // peak dBFS per channel, as QML reads it
    QVariantList spectrumLevels;  // the selected channel's spectrum bars, 0..1; empty without a spectrum
};

// What a render publishes. Every member is an atomic written by the rendering thread and read by any
// thread without a lock.
struct DiagnosticOutputs {
    std::atomic<std::uint64_t> diagnosticRevision{0};     // renders so far; only grows
    std::atomic<int> diagnosticSource{0};                 // source of the last render: 1 live, 2 replay
    std::atomic<double> diagnosticWaveformScaleAbs{0.0};  // amplitude at the single trace's top edge
    std::atomic<double> diagnosticSpectrumBinHz{0.0};     // bin spacing of the spectrum; 0 without one
    std::atomic<double> diagnosticWaterfallSpanS{0.0};    // seconds from the waterfall's top to its bottom
    std::atomic<std::uint64_t> collectUs{0};              // gathering and accumulating, summed over blocks
    std::atomic<std::uint64_t> collectCount{0};           // blocks accumulated
    std::atomic<std::uint64_t> renderUs{0};               // whole renders, summed
    std::atomic<std::uint64_t> renderCount{0};            // renders
    std::atomic<std::uint64_t> levelsUs{0};               // per stage, summed over renders
    std::atomic<std::uint64_t> waveformUs{0};
    std::atomic<std::uint64_t> spectrumUs{0};
    std::atomic<std::uint64_t> waterfallUs{0};
};

}  // namespace zk::render
