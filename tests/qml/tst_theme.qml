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
