#include "ui/layout.h"

#include <algorithm>

#include "ui/dialog_ids.h"
#include "ui/dialog_templates.h"

namespace glyphshift::ui {

namespace {
constexpr std::uint32_t kStretchWide = kAnchorTop | kAnchorLeft | kAnchorRight;  // 11
constexpr std::uint32_t kFollowRight = kAnchorTop | kAnchorRight;                // 9
constexpr std::uint32_t kBottomRight = kAnchorBottom | kAnchorRight;             // 12
constexpr std::uint32_t kStay = kAnchorTop | kAnchorLeft;                        // 3

constexpr ControlLayout Entry(std::uint32_t id, std::uint32_t anchors) {
  ControlLayout entry;
  entry.controlId = id;
  entry.anchors = anchors;
  return entry;
}
}  // namespace

const std::array<ControlLayout, kMainDialogLayoutSize> kMainDialogLayout = {
    Entry(IDC_OPTIONS_GROUP, kStretchWide),
    Entry(IDC_FILETYPE_GROUP, kStretchWide),
    Entry(IDC_SOURCE_LIST, kStretchWide),
    Entry(IDC_DESTINATION_LIST, kStretchWide),
    Entry(IDC_SOURCE_PATH, kStretchWide),
    Entry(IDC_DESTINATION_PATH, kStretchWide),
    Entry(IDC_SOURCE_BUTTON, kFollowRight),
    Entry(IDC_DESTINATION_BUTTON, kFollowRight),
    Entry(IDC_CONVERT, kBottomRight),
    Entry(IDC_CANCEL, kBottomRight),
    Entry(IDC_MODIFY_HTML, kStay),
    Entry(IDC_MODIFY_XML, kStay),
    Entry(IDC_NO_BOM, kStay),
    Entry(IDC_LINE_BREAK_LIST, kStay),
    Entry(IDC_LINE_BREAK_NOTE, kStretchWide),
    ControlLayout{},
};

std::size_t CountLayoutEntries(const ControlLayout* table) {
  std::size_t count = 0;
  while (table[count].controlId != 0) ++count;
  return count;
}

void CaptureLayout(ControlLayout* table, ClientSize client,
                   const std::function<LayoutRect(std::uint32_t controlId)>& rectOf) {
  for (ControlLayout* entry = table; entry->controlId != 0; ++entry) {
    entry->initialClientWidth = client.width;
    entry->initialClientHeight = client.height;
    const LayoutRect rect = rectOf(entry->controlId);
    entry->left = rect.left;
    entry->top = rect.top;
    entry->right = rect.right;
    entry->bottom = rect.bottom;
  }
}

namespace {
// One axis: `nearEdge` and `farEdge` recorded, the far edge following the client's far edge.
struct Span {
  std::int32_t start;
  std::int32_t length;
};

Span PlaceOnAxis(std::int32_t nearEdge, std::int32_t farEdge, std::int32_t initialClient, std::int32_t client,
                 bool anchorNear, bool anchorFar) {
  Span span{nearEdge, farEdge - nearEdge};
  if (anchorFar) {
    const std::int32_t newFar = client - (initialClient - farEdge);
    if (anchorNear) {
      span.length = newFar - span.start;
    } else {
      span.start = newFar - span.length;
    }
  }
  return span;
}
}  // namespace

std::vector<ControlPlacement> ApplyLayout(const ControlLayout* table, ClientSize client) {
  std::vector<ControlPlacement> placements;
  placements.reserve(CountLayoutEntries(table));
  for (const ControlLayout* entry = table; entry->controlId != 0; ++entry) {
    const Span x = PlaceOnAxis(entry->left, entry->right, entry->initialClientWidth, client.width,
                               (entry->anchors & kAnchorLeft) != 0, (entry->anchors & kAnchorRight) != 0);
    const Span y = PlaceOnAxis(entry->top, entry->bottom, entry->initialClientHeight, client.height,
                               (entry->anchors & kAnchorTop) != 0, (entry->anchors & kAnchorBottom) != 0);
    placements.push_back({entry->controlId, x.start, y.start, x.length, y.length});
  }
  return placements;
}

LayoutRect FitTextWidth(const LayoutRect& rect, std::int32_t needed, std::int32_t limitRight) {
  LayoutRect fitted = rect;
  const std::int32_t wanted = rect.left + needed;
  if (wanted > rect.right) fitted.right = std::max(rect.right, std::min(wanted, limitRight));
  return fitted;
}

std::optional<std::int32_t> TextGrowthLimit(const ControlTemplate& control) {
  // A label taller than one line wraps its text: it has all the lines it needs.
  constexpr std::int32_t kOneLine = 8;
  const bool oneLine =
      control.kind == ControlKind::CheckBox || (control.kind == ControlKind::Label && control.height <= kOneLine);
  if (!oneLine) return std::nullopt;
  for (const ControlTemplate& box : kMainDialogControls) {
    if (box.kind != ControlKind::GroupBox) continue;
    const bool inside = control.x >= box.x && control.y >= box.y && control.x + control.width <= box.x + box.width &&
                        control.y + control.height <= box.y + box.height;
    if (inside) return box.x + box.width - (control.x - box.x);
  }
  return kMainDialog.width - control.x;
}

HelpWindowPlacement PlaceHelpWindow(ClientSize client, std::int32_t textLeft, std::int32_t textTop,
                                    ClientSize closeButton) {
  constexpr std::int32_t kGap = kHelpEditMargin / 2;
  HelpWindowPlacement placed;
  const std::int32_t textWidth = std::max(0, client.width - kHelpEditMargin);
  const std::int32_t buttonTop = std::max(textTop, client.height - kGap - closeButton.height);
  placed.close = {IDC_HELP_CLOSE, std::max(0, textLeft + textWidth - closeButton.width), buttonTop, closeButton.width,
                  closeButton.height};
  placed.text = {IDC_HELP_TEXT, textLeft, textTop, textWidth, std::max(0, buttonTop - kGap - textTop)};
  return placed;
}

ClientSizeLimits MainDialogClientLimits(std::int32_t frameWidth, std::int32_t frameHeight) {
  ClientSizeLimits limits;
  limits.minWidth = std::max(0, kMinTrackWidth - frameWidth);
  limits.minHeight = std::max(0, kMinTrackHeight - frameHeight);
  limits.maxHeight = std::max(0, kMaxTrackHeight - frameHeight);
  return limits;
}

}  // namespace glyphshift::ui
