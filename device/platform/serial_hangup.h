#pragma once

class QSerialPort;

namespace zk::device {

// True when the other end of an open port is gone (adapter unplugged, terminal hung up). Qt reports
// such a port as merely quiet, so a wait on it would run to its full time-out. Does not block.
bool serialPortHungUp(const QSerialPort& port);

}  // namespace zk::device
