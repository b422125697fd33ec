#include "app/i18n_manager.h"

#include <QCoreApplication>
#include <QQmlEngine>
#include <QtDebug>

namespace zk::app {

I18nManager::I18nManager(QCoreApplication* application, QQmlEngine* engine)
    : QObject(engine), application_(application), engine_(engine) {}

I18nManager::~I18nManager() = default;

void I18nManager::setLanguage(const QString& language) {
    if (application_ != nullptr) application_->removeTranslator(&translator_);
    if (!language.isEmpty() && language != QLatin1String("en")) {
        const QString resource = QStringLiteral(":/i18n/sorvanta_") + language + QStringLiteral(".qm");
        if (translator_.load(resource)) {
            if (application_ != nullptr) application_->installTranslator(&translator_);
        } else {
            qWarning().noquote() << "i18n: translation missing for" << language
                                 << "-- source strings stay visible";
        }
    }
    if (engine_ != nullptr) engine_->retranslate();
    emit languageChanged(language);
}

}  // namespace zk::app
