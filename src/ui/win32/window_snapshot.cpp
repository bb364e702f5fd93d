#include "ui/win32/window_snapshot.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ui/dialog_ids.h"
#include "ui/win32/help_window.h"
#include "ui/win32/main_dialog.h"

namespace glyphshift::ui::win32 {

namespace {

// Long enough for a real X server under Wine to map and paint the window.
constexpr UINT kSettleMilliseconds = 600;

std::u16string Environment(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value != nullptr ? std::u16string(reinterpret_cast<const char16_t*>(value)) : std::u16string();
}

// ---- PNG: 8-bit RGB, zlib stream of stored blocks (pictures of a few hundred kilobytes need
// no compression) --------------------------------------------------------------------------------

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian(out, Crc32(out.data() + start, out.size() - start));
}

std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& bgra) {
  std::vector<std::uint8_t> raw;  // each row: filter type 0, then RGB
  raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* pixel =
          &bgra[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4];
      raw.insert(raw.end(), {pixel[2], pixel[1], pixel[0]});
    }
  }
  std::vector<std::uint8_t> zlib = {0x78, 0x01};
  for (std::size_t at = 0; at < raw.size() || at == 0;) {
    const std::size_t block = std::min<std::size_t>(raw.size() - at, 65535);
    const bool last = at + block == raw.size();
    zlib.push_back(last ? 1 : 0);
    zlib.insert(zlib.end(), {static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(block >> 8),
                             static_cast<std::uint8_t>(~block), static_cast<std::uint8_t>(~block >> 8)});
    zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                raw.begin() + static_cast<std::ptrdiff_t>(at + block));
    at += block;
    if (last) break;
  }
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBigEndian(zlib, b << 16 | a);

  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutBigEndian(header, static_cast<std::uint32_t>(width));
  PutBigEndian(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", zlib);
  PutChunk(png, "IEND", {});
  return png;
}

bool Save(HWND window, const SnapshotRequest& request, const char16_t* name) {
  std::u16string path = request.directory;
  if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
  path += name;
  const bool saved = SaveWindowPicture(window, path);
  std::fwprintf(stderr, L"%ls %ls\n", saved ? L"saved" : L"could not save",
                reinterpret_cast<const wchar_t*>(path.c_str()));
  return saved;
}

// One dialog and one help window per process: the timers find them here.
CMainDialog* g_dialog = nullptr;
SnapshotRequest g_request;

void CALLBACK DialogWidened(HWND window, UINT, UINT_PTR timer, DWORD) {
  KillTimer(window, timer);
  Save(window, g_request, u"dialog-wide.png");
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CANCEL, BN_CLICKED), 0);
}

void Widen(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left + 100, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER);
  SetTimer(window, 1, kSettleMilliseconds, DialogWidened);
}

void CALLBACK DialogFilled(HWND window, UINT, UINT_PTR timer, DWORD) {
  KillTimer(window, timer);
  Save(window, g_request, u"dialog-filled.png");
  Widen(window);
}

void CALLBACK DialogShown(HWND window, UINT, UINT_PTR timer, DWORD) {
  KillTimer(window, timer);
  Save(window, g_request, u"dialog.png");
  if (g_request.source.empty()) {
    Widen(window);
    return;
  }
  g_dialog->SetFileChooser([](CMainDialog::Chooser kind) -> std::optional<std::u16string> {
    if (kind == CMainDialog::Chooser::Source) return g_request.source;
    return std::nullopt;
  });
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SOURCE_BUTTON, BN_CLICKED), 0);
  // The display shows the new texts only once the server has drawn them.
  SetTimer(window, 1, kSettleMilliseconds, DialogFilled);
}

void CALLBACK HelpShown(HWND window, UINT, UINT_PTR timer, DWORD) {
  KillTimer(window, timer);
  Save(window, g_request, u"help.png");
  PostMessageW(window, WM_CLOSE, 0, 0);
}

}  // namespace

SnapshotRequest SnapshotRequestFromEnvironment() {
  return {Environment(L"GLYPHSHIFT_GUI_SNAPSHOT"), Environment(L"GLYPHSHIFT_GUI_SNAPSHOT_SOURCE")};
}

void ScheduleSnapshots(CMainDialog& dialog, const SnapshotRequest& request) {
  g_dialog = &dialog;
  g_request = request;
  SetTimer(dialog.Window(), 1, kSettleMilliseconds, DialogShown);
}

void ScheduleSnapshots(CHelpWindow& window, const SnapshotRequest& request) {
  g_request = request;
  SetTimer(window.Window(), 1, kSettleMilliseconds, HelpShown);
}

bool SaveWindowPicture(HWND window, const std::u16string& path) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  // Wine hands what was painted to the display when the thread waits for messages: without a
  // wait the picture may show the controls erased but not yet drawn again.
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);

  // What the screen shows at the window's place: the frame as the system draws it too.
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT) != 0;
  SelectObject(memory, previous);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  const bool read =
      copied && GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS) == height;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!read) return false;

  const std::vector<std::uint8_t> png = EncodePng(width, height, pixels);
  FILE* file = _wfopen(reinterpret_cast<const wchar_t*>(path.c_str()), L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace glyphshift::ui::win32
