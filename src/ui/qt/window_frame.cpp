#include "ui/qt/window_frame.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#if GLYPHSHIFT_HAVE_XCB
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>
#endif

namespace glyphshift::ui {

#if GLYPHSHIFT_HAVE_XCB
namespace {

// Window managers answer at once; one that has not answered by then is not going to.
constexpr auto kAnswerTimeout = std::chrono::milliseconds(500);
constexpr auto kPollInterval = std::chrono::milliseconds(2);

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name) {
  const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The 32-bit items of a property, empty when it is missing or of another type.
std::vector<std::uint32_t> Property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
                                    std::uint32_t maxItems) {
  const Reply<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, name, type, 0, maxItems), nullptr));
  if (!reply || reply->type != type || reply->format != 32) return {};
  const auto* items = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  const auto count = static_cast<std::size_t>(xcb_get_property_value_length(reply.get())) / sizeof(std::uint32_t);
  return std::vector<std::uint32_t>(items, items + count);
}

struct Atoms {
  xcb_atom_t supportingCheck;
  xcb_atom_t supported;
  xcb_atom_t requestExtents;
  xcb_atom_t frameExtents;
};

// A running window manager names a check window that names itself again (a list of supported
// features left behind by one that has ended names none), and lists the estimate among them.
bool WindowManagerEstimatesFrames(xcb_connection_t* connection, xcb_window_t root, const Atoms& atoms) {
  const std::vector<std::uint32_t> check = Property(connection, root, atoms.supportingCheck, XCB_ATOM_WINDOW, 1);
  if (check.empty() || Property(connection, check[0], atoms.supportingCheck, XCB_ATOM_WINDOW, 1) != check) return false;
  const std::vector<std::uint32_t> supported = Property(connection, root, atoms.supported, XCB_ATOM_ATOM, 4096);
  return std::find(supported.begin(), supported.end(), atoms.requestExtents) != supported.end();
}

std::optional<QMargins> AskWindowManager(QWidget& window) {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
  if (connection == nullptr) return std::nullopt;
  const auto id = static_cast<xcb_window_t>(window.winId());
  const Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection, xcb_query_tree(connection, id), nullptr));
  if (!tree) return std::nullopt;
  const Atoms atoms = {InternAtom(connection, "_NET_SUPPORTING_WM_CHECK"), InternAtom(connection, "_NET_SUPPORTED"),
                       InternAtom(connection, "_NET_REQUEST_FRAME_EXTENTS"),
                       InternAtom(connection, "_NET_FRAME_EXTENTS")};
  if (!WindowManagerEstimatesFrames(connection, tree->root, atoms)) return std::nullopt;

  xcb_client_message_event_t request{};
  request.response_type = XCB_CLIENT_MESSAGE;
  request.format = 32;
  request.window = id;
  request.type = atoms.requestExtents;
  xcb_send_event(connection, 0, tree->root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&request));
  xcb_flush(connection);

  // The answer is a property on our window. Qt's own thread takes the events, so the property
  // is read until it appears.
  const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
  do {
    const std::vector<std::uint32_t> extents =
        Property(connection, id, atoms.frameExtents, XCB_ATOM_CARDINAL, 4);  // left, right, top, bottom
    if (extents.size() == 4) {
      const auto px = [&](std::uint32_t native) { return qRound(native / window.devicePixelRatioF()); };
      return QMargins(px(extents[0]), px(extents[2]), px(extents[1]), px(extents[3]));
    }
    std::this_thread::sleep_for(kPollInterval);
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

}  // namespace
#endif

QMargins ExpectedFrame(QWidget& window) {
  window.winId();  // the native window, so that there is something to ask about
#if GLYPHSHIFT_HAVE_XCB
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    if (const std::optional<QMargins> estimate = AskWindowManager(window)) return *estimate;
  }
#endif
  const QWindow* handle = window.windowHandle();
  return handle != nullptr ? handle->frameMargins() : QMargins();
}

}  // namespace glyphshift::ui
