import QtQuick
import QtQuick.Controls
import QtTest
import SorvantaApp

Item {
    id: root
    width: 640
    height: 480

    TestCase {
        id: testCase
        name: "ThemedDialog"
        when: windowShown

        Component {
            id: dialogComponent
            ThemedDialog {
                Label {
                    text: "Body"
                }
            }
        }

        function footerButtons(dialog) {
            const box = dialog.footer
            const buttons = []
            for (let i = 0; i < box.count; ++i)
                buttons.push(box.itemAt(i))
            return buttons
        }

        function openDialog(properties) {
            const dialog = createTemporaryObject(dialogComponent, root, properties)
            dialog.open()
            tryVerify(() => dialog.opened)
            return dialog
        }

        function test_buttonTextsByRole() {
            const dialog = createTemporaryObject(dialogComponent, root, {standardButtons: Dialog.Ok})
            compare(dialog.standardButtonText(DialogButtonBox.AcceptRole), "OK")
            compare(dialog.standardButtonText(DialogButtonBox.YesRole), "Yes")
            compare(dialog.standardButtonText(DialogButtonBox.NoRole), "No")
            compare(dialog.standardButtonText(DialogButtonBox.RejectRole), "Cancel")
            compare(dialog.standardButtonText(DialogButtonBox.ApplyRole), "")
            compare(dialog.standardButtonText(DialogButtonBox.DestructiveRole), "")
            dialog.standardButtons = Dialog.Close
            compare(dialog.standardButtonText(DialogButtonBox.RejectRole), "Close")
        }

        function test_okAndCancelTakeTheAcceptToneAndNeutral_data() {
            return [{tag: "default accept kind", kind: undefined, expected: 1},
                    {tag: "destructive confirmation", kind: 2, expected: 2}]
        }

        function test_okAndCancelTakeTheAcceptToneAndNeutral(data) {
            const properties = {title: "Confirm", standardButtons: Dialog.Ok | Dialog.Cancel}
            if (data.kind !== undefined)
                properties.acceptKind = data.kind
            const dialog = openDialog(properties)
            const buttons = footerButtons(dialog)
            compare(buttons.length, 2)
            const ok = buttons.find(b => b.text === "OK")
            const cancel = buttons.find(b => b.text === "Cancel")
            verify(ok !== undefined && cancel !== undefined, buttons.map(b => b.text).join(","))
            compare(ok.kind, data.expected)
            compare(cancel.kind, 0)
            verify(Qt.colorEqual(ok.contentItem.color, ok.tone))
            verify(Qt.colorEqual(cancel.contentItem.color, Theme.text))
            const accepted = createTemporaryObject(spyComponent, root, {target: dialog, signalName: "accepted"})
            mouseClick(ok)
            compare(accepted.count, 1)
        }

        function test_okAndCancelStandApart() {
            const dialog = openDialog({title: "Confirm", standardButtons: Dialog.Ok | Dialog.Cancel})
            const boxes = footerButtons(dialog).map(b => b.mapToItem(root, 0, 0, b.width, b.height))
                                               .sort((a, b) => a.x - b.x)
            compare(boxes.length, 2)
            compare(boxes[0].y, boxes[1].y)
            verify(boxes[1].x - (boxes[0].x + boxes[0].width) >= 8,
                   "gap " + (boxes[1].x - (boxes[0].x + boxes[0].width)))
        }

        function test_closeAloneIsOneNeutralButton() {
            const dialog = openDialog({title: "About", standardButtons: Dialog.Close})
            const buttons = footerButtons(dialog)
            compare(buttons.length, 1)
            compare(buttons[0].text, "Close")
            compare(buttons[0].kind, 0)
        }

        function test_yesAndNo() {
            const dialog = openDialog({title: "Replace?", standardButtons: Dialog.Yes | Dialog.No, acceptKind: 2})
            const texts = footerButtons(dialog).map(b => b.text + ":" + b.kind).sort()
            compare(texts, ["No:0", "Yes:2"])
        }

        function test_acceptEnabledHoldsOnlyTheAcceptingButton_data() {
            return [{tag: "ok and cancel", buttons: Dialog.Ok | Dialog.Cancel, accepting: "OK", other: "Cancel"},
                    {tag: "yes and no", buttons: Dialog.Yes | Dialog.No, accepting: "Yes", other: "No"}]
        }

        function test_acceptEnabledHoldsOnlyTheAcceptingButton(data) {
            const dialog = openDialog({title: "Name", standardButtons: data.buttons, acceptEnabled: false})
            const buttons = footerButtons(dialog)
            const accepting = buttons.find(b => b.text === data.accepting)
            const other = buttons.find(b => b.text === data.other)
            verify(!accepting.enabled)
            verify(other.enabled)
            dialog.acceptEnabled = true
            verify(accepting.enabled)
        }

        // Enter from a text field inside the dialog, pressed as a key.
        function test_enterPressesTheDefaultButtonUnlessItIsDestructive_data() {
            return [{tag: "ok", buttons: Dialog.Ok | Dialog.Cancel, kind: 1, enabled: true, result: "accepted"},
                    {tag: "yes", buttons: Dialog.Yes | Dialog.No, kind: 1, enabled: true, result: "accepted"},
                    {tag: "destructive yes", buttons: Dialog.Yes | Dialog.No, kind: 2, enabled: true, result: "open"},
                    {tag: "disabled ok", buttons: Dialog.Ok | Dialog.Cancel, kind: 1, enabled: false, result: "open"},
                    {tag: "close alone", buttons: Dialog.Close, kind: 1, enabled: true, result: "rejected"}]
        }

        function test_enterPressesTheDefaultButtonUnlessItIsDestructive(data) {
            const dialog = createTemporaryObject(fieldDialogComponent, root,
                                                 {standardButtons: data.buttons, acceptKind: data.kind,
                                                  acceptEnabled: data.enabled})
            const accepted = createTemporaryObject(spyComponent, root, {target: dialog, signalName: "accepted"})
            const rejected = createTemporaryObject(spyComponent, root, {target: dialog, signalName: "rejected"})
            dialog.open()
            tryVerify(() => dialog.opened)
            dialog.field.forceActiveFocus()
            keyClick(Qt.Key_Return)
            compare(accepted.count, data.result === "accepted" ? 1 : 0)
            compare(rejected.count, data.result === "rejected" ? 1 : 0)
            if (data.result === "open")
                verify(dialog.opened)
            else
                tryVerify(() => !dialog.visible)
        }

        // Without a focused field the dialog itself holds the keyboard; Tab walks to the footer buttons,
        // which show their focus, and Enter presses the focused one.
        function test_tabShowsTheFocusedButtonAndEnterPressesIt() {
            const dialog = openDialog({title: "Go?", standardButtons: Dialog.Ok | Dialog.Cancel})
            const rejected = createTemporaryObject(spyComponent, root, {target: dialog, signalName: "rejected"})
            const cancel = footerButtons(dialog).find(b => b.text === "Cancel")
            for (let i = 0; i < 4 && !cancel.activeFocus; ++i)
                keyClick(Qt.Key_Tab)
            verify(cancel.activeFocus, "Tab reaches Cancel")
            verify(cancel.visualFocus)
            compare(cancel.background.border.width, 2)
            verify(Qt.colorEqual(cancel.background.border.color, Theme.accent))
            keyClick(Qt.Key_Return)
            compare(rejected.count, 1)
        }

        Component {
            id: fieldDialogComponent
            ThemedDialog {
                property alias field: input
                TextField { id: input }
            }
        }

        function test_emptyTitleAndNoButtonsTakeNoSpace() {
            const bare = openDialog({})
            compare(bare.header.visible, false)
            compare(bare.implicitHeaderHeight, 0)
            compare(bare.footer.visible, false)
            compare(bare.implicitFooterHeight, 0)
            const bareHeight = bare.implicitHeight
            bare.close()

            const full = openDialog({title: "Title", standardButtons: Dialog.Ok})
            verify(full.header.visible)
            verify(full.implicitHeaderHeight > 0)
            verify(full.footer.visible)
            verify(full.implicitFooterHeight > 0)
            verify(full.implicitHeight >= bareHeight + full.implicitHeaderHeight + full.implicitFooterHeight)
        }

        Component {
            id: spyComponent
            SignalSpy {}
        }
    }
}
