#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <QVector4D>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "app/live_session_state.h"
#include "app/project_state.h"
#include "app/recording_session.h"
#include "app/ui_controller_parts.h"
#include "app/ui_controller_records.h"
class QQmlEngine;

namespace zk::app {

// The one object behind the whole user interface, published to QML as "ui". Its operations are spread
// over topic files (ui_controller_<topic>.cpp); this header is the whole QML surface. Every invokable
// and slot runs on the GUI thread and lets no exception out.
class UiController : public QObject {
    Q_OBJECT

    // clang-format off
    Q_PROPERTY(QString profilePath READ profilePath WRITE setProfilePath NOTIFY profilePathChanged)
    Q_PROPERTY(QString uiTheme READ uiTheme WRITE setUiTheme NOTIFY uiThemeChanged)
    Q_PROPERTY(QString uiLanguage READ uiLanguage WRITE setUiLanguage NOTIFY uiLanguageChanged)
    Q_PROPERTY(QString profileInfo READ profileInfo NOTIFY profileInfoChanged)
    Q_PROPERTY(double profileCameraAspect READ profileCameraAspect NOTIFY profileInfoChanged)
    Q_PROPERTY(QString profileCameraResolution READ profileCameraResolution NOTIFY profileInfoChanged)
    Q_PROPERTY(QVariantList profileGeometry READ profileGeometry NOTIFY profileInfoChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)
    Q_PROPERTY(QString liveMetrics READ liveMetrics NOTIFY liveMetricsChanged)
    Q_PROPERTY(QString sessionState READ sessionState NOTIFY uiStateChanged)
    Q_PROPERTY(bool hasProfile READ hasProfile NOTIFY uiStateChanged)
    Q_PROPERTY(bool canImportProfile READ canImportProfile NOTIFY uiStateChanged)
    Q_PROPERTY(bool canChangeSource READ canChangeSource NOTIFY uiStateChanged)
    Q_PROPERTY(bool canEditAcquisition READ canEditAcquisition NOTIFY uiStateChanged)
    Q_PROPERTY(bool canEditFrequencyBand READ canEditFrequencyBand NOTIFY uiStateChanged)
    Q_PROPERTY(bool canStart READ canStart NOTIFY uiStateChanged)
    Q_PROPERTY(bool canStop READ canStop NOTIFY uiStateChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY uiStateChanged)
    Q_PROPERTY(bool canCreateAnalysis READ canCreateAnalysis NOTIFY uiStateChanged)
    Q_PROPERTY(bool canStartRecording READ canStartRecording NOTIFY uiStateChanged)
    Q_PROPERTY(bool canStopRecording READ canStopRecording NOTIFY uiStateChanged)
    Q_PROPERTY(bool canCalibrateNoise READ canCalibrateNoise NOTIFY uiStateChanged)
    Q_PROPERTY(bool canStartReplay READ canStartReplay NOTIFY uiStateChanged)
    Q_PROPERTY(QString startReplayBlocker READ startReplayBlocker NOTIFY uiStateChanged)
    Q_PROPERTY(QString createAnalysisBlocker READ createAnalysisBlocker NOTIFY uiStateChanged)
    Q_PROPERTY(int diagnosticChannelCount READ diagnosticChannelCount NOTIFY uiStateChanged)
    Q_PROPERTY(int diagnosticMeterPerRow READ diagnosticMeterPerRow NOTIFY uiStateChanged)
    Q_PROPERTY(double spectrumNyquistHz READ spectrumNyquistHz NOTIFY uiStateChanged)
    Q_PROPERTY(bool hasProject READ hasProject NOTIFY projectChanged)
    Q_PROPERTY(QString projectName READ projectName NOTIFY projectChanged)
    Q_PROPERTY(QString projectPath READ projectPath NOTIFY projectChanged)
    Q_PROPERTY(QString projectId READ projectId NOTIFY projectChanged)
    Q_PROPERTY(QVariantList recentProjects READ recentProjects NOTIFY recentProjectsChanged)
    Q_PROPERTY(QVariantList measurements READ measurements NOTIFY measurementsChanged)
    Q_PROPERTY(int measurementCount READ measurementCount NOTIFY measurementsChanged)
    Q_PROPERTY(int selectedMeasurementIndex READ selectedMeasurementIndex NOTIFY selectedMeasurementChanged)
    Q_PROPERTY(bool hasSelectedMeasurement READ hasSelectedMeasurement NOTIFY selectedMeasurementChanged)
    Q_PROPERTY(QString selectedMeasurementId READ selectedMeasurementId NOTIFY selectedMeasurementChanged)
    Q_PROPERTY(QString selectedMeasurementInfo READ selectedMeasurementInfo NOTIFY selectedMeasurementChanged)
    Q_PROPERTY(QString selectedMeasurementProfileInfo READ selectedMeasurementProfileInfo
                   NOTIFY selectedMeasurementChanged)
    Q_PROPERTY(QString selectedMeasurementProfileHash READ selectedMeasurementProfileHash
                   NOTIFY selectedMeasurementChanged)
    Q_PROPERTY(QString selectedMeasurementGeometryHash READ selectedMeasurementGeometryHash
                   NOTIFY selectedMeasurementChanged)
    Q_PROPERTY(QString selectedMeasurementRawHash READ selectedMeasurementRawHash
                   NOTIFY selectedMeasurementChanged)
    Q_PROPERTY(bool selectedMeasurementRawAvailable READ selectedMeasurementRawAvailable
                   NOTIFY selectedMeasurementChanged)
    Q_PROPERTY(QString selectedMeasurementVideoPath READ selectedMeasurementVideoPath
                   NOTIFY selectedMeasurementChanged)
    Q_PROPERTY(QString selectedMeasurementVideoUrl READ selectedMeasurementVideoUrl
                   NOTIFY selectedMeasurementChanged)
    Q_PROPERTY(double analysisSpectrumNyquistHz READ analysisSpectrumNyquistHz NOTIFY selectedMeasurementChanged)
    Q_PROPERTY(QVariantList analysisRuns READ analysisRuns NOTIFY analysisRunsChanged)
    Q_PROPERTY(int analysisRunCount READ analysisRunCount NOTIFY analysisRunsChanged)
    Q_PROPERTY(int selectedAnalysisIndex READ selectedAnalysisIndex NOTIFY selectedAnalysisChanged)
    Q_PROPERTY(bool hasSelectedAnalysis READ hasSelectedAnalysis NOTIFY selectedAnalysisChanged)
    Q_PROPERTY(QString selectedAnalysisId READ selectedAnalysisId NOTIFY selectedAnalysisChanged)
    Q_PROPERTY(QString selectedAnalysisInfo READ selectedAnalysisInfo NOTIFY selectedAnalysisChanged)
    Q_PROPERTY(QString selectedAnalysisAlgorithmParams READ selectedAnalysisAlgorithmParams
                   NOTIFY selectedAnalysisChanged)
    Q_PROPERTY(QString selectedAnalysisProvenance READ selectedAnalysisProvenance NOTIFY selectedAnalysisChanged)
    Q_PROPERTY(QString selectedAnalysisParameters READ selectedAnalysisParameters NOTIFY selectedAnalysisChanged)
    Q_PROPERTY(bool analysisBusy READ analysisBusy NOTIFY analysisStateChanged)
    Q_PROPERTY(QString analysisStatus READ analysisStatus NOTIFY analysisStateChanged)
    Q_PROPERTY(bool hasPendingAnalysis READ hasPendingAnalysis NOTIFY pendingAnalysisChanged)
    Q_PROPERTY(QString pendingAnalysisInfo READ pendingAnalysisInfo NOTIFY pendingAnalysisChanged)
    Q_PROPERTY(quint64 analysisSpectrumRevision READ analysisSpectrumRevision NOTIFY analysisSpectrumChanged)
    Q_PROPERTY(double analysisProgress READ analysisProgress NOTIFY analysisProgressChanged)
    Q_PROPERTY(QString analysisAlgorithm READ analysisAlgorithm WRITE setAnalysisAlgorithm
                   NOTIFY analysisAlgorithmChanged)
    Q_PROPERTY(QVariantList analysisAlgorithmParameterFields READ analysisAlgorithmParameterFields
                   NOTIFY analysisAlgorithmChanged)
    Q_PROPERTY(double analysisFrequencyHz READ analysisFrequencyHz WRITE setAnalysisFrequencyHz
                   NOTIFY analysisParametersChanged)
    Q_PROPERTY(int analysisFrameSize READ analysisFrameSize WRITE setAnalysisFrameSize
                   NOTIFY analysisParametersChanged)
    Q_PROPERTY(int analysisHopSize READ analysisHopSize WRITE setAnalysisHopSize NOTIFY analysisParametersChanged)
    Q_PROPERTY(double analysisGridStepDeg READ analysisGridStepDeg WRITE setAnalysisGridStepDeg
                   NOTIFY analysisParametersChanged)
    Q_PROPERTY(QString analysisBandMode READ analysisBandMode WRITE setAnalysisBandMode
                   NOTIFY analysisParametersChanged)
    Q_PROPERTY(double analysisBandwidthHz READ analysisBandwidthHz WRITE setAnalysisBandwidthHz
                   NOTIFY analysisParametersChanged)
    Q_PROPERTY(int analysisFocusIndex READ analysisFocusIndex WRITE setAnalysisFocusIndex
                   NOTIFY analysisParametersChanged)
    Q_PROPERTY(double analysisWindowSeconds READ analysisWindowSeconds WRITE setAnalysisWindowSeconds
                   NOTIFY analysisWindowChanged)
    Q_PROPERTY(bool hasAnalysisWindow READ hasAnalysisWindow NOTIFY analysisWindowChanged)
    Q_PROPERTY(QString analysisWindowInfo READ analysisWindowInfo NOTIFY analysisWindowChanged)
    Q_PROPERTY(QString recordingState READ recordingState NOTIFY recordingStateChanged)
    Q_PROPERTY(bool recording READ recording NOTIFY recordingStateChanged)
    Q_PROPERTY(bool recordingFinalizing READ recordingFinalizing NOTIFY recordingStateChanged)
    Q_PROPERTY(QString recordingMeasurementId READ recordingMeasurementId NOTIFY recordingStateChanged)
    Q_PROPERTY(double recordingElapsedSeconds READ recordingElapsedSeconds NOTIFY recordingStatsChanged)
    Q_PROPERTY(quint64 recordingBytes READ recordingBytes NOTIFY recordingStatsChanged)
    Q_PROPERTY(bool recordingVideoActive READ recordingVideoActive NOTIFY recordingStatsChanged)
    Q_PROPERTY(double recordingMaxDurationSeconds READ recordingMaxDurationSeconds
                   WRITE setRecordingMaxDurationSeconds NOTIFY recordingMaxDurationChanged)
    Q_PROPERTY(QString source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(QString algorithm READ algorithm WRITE setAlgorithm NOTIFY algorithmChanged)
    Q_PROPERTY(QVariantList algorithmParameterFields READ algorithmParameterFields NOTIFY algorithmChanged)
    Q_PROPERTY(quint64 beamformingParameterRevision READ beamformingParameterRevision
                   NOTIFY beamformingParametersChanged)
    Q_PROPERTY(int focusDistanceIndex READ focusDistanceIndex WRITE setFocusDistanceIndex
                   NOTIFY focusDistanceIndexChanged)
    Q_PROPERTY(double airTemperatureC READ airTemperatureC WRITE setAirTemperatureC NOTIFY airTemperatureChanged)
    Q_PROPERTY(double speedOfSoundMps READ speedOfSoundMps NOTIFY airTemperatureChanged)
    Q_PROPERTY(double confidenceThresholdDb READ confidenceThresholdDb WRITE setConfidenceThresholdDb
                   NOTIFY confidenceThresholdChanged)
    Q_PROPERTY(double frequency READ frequency WRITE setFrequency NOTIFY frequencyChanged)
    Q_PROPERTY(double azimuth READ azimuth WRITE setAzimuth NOTIFY azimuthChanged)
    Q_PROPERTY(double elevation READ elevation WRITE setElevation NOTIFY elevationChanged)
    Q_PROPERTY(QString frequencyBandMode READ frequencyBandMode WRITE setFrequencyBandMode
                   NOTIFY frequencyBandChanged)
    Q_PROPERTY(double bandwidthHz READ bandwidthHz WRITE setBandwidthHz NOTIFY frequencyBandChanged)
    Q_PROPERTY(int targetBinCount READ targetBinCount WRITE setTargetBinCount NOTIFY frequencyBandChanged)
    Q_PROPERTY(double dynamicRange READ dynamicRange WRITE setDynamicRange NOTIFY dynamicRangeChanged)
    Q_PROPERTY(double csmTauSeconds READ csmTauSeconds WRITE setCsmTauSeconds NOTIFY csmTauSecondsChanged)
    Q_PROPERTY(double levelGateDbfs READ levelGateDbfs WRITE setLevelGateDbfs NOTIFY levelGateDbfsChanged)
    Q_PROPERTY(QString heatmapScaleMode READ heatmapScaleMode WRITE setHeatmapScaleMode
                   NOTIFY heatmapScaleModeChanged)
    Q_PROPERTY(int heatmapColormap READ heatmapColormap WRITE setHeatmapColormap NOTIFY heatmapColormapChanged)
    Q_PROPERTY(int heatmapStyle READ heatmapStyle WRITE setHeatmapStyle NOTIFY heatmapStyleChanged)
    Q_PROPERTY(double fixedReferenceDbfs READ fixedReferenceDbfs WRITE setFixedReferenceDbfs
                   NOTIFY fixedReferenceDbfsChanged)
    Q_PROPERTY(double heatmapOpacity READ heatmapOpacity WRITE setHeatmapOpacity NOTIFY heatmapOpacityChanged)
    Q_PROPERTY(bool diagonalRemoval READ diagonalRemoval WRITE setDiagonalRemoval NOTIFY diagonalRemovalChanged)
    Q_PROPERTY(bool noiseSubtractionEnabled READ noiseSubtractionEnabled WRITE setNoiseSubtractionEnabled
                   NOTIFY noiseSubtractionChanged)
    Q_PROPERTY(bool noiseCalibrating READ noiseCalibrating NOTIFY noiseSubtractionChanged)
    Q_PROPERTY(bool noiseProfileValid READ noiseProfileValid NOTIFY noiseSubtractionChanged)
    Q_PROPERTY(QString noiseProfileInfo READ noiseProfileInfo NOTIFY noiseSubtractionChanged)
    Q_PROPERTY(double noiseCalibrationRemainingSeconds READ noiseCalibrationRemainingSeconds
                   NOTIFY noiseCalibrationProgressChanged)
    Q_PROPERTY(bool replayPaused READ replayPaused NOTIFY replayPausedChanged)
    Q_PROPERTY(QString replayState READ replayState NOTIFY replayStateChanged)
    Q_PROPERTY(bool replayActive READ replayActive NOTIFY replayStateChanged)
    Q_PROPERTY(bool replayPlaying READ replayPlaying NOTIFY replayStateChanged)
    Q_PROPERTY(bool canPauseReplay READ canPauseReplay NOTIFY replayStateChanged)
    Q_PROPERTY(bool canStopReplay READ canStopReplay NOTIFY replayStateChanged)
    Q_PROPERTY(QString replayMeasurementId READ replayMeasurementId NOTIFY replayStateChanged)
    Q_PROPERTY(QString replayProfileInfo READ replayProfileInfo NOTIFY replayStateChanged)
    Q_PROPERTY(QString replayMetrics READ replayMetrics NOTIFY replayMetricsChanged)
    Q_PROPERTY(double replayPositionSeconds READ replayPositionSeconds NOTIFY replayPositionChanged)
    Q_PROPERTY(double replayDurationSeconds READ replayDurationSeconds NOTIFY replayDurationChanged)
    Q_PROPERTY(QVariantList channelLevels READ channelLevels NOTIFY channelLevelsChanged)
    Q_PROPERTY(QVariantList channelPeaks READ channelPeaks NOTIFY channelLevelsChanged)
    Q_PROPERTY(double waveformWindowS READ waveformWindowS WRITE setWaveformWindowS NOTIFY waveformDisplayChanged)
    Q_PROPERTY(double overlayWindowS READ overlayWindowS WRITE setOverlayWindowS NOTIFY waveformDisplayChanged)
    Q_PROPERTY(int waveformMode READ waveformMode WRITE setWaveformMode NOTIFY waveformDisplayChanged)
    Q_PROPERTY(int waterfallColormap READ waterfallColormap WRITE setWaterfallColormap
                   NOTIFY waterfallColormapChanged)
    Q_PROPERTY(QVariantList spectrumLevels READ spectrumLevels NOTIFY spectrumLevelsChanged)
    Q_PROPERTY(int diagnosticChannel READ diagnosticChannel WRITE setDiagnosticChannel
                   NOTIFY diagnosticChannelChanged)
    Q_PROPERTY(QString diagnosticSummary READ diagnosticSummary NOTIFY diagnosticsUpdated)
    Q_PROPERTY(int diagnosticSilentChannels READ diagnosticSilentChannels NOTIFY diagnosticsUpdated)
    Q_PROPERTY(QString diagnosticSource READ diagnosticSource NOTIFY diagnosticsUpdated)
    Q_PROPERTY(int diagnosticRevision READ diagnosticRevision NOTIFY diagnosticsUpdated)
    Q_PROPERTY(double diagnosticWaveformScaleAbs READ diagnosticWaveformScaleAbs NOTIFY diagnosticsUpdated)
    Q_PROPERTY(double diagnosticSpectrumBinHz READ diagnosticSpectrumBinHz NOTIFY diagnosticsUpdated)
    Q_PROPERTY(double diagnosticWaterfallSpanS READ diagnosticWaterfallSpanS NOTIFY diagnosticsUpdated)
    Q_PROPERTY(QVariantList diagnosticRows READ diagnosticRows NOTIFY diagnosticRowsChanged)
    Q_PROPERTY(QStringList eventLog READ eventLog NOTIFY eventLogChanged)
    Q_PROPERTY(QString lastDiagnosticsPath READ lastDiagnosticsPath NOTIFY lastDiagnosticsPathChanged)
    Q_PROPERTY(QString lastBackupPath READ lastBackupPath NOTIFY lastBackupPathChanged)
    Q_PROPERTY(bool hasHeatmap READ hasHeatmap NOTIFY heatmapUpdated)
    Q_PROPERTY(QString mapSource READ mapSource NOTIFY heatmapUpdated)
    Q_PROPERTY(double peakAzimuth READ peakAzimuth NOTIFY heatmapUpdated)
    Q_PROPERTY(double peakElevation READ peakElevation NOTIFY heatmapUpdated)
    Q_PROPERTY(double peakDb READ peakDb NOTIFY heatmapUpdated)
    Q_PROPERTY(double peakLevelDbfs READ peakLevelDbfs NOTIFY heatmapUpdated)
    Q_PROPERTY(double mapSpanDb READ mapSpanDb NOTIFY heatmapUpdated)
    Q_PROPERTY(int mapVisiblePixels READ mapVisiblePixels NOTIFY heatmapUpdated)
    Q_PROPERTY(bool mapStale READ mapStale NOTIFY mapStaleChanged)
    Q_PROPERTY(double effectiveFrequencyHz READ effectiveFrequencyHz NOTIFY heatmapUpdated)
    Q_PROPERTY(double effectiveBandLowHz READ effectiveBandLowHz NOTIFY heatmapUpdated)
    Q_PROPERTY(double effectiveBandHighHz READ effectiveBandHighHz NOTIFY heatmapUpdated)
    Q_PROPERTY(int effectiveBinCount READ effectiveBinCount NOTIFY heatmapUpdated)
    Q_PROPERTY(quint64 mapParameterRevision READ mapParameterRevision NOTIFY heatmapUpdated)
    Q_PROPERTY(int mapAlgorithmId READ mapAlgorithmId NOTIFY heatmapUpdated)
    Q_PROPERTY(bool mapHasAbsoluteLevels READ mapHasAbsoluteLevels NOTIFY heatmapUpdated)
    Q_PROPERTY(double mapPeakReferenceDbfs READ mapPeakReferenceDbfs NOTIFY heatmapUpdated)
    Q_PROPERTY(double mapShownRangeDb READ mapShownRangeDb NOTIFY heatmapUpdated)
    Q_PROPERTY(double mapContrastFade READ mapContrastFade NOTIFY heatmapUpdated)
    Q_PROPERTY(QVariantList mapPeaks READ mapPeaks NOTIFY heatmapUpdated)
    Q_PROPERTY(int contourLevelCount READ contourLevelCount NOTIFY heatmapUpdated)
    Q_PROPERTY(QVector4D contourLevels0 READ contourLevels0 NOTIFY heatmapUpdated)
    Q_PROPERTY(QVector4D contourLevels1 READ contourLevels1 NOTIFY heatmapUpdated)
    Q_PROPERTY(QVector4D contourLevels2 READ contourLevels2 NOTIFY heatmapUpdated)
    Q_PROPERTY(QVector4D contourLevels3 READ contourLevels3 NOTIFY heatmapUpdated)
    Q_PROPERTY(QVector4D contourLevels4 READ contourLevels4 NOTIFY heatmapUpdated)
    Q_PROPERTY(QVector4D contourLevels5 READ contourLevels5 NOTIFY heatmapUpdated)
    Q_PROPERTY(bool cameraMirror READ cameraMirror WRITE setCameraMirror NOTIFY cameraSettingsChanged)
    Q_PROPERTY(double cameraOverlayAlpha READ cameraOverlayAlpha WRITE setCameraOverlayAlpha
                   NOTIFY cameraSettingsChanged)
    Q_PROPERTY(double cameraOverlayThreshold READ cameraOverlayThreshold WRITE setCameraOverlayThreshold
                   NOTIFY cameraSettingsChanged)
    Q_PROPERTY(double cameraOverlayScale READ cameraOverlayScale WRITE setCameraOverlayScale
                   NOTIFY cameraSettingsChanged)
    Q_PROPERTY(double cameraOverlayOffsetX READ cameraOverlayOffsetX WRITE setCameraOverlayOffsetX
                   NOTIFY cameraSettingsChanged)
    Q_PROPERTY(double cameraOverlayOffsetY READ cameraOverlayOffsetY WRITE setCameraOverlayOffsetY
                   NOTIFY cameraSettingsChanged)
    Q_PROPERTY(QStringList cameraNames READ cameraNames NOTIFY cameraDevicesChanged)
    Q_PROPERTY(QStringList cameraIds READ cameraIds NOTIFY cameraDevicesChanged)
    Q_PROPERTY(QVariantList cameraParameters READ cameraParameters NOTIFY cameraParametersChanged)
    Q_PROPERTY(QString profilesDir READ profilesDir CONSTANT)
    Q_PROPERTY(double analysisVideoFrameSeconds READ analysisVideoFrameSeconds)
    // clang-format on

  public:
    // The settings store of the application scopes everything read here (the organisation and
    // application names must be set before). engine may be null (tests).
    explicit UiController(QObject* parent = nullptr, QQmlEngine* engine = nullptr);
    ~UiController() override;
    UiController(const UiController&) = delete;
    UiController& operator=(const UiController&) = delete;

    // Registers "heatmap" and "diagnostic"; the engine owns them from then on, the controller before.
    void registerImageProviders(QQmlEngine& engine);
    // The providers the controller paints into; valid for the controller's life.
    render::HeatmapImageProvider* heatmapImageProvider() const;
    render::DiagnosticImageProvider* diagnosticImageProvider() const;
    // The live device profile while the session holds a validated one, else null. GUI thread.
    const core::DeviceProfile* activeProfile() const;
    // FNV-1a 64 of the profile file in use as 16 hex digits; empty when none or unreadable. GUI thread.
    QString activeProfileHash() const;

    // Texts of the status line and the logs. Any thread; each lock is held only for the copy.
    void setStatusText(const QString& text);
    void setAdvisoryStatus(const QString& text);  // a background notice: leaves a stop reason standing
    void appendEventLog(const QString& text);
    void appendDiagnosticsLog(const QString& text);
    void reportEvent(const QString& text);     // event log, then status line
    void reportAdvisory(const QString& text);  // event log, then setAdvisoryStatus
    // A catalogue text with its %1.. (and %n count): the status line retranslates it, the event log keeps it.
    void reportLocalized(const char* source, const QStringList& arguments = {}, int count = -1);
    void setLiveMetricsText(const QString& text);
    QStringList diagnosticsLog() const;                                         // a copy, oldest first
    bool statusIsInitialPrompt() const { return texts_.initialPrompt.load(); }  // the start-up prompt is up

    // Property getters.
    QString profilePath() const;
    QString uiTheme() const;
    QString uiLanguage() const;
    QString profileInfo() const;
    double profileCameraAspect() const;
    QString profileCameraResolution() const;
    QVariantList profileGeometry() const;
    QString statusText() const;
    QString liveMetrics() const;
    QString sessionState() const;
    bool hasProfile() const;
    bool canImportProfile() const;
    bool canChangeSource() const;
    bool canEditAcquisition() const;
    bool canEditFrequencyBand() const;
    bool canStart() const;
    bool canStop() const;
    bool busy() const;
    bool canCreateAnalysis() const;
    bool canStartRecording() const;
    bool canStopRecording() const;
    bool canCalibrateNoise() const;
    bool canStartReplay() const;
    // Why the action would be refused now, in the language of the call, empty while it would run: the one
    // rule behind canStartReplay and canCreateAnalysis, the refusal each operation reports and the
    // reason its disabled control shows.
    QString startReplayBlocker() const;
    QString createAnalysisBlocker() const;
    int diagnosticChannelCount() const;
    int diagnosticMeterPerRow() const;
    double spectrumNyquistHz() const;
    bool hasProject() const;
    QString projectName() const;
    QString projectPath() const;
    QString projectId() const;
    QVariantList recentProjects() const;
    QVariantList measurements() const;
    int measurementCount() const;
    int selectedMeasurementIndex() const;
    bool hasSelectedMeasurement() const;
    QString selectedMeasurementId() const;
    QString selectedMeasurementInfo() const;
    QString selectedMeasurementProfileInfo() const;
    QString selectedMeasurementProfileHash() const;
    QString selectedMeasurementGeometryHash() const;
    QString selectedMeasurementRawHash() const;
    bool selectedMeasurementRawAvailable() const;
    QString selectedMeasurementVideoPath() const;
    QString selectedMeasurementVideoUrl() const;
    double analysisSpectrumNyquistHz() const;
    QVariantList analysisRuns() const;
    int analysisRunCount() const;
    int selectedAnalysisIndex() const;
    bool hasSelectedAnalysis() const;
    QString selectedAnalysisId() const;
    QString selectedAnalysisInfo() const;
    QString selectedAnalysisAlgorithmParams() const;
    QString selectedAnalysisParameters() const;  // the parameters as the user reads them
    QString selectedAnalysisProvenance() const;
    bool analysisBusy() const;
    QString analysisStatus() const;
    bool hasPendingAnalysis() const;
    QString pendingAnalysisInfo() const;
    quint64 analysisSpectrumRevision() const;
    double analysisProgress() const;
    QString analysisAlgorithm() const;
    QVariantList analysisAlgorithmParameterFields() const;
    double analysisFrequencyHz() const;
    int analysisFrameSize() const;
    int analysisHopSize() const;
    double analysisGridStepDeg() const;
    QString analysisBandMode() const;
    double analysisBandwidthHz() const;
    int analysisFocusIndex() const;
    double analysisWindowSeconds() const;
    bool hasAnalysisWindow() const;
    QString analysisWindowInfo() const;
    double analysisVideoFrameSeconds() const;
    QString recordingState() const;
    bool recording() const;
    bool recordingFinalizing() const;
    QString recordingMeasurementId() const;
    double recordingElapsedSeconds() const;
    quint64 recordingBytes() const;
    bool recordingVideoActive() const;
    double recordingMaxDurationSeconds() const;
    QString source() const;
    QString algorithm() const;
    QVariantList algorithmParameterFields() const;
    quint64 beamformingParameterRevision() const;  // grows with each change; value editors bind to it
    int focusDistanceIndex() const;
    double airTemperatureC() const;
    double speedOfSoundMps() const;
    double confidenceThresholdDb() const;
    double frequency() const;
    double azimuth() const;
    double elevation() const;
    QString frequencyBandMode() const;
    double bandwidthHz() const;
    int targetBinCount() const;
    double dynamicRange() const;
    double csmTauSeconds() const;
    double levelGateDbfs() const;
    QString heatmapScaleMode() const;
    int heatmapColormap() const;
    int heatmapStyle() const;
    double fixedReferenceDbfs() const;
    double heatmapOpacity() const;
    bool diagonalRemoval() const;
    bool noiseSubtractionEnabled() const;
    bool noiseCalibrating() const;
    bool noiseProfileValid() const;
    QString noiseProfileInfo() const;
    double noiseCalibrationRemainingSeconds() const;
    bool replayPaused() const;
    QString replayState() const;
    bool replayActive() const;
    bool replayPlaying() const;
    bool canPauseReplay() const;
    bool canStopReplay() const;
    QString replayMeasurementId() const;
    QString replayProfileInfo() const;
    QString replayMetrics() const;
    double replayPositionSeconds() const;
    double replayDurationSeconds() const;
    QVariantList channelLevels() const;
    QVariantList channelPeaks() const;
    double waveformWindowS() const;
    double overlayWindowS() const;
    int waveformMode() const;
    int waterfallColormap() const;
    QVariantList spectrumLevels() const;
    int diagnosticChannel() const;
    QString diagnosticSummary() const;
    int diagnosticSilentChannels() const;  // silent channels of the summary's render; -1 for a note
    QString diagnosticSource() const;
    int diagnosticRevision() const;
    double diagnosticWaveformScaleAbs() const;
    double diagnosticSpectrumBinHz() const;
    double diagnosticWaterfallSpanS() const;
    QVariantList diagnosticRows() const;
    QStringList eventLog() const;
    QString lastDiagnosticsPath() const;
    QString lastBackupPath() const;
    bool hasHeatmap() const;
    QString mapSource() const;
    double peakAzimuth() const;
    double peakElevation() const;
    double peakDb() const;
    double peakLevelDbfs() const;
    double mapSpanDb() const;
    int mapVisiblePixels() const;
    bool mapStale() const;
    double effectiveFrequencyHz() const;
    double effectiveBandLowHz() const;
    double effectiveBandHighHz() const;
    int effectiveBinCount() const;
    quint64 mapParameterRevision() const;
    int mapAlgorithmId() const;
    bool mapHasAbsoluteLevels() const;
    double mapPeakReferenceDbfs() const;
    double mapShownRangeDb() const;
    double mapContrastFade() const;
    QVariantList mapPeaks() const;
    int contourLevelCount() const;
    QVector4D contourLevels0() const;
    QVector4D contourLevels1() const;
    QVector4D contourLevels2() const;
    QVector4D contourLevels3() const;
    QVector4D contourLevels4() const;
    QVector4D contourLevels5() const;
    bool cameraMirror() const;
    double cameraOverlayAlpha() const;
    double cameraOverlayThreshold() const;
    double cameraOverlayScale() const;
    double cameraOverlayOffsetX() const;
    double cameraOverlayOffsetY() const;
    QStringList cameraNames() const;
    QStringList cameraIds() const;
    QVariantList cameraParameters() const;
    QString profilesDir() const;

    // Writers of the properties that have no invokable of their own.
    void setProfilePath(const QString& path);
    void setUiTheme(const QString& theme);
    void setUiLanguage(const QString& language);
    void setCsmTauSeconds(double seconds);
    void setAnalysisAlgorithm(const QString& name);
    void setAnalysisFrequencyHz(double hz);
    void setAnalysisFrameSize(int size);
    void setAnalysisHopSize(int hop);
    void setAnalysisGridStepDeg(double degrees);
    void setAnalysisBandMode(const QString& mode);
    void setAnalysisBandwidthHz(double hz);
    void setAnalysisFocusIndex(int index);
    void setAnalysisWindowSeconds(double seconds);

    // Settings (resetDefaults), beamforming and frequency band.
    Q_INVOKABLE void resetDefaults();
    Q_INVOKABLE void setAlgorithm(const QString& algorithm);
    Q_INVOKABLE void setBeamformingParameter(const QString& key, double value);
    Q_INVOKABLE double beamformingParameterValue(const QString& key) const;
    Q_INVOKABLE void setFocusDistanceIndex(int index);
    Q_INVOKABLE void setAirTemperatureC(double celsius);
    Q_INVOKABLE void setConfidenceThresholdDb(double db);
    Q_INVOKABLE void setFrequency(double value);
    Q_INVOKABLE void setAzimuth(double value);
    Q_INVOKABLE void setElevation(double value);
    Q_INVOKABLE void setFrequencyBandMode(const QString& mode);
    Q_INVOKABLE void setBandwidthHz(double value);
    Q_INVOKABLE void setTargetBinCount(int value);
    Q_INVOKABLE void setDiagonalRemoval(bool enabled);

    // Map display, camera overlay, source, plot colours.
    Q_INVOKABLE void setSource(const QString& source);
    Q_INVOKABLE void setPlotPalette(const QVariantMap& palette);
    Q_INVOKABLE void setDynamicRange(double value);
    Q_INVOKABLE void setLevelGateDbfs(double value);
    Q_INVOKABLE void setHeatmapScaleMode(const QString& mode);
    Q_INVOKABLE void setHeatmapColormap(int index);
    Q_INVOKABLE void setHeatmapStyle(int index);
    Q_INVOKABLE void setFixedReferenceDbfs(double value);
    Q_INVOKABLE void setHeatmapOpacity(double value);
    Q_INVOKABLE void setCameraMirror(bool enabled);
    Q_INVOKABLE void setCameraOverlayAlpha(double value);
    Q_INVOKABLE void setCameraOverlayThreshold(double value);
    Q_INVOKABLE void setCameraOverlayScale(double value);
    Q_INVOKABLE void setCameraOverlayOffsetX(double value);
    Q_INVOKABLE void setCameraOverlayOffsetY(double value);

    // Camera binding and UVC parameters.
    Q_INVOKABLE void refreshCameraDevices();
    Q_INVOKABLE void bindUvcCamera(const QString& cameraId, const QString& cameraName);
    Q_INVOKABLE void unbindUvcCamera();
    Q_INVOKABLE void setCameraParameterValue(const QString& key, int value);
    Q_INVOKABLE void previewCameraParameterValue(const QString& key, int value);
    Q_INVOKABLE void setCameraParameterAuto(const QString& key, bool autoMode);
    Q_INVOKABLE void resetCameraParameters();

    // Status line, logs, diagnostics bundle, settings backup, Device profile, file-system browsing.
    Q_INVOKABLE void refreshLocalizedStrings();
    Q_INVOKABLE void logMediaDiagnostic(const QString& message);
    Q_INVOKABLE QString exportDiagnosticsBundle();
    Q_INVOKABLE QString backupNow();
    Q_INVOKABLE void openDiagnosticsFolder();
    Q_INVOKABLE void importProfile(const QString& path);
    Q_INVOKABLE QStringList browseDrives() const;
    Q_INVOKABLE QVariantMap browseListDir(const QString& path, const QStringList& name_filters) const;
    Q_INVOKABLE QVariantMap browseCreateDir(const QString& parent_path, const QString& base_name) const;
    Q_INVOKABLE QVariantMap browseRenameDir(const QString& dir_path, const QString& new_name) const;

    // Live session, Recording, Replay, noise floor.
    Q_INVOKABLE void startLive();
    Q_INVOKABLE void stopLive();
    Q_INVOKABLE void runOnce();
    Q_INVOKABLE void setRecordingMaxDurationSeconds(double seconds);
    Q_INVOKABLE void startRecording();
    Q_INVOKABLE void stopRecording();
    Q_INVOKABLE void notifyVideoRecorderStarted();
    Q_INVOKABLE void notifyVideoRecorderStopped(const QString& actualPath);
    Q_INVOKABLE void startSelectedMeasurementReplay();
    Q_INVOKABLE void setReplayPaused(bool paused);
    Q_INVOKABLE void seekReplay(double seconds);
    Q_INVOKABLE void stopReplay();
    Q_INVOKABLE void analyzeReplayPosition();
    Q_INVOKABLE void setNoiseSubtractionEnabled(bool enabled);
    Q_INVOKABLE void startNoiseCalibration();
    Q_INVOKABLE void cancelNoiseCalibration();

    // Diagnostic views and the analysis spectrum.
    Q_INVOKABLE void clearAnalysisWindow();
    Q_INVOKABLE QString meterReadout(int channel) const;
    Q_INVOKABLE void setWaveformWindowS(double seconds);
    Q_INVOKABLE void setOverlayWindowS(double seconds);
    Q_INVOKABLE void setWaveformMode(int mode);
    Q_INVOKABLE void setWaterfallColormap(int index);
    Q_INVOKABLE void setDiagnosticChannel(int channel);
    Q_INVOKABLE void trimMemory();

    // Projects and Measurements.
    Q_INVOKABLE QString validateNewProjectDir(const QString& directory) const;
    Q_INVOKABLE bool projectExistsAt(const QString& directory) const;
    Q_INVOKABLE QStringList findNestedProjects(const QString& directory) const;
    Q_INVOKABLE void createProject(const QString& directory, const QString& name);
    Q_INVOKABLE void openProject(const QString& directory);
    Q_INVOKABLE void refreshProject();
    Q_INVOKABLE void deleteProject();
    Q_INVOKABLE void openRecentProject(const QString& path);
    Q_INVOKABLE void removeRecentProject(const QString& path);
    Q_INVOKABLE void openProjectFolder();
    Q_INVOKABLE void selectMeasurement(int index);
    Q_INVOKABLE void renameSelectedMeasurement(const QString& displayName);
    Q_INVOKABLE void setSelectedMeasurementNote(const QString& location, const QString& scene,
                                                const QString& note);
    Q_INVOKABLE void deleteSelectedMeasurement();

    // Full Recompute.
    Q_INVOKABLE void createFullRecomputeAnalysis();
    Q_INVOKABLE void setAnalysisBeamformingParameter(const QString& key, double value);
    Q_INVOKABLE double analysisBeamformingParameterValue(const QString& key) const;
    // Whether maps of the named algorithm ("05 MUSIC") are shown in dBFS; the level gate and the fixed
    // dBFS scale act on no other. An unknown name counts as in dBFS.
    Q_INVOKABLE bool algorithmHasAbsoluteLevels(const QString& algorithmName) const;

    // AnalysisRuns.
    Q_INVOKABLE void selectAnalysisRun(int index);
    Q_INVOKABLE void showAnalysisMap();  // the pending result or selected run again, once the map is free
    Q_INVOKABLE void savePendingAnalysis();
    Q_INVOKABLE void discardPendingAnalysis();
    Q_INVOKABLE void openAnalysisRun(const QString& measurementId, const QString& analysisId);
    Q_INVOKABLE void exportSelectedAnalysis();

  public slots:
    void refreshReplayPosition();  // emits replayPositionChanged, then replayDurationChanged

  signals:
    void profilePathChanged();
    void uiThemeChanged();
    void uiLanguageChanged();
    void profileInfoChanged();
    void statusTextChanged();
    void liveMetricsChanged();
    void uiStateChanged();
    void projectChanged();
    void recentProjectsChanged();
    void measurementsChanged();
    void selectedMeasurementChanged();
    void analysisRunsChanged();
    void selectedAnalysisChanged();
    void analysisStateChanged();
    void pendingAnalysisChanged();
    void analysisSpectrumChanged();
    void analysisProgressChanged();
    void analysisAlgorithmChanged();
    void analysisParametersChanged();
    void analysisWindowChanged();
    void recordingStateChanged();
    void recordingStatsChanged();
    void recordingMaxDurationChanged();
    void sourceChanged();
    void algorithmChanged();
    void beamformingParametersChanged();
    void focusDistanceIndexChanged();
    void airTemperatureChanged();
    void confidenceThresholdChanged();
    void frequencyChanged();
    void azimuthChanged();
    void elevationChanged();
    void frequencyBandChanged();
    void dynamicRangeChanged();
    void csmTauSecondsChanged();
    void levelGateDbfsChanged();
    void heatmapScaleModeChanged();
    void heatmapColormapChanged();
    void heatmapStyleChanged();
    void fixedReferenceDbfsChanged();
    void heatmapOpacityChanged();
    void diagonalRemovalChanged();
    void noiseSubtractionChanged();
    void noiseCalibrationProgressChanged();
    void replayPausedChanged();
    void replayStateChanged();
    void replayMetricsChanged();
    void replayPositionChanged();
    void replayDurationChanged();
    void channelLevelsChanged();
    void waveformDisplayChanged();
    void waterfallColormapChanged();
    void spectrumLevelsChanged();
    void diagnosticChannelChanged();
    void diagnosticsUpdated();
    void diagnosticRowsChanged();
    void eventLogChanged();
    void lastDiagnosticsPathChanged();
    void lastBackupPathChanged();
    void heatmapUpdated();
    void mapStaleChanged();  // also emitted on the acquisition thread
    void cameraSettingsChanged();
    void cameraDevicesChanged();
    void cameraParametersChanged();

    void analysisFinished(bool success, const QString& analysisId);
    void recordingFinished(bool success, const QString& measurementId);
    void videoRecordStartRequested(const QString& stagingPath);
    void videoRecordStopRequested();
    void replayFinished(bool success, const QString& measurementId);

  private:
    void readSettingsAtStart();
    void showStatus(const QString& text, StatusWeight weight);
    std::optional<QString> heldStatus() const;  // the stop reason standing on the status line, if any
    void loadRecentProjects();
    // Repaints the heatmap images from the latest map and emits heatmapUpdated; any thread.
    void refreshHeatmapImages();
    void writeMemoryLine();
    void rebuildDiagnosticRows();
    void advanceNoiseCalibration();
    void rebuildNoiseProfileInfo();
    void renderAnalysisSpectrum();
    void setSessionState(std::int32_t state);
    // Destructor: keeps a Recording that is still open as a Measurement without video.
    void finalizeOpenRecordingAtExit();
    // Hands the live parameters to the running engines; false when the live engine rejected them.
    bool publishBeamformingParameters();
    // Band centre := frequency, revision + 1, and the hand-off to the running engines.
    void applyFrequencyBand();
    // The sample rate frequencies are limited by: the Replay's frozen profile or the live one; 0 if none.
    double frequencyLimitSampleRate() const;
    // Live session (ui_controller_live.cpp); its threads are LiveRunner's (live_workers.cpp).
    void resetLiveView();  // clears the last session's diagnostic buffers, images, summary; GUI thread
    void stopAndDeleteLiveSources();            // GUI thread, only while no live worker runs
    void failLiveStart(const QString& reason);  // no thread, no source, DeviceSession stopped, Faulted
    void refuseFailedStart(const QString& reason);
    void haltLive(bool faulted);  // GUI thread: ends a running session in Ready, or Faulted if `faulted`
    // Counts a worker error; a session's first shows `format` (catalogue text, %1: text), logged if logEvent.
    void countLiveError(const char* format, const QString& text, bool logEvent);
    void rebuildLiveMetrics(core::UdpSource* udp);  // acquisition thread
    // Any thread: makes the map the latest of its kind (1 live, 2 replay, 3 analysis), then repaints.
    void publishMap(core::HeatmapGrid map, std::int32_t kind);

    // State lives in topic records (ui_controller_records.h), owned objects in ui_controller_parts.h.
    QQmlEngine* engine_;  // not owned; may be null
    QSettings settings_;  // the application's store; GUI thread only

    ControllerTexts texts_;
    RunState run_;
    LiveSettings live_;
    LiveSessionState liveSession_;  // queues, counters, synthetic settings; see its header

    // Display settings read by the painters and map workers without a lock.
    render::HeatmapDisplaySettings heatmapSettings_;  // dynamic range, tau, level gate, confidence
    DisplaySettings display_;
    render::DiagnosticDisplaySettings diagnosticSettings_;  // channel, waveform and waterfall views

    ProfileRecords profileState_;
    AnalysisSettings analysis_;
    // Texts of the later operations; GUI thread only.
    QString lastDiagnosticsPath_, lastBackupPath_;

    CameraParts camera_;
    EngineParts engines_;
    SourceParts sources_;
    MapHandoff map_;
    DiagnosticsRecords diagnostics_;
    ImageOutputs imageOutputs_;
    ControllerTimers timers_;
    WorkerThreads threads_;

    // Tests stand in for a running session and a Recording through these peers.
    friend class BeamformingSettingsTestPeer;
    friend class RecordingTestPeer;
    friend class LiveRunner;           // the live session's threads (live_workers.cpp)
    friend class ReplayRunner;         // the Replay's threads and handlers (replay_workers.cpp)
    friend class FullRecomputeRunner;  // the Full Recompute's steps (ui_controller_full_recompute.cpp)

    // Projects and Measurements (ui_controller_projects.cpp, ui_controller_measurements.cpp).
    // True, with the refusal reported, while a Recording, a Full Recompute or a Replay forbids it.
    bool refuseProjectChange(const QString& whileRecording, const QString& whileRecomputing,
                             const QString& whileReplaying);
    // Puts the entry first in the recent list (each path once, at most 8) and stores the list.
    void recordRecentProject(const QString& path, const QString& name);
    // Loads the open Project's noise floor (none without a Project) and hands it to both engines.
    void loadProjectNoiseFloor();
    // Rebuilds the open Project's rows (an unusable entry as an invalid row), selects the newest valid one.
    void rebuildMeasurementList();
    // Drops the selected Measurement and its frozen profile without a signal.
    void clearMeasurementSelection();
    void selectMeasurementById(const QString& id);
    // One plain component, optionally under "measurements/"; throws std::invalid_argument otherwise.
    std::filesystem::path resolveMeasurementDirectory(const std::string& name) const;

    // What the Measurement list asks of the AnalysisRun list (ui_controller_analysis_runs.cpp).
    void clearAnalysisRunsForRebuild();  // pending result, run list and selection, with their signals
    void rebuildAnalysisRunList();       // lists the selected Measurement's runs and selects the newest
    // The Measurement id of the pending result; empty without one.
    QString pendingAnalysisMeasurementId() const;
    // Drops the pending result, then shows the selected run's map again or clears the shown map.
    void dropPendingAnalysisForSelection();

    ProjectState project_;
    ProjectNoiseFloor noiseFloor_;

    // Recording (ui_controller_recording.cpp).
    // Acquisition thread: queues a block for a running Recording (one after a gap ends it instead).
    void appendRecordingBlock(std::span<const std::int16_t> samples, bool gap);
    // Acquisition thread: the stream broke off; a Recording holding samples ends at them with `reason`.
    void endRecordingAtBreak(const QString& reason);
    void setRecordingState(std::int32_t state);
    // Takes the writer out and starts its finalize thread, with the video unless told otherwise; GUI.
    void finalizeRecording(bool withVideo = true);
    void startRecordingFinalize(std::unique_ptr<core::RecordingWriter>, const std::filesystem::path& video);
    // The staging path QML was asked to record to, or a file beside it under its name.
    bool isTrustedVideoPath(const std::filesystem::path& path) const;
    // Handlers posted to the GUI thread; each ignores a Recording other than the current one. A finalize's
    // `warning` (logged after a success) says that the saved Measurement is not yet durable.
    void onRecordingEnded(std::uint64_t generation, const QString& message);
    void endRecordingEarly(std::uint64_t generation, const QString& message);  // Recording writer thread
    void onRecordingLimitReached(std::uint64_t generation);
    void onRecordingFinalized(std::uint64_t generation, const QString& id, bool success, const QString& error,
                              const QString& keptPath, const QString& warning = QString());
    void onRecordingWatchdog();

    RecordingSession recording_;
    ReplaySession replay_;
};

}  // namespace zk::app
