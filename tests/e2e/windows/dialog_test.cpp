// morfex.exe's windows on a real display (Xvfb, under Wine): found by their titles and driven as
// a person drives them, from this separate process. The dialog's source is chosen in the
// system's open dialog, the destination set picked, Convert pressed and the status box
// confirmed; the conversion then runs with what the dialog logic filled in.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/windows/morfex_process.h"
#include "support/temp_dir.h"
#include "ui/main_dialog_logic.h"

namespace glyphshift::e2e {
namespace {

constexpr DWORD kPatience = 30000;  // a first start of Wine's desktop takes a while

struct WindowSearch {
  std::wstring title;
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (owner == search->processId && search->title == title && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The visible top-level window of `processId` titled `title`, or null after the wait.
HWND WaitForWindow(const std::wstring& title, DWORD processId) {
  for (DWORD waited = 0; waited < kPatience; waited += 100) {
    WindowSearch search{title, processId, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    Sleep(100);
  }
  return nullptr;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
  return text;
}

// Waits until the control shows `expected` (the dialog works on its own thread).
std::wstring WaitForText(HWND control, const std::wstring& expected) {
  std::wstring text;
  for (DWORD waited = 0; waited < kPatience && (text = TextOf(control)) != expected; waited += 100) Sleep(100);
  return text;
}

RECT ClientRectOf(HWND dialog, int id) {
  RECT rect{};
  GetWindowRect(GetDlgItem(dialog, id), &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM data) {
  wchar_t className[32] = {};
  GetClassNameW(child, className, 32);
  if (_wcsicmp(className, L"Static") == 0) *reinterpret_cast<std::wstring*>(data) += TextOf(child) + L"\n";
  return TRUE;
}

// The text a message box shows: its static controls' texts, one per line.
std::wstring BoxText(HWND box) {
  std::wstring text;
  EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
  return text;
}

// The system's own text for an error code, without its line break.
std::wstring SystemText(DWORD code) {
  wchar_t text[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, 512, nullptr);
  std::wstring result = text;
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' ')) {
    result.pop_back();
  }
  return result;
}

void Select(HWND dialog, int list, std::size_t index) {
  const HWND control = GetDlgItem(dialog, list);
  SendMessageW(control, CB_SETCURSEL, index, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(list, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
}

std::size_t EntryIndex(std::u16string_view name) {
  const std::vector<std::u16string> entries = ui::CharsetListEntries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (ui::EntryNamePart(entries[i]) == name) return i;
  }
  return entries.size();
}

class MorfexWindowsGui : public support::TempDirTest {
 protected:
  std::u16string Here() const { return std::u16string(dir_.path().begin(), dir_.path().end()); }
  std::wstring Path(const std::string& name) const {
    std::wstring path(dir_.path().begin(), dir_.path().end());
    return path + L"\\" + std::wstring(name.begin(), name.end());
  }
};

TEST_F(MorfexWindowsGui, DialogConvertsTheFileChosenInTheOpenDialog) {
  support::WriteFileBytes(dir_.Native("letter.txt"), std::string("\xFF\xFE"
                                                                 "a\0\r\0\n\0b\0",
                                                                 10));
  CStartedMorfex morfex(u"", Here());
  ASSERT_TRUE(morfex.Started());
  const HWND dialog = WaitForWindow(L"Glyphshift", morfex.ProcessId());
  ASSERT_NE(dialog, nullptr) << "the dialog, found by its title";
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 1))) << "Convert starts disabled";
  EXPECT_EQ(SendDlgItemMessageW(dialog, 1001, CB_GETCOUNT, 0, 0), 62);
  EXPECT_EQ(SendDlgItemMessageW(dialog, 1004, CB_GETCURSEL, 0, 0), CB_ERR) << "no set chosen at start";
  EXPECT_EQ(SendDlgItemMessageW(dialog, 1007, CB_GETCURSEL, 0, 0), 0) << "\"Do not change\"";

  // 100 pixels wider: lists and paths stretch, the buttons on the right move, the check boxes
  // stay; the height is held at 400 whatever is asked.
  const RECT convert = ClientRectOf(dialog, 1), list = ClientRectOf(dialog, 1001), bom = ClientRectOf(dialog, 1008);
  RECT window{};
  GetWindowRect(dialog, &window);
  SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left + 100, 600, SWP_NOMOVE | SWP_NOZORDER);
  RECT resized{};
  GetWindowRect(dialog, &resized);
  EXPECT_EQ(resized.bottom - resized.top, 400);
  EXPECT_EQ(ClientRectOf(dialog, 1).left, convert.left + 100);
  EXPECT_EQ(ClientRectOf(dialog, 1001).right - ClientRectOf(dialog, 1001).left, list.right - list.left + 100);
  EXPECT_EQ(ClientRectOf(dialog, 1008).left, bom.left);
  EXPECT_EQ(ClientRectOf(dialog, 1008).right, bom.right);

  // The source, chosen in the system's open dialog.
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1003)));
  const HWND open = WaitForWindow(L"Please select a source text document to convert", morfex.ProcessId());
  ASSERT_NE(open, nullptr);
  const HWND nameBox = GetDlgItem(open, 0x47C) != nullptr ? GetDlgItem(open, 0x47C) : GetDlgItem(open, 0x480);
  ASSERT_NE(nameBox, nullptr) << "the file name box of the open dialog";
  const std::wstring source = Path("letter.txt");
  SendMessageW(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(source.c_str()));
  PostMessageW(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_EQ(WaitForText(GetDlgItem(dialog, 1002), source), source);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, 1005)), Path("letter.2.txt")) << "the proposed destination";
  const std::size_t utf16 = EntryIndex(u"UTF-16");
  EXPECT_EQ(SendDlgItemMessageW(dialog, 1001, CB_GETCURSEL, 0, 0), static_cast<LRESULT>(utf16)) << "detected";
  EXPECT_EQ(SendDlgItemMessageW(dialog, 1004, CB_GETCURSEL, 0, 0), static_cast<LRESULT>(utf16));

  Select(dialog, 1004, EntryIndex(u"UTF-8"));
  Select(dialog, 1007, 2);  // UNIX
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, 1)));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1)));

  const HWND finished = WaitForWindow(L"Finished", morfex.ProcessId());
  ASSERT_NE(finished, nullptr) << "the status box after the conversion";
  PostMessageW(finished, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_EQ(morfex.Wait(kPatience), 0u);
  EXPECT_EQ(support::ReadFileText(dir_.Native("letter.2.txt")),
            "\xEF\xBB\xBF"
            "a\nb");
}

TEST_F(MorfexWindowsGui, ClosingTheDialogConvertsNothing) {
  CStartedMorfex morfex(u"", Here());
  const HWND dialog = WaitForWindow(L"Glyphshift", morfex.ProcessId());
  ASSERT_NE(dialog, nullptr);
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(morfex.Wait(kPatience), 0xFFFFFFFFu);
  EXPECT_TRUE(support::ListNames(dir_.path()).empty());
}

TEST_F(MorfexWindowsGui, HelpWindowShowsTheUsageTextAndEndsWithMinusOne) {
  CStartedMorfex morfex(u"/?", Here());
  const HWND help = WaitForWindow(L"Help", morfex.ProcessId());
  ASSERT_NE(help, nullptr);
  RECT window{};
  GetWindowRect(help, &window);
  EXPECT_EQ(window.right - window.left, 640);
  EXPECT_EQ(window.bottom - window.top, 480);
  RECT client{};
  GetClientRect(help, &client);
  const HWND edit = GetDlgItem(help, 1009);
  RECT editRect{};
  GetWindowRect(edit, &editRect);
  EXPECT_EQ(editRect.right - editRect.left, client.right - 10);
  const RECT close = ClientRectOf(help, 2);
  EXPECT_EQ(close.right, client.right - 5) << "the Close button at the bottom right";
  EXPECT_EQ(close.bottom, client.bottom - 5);
  EXPECT_EQ(ClientRectOf(help, 1009).bottom, close.top - 5) << "the text above it";
  const std::wstring text = TextOf(edit);
  EXPECT_TRUE(text.starts_with(L"Glyphshift \"1, 3, 15, 2\"\r\n\r\nUsage: morfex")) << "CR LF for the edit control";
  PostMessageW(help, WM_CLOSE, 0, 0);
  EXPECT_EQ(morfex.Wait(kPatience), 0xFFFFFFFFu);
}

// The help window closes as desktop windows do: with Escape, with Ctrl+W typed on the keyboard,
// and with its Close button; each ends the program with -1.
TEST_F(MorfexWindowsGui, HelpWindowClosesWithEscapeCtrlWAndItsCloseButton) {
  const struct {
    const char* name;
    void (*close)(HWND help);
  } ways[] = {
      {"Escape", [](HWND help) { PostMessageW(GetDlgItem(help, 1009), WM_KEYDOWN, VK_ESCAPE, 1); }},
      {"Ctrl+W",
       [](HWND help) {
         SetForegroundWindow(help);
         INPUT keys[4] = {};
         const WORD order[4] = {VK_CONTROL, 'W', 'W', VK_CONTROL};
         for (int i = 0; i < 4; ++i) {
           keys[i].type = INPUT_KEYBOARD;
           keys[i].ki.wVk = order[i];
           keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
         }
         SendInput(4, keys, sizeof(INPUT));
       }},
      {"Close button", [](HWND help) { PostMessageW(GetDlgItem(help, 2), BM_CLICK, 0, 0); }},
  };
  for (const auto& way : ways) {
    CStartedMorfex morfex(u"/?", Here());
    const HWND help = WaitForWindow(L"Help", morfex.ProcessId());
    ASSERT_NE(help, nullptr) << way.name;
    const HWND button = GetDlgItem(help, 2);
    EXPECT_TRUE(IsWindowVisible(button)) << way.name;
    EXPECT_EQ(TextOf(button), L"Close");
    way.close(help);
    EXPECT_EQ(morfex.Wait(kPatience), 0xFFFFFFFFu) << way.name;
  }
}

// The dialog's run reports in boxes: a destination it cannot write by the fixed text, the file
// and the system's reason; a file that is no text by the question whether to convert it anyway,
// and, answered No, it writes nothing and ends with 7.
TEST_F(MorfexWindowsGui, TheRunsBoxesNameTheFileAndWhy) {
  support::WriteFileBytes(dir_.Native("plain.txt"), "text\r\n");
  // The proposed destination, held open without sharing: it cannot be replaced.
  support::WriteFileBytes(dir_.Native("plain.2.txt"), "old");
  const HANDLE held = CreateFileW(Path("plain.2.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  support::WriteFileBytes(dir_.Native("data.txt"), std::string("ab\x01\x02\x03"
                                                               "cd\r\n"));
  const struct {
    const char* source;
    const wchar_t* caption;
    std::vector<std::wstring> lines;
    WPARAM answer;
    DWORD exitCode;
  } cases[] = {
      {"plain.txt",
       L"Error",
       {L"An Error occured during file creation.\n\n\"", L"plain.2.txt\"\n" + SystemText(ERROR_SHARING_VIOLATION)},
       IDOK,
       1},
      {"data.txt",
       L"Left unchanged",
       {L"\"data.txt\" is not a text file (binary data at byte 2)", L"Convert it anyway?"},
       IDNO,
       7},
  };
  for (const auto& c : cases) {
    CStartedMorfex morfex(u"--dialog " + std::u16string(c.source, c.source + std::strlen(c.source)), Here());
    const HWND dialog = WaitForWindow(L"Glyphshift", morfex.ProcessId());
    ASSERT_NE(dialog, nullptr) << c.source;
    Select(dialog, 1004, EntryIndex(u"UTF-8"));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1)));
    const HWND box = WaitForWindow(c.caption, morfex.ProcessId());
    ASSERT_NE(box, nullptr) << c.source;

    const std::wstring text = BoxText(box);
    for (const std::wstring& line : c.lines) {
      EXPECT_NE(text.find(line), std::wstring::npos) << c.source << ": " << std::string(text.begin(), text.end());
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(c.answer, BN_CLICKED), 0);
    EXPECT_EQ(morfex.Wait(kPatience), c.exitCode) << c.source;
  }
  CloseHandle(held);
  EXPECT_EQ(support::ReadFileText(dir_.Native("plain.2.txt")), "old");
  EXPECT_FALSE(support::PathExists(dir_.Native("data.2.txt"))) << "nothing written for the refused file";
}

}  // namespace
}  // namespace glyphshift::e2e
