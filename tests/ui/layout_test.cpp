#include "ui/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "ui/dialog_templates.h"

namespace glyphshift::ui {
namespace {

// Dialog units to pixels for a 6 x 13 dialog font, rounded as MulDiv rounds.
std::int32_t Pixels(std::int32_t units, std::int32_t base, std::int32_t per) { return (units * base + per / 2) / per; }

// Rectangles of the main dialog's controls as that font places the template; a closed
// drop-down list is 22 pixels high whatever its opened height. Client 363 x 371.
std::map<std::uint32_t, LayoutRect> RecordedRectangles() {
  std::map<std::uint32_t, LayoutRect> rects;
  for (const ControlTemplate& c : kMainDialogControls) {
    if (c.id <= 0) continue;
    const std::int32_t left = Pixels(c.x, 6, 4);
    const std::int32_t top = Pixels(c.y, 13, 8);
    const std::int32_t height = c.kind == ControlKind::DropDownList ? 22 : Pixels(c.height, 13, 8);
    rects[static_cast<std::uint32_t>(c.id)] = {left, top, left + Pixels(c.width, 6, 4), top + height};
  }
  return rects;
}
const std::map<std::uint32_t, LayoutRect> kRecorded = RecordedRectangles();
constexpr ClientSize kRecordedClient{363, 371};

std::array<ControlLayout, kMainDialogLayoutSize> CapturedMainLayout() {
  auto table = kMainDialogLayout;
  CaptureLayout(table.data(), kRecordedClient, [](std::uint32_t id) { return kRecorded.at(id); });
  return table;
}

std::map<std::uint32_t, ControlPlacement> PlacementsById(const std::vector<ControlPlacement>& placements) {
  std::map<std::uint32_t, ControlPlacement> byId;
  for (const ControlPlacement& p : placements) byId[p.controlId] = p;
  return byId;
}

ControlPlacement Recorded(std::uint32_t id) {
  const LayoutRect& r = kRecorded.at(id);
  return {id, r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TEST(kMainDialogLayout, HoldsFifteenControlsEachAnchoredOnBothAxes) {
  EXPECT_EQ(CountLayoutEntries(kMainDialogLayout.data()), 15u);
  std::set<std::uint32_t> ids;
  for (std::size_t i = 0; i < 15; ++i) {
    const ControlLayout& entry = kMainDialogLayout[i];
    ids.insert(entry.controlId);
    EXPECT_NE(entry.anchors & (kAnchorLeft | kAnchorRight), 0u) << entry.controlId;
    EXPECT_NE(entry.anchors & (kAnchorTop | kAnchorBottom), 0u) << entry.controlId;
  }
  EXPECT_EQ(ids.size(), 15u) << "a control is listed twice";
  std::set<std::uint32_t> templateIds;
  for (const ControlTemplate& c : kMainDialogControls) {
    if (c.id > 0) templateIds.insert(static_cast<std::uint32_t>(c.id));
  }
  EXPECT_EQ(ids, templateIds) << "every control of the template with an id, and no other";
}

TEST(kMainDialogLayout, WideningBy100StretchesMovesOrKeepsEachControl) {
  const auto table = CapturedMainLayout();
  auto placed = PlacementsById(ApplyLayout(table.data(), {kRecordedClient.width + 100, kRecordedClient.height}));
  ASSERT_EQ(placed.size(), 15u);
  for (const std::uint32_t id : std::initializer_list<std::uint32_t>{
           IDC_SOURCE_LIST, IDC_DESTINATION_LIST, IDC_SOURCE_PATH, IDC_DESTINATION_PATH, IDC_OPTIONS_GROUP,
           IDC_FILETYPE_GROUP, IDC_LINE_BREAK_NOTE}) {
    ControlPlacement expected = Recorded(id);
    expected.width += 100;
    EXPECT_EQ(placed[id], expected) << "should widen: " << id;
  }
  for (const std::uint32_t id :
       std::initializer_list<std::uint32_t>{IDC_SOURCE_BUTTON, IDC_DESTINATION_BUTTON, IDC_CONVERT, IDC_CANCEL}) {
    ControlPlacement expected = Recorded(id);
    expected.x += 100;
    EXPECT_EQ(placed[id], expected) << "should move right: " << id;
  }
  for (const std::uint32_t id :
       std::initializer_list<std::uint32_t>{IDC_NO_BOM, IDC_MODIFY_XML, IDC_MODIFY_HTML, IDC_LINE_BREAK_LIST}) {
    EXPECT_EQ(placed[id], Recorded(id)) << "should stay: " << id;
  }
}

TEST(kMainDialogLayout, HeightChangeMovesOnlyTheBottomButtons) {
  const auto table = CapturedMainLayout();
  // The window height is held at 400, so the client area is usually taller or shorter than
  // the one the controls were recorded in.
  for (int delta : {29, -12}) {
    auto placed = PlacementsById(ApplyLayout(table.data(), {kRecordedClient.width, kRecordedClient.height + delta}));
    for (const auto& [id, place] : placed) {
      ControlPlacement expected = Recorded(id);
      if (id == IDC_CONVERT || id == IDC_CANCEL) expected.y += delta;
      EXPECT_EQ(place, expected) << "control " << id << ", height change " << delta;
    }
  }
}

TEST(kMainDialogLayout, NarrowingShrinksStretchingControlsAndPullsRightOnesLeft) {
  const auto table = CapturedMainLayout();
  auto placed = PlacementsById(ApplyLayout(table.data(), {kRecordedClient.width - 60, kRecordedClient.height}));
  EXPECT_EQ(placed[IDC_SOURCE_LIST].width, Recorded(IDC_SOURCE_LIST).width - 60);
  EXPECT_EQ(placed[IDC_SOURCE_BUTTON].x, Recorded(IDC_SOURCE_BUTTON).x - 60);
  EXPECT_EQ(placed[IDC_SOURCE_BUTTON].width, Recorded(IDC_SOURCE_BUTTON).width);
  // The gap between an edit and its "..." button is kept.
  EXPECT_EQ(placed[IDC_SOURCE_BUTTON].x - (placed[IDC_SOURCE_PATH].x + placed[IDC_SOURCE_PATH].width),
            Recorded(IDC_SOURCE_BUTTON).x - (Recorded(IDC_SOURCE_PATH).x + Recorded(IDC_SOURCE_PATH).width));
}

TEST(CaptureLayout, RecordsEveryEntryUpToTheTerminatorOnly) {
  ControlLayout table[4] = {{}, {}, {}, {}};
  table[0].controlId = 7;
  table[1].controlId = 9;
  table[3].controlId = 11;  // behind the terminator: must stay untouched
  std::vector<std::uint32_t> asked;
  CaptureLayout(table, {200, 150}, [&](std::uint32_t id) {
    asked.push_back(id);
    return LayoutRect{static_cast<std::int32_t>(id), 2, 30, 40};
  });
  EXPECT_EQ(asked, (std::vector<std::uint32_t>{7, 9}));
  EXPECT_EQ(table[1].left, 9);
  EXPECT_EQ(table[1].bottom, 40);
  EXPECT_EQ(table[1].initialClientWidth, 200);
  EXPECT_EQ(table[1].initialClientHeight, 150);
  EXPECT_EQ(table[3].initialClientWidth, 0);
  EXPECT_EQ(table[3].left, 0);
  EXPECT_EQ(CountLayoutEntries(table), 2u);
}

// Every combination of anchors on one axis, with a control at 10..40 in a client of 100 that
// grows to 150: near edge only stays, far edge only moves by 50, both stretch by 50.
TEST(ApplyLayout, AnchorsOnEachAxis) {
  struct Case {
    std::uint32_t anchors;
    ControlPlacement expected;
  };
  const Case cases[] = {
      {kAnchorLeft | kAnchorTop, {1, 10, 10, 30, 30}},
      {kAnchorRight | kAnchorTop, {1, 60, 10, 30, 30}},
      {kAnchorLeft | kAnchorRight | kAnchorTop, {1, 10, 10, 80, 30}},
      {kAnchorLeft | kAnchorBottom, {1, 10, 60, 30, 30}},
      {kAnchorLeft | kAnchorTop | kAnchorBottom, {1, 10, 10, 30, 80}},
      {kAnchorRight | kAnchorBottom, {1, 60, 60, 30, 30}},
  };
  for (const Case& c : cases) {
    ControlLayout table[2] = {{10, 10, 40, 40, 100, 100, 1, c.anchors}, {}};
    const auto placed = ApplyLayout(table, {150, 150});
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0], c.expected) << "anchors " << c.anchors;
  }
}

TEST(SizeLimits, HoldTheWholeWindowAt300WideAnd400High) {
  const ClientSizeLimits noFrame = MainDialogClientLimits(0, 0);
  EXPECT_EQ(noFrame.minWidth, 300);
  EXPECT_EQ(noFrame.minHeight, 400);
  EXPECT_EQ(noFrame.maxHeight, 400);
  // A frame of 8 pixels a side and a 22-pixel caption leave a client area of 284 x 370.
  const ClientSizeLimits framed = MainDialogClientLimits(16, 30);
  EXPECT_EQ(framed.minWidth, 284);
  EXPECT_EQ(framed.minHeight, 370);
  EXPECT_EQ(framed.maxHeight, 370);
  const ClientSizeLimits absurd = MainDialogClientLimits(1000, 1000);
  EXPECT_EQ(absurd.minWidth, 0);
  EXPECT_EQ(absurd.maxHeight, 0);
}

// A font wider than the template's: each one-line text measured in it (6 x 13 units, 8 pixels a
// character) widens its control as far as the text needs, and no further than its limit.
TEST(FitTextWidth, OneLineTextsGrowToTheirWidthInTheDialogsFont) {
  const struct {
    std::u16string_view text;
    std::int32_t limitUnits;  // where the control may grow to
    std::int32_t right;       // in pixels: Pixels(x, 6, 4) + the text's width, or the limit
  } cases[] = {
      {u"Source character set:", 235, 11 + 21 * 8},
      {u"Destination character set:", 235, 11 + 26 * 8},
      {u"Do not write a Byte Order Marker (BOM)", 227, 23 + 38 * 8},
      {u"Modify HTML META character set if available", 227, Pixels(227, 6, 4)},
  };
  for (const auto& c : cases) {
    const ControlTemplate* control = nullptr;
    for (const ControlTemplate& t : kMainDialogControls) {
      if (t.text == c.text) control = &t;
    }
    ASSERT_NE(control, nullptr);
    ASSERT_EQ(TextGrowthLimit(*control), c.limitUnits) << std::string(c.text.begin(), c.text.end());
    const std::int32_t left = Pixels(control->x, 6, 4);
    const LayoutRect rect{left, 0, left + Pixels(control->width, 6, 4), 13};
    const auto needed = static_cast<std::int32_t>(c.text.size()) * 8;
    const LayoutRect fitted = FitTextWidth(rect, needed, Pixels(*TextGrowthLimit(*control), 6, 4));
    EXPECT_EQ(fitted, (LayoutRect{left, 0, c.right, 13})) << std::string(c.text.begin(), c.text.end());
  }
  // A text that fits keeps the template's width, and a limit left of it takes nothing away.
  EXPECT_EQ(FitTextWidth({10, 0, 100, 13}, 50, 200), (LayoutRect{10, 0, 100, 13}));
  EXPECT_EQ(FitTextWidth({10, 0, 100, 13}, 150, 80), (LayoutRect{10, 0, 100, 13}));
  // Only one-line texts: the note wraps, lists and buttons size themselves.
  EXPECT_EQ(TextGrowthLimit(*FindControl(IDC_LINE_BREAK_NOTE)), std::nullopt);
  EXPECT_EQ(TextGrowthLimit(*FindControl(IDC_SOURCE_LIST)), std::nullopt);
}

// The help window's text fills the client but for the margin, the Close button below it at the
// right; neither goes negative in a tiny window.
TEST(PlaceHelpWindow, TextAboveTheCloseButtonAtTheBottomRight) {
  const HelpWindowPlacement placed = PlaceHelpWindow({624, 441}, 5, 5, {75, 23});
  EXPECT_EQ(placed.text, (ControlPlacement{IDC_HELP_TEXT, 5, 5, 614, 441 - 5 - 23 - 5 - 5}));
  EXPECT_EQ(placed.close, (ControlPlacement{IDC_HELP_CLOSE, 5 + 614 - 75, 441 - 5 - 23, 75, 23}));
  const HelpWindowPlacement tiny = PlaceHelpWindow({4, 4}, 5, 5, {75, 23});
  EXPECT_EQ(tiny.text, (ControlPlacement{IDC_HELP_TEXT, 5, 5, 0, 0}));
  EXPECT_EQ(tiny.close, (ControlPlacement{IDC_HELP_CLOSE, 0, 5, 75, 23}));
}

}  // namespace
}  // namespace glyphshift::ui
