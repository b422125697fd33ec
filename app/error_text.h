#pragma once

#include <QString>
#include <exception>

#include "core/storage/lock_wait.h"

namespace zk::app {

// Why another program's work made the core refuse: the one wording of each reason an
// EntryUnavailable carries, in the language of the interface at the moment of the call.
QString unavailableReason(const core::EntryUnavailable& refused);

// A failure the core reports, for the "...: %1" of a line the user reads: a refusal by its reason as
// above, any other error as the core words it. Any thread.
QString textOf(const std::exception& error);

}  // namespace zk::app
