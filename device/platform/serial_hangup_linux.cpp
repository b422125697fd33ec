#include <poll.h>

#include <QSerialPort>

#include "device/platform/serial_hangup.h"

namespace zk::device {

bool serialPortHungUp(const QSerialPort& port) {
    const int descriptor = port.handle();
    if (descriptor < 0) return false;
    pollfd watch{descriptor, POLLIN, 0};
    if (::poll(&watch, 1, 0) <= 0) return false;
    // A hung-up terminal also reports POLLIN, but every read then returns end of file.
    return (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace zk::device
