#pragma once

#include <QRegularExpression>
#include <QStringList>
#include <QTest>
#include <memory>

#include "device/device_controller.h"
#include "fake_network_probe.h"

namespace zk::device::testing {

// A controller over a scripted port list, profile and network probe; the serial thread is real.
struct ControllerRig {
    QList<SerialPortListing> ports;
    const core::DeviceProfile* profile = nullptr;
    FakeNetworkProbe* probe = nullptr;  // owned by the controller
    std::unique_ptr<DeviceController> controller;

    explicit ControllerRig(QList<SerialPortListing> portList,
                           const core::DeviceProfile* activeProfile = nullptr)
        : ports(std::move(portList)), profile(activeProfile) {
        auto fake = std::make_unique<FakeNetworkProbe>();
        probe = fake.get();
        DeviceController::Services services;
        services.activeProfile = [this] { return profile; };
        services.listPorts = [this] { return ports; };
        services.networkProbe = std::move(fake);
        controller = std::make_unique<DeviceController>(std::move(services));
    }

    DeviceController& operator*() { return *controller; }
    DeviceController* operator->() { return controller.get(); }

    // Runs the event loop until no action is queued; false after the timeout.
    bool waitIdle(int timeoutMs = 15000) {
        return QTest::qWaitFor([this] { return !controller->busy(); }, timeoutMs);
    }

    // The log texts, oldest first, without their time stamps (each checked for its "[HH:mm:ss] " form).
    QStringList log() const {
        static const QRegularExpression line(QStringLiteral(R"(^\[\d\d:\d\d:\d\d\] (.*)$)"));
        QStringList texts;
        for (const QString& entry : controller->logText().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const auto match = line.match(entry);
            texts.prepend(match.hasMatch() ? match.captured(1) : QStringLiteral("<malformed> ") + entry);
        }
        return texts;
    }
};

inline core::FirPreset firPreset(std::string id, std::vector<std::int32_t> coefficients) {
    core::FirPreset preset;
    preset.id = std::move(id);
    preset.coefficients = std::move(coefficients);
    return preset;
}

}  // namespace zk::device::testing
