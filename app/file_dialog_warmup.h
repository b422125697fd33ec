#pragma once

#include <QRunnable>

namespace zk::app {

// The start-up task that preloads the platform's file-open dialog on a thread of the global pool.
// It touches no shared state; the pool deletes it when it has run.
class FileDialogWarmup : public QRunnable {
  public:
    void run() override;
};

}  // namespace zk::app
