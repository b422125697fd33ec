pragma Singleton
import QtQuick

QtObject {
    id: theme

    property string themeId: "abyss"

    readonly property var themeOrder: ["abyss", "deepBlue", "graphite", "slateCopper", "mistCyan",
        "midnightTeal", "carbonAmber", "medical", "light"]

    readonly property var themeNames: ({
        abyss: qsTr("Abyss Black"),
        deepBlue: qsTr("Deep Blue"),
        graphite: qsTr("Graphite Gray"),
        slateCopper: qsTr("Slate Copper"),
        mistCyan: qsTr("Mist Cyan"),
        midnightTeal: qsTr("Midnight Teal"),
        carbonAmber: qsTr("Carbon Amber"),
        medical: qsTr("Medical"),
        light: qsTr("Light")
    })

    readonly property var palettes: ({
        abyss: {
            bg: "#0a0c10", surface: "#11141b", surfaceAlt: "#181c26", border: "#262c3a",
            text: "#e8eaf0", muted: "#8b93a5", accent: "#c3ccd9", accentText: "#10131a",
            danger: "#ef4444", success: "#22c55e", warning: "#d9a13b", dangerSoft: "#fb7185",
            plotBg: "#0a0e15", plotBorder: "#1d2330", plotGrid: "#141a26", plotText: "#a7b4c6",
            plotAxis: "#6d7789", plotFg: "#e2e8f0", plotWaveform: "#a78bfa", plotWaveformDim: "#55449B",
            plotSpectrum: "#f0b429", plotCursor: "#22d3ee", plotWaterfallBg: "#070a10",
            contourInk: "#960a0e16"
        },
        deepBlue: {
            bg: "#0b1220", surface: "#111827", surfaceAlt: "#162033", border: "#243044",
            text: "#e5e7eb", muted: "#8b98a9", accent: "#38bdf8", accentText: "#06121d",
            danger: "#ef4444", success: "#22c55e", warning: "#f59e0b", dangerSoft: "#fb7185",
            plotBg: "#0b1322", plotBorder: "#1f2c44", plotGrid: "#152138", plotText: "#a4b3c9",
            plotAxis: "#6f7f99", plotFg: "#e3e8f2", plotWaveform: "#a78bfa", plotWaveformDim: "#55449B",
            plotSpectrum: "#f0b429", plotCursor: "#22d3ee", plotWaterfallBg: "#080e1a",
            contourInk: "#960a0e16"
        },
        graphite: {
            bg: "#131518", surface: "#1a1d22", surfaceAlt: "#22262d", border: "#333943",
            text: "#e6e8eb", muted: "#98a0ab", accent: "#5fd3c7", accentText: "#0d1a17",
            danger: "#ef4444", success: "#22c55e", warning: "#f59e0b", dangerSoft: "#fb7185",
            plotBg: "#14161a", plotBorder: "#2a2f38", plotGrid: "#1c2027", plotText: "#aab2bc",
            plotAxis: "#7b828c", plotFg: "#e6e8eb", plotWaveform: "#a78bfa", plotWaveformDim: "#55449B",
            plotSpectrum: "#f0b429", plotCursor: "#22d3ee", plotWaterfallBg: "#0e1013",
            contourInk: "#960a0e16"
        },
        slateCopper: {
            bg: "#14110d", surface: "#1b1712", surfaceAlt: "#241e17", border: "#3a3126",
            text: "#ece5da", muted: "#a89a86", accent: "#e0915a", accentText: "#20140a",
            danger: "#ef4444", success: "#22c55e", warning: "#f0b04a", dangerSoft: "#fb7185",
            plotBg: "#161210", plotBorder: "#332a21", plotGrid: "#211b15", plotText: "#b3a48d",
            plotAxis: "#8a7a64", plotFg: "#ece5da", plotWaveform: "#a78bfa", plotWaveformDim: "#55449B",
            plotSpectrum: "#f0b429", plotCursor: "#22d3ee", plotWaterfallBg: "#0e0b09",
            contourInk: "#960a0e16"
        },
        mistCyan: {
            bg: "#0c1417", surface: "#121c20", surfaceAlt: "#18262b", border: "#294048",
            text: "#e2ecee", muted: "#8aa4ab", accent: "#4fd1c5", accentText: "#0a1a18",
            danger: "#ef4444", success: "#22c55e", warning: "#f59e0b", dangerSoft: "#fb7185",
            plotBg: "#0d161a", plotBorder: "#243940", plotGrid: "#15262b", plotText: "#9fb8be",
            plotAxis: "#72929a", plotFg: "#e2ecee", plotWaveform: "#a78bfa", plotWaveformDim: "#55449B",
            plotSpectrum: "#f0b429", plotCursor: "#22d3ee", plotWaterfallBg: "#0a1114",
            contourInk: "#960a0e16"
        },
        midnightTeal: {
            bg: "#081114", surface: "#0e1a1e", surfaceAlt: "#142428", border: "#23393f",
            text: "#dfeaec", muted: "#7fa0a6", accent: "#2dd4bf", accentText: "#08201c",
            danger: "#ef4444", success: "#22c55e", warning: "#f59e0b", dangerSoft: "#fb7185",
            plotBg: "#0a1519", plotBorder: "#1f343a", plotGrid: "#122327", plotText: "#9cbcc2",
            plotAxis: "#6d949b", plotFg: "#dfeaec", plotWaveform: "#a78bfa", plotWaveformDim: "#55449B",
            plotSpectrum: "#f0b429", plotCursor: "#22d3ee", plotWaterfallBg: "#070f12",
            contourInk: "#960a0e16"
        },
        carbonAmber: {
            bg: "#0d0b08", surface: "#14110c", surfaceAlt: "#1c1811", border: "#33291a",
            text: "#eee7d8", muted: "#a3957c", accent: "#f0a832", accentText: "#201503",
            danger: "#ef4444", success: "#22c55e", warning: "#f0a832", dangerSoft: "#fb7185",
            plotBg: "#110e09", plotBorder: "#2e2415", plotGrid: "#1b1610", plotText: "#b3a586",
            plotAxis: "#8a795c", plotFg: "#eee7d8", plotWaveform: "#a78bfa", plotWaveformDim: "#55449B",
            plotSpectrum: "#f0b429", plotCursor: "#22d3ee", plotWaterfallBg: "#0b0906",
            contourInk: "#960a0e16"
        },
        medical: {
            bg: "#0b1216", surface: "#101a20", surfaceAlt: "#16232b", border: "#263b46",
            text: "#e4eef2", muted: "#89a5b0", accent: "#38c6d9", accentText: "#07222a",
            danger: "#ef4444", success: "#22c55e", warning: "#f59e0b", dangerSoft: "#fb7185",
            plotBg: "#0c151b", plotBorder: "#223642", plotGrid: "#13222b", plotText: "#9fb9c4",
            plotAxis: "#6f96a3", plotFg: "#e4eef2", plotWaveform: "#a78bfa", plotWaveformDim: "#55449B",
            plotSpectrum: "#f0b429", plotCursor: "#22d3ee", plotWaterfallBg: "#080f13",
            contourInk: "#960a0e16"
        },
        light: {
            bg: "#e9edf2", surface: "#ffffff", surfaceAlt: "#f1f4f8", border: "#cfd8e3",
            text: "#1c2530", muted: "#5c6b7a", accent: "#2563eb", accentText: "#ffffff",
            danger: "#dc2626", success: "#16a34a", warning: "#d97706", dangerSoft: "#b91c1c",
            plotBg: "#ffffff", plotBorder: "#dfe6ee", plotGrid: "#e8eef5", plotText: "#5c6b7a",
            plotAxis: "#64748b", plotFg: "#1c2530", plotWaveform: "#7c3aed", plotWaveformDim: "#c4b5fd",
            plotSpectrum: "#d97706", plotCursor: "#0891b2", plotWaterfallBg: "#ffffff",
            contourInk: "#960a0e16"
        }
    })

    // Own keys only: an id such as "constructor" or "toString" must not reach the object prototype.
    readonly property var palette: palettes.hasOwnProperty(themeId) ? palettes[themeId] : palettes.abyss

    readonly property color bg: palette.bg
    readonly property color surface: palette.surface
    readonly property color surfaceAlt: palette.surfaceAlt
    readonly property color border: palette.border
    readonly property color text: palette.text
    readonly property color muted: palette.muted
    readonly property color accent: palette.accent
    readonly property color accentText: palette.accentText
    readonly property color danger: palette.danger
    readonly property color success: palette.success
    readonly property color warning: palette.warning
    readonly property color plotBg: palette.plotBg
    readonly property color plotBorder: palette.plotBorder
    readonly property color plotGrid: palette.plotGrid
    readonly property color plotText: palette.plotText
    readonly property color plotAxis: palette.plotAxis
    readonly property color plotFg: palette.plotFg
    readonly property color plotWaveform: palette.plotWaveform
    readonly property color plotWaveformDim: palette.plotWaveformDim
    readonly property color plotSpectrum: palette.plotSpectrum
    readonly property color plotCursor: palette.plotCursor
    readonly property color plotWaterfallBg: palette.plotWaterfallBg
    readonly property color contourInk: palette.contourInk
    readonly property color dangerSoft: palette.dangerSoft

    readonly property color plotBg85: Qt.rgba(plotBg.r, plotBg.g, plotBg.b, 0.85)

    readonly property var colormapViridis: ["#fde725", "#5ec962", "#21918c", "#3b528b", "#440154"]
    readonly property var colormapTurbo: ["#7a0403", "#fb7e21", "#a4fc3c", "#28bceb", "#30123b"]
    readonly property var colormapJet: ["#800000", "#ff9400", "#7dff7a", "#0080ff", "#000080"]

    readonly property int radius: 12
    readonly property int fontMicro: 9
    readonly property int fontTiny: 10
    readonly property int fontCaption: 11
    readonly property int fontSmall: 12
    readonly property int fontSubhead: 13
    readonly property int fontBody: 14
    readonly property int fontTitle: 17
    readonly property int fontDisplay: 21
    readonly property int fontHero: 24
    readonly property string fontUi: "Segoe UI"
    readonly property string fontMono: "Consolas"
    readonly property int controlHeight: 40
}
