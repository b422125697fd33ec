#include <cstdlib>

#include "app/platform/media_backend.h"

namespace zk::app::platform {

// Qt 6.4's GStreamer backend runs a placeholder test source in a capture session without a camera;
// tearing such a session down can hang the GUI thread in the pipeline's pad deactivation while the
// source's thread waits in the video sink's preroll. The FFmpeg backend drives V4L2 cameras and
// encodes without such a pipeline.
void selectMediaBackend() noexcept {
    const char* current = std::getenv("QT_MEDIA_BACKEND");
    if (current != nullptr && *current != '\0') return;
    setenv("QT_MEDIA_BACKEND", "ffmpeg", 1);
}

}  // namespace zk::app::platform
