#pragma once

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSize>
#include <QString>
#include <QTest>
#include <QUrl>

#include "app/i18n_manager.h"

namespace zk::qmltest {

// The main window made over the engine's application context (installApplicationContext) in the
// language, at the size, exposed and active: the keyboard reaches the active window only. Null, with
// the reason in `error`, when it cannot be made; the caller owns the window.
inline QQuickWindow* openMainWindow(QQmlEngine& engine, const QString& language, QSize size, QString* error) {
    auto* i18n = qobject_cast<app::I18nManager*>(
        engine.rootContext()->contextProperty(QStringLiteral("i18n")).value<QObject*>());
    if (!i18n) {
        *error = QStringLiteral("no language switch in the context");
        return nullptr;
    }
    i18n->setLanguage(language);
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/qt/qml/SorvantaApp/Main.qml")));
    auto* window = qobject_cast<QQuickWindow*>(component.create());
    if (!window) {
        *error = component.errorString();
        return nullptr;
    }
    window->resize(size);
    const bool exposed = QTest::qWaitForWindowExposed(window);
    if (exposed) window->requestActivate();
    if (!exposed || !QTest::qWaitForWindowActive(window)) {
        *error = QStringLiteral("the window was never shown and active");
        delete window;
        return nullptr;
    }
    return window;
}

}  // namespace zk::qmltest
