import QtQuick

// Keeps the keyboard's place in sight. Every view that holds the focused item scrolls just far enough
// to show it; PageUp, PageDown, Up, Down, Home and End scroll the view around the focus, or the shown
// page when the focus lies outside it.
QtObject {
    // The workspace stack whose current page the keys scroll when the focus lies in no view.
    property Item stack: null
    readonly property int margin: 12
    readonly property int lineStep: 48

    function scrolls(view) {
        return view instanceof Flickable && view.visible && view.contentHeight > view.height + 1
    }

    function clampedY(view, y) {
        return Math.max(view.originY, Math.min(y, view.originY + view.contentHeight - view.height))
    }

    // Innermost view first, so an outer view then shows the item where the inner one has put it.
    function reveal(item) {
        for (let view = item ? item.parent : null; view; view = view.parent) {
            if (!scrolls(view))
                continue
            const box = item.mapToItem(view.contentItem, 0, 0, item.width, item.height)
            let y = view.contentY
            if (box.y + box.height + margin > y + view.height)
                y = box.y + box.height + margin - view.height
            if (box.y - margin < y)
                y = box.y - margin
            view.contentY = clampedY(view, y)
        }
    }

    // The first view of the item's tree that scrolls, nearest the top first.
    function firstView(item) {
        const pending = [item]
        while (pending.length > 0) {
            const at = pending.shift()
            if (!at || !at.visible)
                continue
            if (scrolls(at))
                return at
            for (let i = 0; i < at.children.length; ++i)
                pending.push(at.children[i])
        }
        return null
    }

    function viewFor(focusItem) {
        for (let at = focusItem; at; at = at.parent) {
            if (scrolls(at))
                return at
        }
        return stack ? firstView(stack.children[stack.currentIndex]) : null
    }

    // True when the key scrolled a view.
    function scrollByKey(key, focusItem) {
        if ([Qt.Key_PageUp, Qt.Key_PageDown, Qt.Key_Up, Qt.Key_Down, Qt.Key_Home, Qt.Key_End].indexOf(key) < 0)
            return false
        const view = viewFor(focusItem)
        if (!view)
            return false
        const page = Math.max(lineStep, view.height - lineStep)
        const top = view.originY
        const bottom = view.originY + view.contentHeight - view.height
        switch (key) {
        case Qt.Key_PageUp: view.contentY = clampedY(view, view.contentY - page); return true
        case Qt.Key_PageDown: view.contentY = clampedY(view, view.contentY + page); return true
        case Qt.Key_Up: view.contentY = clampedY(view, view.contentY - lineStep); return true
        case Qt.Key_Down: view.contentY = clampedY(view, view.contentY + lineStep); return true
        case Qt.Key_Home: view.contentY = top; return true
        case Qt.Key_End: view.contentY = bottom; return true
        default: return false
        }
    }
}
