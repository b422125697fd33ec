// Every workspace and every dialog of the main window, drawn by OpenGL on a private Xvfb in each
// language and at a laptop's size as well as the full one, with long realistic texts everywhere: no text
// is wider than its box unless it is elided with the whole text in a tooltip that shows under the
// pointer, no text leaves the window or hides under a popup, no two texts overlap, every control is wide
// enough for its value, and every action is in sight or behind a scroll bar that shows.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRectF>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTextLayout>
#include <QTextOption>
#include <QVariantList>
#include <QVariantMap>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/i18n_manager.h"
#include "app/settings_rules.h"
#include "message_capture.h"
#include "qml_test_context.h"
#include "render_environment.h"

namespace {

struct Workspace {
    const char* name;
    int index;
};

// The sidebar's workspaces by stack index.
const Workspace kWorkspaces[] = {{"live", 0},   {"project", 1}, {"analysis", 2},    {"camera", 3},
                                 {"replay", 4}, {"device", 5},  {"diagnostics", 6}, {"settings", 7}};

// One text as drawn: its item, the scene rectangle its glyphs cover, and that rectangle cut by the
// clipping items above it.
struct DrawnText {
    QQuickItem* item;
    QRectF glyphs;
    QRectF shown;
};

bool effectivelyShown(QQuickItem* item) {
    for (QQuickItem* at = item; at; at = at->parentItem())
        if (at->opacity() <= 0.0) return false;
    return item->isVisible();
}

// The full text of a tooltip attached to the item or to one of the few items that hold it (a
// button's label sits inside the button).
QString tooltipText(QQuickItem* item) {
    QQuickItem* at = item;
    for (int depth = 0; at && depth < 4; ++depth, at = at->parentItem()) {
        for (QObject* child : at->children())
            if (child->inherits("QQuickToolTipAttached")) return child->property("text").toString();
    }
    return {};
}

// The rectangle inside the text item that its glyphs cover, from its alignment and padding.
QRectF glyphRect(QQuickItem* text) {
    const qreal cw = text->property("contentWidth").toReal();
    const qreal ch = text->property("contentHeight").toReal();
    const qreal left = text->property("leftPadding").toReal(),
                right = text->property("rightPadding").toReal();
    const qreal top = text->property("topPadding").toReal(),
                bottom = text->property("bottomPadding").toReal();
    const int h = text->property("effectiveHorizontalAlignment").toInt();
    const int v = text->property("verticalAlignment").toInt();
    const qreal w = text->width() - left - right, hh = text->height() - top - bottom;
    qreal x = left, y = top;
    if (h & Qt::AlignRight) x = left + w - cw;
    if (h & Qt::AlignHCenter) x = left + (w - cw) / 2;
    if (v & Qt::AlignBottom) y = top + hh - ch;
    if (v & Qt::AlignVCenter) y = top + (hh - ch) / 2;
    return text->mapRectToScene(QRectF(x, y, cw, ch));
}

QRectF clippedBy(QQuickItem* item, QRectF rect, bool* scrolls) {
    for (QQuickItem* at = item->parentItem(); at; at = at->parentItem()) {
        if (at->inherits("QQuickFlickable")) *scrolls = true;
        if (at->clip()) rect = rect.intersected(at->mapRectToScene(at->boundingRect()));
    }
    return rect;
}

// The item's place in the tree by the names and types of its holders, the same for every row of a list.
QString kindOf(QQuickItem* item) {
    QStringList path;
    for (QQuickItem* at = item; at; at = at->parentItem())
        path.prepend(at->objectName().isEmpty() ? QString::fromLatin1(at->metaObject()->className())
                                                : at->objectName());
    return path.join('/');
}

QString describe(QQuickItem* item) {
    QStringList path;
    for (QQuickItem* at = item; at && path.size() < 6; at = at->parentItem()) {
        const QString name = at->objectName();
        path.prepend(name.isEmpty() ? QString::fromLatin1(at->metaObject()->className()).section('_', 0, 0)
                                    : name);
    }
    const QRectF r = item->mapRectToScene(item->boundingRect());
    return QStringLiteral("\"%1\" [%2] at %3,%4 %5x%6 needs %7 px at %8 px")
        .arg(item->property("text").toString().left(60), path.join('/'))
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .arg(item->implicitWidth())
        .arg(item->property("font").value<QFont>().pixelSize());
}

bool isA(QObject* object, const char* className) { return object && object->inherits(className); }

// A text that is the shown value of a combo box or spin box: judged with its control.
bool isControlValue(QQuickItem* text) {
    int depth = 0;
    for (QQuickItem* at = text->parentItem(); at && depth < 3; at = at->parentItem(), ++depth)
        if (isA(at, "QQuickComboBox") || isA(at, "QQuickSpinBox")) return true;
    return false;
}

// The label a combo box shows its value in (a themed combo holds it in a loader).
QQuickItem* comboLabel(QQuickItem* combo) {
    auto* content = combo->property("contentItem").value<QQuickItem*>();
    if (isA(content, "QQuickLoader")) content = content->property("item").value<QQuickItem*>();
    return isA(content, "QQuickText") || isA(content, "QQuickTextInput") ? content : nullptr;
}

qreal paddedWidth(QQuickItem* text) {
    return text->width() - text->property("leftPadding").toReal() - text->property("rightPadding").toReal();
}

// A scroll bar the user can see: shown, with its handle drawn, and shorter than its track.
bool scrollBarShown(QQuickItem* bar) {
    if (!bar || !bar->isVisible() || bar->width() <= 0 || bar->height() <= 0) return false;
    auto* handle = bar->property("contentItem").value<QQuickItem*>();
    return effectivelyShown(bar) && handle && handle->isVisible() && handle->opacity() > 0.0 &&
           bar->property("size").toReal() < 0.999;
}

// The vertical scroll bar shown for a flickable: its own, or that of the scroll view around it.
bool verticalScrollBarShown(QQuickItem* flickable) {
    for (QQuickItem* holder : {flickable, flickable->parentItem()}) {
        if (!holder) continue;
        for (QQuickItem* child : holder->childItems())
            if (isA(child, "QQuickScrollBar") && child->property("orientation").toInt() == Qt::Vertical &&
                scrollBarShown(child))
                return true;
    }
    return false;
}

bool scrollsVertically(QQuickItem* flickable) {
    return flickable->property("interactive").toBool() &&
           flickable->property("contentHeight").toReal() > flickable->height() + 1.0;
}

bool inside(QQuickItem* item, QQuickItem* ancestor) {
    for (QQuickItem* at = item; at; at = at->parentItem())
        if (at == ancestor) return true;
    return false;
}

// A text that wraps where it can and anywhere it must, laid out at its width by words alone: wider
// than its box means it breaks inside a word on screen.
bool breaksInsideAWord(QQuickItem* text) {
    constexpr int kWrapAtWordBoundaryOrAnywhere = 4;
    if (text->property("wrapMode").toInt() != kWrapAtWordBoundaryOrAnywhere) return false;
    const qreal box = paddedWidth(text);
    QTextLayout layout(text->property("text").toString(), text->property("font").value<QFont>());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    bool wider = false;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(box);
        wider = wider || line.naturalTextWidth() > box + 1.0;
    }
    layout.endLayout();
    return wider;
}

// A slider this short moves its value in steps too coarse to set by pointer.
constexpr qreal kMinimumSliderWidth = 96.0;

class TextFit : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = zk::qmltest::openGlUnavailableReason(); !why.empty()) GTEST_SKIP() << why;
        capture_ = std::make_unique<zk::qmltest::MessageCapture>();
        engine_ = std::make_unique<QQmlEngine>();
        context_ = zk::qmltest::installQmlTestContext(*engine_);
        i18n_ = new zk::app::I18nManager(QCoreApplication::instance(), engine_.get());
        engine_->rootContext()->setContextProperty(QStringLiteral("i18n"), i18n_);
        fillController();
        QQmlComponent component(engine_.get(), QUrl(QStringLiteral("qrc:/qt/qml/SorvantaApp/Main.qml")));
        window_ = qobject_cast<QQuickWindow*>(component.create());
        ASSERT_NE(window_, nullptr) << component.errorString().toStdString();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
        // The private screen is larger than the window, which opens at its full size.
        ASSERT_GT(window_->screen()->availableSize().width(), 1680);
        ASSERT_EQ(window_->size(), QSize(1680, 1000));
    }

    void TearDown() override {
        delete window_;
        window_ = nullptr;
        if (i18n_) i18n_->setLanguage(QStringLiteral("en"));
        engine_.reset();
        if (capture_) {
            EXPECT_TRUE(capture_->messages().isEmpty()) << capture_->messages().join('\n').toStdString();
        }
    }

    static QVariantMap record(std::initializer_list<std::pair<const char*, QVariant>> entries) {
        QVariantMap map;
        for (const auto& [key, value] : entries) map.insert(QLatin1String(key), value);
        return map;
    }

    // The longest texts a user meets, in the forms the controller writes them: a 100-character Project
    // name, a 128-channel profile, a live session of the synthetic source that records, a selected
    // Measurement in replay, a saved AnalysisRun, a full event log and every diagnostic row.
    void fillController() {
        QObject* ui = context_.ui;
        ui->setProperty("hasProject", true);
        const QString name = QStringLiteral(
            "Compressor hall west wall leak survey with the 128 channel array, "
            "second visit, morning shift");
        ui->setProperty("projectName", name.leftJustified(100, u'x'));
        ui->setProperty("projectPath", QStringLiteral("/home/operator/Sorvanta Projects/") + name);
        ui->setProperty("projectId", QStringLiteral("P-20260101-080000-7f3a"));
        ui->setProperty("hasProfile", true);
        const QString profile = QStringLiteral("TM27-128-H1.6.2 · 128 ch · 48000 Hz · UDP 6666");
        ui->setProperty("profileInfo", profile);
        ui->setProperty("source", QStringLiteral("Synthetic"));
        ui->setProperty("sessionState", QStringLiteral("Running"));
        ui->setProperty("canStop", true);
        ui->setProperty("recording", true);
        ui->setProperty("canStopRecording", true);
        ui->setProperty("recordingMeasurementId", QStringLiteral("M-20260101-120000-0001"));
        ui->setProperty("recordingElapsedSeconds", 7.4);
        ui->setProperty("recordingMaxDurationSeconds", 600.0);
        ui->setProperty("recordingBytes", 181403648.0);
        ui->setProperty(
            "statusText",
            QStringLiteral("Acquisition degraded: DSP queue / socket overflow (dropped frames are "
                           "growing) - reduce imaging bins or close auxiliary views"));
        ui->setProperty("diagnosticSummary",
                        QStringLiteral("CH 128 | DC -3.2 counts | RMS -23.4 dBFS | raw -18234..17920 | peak "
                                       "2015.6 Hz / -31.2 dBFS | silent 0/128 | win 4096 (df 11.7 Hz)"));
        ui->setProperty("diagnosticChannelCount", 128);
        ui->setProperty("diagnosticMeterPerRow", 32);
        ui->setProperty("diagnosticSpectrumBinHz", 46.875);
        ui->setProperty("diagnosticWaterfallSpanS", 10.0);
        ui->setProperty("spectrumNyquistHz", 24000.0);
        ui->setProperty("waveformWindowS", 0.5);
        ui->setProperty("diagnosticChannel", 127);
        ui->setProperty("waterfallColormap", 3);
        // The map's read-outs and band line of a running map.
        ui->setProperty("hasHeatmap", true);
        ui->setProperty("peakAzimuth", -15.2);
        ui->setProperty("peakElevation", -10.4);
        ui->setProperty("peakLevelDbfs", -31.2);
        ui->setProperty("mapSpanDb", 17.9);
        ui->setProperty("effectiveBandLowHz", 1781.8);
        ui->setProperty("effectiveBandHighHz", 2244.9);
        ui->setProperty("effectiveBinCount", 40);
        ui->setProperty("mapParameterRevision", 128);
        ui->setProperty("noiseProfileValid", true);
        ui->setProperty("noiseSubtractionEnabled", true);
        ui->setProperty("noiseProfileInfo",
                        QStringLiteral("Noise profile 5.0 s · 128 ch · 40 bins · 2026-01-01 11:58:02"));
        // The live algorithm with the most parameters, as the controller lists them: its popup is open
        // over the map.
        const char* const algorithms[] = {"01 DAS / Conventional", "02 Functional", "03 MVDR / Capon",
                                          "04 Robust Capon",       "05 MUSIC",      "06 Auto-MUSIC",
                                          "07 Orthogonal",         "08 SRP-PHAT"};
        int most = 1;
        for (int id = 1; id <= 8; ++id)
            if (zk::app::parameterFieldsOf(id).size() > zk::app::parameterFieldsOf(most).size()) most = id;
        const QVariantList fields = zk::app::parameterFieldsOf(most);
        ui->setProperty("algorithm", QLatin1String(algorithms[most - 1]));
        ui->setProperty("algorithmParameterFields", fields);
        ui->setProperty("analysisAlgorithm", QLatin1String(algorithms[most - 1]));
        ui->setProperty("analysisAlgorithmParameterFields", fields);

        // A Measurement with video in replay, and its saved run.
        const QString measurement = QStringLiteral("M-20260101-120000-0001");
        ui->setProperty("hasSelectedMeasurement", true);
        ui->setProperty("selectedMeasurementIndex", 0);
        ui->setProperty("selectedMeasurementId", measurement);
        ui->setProperty(
            "selectedMeasurementInfo",
            QStringLiteral("2026-01-01 12:00:00 · 10.00 s · 128 ch · 48000 Hz · Synthetic · video"));
        ui->setProperty("selectedMeasurementProfileInfo", profile);
        ui->setProperty("selectedMeasurementProfileHash",
                        QStringLiteral("9f2c4e1b7a6d3c8e5f0a1b2c3d4e5f60718293a4b5c6d7e8f90a1b2c3d4e5f6a"));
        ui->setProperty("selectedMeasurementGeometryHash",
                        QStringLiteral("0b1c2d3e4f5a6b7c8d9e0f1a2b3c4d5e6f708192a3b4c5d6e7f8091a2b3c4d5e"));
        ui->setProperty("selectedMeasurementRawHash",
                        QStringLiteral("3f2a5c7e9b1d4f6a8c0e2b4d6f8a1c3e5b7d9f0a2c4e6b8d0f1a3c5e7b9d9c1d"));
        ui->setProperty("selectedMeasurementRawAvailable", true);
        const QVariantMap run = record({{"id", "AR-20260101-120000-0001"},
                                        {"algorithm", QLatin1String(algorithms[most - 1])},
                                        {"mode", "1/3 octave"},
                                        {"frequencyHz", 2000.0},
                                        {"bandBinCount", 40},
                                        {"frameSize", 4096},
                                        {"hopSize", 2048},
                                        {"gridStepDeg", 0.5},
                                        {"peakAzimuth", -15.2},
                                        {"peakElevation", -10.4},
                                        {"peakDb", -31.2},
                                        {"valid", true},
                                        {"mapAvailable", true},
                                        {"error", ""}});
        const QVariantMap measurementRecord =
            record({{"id", measurement},
                    {"name", name},
                    {"displayName", name},
                    {"createdAt", "2026-01-01T12:00:00"},
                    {"startedAt", "2026-01-01T12:00:00"},
                    {"durationSeconds", 10.0},
                    {"channelCount", 128},
                    {"sampleRateHz", 48000},
                    {"source", "Synthetic"},
                    {"profileId", "TM27-128-H1.6.2"},
                    {"location", "Compressor hall, west wall, 3 m from the leak"},
                    {"scene", "Compressor running"},
                    {"notes", "Second visit; the leak sits behind the north flange of the suction line."},
                    {"valid", true},
                    {"rawAvailable", true},
                    {"videoFile", "video.mp4"},
                    {"error", ""},
                    {"analysisCount", 1},
                    {"analyses", QVariantList{run}},
                    {"path", "/m/" + measurement}});
        ui->setProperty("measurements", QVariantList{measurementRecord});
        ui->setProperty("measurementCount", 1);
        ui->setProperty("analysisRuns", QVariantList{run});
        ui->setProperty("analysisRunCount", 1);
        ui->setProperty(
            "recentProjects",
            QVariantList{record({{"name", name}, {"path", "/home/operator/Sorvanta Projects/" + name}})});
        ui->setProperty("replayState", QStringLiteral("Playing"));
        ui->setProperty("replayActive", true);
        ui->setProperty("canPauseReplay", true);
        ui->setProperty("canStopReplay", true);
        ui->setProperty("replayPositionSeconds", 4.25);
        ui->setProperty("replayDurationSeconds", 10.0);
        ui->setProperty("replayMeasurementId", measurement);
        ui->setProperty("replayProfileInfo", profile);
        ui->setProperty("replayMetrics", QStringLiteral("Complete · 234 hops · integrity verified"));
        ui->setProperty("hasSelectedAnalysis", true);
        ui->setProperty("selectedAnalysisIndex", 0);
        ui->setProperty("selectedAnalysisId", QStringLiteral("AR-20260101-120000-0001"));
        ui->setProperty(
            "selectedAnalysisInfo",
            QStringLiteral("04 Robust Capon · 1/3 octave 2000 Hz · 40 bins · frame 4096 / hop 2048"));
        ui->setProperty("selectedAnalysisProvenance",
                        QStringLiteral("raw sha256 3f2a5c7e…9c1d · profile 9f2c4e1b…5f6a · 48000 Hz"));
        ui->setProperty(
            "selectedAnalysisAlgorithmParams",
            QStringLiteral("diagonal_loading=1.00e-3 uncertainty_epsilon=2.50e-1 max_iterations=50"));
        ui->setProperty("hasAnalysisWindow", true);
        ui->setProperty("analysisWindowInfo", QStringLiteral("Window 4.00–6.00 s · width 2.00 s"));
        ui->setProperty("analysisWindowSeconds", 2.0);
        ui->setProperty("analysisSpectrumNyquistHz", 24000.0);
        ui->setProperty(
            "analysisStatus",
            QStringLiteral("Full Recompute finished: 234 frames, peak -31.2 dB at az -15.2° el -10.4°"));
        ui->setProperty(
            "pendingAnalysisInfo",
            QStringLiteral("04 Robust Capon · 1/3 octave 2000 Hz · window 4.00–6.00 s · peak -31.2 dB"));
        ui->setProperty("lastDiagnosticsPath",
                        QStringLiteral("/home/operator/.local/share/Sorvanta/diagnostics/"
                                       "sorvanta-diagnostics-20260101-120000.zip"));
        QStringList log;
        for (int i = 0; i < 60; ++i)
            log << QStringLiteral("12:%1:%2  Measurement selected: %3 · frozen Profile %4")
                       .arg(i / 60, 2, 10, QLatin1Char('0'))
                       .arg(i % 60, 2, 10, QLatin1Char('0'))
                       .arg(measurement, profile);
        ui->setProperty("eventLog", log);
    }

    // The controller's diagnostic rows, named in the shown language as the controller names them.
    void fillDiagnosticRows() {
        auto row = [](const char* name, const QString& value) {
            return record({{"name", QCoreApplication::translate("UiController", name)}, {"value", value}});
        };
        const QVariantList rows{
            row("Process memory", QStringLiteral("1843.7 MB")),
            row("UDP datagrams", QStringLiteral("1228800  (3000 pkt/s)")),
            row("UDP received", QStringLiteral("1597.4 MB")),
            row("Datagrams rejected / rx errors", QStringLiteral("0 / 0")),
            row("Datagrams dropped on overflow", QStringLiteral("12")),
            row("Ingress pending frames", QStringLiteral("512")),
            row("DSP queue occupancy / drop", QStringLiteral("3/16  ·  2048 fr")),
            row("Diagnostic queue drop", QStringLiteral("0 fr")),
            row("Processed frames", QStringLiteral("1228800")),
            row("Maps published", QStringLiteral("4096")),
            row("BF avg/p50/p95/p99/max", QStringLiteral("41.27/39.85/58.12/73.40/112.96 ms")),
            row("Map overwrite / DSP errors", QStringLiteral("3 / 0")),
            row("Recording rate", QStringLiteral("24.6 MB/s  ·  181.4 MB  ·  7.4 s")),
            row("Replay", QStringLiteral("Complete · 234 hops · integrity verified")),
            row("Array profile", context_.ui->property("profileInfo").toString()),
            row("Measurements / Analysis runs", QStringLiteral("1 / 1"))};
        context_.ui->setProperty("diagnosticRows", rows);
    }

    void show(int workspace) {
        // The signal panels of the shown page are live, so their cover is down.
        context_.ui->setProperty("diagnosticSource",
                                 workspace == 4 ? QStringLiteral("replay") : QStringLiteral("live"));
        window_->setProperty("currentWorkspace", workspace);
        settle();
    }

    // Three frames drawn (a text that refits after a layout pass asks for one more): every layout polished
    // and every text laid out for what is on screen.
    void settle() {
        for (int frame = 0; frame < 3; ++frame) {
            QSignalSpy swapped(window_, &QQuickWindow::frameSwapped);
            window_->update();
            EXPECT_TRUE(swapped.wait(2000));
        }
    }

    void collect(QQuickItem* item, std::vector<DrawnText>& out) {
        if (!item->isVisible()) return;
        if (item->inherits("QQuickPopupItem")) popups_.push_back(item);
        if (item->inherits("QQuickText") && effectivelyShown(item) &&
            !item->property("text").toString().trimmed().isEmpty()) {
            bool scrolls = false;
            const QRectF glyphs = glyphRect(item);
            const QRectF shown = clippedBy(item, glyphs, &scrolls);
            out.push_back({item, glyphs, shown});
            // A text cut by the window with no scrolling to reach the rest.
            const QRectF windowRect(0, 0, window_->width(), window_->height());
            if (!scrolls && !windowRect.contains(glyphs.adjusted(1, 1, -1, -1)))
                problems_ << "leaves the window: " + describe(item);
        }
        if (effectivelyShown(item)) judgeControl(item);
        for (QQuickItem* child : item->childItems()) collect(child, out);
    }

    // A control shows its whole value, and an action is in sight or behind a scroll bar that shows.
    void judgeControl(QQuickItem* item) {
        if (isA(item, "QQuickComboBox")) {
            QQuickItem* label = comboLabel(item);
            if (label && (label->property("truncated").toBool() ||
                          label->implicitWidth() - label->property("leftPadding").toReal() -
                                  label->property("rightPadding").toReal() >
                              paddedWidth(label) + 1.0))
                problems_ << "combo narrower than its value: " + describe(label);
        } else if (isA(item, "QQuickSpinBox")) {
            auto* input = item->property("contentItem").value<QQuickItem*>();
            if (input && input->property("contentWidth").toReal() > input->width() + 1.0)
                problems_ << "spin box narrower than its value: " + describe(input);
        } else if (isA(item, "QQuickSlider")) {
            if (item->width() < kMinimumSliderWidth)
                problems_
                    << QStringLiteral("slider %1 only %2 px wide").arg(item->objectName()).arg(item->width());
        } else if (isA(item, "QQuickFlickable") && item->width() > 0 && scrollsVertically(item) &&
                   !verticalScrollBarShown(item)) {
            problems_ << QStringLiteral("scrolls with no scroll bar: %1 (%2 of %3 px shown)")
                             .arg(describe(item))
                             .arg(item->height())
                             .arg(item->property("contentHeight").toReal());
        }
        if (isA(item, "QQuickAbstractButton") && item->width() > 0 && item->height() > 0) {
            bool scrolls = false;
            const QRectF box = item->mapRectToScene(item->boundingRect());
            const QRectF shown =
                clippedBy(item, box, &scrolls).intersected(QRectF(0, 0, window_->width(), window_->height()));
            if (shown.width() * shown.height() < 0.9 * box.width() * box.height() && !scrolls)
                problems_ << "action out of sight: " + describe(item);
        }
    }

    // The workspace names in one size, whichever is shown: the largest at which all fit.
    void judgeSidebar(const QString& where) {
        QSet<int> sizes;
        std::vector<QQuickItem*> pending{window_->contentItem()};
        while (!pending.empty()) {
            QQuickItem* at = pending.back();
            pending.pop_back();
            for (QQuickItem* child : at->childItems()) pending.push_back(child);
            if (!at->objectName().startsWith(QLatin1String("nav_"))) continue;
            if (auto* label = at->property("contentItem").value<QQuickItem*>())
                sizes.insert(label->property("font").value<QFont>().pixelSize());
        }
        if (sizes.size() != 1)
            all_ << where + QStringLiteral(": the sidebar names take %1 sizes").arg(sizes.size());
    }

    void judge(QQuickItem* root, const QString& where) {
        std::vector<DrawnText> texts;
        popups_.clear();
        collect(root, texts);
        for (const DrawnText& t : texts) {
            QQuickItem* item = t.item;
            if (isControlValue(item)) continue;
            const bool elides = item->property("elide").toInt() != Qt::ElideNone;
            const bool wraps = item->property("wrapMode").toInt() != 0;
            if (item->property("truncated").toBool()) {
                const QString full = item->property("text").toString();
                if (!elides || tooltipText(item) != full)
                    problems_ << "cut without its tooltip: " + describe(item);
                else if (!t.shown.isEmpty())
                    cut_.push_back(item);
                continue;
            }
            const qreal needed = wraps ? item->property("contentWidth").toReal()
                                       : item->implicitWidth() - item->property("leftPadding").toReal() -
                                             item->property("rightPadding").toReal();
            const qreal box = item->width() - item->property("leftPadding").toReal() -
                              item->property("rightPadding").toReal();
            if (needed > box + 1.0) problems_ << "wider than its box: " + describe(item);
            if (breaksInsideAWord(item)) problems_ << "breaks inside a word: " + describe(item);
            // A text that sizes itself still has to stay inside the item that holds it.
            QQuickItem* holder = item->parentItem();
            if (holder && holder->width() > 0) {
                const QRectF inHolder = holder->mapRectFromScene(t.glyphs);
                if (inHolder.left() < -1.0 || inHolder.right() > holder->width() + 1.0)
                    problems_ << "wider than the item holding it: " + describe(item);
            }
        }
        for (size_t i = 0; i < texts.size(); ++i) {
            // A text under an open popup is hidden from the user however well it fits.
            for (QQuickItem* popup : popups_) {
                if (inside(texts[i].item, popup) || texts[i].shown.isEmpty()) continue;
                const QRectF under = texts[i].shown.intersected(popup->mapRectToScene(popup->boundingRect()));
                if (under.width() > 1.0 && under.height() > 1.0)
                    problems_ << "under a popup: " + describe(texts[i].item);
            }
            for (size_t j = i + 1; j < texts.size(); ++j) {
                if (texts[i].shown.isEmpty() || texts[j].shown.isEmpty()) continue;
                const QRectF both = texts[i].shown.intersected(texts[j].shown);
                if (both.width() > 1.0 && both.height() > 1.0)
                    problems_ << "overlap: " + describe(texts[i].item) + " and " + describe(texts[j].item);
            }
        }
        for (QString& p : problems_) p = where + ": " + p;
        all_ << problems_;
        problems_.clear();
    }

    // One cut text of each kind (the rows of a list are one kind) under the pointer: its tooltip has to
    // open with the whole text.
    void hoverCutTexts(const QString& where) {
        for (QQuickItem* item : cut_) {
            const QString kind = kindOf(item);
            if (hovered_.contains(kind) || !item->isVisible()) continue;
            hovered_ << kind;
            QObject* attached = nullptr;
            for (QObject* child : item->children())
                if (child->inherits("QQuickToolTipAttached")) attached = child;
            const QRectF glyphs = glyphRect(item);
            bool scrolls = false;
            const QRectF shown = clippedBy(item, glyphs, &scrolls);
            QTest::mouseMove(window_, shown.center().toPoint());
            const bool opened =
                attached &&
                QTest::qWaitFor(
                    [&] {
                        auto* tip = attached->property("toolTip").value<QObject*>();
                        return tip && tip->property("visible").toBool() &&
                               tip->property("text").toString() == item->property("text").toString();
                    },
                    3000);
            if (!opened) all_ << where + ": tooltip never shown under the pointer: " + describe(item);
            QTest::mouseMove(window_, QPoint(window_->width() - 2, 2));
            if (attached)
                (void)QTest::qWaitFor([&] { return !attached->property("visible").toBool(); }, 2000);
        }
        cut_.clear();
    }

    void screenshot(const QString& name) {
        QDir().mkpath(ZK_ARTIFACTS_DIR);
        // Light compression: the pictures are for people to look at, and the test stays quick.
        EXPECT_TRUE(
            window_->grabWindow().save(QStringLiteral(ZK_ARTIFACTS_DIR "/") + name + ".png", "PNG", 80));
    }

    // Switches the shown signal panel's auxiliary view; false when the page has none.
    bool setAuxiliaryView(int view) {
        bool found = false;
        for (QObject* combo : window_->findChildren<QObject*>(QStringLiteral("auxiliaryView"))) {
            auto* item = qobject_cast<QQuickItem*>(combo);
            if (!item || !item->isVisible()) continue;
            combo->setProperty("currentIndex", view);
            found = true;
        }
        if (found) settle();
        return found;
    }

    // Every dialog of the window, opened in turn at the size it opens with and judged alone.
    void judgeDialogs(const QString& where) {
        const QList<QObject*> objects = window_->findChildren<QObject*>();
        for (QObject* dialog : objects) {
            if (!dialog->inherits("QQuickDialog")) continue;
            QMetaObject::invokeMethod(dialog, "open");
            if (!QTest::qWaitFor([&] { return dialog->property("opened").toBool(); }, 2000)) continue;
            settle();
            auto* content = dialog->property("contentItem").value<QQuickItem*>();
            QQuickItem* frame = content ? content->parentItem() : nullptr;
            if (frame) {
                const QString title = dialog->property("title").toString();
                judge(frame,
                      where + " dialog " + (dialog->objectName().isEmpty() ? title : dialog->objectName()));
            }
            QMetaObject::invokeMethod(dialog, "close");
            EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->property("visible").toBool(); }, 2000));
        }
    }

    std::unique_ptr<zk::qmltest::MessageCapture> capture_;
    std::unique_ptr<QQmlEngine> engine_;
    zk::qmltest::QmlTestContext context_;
    zk::app::I18nManager* i18n_ = nullptr;
    QQuickWindow* window_ = nullptr;
    QStringList problems_;
    QStringList all_;
    std::vector<QQuickItem*> popups_;
    std::vector<QQuickItem*> cut_;
    QStringList hovered_;  // kinds of cut text already pointed at in this pass
};

struct Pass {
    const char* language;
    int width;
    int height;
    bool screenshots;
};

void PrintTo(const Pass& pass, std::ostream* out) {
    *out << pass.language << ' ' << pass.width << 'x' << pass.height;
}

class TextFitIn : public TextFit, public ::testing::WithParamInterface<Pass> {};

TEST_P(TextFitIn, EveryWorkspaceAndDialogShowsItsTextsWholeAndItsActionsInReach) {
    const Pass& pass = GetParam();
    const QString language = QLatin1String(pass.language);
    // A window manager lets the user make the window this small.
    EXPECT_LE(window_->minimumWidth(), pass.width);
    EXPECT_LE(window_->minimumHeight(), pass.height);
    window_->resize(pass.width, pass.height);
    context_.ui->setProperty("uiLanguage", language);
    i18n_->setLanguage(language);
    fillDiagnosticRows();
    const QString where = QStringLiteral("%1 %2x%3").arg(language).arg(pass.width).arg(pass.height);
    const QString size =
        pass.width == 1680 ? QString() : QStringLiteral("_%1x%2").arg(pass.width).arg(pass.height);
    for (const Workspace& workspace : kWorkspaces) {
        show(workspace.index);
        ASSERT_EQ(window_->size(), QSize(pass.width, pass.height));
        const QString name = where + " " + QLatin1String(workspace.name);
        judge(window_->contentItem(), name);
        if (setAuxiliaryView(1)) {
            judge(window_->contentItem(), name + " Channel RMS");
            setAuxiliaryView(0);
        }
        if (workspace.index == 2) {
            // The result of "Analyze at position" before it is saved: its Save and Discard.
            context_.ui->setProperty("hasPendingAnalysis", true);
            settle();
            judge(window_->contentItem(), name + " unsaved result");
            if (pass.screenshots)
                screenshot(QStringLiteral("workspace_analysis_unsaved_%1%2").arg(language, size));
            context_.ui->setProperty("hasPendingAnalysis", false);
            settle();
        }
        if (pass.screenshots)
            screenshot(
                QStringLiteral("workspace_%1_%2%3").arg(QLatin1String(workspace.name), language, size));
        // Pointing at the cut texts takes the tooltip's delay each: once a workspace at the smallest size.
        if (pass.width == 1280) hoverCutTexts(name);
        cut_.clear();
    }
    judgeSidebar(where);
    judgeDialogs(where);
    EXPECT_TRUE(all_.isEmpty()) << all_.size() << " problems:\n" << all_.join('\n').toStdString();
}

// Each language at the window's own size, at a common desktop size and at a laptop's.
INSTANTIATE_TEST_SUITE_P(Languages, TextFitIn,
                         ::testing::Values(Pass{"en", 1680, 1000, true}, Pass{"zh_CN", 1680, 1000, false},
                                           Pass{"ja_JP", 1680, 1000, true}, Pass{"en", 1600, 900, false},
                                           Pass{"zh_CN", 1600, 900, false}, Pass{"ja_JP", 1600, 900, false},
                                           Pass{"en", 1280, 800, false}, Pass{"zh_CN", 1280, 800, false},
                                           Pass{"ja_JP", 1280, 800, true}),
                         [](const ::testing::TestParamInfo<Pass>& info) {
                             return std::string(info.param.language) + "_" +
                                    std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

}  // namespace
