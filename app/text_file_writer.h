#pragma once

#include <QString>

namespace zk::app {

// Writes folder + "/" + fileName as UTF-8 through a save file: the target is replaced only when the
// whole text reached the disk, so a failure leaves the earlier file (or none) under the final name and
// no temporary file behind. fileName must be a plain name inside folder (no separator, not "." or
// ".."). Returns true only when the commit succeeded; otherwise error (when given) receives the reason.
bool writeTextFileAtomically(const QString& folder, const QString& fileName, const QString& text,
                             QString* error = nullptr);

}  // namespace zk::app
