import QtQuick
import QtTest
import SorvantaApp

// Every colour, size and name of the Theme against a table typed independently of Theme.qml.
TestCase {
    name: "ThemePalette"

    readonly property var themes: ["abyss", "deepBlue", "graphite", "slateCopper", "mistCyan", "midnightTeal",
        "carbonAmber", "medical", "light"]
    readonly property var names: ["Abyss Black", "Deep Blue", "Graphite Gray", "Slate Copper", "Mist Cyan",
        "Midnight Teal", "Carbon Amber", "Medical", "Light"]

    // One row per role in the palette objects' key order; one column per theme in the order above.
    readonly property var table: ({
        // role          abyss      deepBlue   graphite   slateCopper mistCyan  midnightTeal carbonAmber medical   light
        "bg": ["#0a0c10", "#0b1220", "#131518", "#14110d", "#0c1417", "#081114", "#0d0b08", "#0b1216", "#e9edf2"],
        "surface": ["#11141b", "#111827", "#1a1d22", "#1b1712", "#121c20", "#0e1a1e", "#14110c", "#101a20", "#ffffff"],
        "surfaceAlt": ["#181c26", "#162033", "#22262d", "#241e17", "#18262b", "#142428", "#1c1811", "#16232b", "#f1f4f8"],
        "border": ["#262c3a", "#243044", "#333943", "#3a3126", "#294048", "#23393f", "#33291a", "#263b46", "#cfd8e3"],
        "text": ["#e8eaf0", "#e5e7eb", "#e6e8eb", "#ece5da", "#e2ecee", "#dfeaec", "#eee7d8", "#e4eef2", "#1c2530"],
        "muted": ["#8b93a5", "#8b98a9", "#98a0ab", "#a89a86", "#8aa4ab", "#7fa0a6", "#a3957c", "#89a5b0", "#5c6b7a"],
        "accent": ["#c3ccd9", "#38bdf8", "#5fd3c7", "#e0915a", "#4fd1c5", "#2dd4bf", "#f0a832", "#38c6d9", "#2563eb"],
        "accentText": ["#10131a", "#06121d", "#0d1a17", "#20140a", "#0a1a18", "#08201c", "#201503", "#07222a", "#ffffff"],
        "danger": ["#ef4444", "#ef4444", "#ef4444", "#ef4444", "#ef4444", "#ef4444", "#ef4444", "#ef4444", "#dc2626"],
        "success": ["#22c55e", "#22c55e", "#22c55e", "#22c55e", "#22c55e", "#22c55e", "#22c55e", "#22c55e", "#16a34a"],
        "warning": ["#d9a13b", "#f59e0b", "#f59e0b", "#f0b04a", "#f59e0b", "#f59e0b", "#f0a832", "#f59e0b", "#d97706"],
        "dangerSoft": ["#fb7185", "#fb7185", "#fb7185", "#fb7185", "#fb7185", "#fb7185", "#fb7185", "#fb7185", "#b91c1c"],
        "plotBg": ["#0a0e15", "#0b1322", "#14161a", "#161210", "#0d161a", "#0a1519", "#110e09", "#0c151b", "#ffffff"],
        "plotBorder": ["#1d2330", "#1f2c44", "#2a2f38", "#332a21", "#243940", "#1f343a", "#2e2415", "#223642", "#dfe6ee"],
        "plotGrid": ["#141a26", "#152138", "#1c2027", "#211b15", "#15262b", "#122327", "#1b1610", "#13222b", "#e8eef5"],
        "plotText": ["#a7b4c6", "#a4b3c9", "#aab2bc", "#b3a48d", "#9fb8be", "#9cbcc2", "#b3a586", "#9fb9c4", "#5c6b7a"],
        "plotAxis": ["#6d7789", "#6f7f99", "#7b828c", "#8a7a64", "#72929a", "#6d949b", "#8a795c", "#6f96a3", "#64748b"],
        "plotFg": ["#e2e8f0", "#e3e8f2", "#e6e8eb", "#ece5da", "#e2ecee", "#dfeaec", "#eee7d8", "#e4eef2", "#1c2530"],
        "plotWaveform": ["#a78bfa", "#a78bfa", "#a78bfa", "#a78bfa", "#a78bfa", "#a78bfa", "#a78bfa", "#a78bfa", "#7c3aed"],
        "plotWaveformDim": ["#55449B", "#55449B", "#55449B", "#55449B", "#55449B", "#55449B", "#55449B", "#55449B", "#c4b5fd"],
        "plotSpectrum": ["#f0b429", "#f0b429", "#f0b429", "#f0b429", "#f0b429", "#f0b429", "#f0b429", "#f0b429", "#d97706"],
        "plotCursor": ["#22d3ee", "#22d3ee", "#22d3ee", "#22d3ee", "#22d3ee", "#22d3ee", "#22d3ee", "#22d3ee", "#0891b2"],
        "plotWaterfallBg": ["#070a10", "#080e1a", "#0e1013", "#0e0b09", "#0a1114", "#070f12", "#0b0906", "#080f13", "#ffffff"],
        "contourInk": ["#960a0e16", "#960a0e16", "#960a0e16", "#960a0e16", "#960a0e16", "#960a0e16", "#960a0e16", "#960a0e16", "#960a0e16"]
    })

    readonly property var sizes: ({
        radius: 12, fontMicro: 9, fontTiny: 10, fontCaption: 11, fontSmall: 12, fontSubhead: 13, fontBody: 14,
        fontTitle: 17, fontDisplay: 21, fontHero: 24, controlHeight: 40
    })

    function cleanup() {
        Theme.themeId = "abyss"
    }

    function test_orderAndNames() {
        compare(Theme.themeOrder, themes)
        for (let i = 0; i < themes.length; ++i)
            compare(Theme.themeNames[themes[i]], names[i], themes[i])
    }

    function test_everyPaletteHoldsTheTableAsWritten() {
        for (let column = 0; column < themes.length; ++column) {
            const palette = Theme.palettes[themes[column]]
            compare(Object.keys(palette), Object.keys(table), themes[column] + " role keys in order")
            for (const role in table)
                compare(palette[role], table[role][column], themes[column] + "." + role)
        }
    }

    function test_everyRoleShowsItsThemesColour() {
        for (let column = 0; column < themes.length; ++column) {
            Theme.themeId = themes[column]
            for (const role in table)
                verify(Qt.colorEqual(Theme[role], table[role][column]),
                       themes[column] + "." + role + " is " + Theme[role] + ", table " + table[role][column])
            const bg = Qt.color(table.plotBg[column])
            verify(Qt.colorEqual(Theme.plotBg85, Qt.rgba(bg.r, bg.g, bg.b, 0.85)), themes[column] + " plotBg85")
        }
    }

    function test_sizesFontsAndColormaps() {
        for (const key in sizes)
            compare(Theme[key], sizes[key], key)
        compare(Theme.fontUi, "Segoe UI")
        compare(Theme.fontMono, "Consolas")
        compare(Theme.colormapViridis, ["#fde725", "#5ec962", "#21918c", "#3b528b", "#440154"])
        compare(Theme.colormapTurbo, ["#7a0403", "#fb7e21", "#a4fc3c", "#28bceb", "#30123b"])
        compare(Theme.colormapJet, ["#800000", "#ff9400", "#7dff7a", "#0080ff", "#000080"])
    }
}
