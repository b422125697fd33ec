#pragma once

#include <QOpenGLContext>
#include <string>

namespace zk::qmltest {

// Why the render tests cannot run (no X server); empty when they can.
inline std::string& renderUnavailableReason() {
    static std::string reason;
    return reason;
}

// Why no OpenGL window can be drawn here (no X server, or no context on it); empty when one can.
inline std::string openGlUnavailableReason() {
    if (!renderUnavailableReason().empty())
        return "no X server for an OpenGL window: " + renderUnavailableReason();
    QOpenGLContext probe;
    return probe.create() ? std::string() : "no OpenGL context on this X server";
}

}  // namespace zk::qmltest
