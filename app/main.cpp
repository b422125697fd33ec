#include <QElapsedTimer>
#include <QFont>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickStyle>
#include <QSettings>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "app/application_identity.h"
#include "app/console_message_handler.h"
#include "app/file_dialog_warmup.h"
#include "app/i18n_manager.h"
#include "app/platform/console_output.h"
#include "app/platform/file_size_limit.h"
#include "app/platform/media_backend.h"
#include "app/platform/openmp_environment.h"
#include "app/platform/process_memory.h"
#include "app/startup_selection.h"
#include "app/ui_controller.h"
#include "camera/camera_filter_chain.h"
#include "device/device_controller.h"

namespace {

// Test and measurement switches of the environment: quit once started, and print the times from the
// entry of main to the QML root object and to the end of start-up.
bool environmentFlag(const char* name) { return qEnvironmentVariableIntValue(name) != 0; }

}  // namespace

int main(int argc, char** argv) {
    using namespace zk::app;
    QElapsedTimer startClock;
    startClock.start();

    platform::limitHeapRetention();
    platform::attachParentConsole();
    platform::reportFileSizeLimitAsWriteFailure();
    qInstallMessageHandler(consoleMessageHandler);
    platform::preferPassiveOpenMpWait(argv);
    platform::selectMediaBackend();

    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    auto font = std::make_unique<QFont>(QStringLiteral("Segoe UI"));
    font->setPointSizeF(10.5);
    QGuiApplication::setFont(*font);
    QCoreApplication::setOrganizationName(organizationName());
    QCoreApplication::setApplicationName(applicationName());
    QCoreApplication::setApplicationVersion(applicationVersion());

    auto engine = std::make_unique<QQmlApplicationEngine>();
    QQmlContext* context = engine->rootContext();
    auto* i18n = new I18nManager(app.get(), engine.get());
    context->setContextProperty(QStringLiteral("i18n"), i18n);
    i18n->setLanguage(QSettings().value(QStringLiteral("ui/language"), QStringLiteral("zh_CN")).toString());

    auto* ui = new UiController(engine.get(), engine.get());
    context->setContextProperty(QStringLiteral("ui"), ui);
    QObject::connect(i18n, &I18nManager::languageChanged, ui, [ui] { ui->refreshLocalizedStrings(); });

    context->setContextProperty(QStringLiteral("cameraFilter"),
                                new zk::camera::CameraFilterChain(engine.get()));
    context->setContextProperty(QStringLiteral("deviceCtl"),
                                new zk::device::DeviceController(ui, engine.get()));

    ui->registerImageProviders(*engine);

    const QStringList arguments = QCoreApplication::arguments();
    if (const auto theme = optionValue(arguments, QStringLiteral("--ui-theme"))) ui->setUiTheme(*theme);

    // The module's files sit under this resource folder; on the import path, other files can import
    // the module by name.
    engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine->load(QUrl(QStringLiteral("qrc:/qt/qml/SorvantaApp/Main.qml")));
    if (engine->rootObjects().isEmpty()) {
        engine.reset();
        font.reset();
        app.reset();
        return -1;
    }
    if (environmentFlag("SORVANTA_STARTUP_TIMING")) {
        qInfo("startup: QML root object after %lld ms", static_cast<long long>(startClock.elapsed()));
    }

    if (const auto profile = optionValue(arguments, QStringLiteral("--profile"))) {
        ui->importProfile(*profile);
    } else {
        const QString remembered = QSettings().value(QStringLiteral("profilePath")).toString();
        const QString path = startupProfilePath(remembered, QCoreApplication::applicationDirPath());
        if (!path.isEmpty()) ui->importProfile(path);
    }
    if (const auto project = optionValue(arguments, QStringLiteral("--project"))) {
        ui->openProject(*project);
    } else {
        const QString path =
            startupProjectPath(QSettings().value(QStringLiteral("lastProjectPath")).toString());
        if (!path.isEmpty()) ui->openProject(path);
    }
    if (const auto source = optionValue(arguments, QStringLiteral("--source"))) ui->setSource(*source);

    QThreadPool::globalInstance()->start(new FileDialogWarmup);
    if (environmentFlag("SORVANTA_STARTUP_TIMING")) {
        qInfo("startup: started after %lld ms", static_cast<long long>(startClock.elapsed()));
    }

    if (environmentFlag("SORVANTA_QUIT_AFTER_START"))
        QTimer::singleShot(0, app.get(), &QCoreApplication::quit);
    const int result = QCoreApplication::exec();
    engine.reset();
    font.reset();
    app.reset();
    return result;
}
