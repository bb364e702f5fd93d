// The frame that a window manager puts around a top-level window, known before the window is
// first mapped. The windows' sizes are given frame included, so they can open at their size
// instead of being resized in front of the user once the frame turns up.
#pragma once

#include <QMargins>

class QWidget;

namespace glyphshift::ui {

// The frame `window` will get, in its own pixels. Asked before the window is first shown (its
// show event): on X11 the window manager's estimate (_NET_REQUEST_FRAME_EXTENTS), waited for
// briefly; elsewhere, or when no window manager answers, the frame the platform reports for the
// window now, which on X11 before mapping is none.
QMargins ExpectedFrame(QWidget& window);

}  // namespace glyphshift::ui
