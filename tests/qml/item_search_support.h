#pragma once

#include <QQuickItem>
#include <QString>

namespace zk::qmltest {

// The first item named `name` below `root` in the visual tree, depth first; a Repeater's delegates are
// reached only this way, since they are no QObject children of the item that shows them.
inline QQuickItem* findItem(QQuickItem* root, const QString& name) {
    for (QQuickItem* child : root->childItems()) {
        if (child->objectName() == name) return child;
        if (QQuickItem* found = findItem(child, name)) return found;
    }
    return nullptr;
}

}  // namespace zk::qmltest
