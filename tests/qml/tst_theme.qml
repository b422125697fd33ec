import QtQuick
import QtTest
import SorvantaApp

TestCase {
    id: testCase
    name: "Theme"

    readonly property var roles: ["bg", "surface", "surfaceAlt", "border", "text", "muted", "accent",
        "accentText", "danger", "success", "warning", "plotBg", "plotBorder", "plotGrid", "plotText",
        "plotAxis", "plotFg", "plotWaveform", "plotWaveformDim", "plotSpectrum", "plotCursor",
        "plotWaterfallBg", "contourInk", "dangerSoft"]
    readonly property var colourPattern: /^#([0-9a-fA-F]{6}|[0-9a-fA-F]{8})$/

    // Typed by hand, not read from Theme.qml: one row per role in the key order of a
    // palette object, one column per theme in display order.
    readonly property var specifiedOrder: ["abyss", "deepBlue", "graphite", "slateCopper", "mistCyan",
        "midnightTeal", "carbonAmber", "medical", "light"]
    readonly property var specifiedPalette: [
        ["bg", "#0a0c10", "#0b1220", "#131518", "#14110d", "#0c1417", "#081114", "#0d0b08", "#0b1216", "#e9edf2"],
        ["surface", "#11141b", "#111827", "#1a1d22", "#1b1712", "#121c20", "#0e1a1e", "#14110c", "#101a20", "#ffffff"],
        ["surfaceAlt", "#181c26", "#162033", "#22262d", "#241e17", "#18262b", "#142428", "#1c1811", "#16232b", "#f1f4f8"],
        ["border", "#262c3a", "#243044", "#333943", "#3a3126", "#294048", "#23393f", "#33291a", "#263b46", "#cfd8e3"],
        ["text", "#e8eaf0", "#e5e7eb", "#e6e8eb", "#ece5da", "#e2ecee", "#dfeaec", "#eee7d8", "#e4eef2", "#1c2530"],
        ["muted", "#8b93a5", "#8b98a9", "#98a0ab", "#a89a86", "#8aa4ab", "#7fa0a6", "#a3957c", "#89a5b0", "#5c6b7a"],
        ["accent", "#c3ccd9", "#38bdf8", "#5fd3c7", "#e0915a", "#4fd1c5", "#2dd4bf", "#f0a832", "#38c6d9", "#2563eb"],
        ["accentText", "#10131a", "#06121d", "#0d1a17", "#20140a", "#0a1a18", "#08201c", "#201503", "#07222a", "#ffffff"],
        ["danger", "#ef4444", "#ef4444", "#ef4444", "#ef4444", "#ef4444", "#ef4444", "#ef4444", "#ef4444", "#dc2626"],
        ["success", "#22c55e", "#22c55e", "#22c55e", "#22c55e", "#22c55e", "#22c55e", "#22c55e", "#22c55e", "#16a34a"],
        ["warning", "#d9a13b", "#f59e0b", "#f59e0b", "#f0b04a", "#f59e0b", "#f59e0b", "#f0a832", "#f59e0b", "#d97706"],
        ["dangerSoft", "#fb7185", "#fb7185", "#fb7185", "#fb7185", "#fb7185", "#fb7185", "#fb7185", "#fb7185", "#b91c1c"],
        ["plotBg", "#0a0e15", "#0b1322", "#14161a", "#161210", "#0d161a", "#0a1519", "#110e09", "#0c151b", "#ffffff"],
        ["plotBorder", "#1d2330", "#1f2c44", "#2a2f38", "#332a21", "#243940", "#1f343a", "#2e2415", "#223642", "#dfe6ee"],
        ["plotGrid", "#141a26", "#152138", "#1c2027", "#211b15", "#15262b", "#122327", "#1b1610", "#13222b", "#e8eef5"],
        ["plotText", "#a7b4c6", "#a4b3c9", "#aab2bc", "#b3a48d", "#9fb8be", "#9cbcc2", "#b3a586", "#9fb9c4", "#5c6b7a"],
        ["plotAxis", "#6d7789", "#6f7f99", "#7b828c", "#8a7a64", "#72929a", "#6d949b", "#8a795c", "#6f96a3", "#64748b"],
        ["plotFg", "#e2e8f0", "#e3e8f2", "#e6e8eb", "#ece5da", "#e2ecee", "#dfeaec", "#eee7d8", "#e4eef2", "#1c2530"],
        ["plotWaveform", "#a78bfa", "#a78bfa", "#a78bfa", "#a78bfa", "#a78bfa", "#a78bfa", "#a78bfa", "#a78bfa", "#7c3aed"],
        ["plotWaveformDim", "#55449B", "#55449B", "#55449B", "#55449B", "#55449B", "#55449B", "#55449B", "#55449B", "#c4b5fd"],
        ["plotSpectrum", "#f0b429", "#f0b429", "#f0b429", "#f0b429", "#f0b429", "#f0b429", "#f0b429", "#f0b429", "#d97706"],
        ["plotCursor", "#22d3ee", "#22d3ee", "#22d3ee", "#22d3ee", "#22d3ee", "#22d3ee", "#22d3ee", "#22d3ee", "#0891b2"],
        ["plotWaterfallBg", "#070a10", "#080e1a", "#0e1013", "#0e0b09", "#0a1114", "#070f12", "#0b0906", "#080f13", "#ffffff"],
        ["contourInk", "#960a0e16", "#960a0e16", "#960a0e16", "#960a0e16", "#960a0e16", "#960a0e16", "#960a0e16", "#960a0e16", "#960a0e16"],
    ]
    readonly property var specifiedNames: ({abyss: "Abyss Black", deepBlue: "Deep Blue",
        graphite: "Graphite Gray", slateCopper: "Slate Copper", mistCyan: "Mist Cyan",
        midnightTeal: "Midnight Teal", carbonAmber: "Carbon Amber", medical: "Medical", light: "Light"})
    readonly property var specifiedSizes: ({radius: 12, fontMicro: 9, fontTiny: 10, fontCaption: 11,
        fontSmall: 12, fontSubhead: 13, fontBody: 14, fontTitle: 17, fontDisplay: 21, fontHero: 24,
        controlHeight: 40})

    SignalSpy {
        id: themeIdSpy
        target: Theme
        signalName: "themeIdChanged"
    }

    SignalSpy {
        id: bgSpy
        target: Theme
        signalName: "bgChanged"
    }

    function cleanup() {
        Theme.themeId = "abyss"
        themeIdSpy.clear()
        bgSpy.clear()
    }

    function expectRolesOf(paletteId, context) {
        const source = Theme.palettes[paletteId]
        for (const role of roles)
            verify(Qt.colorEqual(Theme[role], source[role]),
                   context + ": role " + role + " is " + Theme[role] + ", palette has " + source[role])
    }

    function test_everyColourIsTheSpecifiedOne() {
        compare(Theme.themeOrder, specifiedOrder)
        const keyOrder = specifiedPalette.map(row => row[0])
        for (let column = 0; column < specifiedOrder.length; ++column) {
            const id = specifiedOrder[column]
            compare(Object.keys(Theme.palettes[id]), keyOrder, "key order of " + id)
            Theme.themeId = id
            for (const row of specifiedPalette) {
                const role = row[0], expected = row[column + 1]
                compare(Theme.palettes[id][role], expected, id + "." + role + " as stored")
                verify(Qt.colorEqual(Theme[role], expected), id + "." + role + " is " + Theme[role])
            }
        }
    }

    function test_sizesFontsNamesAndColormapsAreTheSpecifiedOnes() {
        for (const key of Object.keys(specifiedSizes))
            compare(Theme[key], specifiedSizes[key], key)
        compare(Theme.fontUi, "Segoe UI")
        compare(Theme.fontMono, "Consolas")
        for (const id of specifiedOrder)
            compare(Theme.themeNames[id], specifiedNames[id], "source-language name of " + id)
        compare(Theme.colormapViridis, ["#fde725", "#5ec962", "#21918c", "#3b528b", "#440154"])
        compare(Theme.colormapTurbo, ["#7a0403", "#fb7e21", "#a4fc3c", "#28bceb", "#30123b"])
        compare(Theme.colormapJet, ["#800000", "#ff9400", "#7dff7a", "#0080ff", "#000080"])
    }

    function test_startsAtAbyss() {
        compare(Theme.themeId, "abyss")
        expectRolesOf("abyss", "initial")
    }

    function test_orderNamesAndPalettesCoverTheSameNineIds() {
        const order = Theme.themeOrder
        compare(order.length, 9)
        compare(new Set(order).size, 9, "theme ids are unique")
        compare(Object.keys(Theme.palettes).sort(), order.slice().sort())
        compare(Object.keys(Theme.themeNames).sort(), order.slice().sort())
        const names = order.map(id => Theme.themeNames[id])
        for (let i = 0; i < names.length; ++i)
            verify(typeof names[i] === "string" && names[i].length > 0, "display name of " + order[i])
        compare(new Set(names).size, 9, "display names are unique")
    }

    function test_everyThemeDefinesEveryRoleAsAColour() {
        for (const id of Theme.themeOrder) {
            const keys = Object.keys(Theme.palettes[id])
            compare(keys.sort(), roles.slice().sort(), "role keys of " + id)
            for (const role of roles) {
                const value = Theme.palettes[id][role]
                verify(colourPattern.test(value), id + "." + role + " = " + value)
            }
        }
    }

    function test_everyRoleFollowsAThemeSwitchInTheSameTurn() {
        for (const id of Theme.themeOrder) {
            Theme.themeId = id
            compare(Theme.palette, Theme.palettes[id])
            expectRolesOf(id, id)
        }
    }

    function test_themesAreDistinct() {
        const seen = {}
        for (const id of Theme.themeOrder) {
            Theme.themeId = id
            const key = roles.map(role => String(Theme[role])).join(",")
            verify(!(key in seen), id + " repeats the colours of " + seen[key])
            seen[key] = id
        }
    }

    function test_unknownIdsDrawWithTheAbyssPalette_data() {
        return [
            {tag: "empty", id: ""},
            {tag: "unknown", id: "sunset"},
            {tag: "case differs", id: "Light"},
            {tag: "prototype member", id: "constructor"},
            {tag: "prototype method", id: "toString"},
            {tag: "prototype accessor", id: "__proto__"},
            {tag: "own-property check", id: "hasOwnProperty"}
        ]
    }

    function test_unknownIdsDrawWithTheAbyssPalette(data) {
        Theme.themeId = "light"
        Theme.themeId = data.id
        compare(Theme.themeId, data.id, "the id is kept as given")
        compare(Theme.palette, Theme.palettes.abyss)
        expectRolesOf("abyss", data.tag)
    }

    function test_plotBackgroundAt85PercentFollowsEveryTheme() {
        for (const id of Theme.themeOrder) {
            Theme.themeId = id
            const base = Qt.color(Theme.palettes[id].plotBg)
            fuzzyCompare(Theme.plotBg85.r, base.r, 1e-4, id)
            fuzzyCompare(Theme.plotBg85.g, base.g, 1e-4, id)
            fuzzyCompare(Theme.plotBg85.b, base.b, 1e-4, id)
            fuzzyCompare(Theme.plotBg85.a, 0.85, 1e-4, id)
        }
    }

    function test_contourInkIsOneTranslucentInkInEveryTheme() {
        const first = Theme.contourInk
        verify(first.a > 0 && first.a < 1, "ink alpha " + first.a)
        for (const id of Theme.themeOrder) {
            Theme.themeId = id
            verify(Qt.colorEqual(Theme.contourInk, first), id)
        }
    }

    function test_colormapsDoNotChangeWithTheTheme() {
        const before = [Theme.colormapViridis.slice(), Theme.colormapTurbo.slice(),
                        Theme.colormapJet.slice()]
        for (const list of before) {
            compare(list.length, 5)
            for (const c of list)
                verify(colourPattern.test(c), c)
        }
        for (const id of Theme.themeOrder) {
            Theme.themeId = id
            compare([Theme.colormapViridis, Theme.colormapTurbo, Theme.colormapJet], before, id)
        }
    }

    function test_oneSwitchNotifiesOnce() {
        Theme.themeId = "light"
        compare(themeIdSpy.count, 1)
        compare(bgSpy.count, 1)
        Theme.themeId = "light"
        compare(themeIdSpy.count, 1, "the same id again is no change")
    }

    function test_rolesAreReadOnly() {
        const before = Theme.bg
        let threw = false
        try {
            Theme.bg = "#123456"
        } catch (e) {
            threw = true
        }
        verify(threw, "assigning a role throws")
        verify(Qt.colorEqual(Theme.bg, before))
    }
}
