// The resource script of the Windows program writes out the same dialog templates the Qt
// windows are built from: caption, size, and every control's kind, text, id and rectangle, in
// the same order.
#include "ui/dialog_templates.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <span>
#include <sstream>
#include <string>
#include <vector>

namespace glyphshift::ui {
namespace {

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(GLYPHSHIFT_SOURCE_DIR) + "/" + relative);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// A control as one line of the script states it, and as the table states it.
std::string Line(std::string_view keyword, const std::string& text, std::int32_t id, const ControlTemplate& c) {
  std::ostringstream line;
  line << keyword << " \"" << text << "\" " << id << " " << c.x << "," << c.y << "," << c.width << "," << c.height;
  return line.str();
}

const char* Keyword(ControlKind kind) {
  switch (kind) {
    case ControlKind::DefaultButton: return "DEFPUSHBUTTON";
    case ControlKind::Button: return "PUSHBUTTON";
    case ControlKind::DropDownList: return "COMBOBOX";
    case ControlKind::Label: return "LTEXT";
    case ControlKind::ReadOnlyEdit:
    case ControlKind::MultiLineEdit: return "EDITTEXT";
    case ControlKind::GroupBox: return "GROUPBOX";
    case ControlKind::CheckBox: return "AUTOCHECKBOX";
  }
  return "?";
}

class ResourceScript : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string ids = ReadSource("src/ui/dialog_ids.h");
    const std::regex define(R"re(#define (\w+) (\d+))re");
    for (std::sregex_iterator it(ids.begin(), ids.end(), define), end; it != end; ++it) {
      ids_[(*it)[1]] = std::stoi((*it)[2]);
    }
    script_ = ReadSource("src/app/win32/morfex.rc.in");
  }

  // The template named `name` in the script: its caption and size, then its control lines.
  std::vector<std::string> Written(const std::string& name) {
    std::vector<std::string> lines;
    const std::size_t at = script_.find(name + " DIALOGEX");
    if (at == std::string::npos) return lines;
    std::smatch m;
    const std::string head = script_.substr(at, script_.find("BEGIN", at) - at);
    if (std::regex_search(head, m, std::regex(R"re(DIALOGEX 0, 0, (\d+), (\d+)[\s\S]*CAPTION "([^"]*)")re"))) {
      lines.push_back(std::string(m[3]) + " " + std::string(m[1]) + "x" + std::string(m[2]));
    }
    const std::size_t begin = script_.find("BEGIN", at) + 5;
    std::istringstream body(script_.substr(begin, script_.find("\nEND", begin) - begin));
    const std::regex control(R"re(^\s*(\w+)\s+(?:"([^"]*)",\s*)?(-?\w+),\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+))re");
    for (std::string line; std::getline(body, line);) {
      if (!std::regex_search(line, m, control)) continue;
      const std::string id = m[3];
      const int value = id == "-1" ? -1 : (ids_.count(id) ? ids_[id] : -2);
      std::ostringstream written;
      written << m[1] << " \"" << m[2] << "\" " << value << " " << m[4] << "," << m[5] << "," << m[6] << "," << m[7];
      lines.push_back(written.str());
    }
    return lines;
  }

  static std::vector<std::string> Table(const DialogTemplate& dialog, std::span<const ControlTemplate> controls) {
    std::vector<std::string> lines{Narrow(dialog.caption) + " " + std::to_string(dialog.width) + "x" +
                                   std::to_string(dialog.height)};
    for (const ControlTemplate& c : controls) lines.push_back(Line(Keyword(c.kind), Narrow(c.text), c.id, c));
    return lines;
  }

  std::map<std::string, int> ids_;
  std::string script_;
};

TEST_F(ResourceScript, WritesTheTemplatesOfTheTables) {
  EXPECT_EQ(Written("IDD_MAIN_DIALOG"), Table(kMainDialog, kMainDialogControls));
  EXPECT_EQ(Written("IDD_HELP_WINDOW"), Table(kHelpWindow, kHelpWindowControls));
}

}  // namespace
}  // namespace glyphshift::ui
