// Map display, camera overlay, sample source, plot palette and appearance settings.
#include <cmath>
#include <utility>

#include "app/settings_rules.h"
#include "app/ui_controller.h"
#include "render/diagnostic_renderer.h"
#include "render/plot_palette.h"

namespace zk::app {

namespace {

template <class Body>
void guarded(const char* operation, UiController* ui, Body&& body) {
    guardInvokable(
        operation, [ui](const QString& text) { ui->reportEvent(text); }, std::forward<Body>(body));
}

// One display value: clamp, compare by the 10^12 rule, store, write the key; true when it changed. NaN
// is no value at all and changes nothing; an infinity takes the nearer bound.
bool storeDisplayValue(QSettings& settings, std::atomic<double>& target, const char* key, double value,
                       double lo, double hi) {
    if (std::isnan(value)) return false;
    const double next = clampToRange(value, lo, hi);
    if (fuzzyEqual(next, target.load())) return false;
    target.store(next);
    settings.setValue(QLatin1String(key), next);
    return true;
}

bool storeDisplayIndex(QSettings& settings, std::atomic<std::int32_t>& target, const char* key, int value,
                       int lo, int hi) {
    const int next = std::clamp(value, lo, hi);
    if (next == target.load()) return false;
    target.store(next);
    settings.setValue(QLatin1String(key), next);
    return true;
}

}  // namespace

QString UiController::uiTheme() const {
    return settings_.value(QStringLiteral("ui/theme"), QStringLiteral("abyss")).toString();
}
QString UiController::uiLanguage() const {
    return settings_.value(QStringLiteral("ui/language"), QStringLiteral("zh_CN")).toString();
}
QString UiController::source() const { return live_.source; }
double UiController::dynamicRange() const { return heatmapSettings_.dynamicRange.load(); }
double UiController::levelGateDbfs() const { return heatmapSettings_.levelGateDbfs.load(); }
QString UiController::heatmapScaleMode() const {
    return display_.heatmapScaleMode.load() == 1 ? QStringLiteral("Fixed dBFS") : QStringLiteral("Auto peak");
}
int UiController::heatmapColormap() const { return display_.heatmapColormap.load(); }
int UiController::heatmapStyle() const { return display_.heatmapStyle.load(); }
double UiController::fixedReferenceDbfs() const { return display_.fixedReferenceDbfs.load(); }
double UiController::heatmapOpacity() const { return display_.heatmapOpacity.load(); }
bool UiController::cameraMirror() const { return display_.cameraMirror.load(); }
double UiController::cameraOverlayAlpha() const { return display_.cameraOverlayAlpha.load(); }
double UiController::cameraOverlayThreshold() const { return display_.cameraOverlayThreshold.load(); }
double UiController::cameraOverlayScale() const { return display_.cameraOverlayScale.load(); }
double UiController::cameraOverlayOffsetX() const { return display_.cameraOverlayOffsetX.load(); }
double UiController::cameraOverlayOffsetY() const { return display_.cameraOverlayOffsetY.load(); }

void UiController::setUiTheme(const QString& theme) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Theme update"), this, [&] {
        settings_.setValue(QStringLiteral("ui/theme"), theme);
        emit uiThemeChanged();
    });
}

void UiController::setUiLanguage(const QString& language) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Language update"), this, [&] {
        settings_.setValue(QStringLiteral("ui/language"), language);
        emit uiLanguageChanged();
    });
}

void UiController::setSource(const QString& source) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Source selection"), this, [&] {
        if (!canChangeSource()) return;
        if (source != QLatin1String("UDP") && source != QLatin1String("Synthetic")) {
            reportEvent(UiText::tr("Unsupported source: %1").arg(source));
            return;
        }
        if (source == live_.source) return;
        live_.source = source;
        settings_.setValue(QStringLiteral("source"), source);
        emit sourceChanged();
    });
}

void UiController::setPlotPalette(const QVariantMap& palette) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Plot palette update"), this, [&] {
        render::setPlotPalette(
            render::DiagnosticsContext{diagnosticSettings_, diagnostics_.mutex, diagnostics_.state,
                                       diagnostics_.meterMutex, diagnostics_.meters, diagnostics_.outputs,
                                       *imageOutputs_.diagnosticProvider, render::PlotPalette::processWide()},
            palette);
    });
}

void UiController::setDynamicRange(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Dynamic range update"), this, [&] {
        if (!storeDisplayValue(settings_, heatmapSettings_.dynamicRange, "dynamicRange", value, 0.1, 60.0))
            return;
        emit dynamicRangeChanged();
        refreshHeatmapImages();
    });
}

void UiController::setLevelGateDbfs(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Level gate update"), this, [&] {
        if (!storeDisplayValue(settings_, heatmapSettings_.levelGateDbfs, "levelGateDbfs", value, -120.0,
                               0.0)) {
            return;
        }
        emit levelGateDbfsChanged();
        refreshHeatmapImages();
    });
}

void UiController::setFixedReferenceDbfs(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Fixed reference update"), this, [&] {
        if (!storeDisplayValue(settings_, display_.fixedReferenceDbfs, "fixedReferenceDbfs", value, -120.0,
                               0.0))
            return;
        emit fixedReferenceDbfsChanged();
        refreshHeatmapImages();
    });
}

void UiController::setHeatmapScaleMode(const QString& mode) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Scale mode update"), this, [&] {
        const std::int32_t next = mode == QLatin1String("Fixed dBFS") ? 1 : 0;
        if (next == display_.heatmapScaleMode.load()) return;
        display_.heatmapScaleMode.store(next);
        settings_.setValue(QStringLiteral("heatmapScaleMode"), heatmapScaleMode());
        emit heatmapScaleModeChanged();
        refreshHeatmapImages();
    });
}

void UiController::setHeatmapColormap(int index) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Colormap update"), this, [&] {
        if (!storeDisplayIndex(settings_, display_.heatmapColormap, "heatmapColormap", index, 0, 2)) return;
        emit heatmapColormapChanged();
        refreshHeatmapImages();
    });
}

void UiController::setHeatmapStyle(int index) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Style update"), this, [&] {
        if (!storeDisplayIndex(settings_, display_.heatmapStyle, "heatmapStyle", index, 0, 3)) return;
        emit heatmapStyleChanged();
        refreshHeatmapImages();
    });
}

void UiController::setHeatmapOpacity(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Opacity update"), this, [&] {
        if (!storeDisplayValue(settings_, display_.heatmapOpacity, "heatmapOpacity", value, 0.1, 1.0)) return;
        emit heatmapOpacityChanged();
    });
}

void UiController::setCameraMirror(bool enabled) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Camera mirror update"), this, [&] {
        if (enabled == display_.cameraMirror.load()) return;
        display_.cameraMirror.store(enabled);
        settings_.setValue(QStringLiteral("cameraMirror"), enabled);
        emit cameraSettingsChanged();
    });
}

void UiController::setCameraOverlayAlpha(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Camera overlay update"), this, [&] {
        if (!storeDisplayValue(settings_, display_.cameraOverlayAlpha, "cameraOverlayAlpha", value, 0.0, 1.0))
            return;
        emit cameraSettingsChanged();
        refreshHeatmapImages();
    });
}

void UiController::setCameraOverlayThreshold(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Camera overlay update"), this, [&] {
        if (!storeDisplayValue(settings_, display_.cameraOverlayThreshold, "cameraOverlayThreshold", value,
                               0.0, 0.95)) {
            return;
        }
        emit cameraSettingsChanged();
        refreshHeatmapImages();
    });
}

void UiController::setCameraOverlayScale(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Camera overlay update"), this, [&] {
        if (!storeDisplayValue(settings_, display_.cameraOverlayScale, "cameraOverlayScale", value, 0.5, 2.0))
            return;
        emit cameraSettingsChanged();
    });
}

void UiController::setCameraOverlayOffsetX(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Camera overlay update"), this, [&] {
        if (!storeDisplayValue(settings_, display_.cameraOverlayOffsetX, "cameraOverlayOffsetX", value, -0.5,
                               0.5))
            return;
        emit cameraSettingsChanged();
    });
}

void UiController::setCameraOverlayOffsetY(double value) {
    guarded(QT_TRANSLATE_NOOP("UiController", "Camera overlay update"), this, [&] {
        if (!storeDisplayValue(settings_, display_.cameraOverlayOffsetY, "cameraOverlayOffsetY", value, -0.5,
                               0.5))
            return;
        emit cameraSettingsChanged();
    });
}

}  // namespace zk::app
