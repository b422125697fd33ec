#pragma once

namespace zk::app::platform {

// Chooses the Qt Multimedia backend of this platform unless "QT_MEDIA_BACKEND" already names one.
// Call before the first Qt Multimedia object exists (before the GUI application is made).
void selectMediaBackend() noexcept;

}  // namespace zk::app::platform
