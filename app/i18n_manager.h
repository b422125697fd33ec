#pragma once

#include <QObject>
#include <QString>
#include <QTranslator>

class QCoreApplication;
class QQmlEngine;

namespace zk::app {

// Switches the one translation of the process at run time and makes QML re-read its texts. GUI
// thread only. It does not remember the language: the controller's "ui/language" setting does.
class I18nManager : public QObject {
    Q_OBJECT
  public:
    // The engine is also the QObject parent; neither pointer is owned. A null engine skips the
    // retranslation of QML bindings.
    I18nManager(QCoreApplication* application, QQmlEngine* engine);
    ~I18nManager() override;

    // "" and "en" show the source texts; any other code loads ":/i18n/sorvanta_<code>.qm" or warns
    // that the translation is missing. Always ends with languageChanged(language).
    Q_INVOKABLE void setLanguage(const QString& language);

  signals:
    void languageChanged(const QString& language);

  private:
    QCoreApplication* application_;
    QQmlEngine* engine_;
    QTranslator translator_;
};

}  // namespace zk::app
