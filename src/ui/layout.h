// The table-driven layout of the main dialog: each control's edges follow the dialog's edges
// as its anchors say. Pure geometry, free of any toolkit: rectangles and client sizes in,
// rectangles out. The toolkit side reads the controls and moves them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace glyphshift::ui {

// Anchor bits: which edges keep their recorded position (top, left) or their recorded
// distance from the client area's far edge (bottom, right).
inline constexpr std::uint32_t kAnchorTop = 1;
inline constexpr std::uint32_t kAnchorLeft = 2;
inline constexpr std::uint32_t kAnchorBottom = 4;
inline constexpr std::uint32_t kAnchorRight = 8;

// One entry of a layout table; an entry with controlId 0 ends the table.
struct ControlLayout {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  std::int32_t initialClientWidth = 0;
  std::int32_t initialClientHeight = 0;
  std::uint32_t controlId = 0;
  std::uint32_t anchors = 0;
};

struct LayoutRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  bool operator==(const LayoutRect&) const = default;
};

struct ClientSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Where a control goes: position and size in client coordinates.
struct ControlPlacement {
  std::uint32_t controlId = 0;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool operator==(const ControlPlacement&) const = default;
};

inline constexpr std::size_t kMainDialogLayoutSize = 16;  // 15 controls and the terminating entry

// The main dialog's table in its order, rectangles zero until recorded. A dialog copies it and
// records into its copy, so two dialogs never share recorded state.
extern const std::array<ControlLayout, kMainDialogLayoutSize> kMainDialogLayout;

// Number of entries before the terminating one.
std::size_t CountLayoutEntries(const ControlLayout* table);

// Records every control's rectangle (client coordinates, as `rectOf` reports it) and the client
// size at the time, up to the terminating entry.
void CaptureLayout(ControlLayout* table, ClientSize client,
                   const std::function<LayoutRect(std::uint32_t controlId)>& rectOf);

// The placement of every control of a recorded table for a client area of `client`, in table order.
std::vector<ControlPlacement> ApplyLayout(const ControlLayout* table, ClientSize client);

// A one-line text control (a label, a check box) placed at `rect`, whose text needs `needed`
// pixels of width in the dialog's own font (a check box's box and gap included): widened to
// show it whole, but never past `limitRight`. A font wider than the template's own would
// otherwise cut the text off at the template's width.
LayoutRect FitTextWidth(const LayoutRect& rect, std::int32_t needed, std::int32_t limitRight);

struct ControlTemplate;
// Whether a control of the main dialog's template shows its text on one line that must show
// whole (the labels of one line, the check boxes), and how far right it may grow then, in
// dialog units: to the dialog's margin, or inside the group box that holds it, as far from the
// box's right side as it is from its left. Nothing for the other controls.
std::optional<std::int32_t> TextGrowthLimit(const ControlTemplate& control);

// The help window: its text fills the client area less kHelpEditMargin in width, from where the
// template put it; the Close button sits below it at the right, half the margin from the
// client's edges and from the text.
inline constexpr std::int32_t kHelpEditMargin = 10;
struct HelpWindowPlacement {
  ControlPlacement text;
  ControlPlacement close;
};
HelpWindowPlacement PlaceHelpWindow(ClientSize client, std::int32_t textLeft, std::int32_t textTop,
                                    ClientSize closeButton);

// Size limits of the main dialog, in pixels of the whole window (frame included): it cannot be
// made narrower than 300, and its height is held at 400.
inline constexpr std::int32_t kMinTrackWidth = 300;
inline constexpr std::int32_t kMinTrackHeight = 400;
inline constexpr std::int32_t kMaxTrackHeight = 400;

struct ClientSizeLimits {
  std::int32_t minWidth = 0;
  std::int32_t minHeight = 0;
  std::int32_t maxHeight = 0;
};

// The same limits for the client area of a window whose frame adds `frameWidth` and
// `frameHeight` pixels (toolkits that size the client area, not the whole window, need these).
ClientSizeLimits MainDialogClientLimits(std::int32_t frameWidth, std::int32_t frameHeight);

}  // namespace glyphshift::ui
