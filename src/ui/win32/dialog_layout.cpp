#include "ui/win32/dialog_layout.h"

#include <cwchar>
#include <optional>
#include <string_view>

#include "ui/dialog_templates.h"

namespace glyphshift::ui::win32 {

namespace {

RECT ControlRect(HWND dialog, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool IsGroupBox(HWND control) {
  wchar_t className[128] = {};
  GetClassNameW(control, className, 128);
  return _wcsicmp(className, L"button") == 0 && (GetWindowLongW(control, GWL_STYLE) & 7) == BS_GROUPBOX;
}

// The caption of a group box measured in the control's own font.
SIZE CaptionSize(HWND control) {
  wchar_t caption[128] = {};
  GetWindowTextW(control, caption, 128);
  RECT measured{};
  if (HDC dc = GetDC(control)) {
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    const HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
    DrawTextW(dc, caption, -1, &measured, DT_CALCRECT | DT_SINGLELINE | DT_EXTERNALLEADING);
    if (previous != nullptr) SelectObject(dc, previous);
    ReleaseDC(control, dc);
  }
  return {measured.right - measured.left, measured.bottom - measured.top};
}

void Exclude(HDC dc, HRGN region) {
  ExtSelectClipRgn(dc, region, RGN_DIFF);
  DeleteObject(region);
}

}  // namespace

void FitTextControls(HWND dialog) {
  const auto pixels = [dialog](std::int32_t units) {
    RECT r{0, 0, units, 0};
    MapDialogRect(dialog, &r);
    return static_cast<std::int32_t>(r.left);
  };
  // Controls with id -1 (the labels) have no id to find them by: their text finds them.
  for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
    wchar_t text[128] = {};
    GetWindowTextW(control, text, 128);
    for (const ControlTemplate& entry : kMainDialogControls) {
      const std::optional<std::int32_t> limit = TextGrowthLimit(entry);
      if (!limit || entry.text != std::u16string_view(reinterpret_cast<const char16_t*>(text))) continue;
      // A check box's text starts after its box and a gap: 12 dialog units.
      const std::int32_t needed = CaptionSize(control).cx + (entry.kind == ControlKind::CheckBox ? pixels(12) : 0);
      const RECT r = ControlRect(dialog, control);
      const LayoutRect fitted = FitTextWidth({r.left, r.top, r.right, r.bottom}, needed, pixels(*limit));
      if (fitted.right != r.right) {
        SetWindowPos(control, nullptr, 0, 0, fitted.right - fitted.left, fitted.bottom - fitted.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      break;
    }
  }
}

void CaptureDialogLayout(HWND dialog, ControlLayout* table) {
  RECT client{};
  GetClientRect(dialog, &client);
  CaptureLayout(table, {client.right - client.left, client.bottom - client.top}, [dialog](std::uint32_t id) {
    const RECT r = ControlRect(dialog, GetDlgItem(dialog, static_cast<int>(id)));
    return LayoutRect{r.left, r.top, r.right, r.bottom};
  });
}

void ApplyDialogLayout(HWND dialog, const ControlLayout* table, const RECT& windowRect) {
  // The frame as the window really has it: the classic metrics miss the wider frames of
  // newer systems by a few pixels.
  RECT window{};
  RECT client{};
  GetWindowRect(dialog, &window);
  GetClientRect(dialog, &client);
  const LONG frameWidth = (window.right - window.left) - (client.right - client.left);
  const LONG frameHeight = (window.bottom - window.top) - (client.bottom - client.top);
  const ClientSize size{(windowRect.right - windowRect.left) - frameWidth,
                        (windowRect.bottom - windowRect.top) - frameHeight};

  const std::vector<ControlPlacement> placements = ApplyLayout(table, size);
  HDWP batch = BeginDeferWindowPos(static_cast<int>(placements.size()));
  for (const ControlPlacement& place : placements) {
    if (batch == nullptr) break;  // a failed batch moves nothing; the next size step tries again
    batch = DeferWindowPos(batch, GetDlgItem(dialog, static_cast<int>(place.controlId)), nullptr, place.x, place.y,
                           place.width < 0 ? 0 : place.width, place.height < 0 ? 0 : place.height,
                           SWP_NOZORDER | SWP_NOOWNERZORDER);
  }
  if (batch != nullptr) EndDeferWindowPos(batch);
}

void ApplySizeLimits(MINMAXINFO& limits) {
  limits.ptMinTrackSize.x = kMinTrackWidth;
  limits.ptMinTrackSize.y = kMinTrackHeight;
  limits.ptMaxTrackSize.y = kMaxTrackHeight;
}

void ExcludeControlsFromErase(HDC dc, const ControlLayout* table) {
  const HWND dialog = WindowFromDC(dc);
  if (dialog == nullptr) return;
  const int edgeX = GetSystemMetrics(SM_CXEDGE);
  const int edgeY = GetSystemMetrics(SM_CYEDGE);
  for (const ControlLayout* entry = table; entry->controlId != 0; ++entry) {
    const HWND control = GetDlgItem(dialog, static_cast<int>(entry->controlId));
    if (control == nullptr) continue;
    const RECT r = ControlRect(dialog, control);
    if (!IsGroupBox(control)) {
      Exclude(dc, CreateRectRgn(r.left, r.top, r.right, r.bottom));
      continue;
    }
    // The caption is erased with the inside: where the box paints it differs between systems by
    // a few pixels, and what is cut out but not painted stays as it was (black on a new window).
    const SIZE text = CaptionSize(control);
    // The band along the frame line: the box less its inside.
    const HRGN band = CreateRectRgn(r.left, r.top + text.cy / 2, r.right, r.bottom);
    const HRGN inside = CreateRectRgn(r.left + edgeX, r.top + text.cy / 2 + edgeY, r.right - edgeX, r.bottom - edgeY);
    CombineRgn(band, band, inside, RGN_XOR);
    DeleteObject(inside);
    Exclude(dc, band);
  }
}

}  // namespace glyphshift::ui::win32
