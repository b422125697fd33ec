#pragma once

#include <QCoreApplication>

namespace zk::app {

// The catalogue context of every text the controller shows or logs, also from its helpers and worker
// threads: UiText::tr translates with the translator installed at the moment of the call, so the event
// log keeps each line in the language it was written in.
class UiText {
    Q_DECLARE_TR_FUNCTIONS(UiController)
};

}  // namespace zk::app
