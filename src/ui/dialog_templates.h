// The dialog templates, defined once: the main dialog (101) and the help window (106), control
// by control in template order (which is also the tab order and, for the group boxes, the
// stacking order), with positions and sizes in dialog units. The Qt windows are built from
// these tables; the Windows resource script writes the same templates out, and a test holds
// the two together.
#pragma once

#include <cstdint>
#include <string_view>

#include "ui/dialog_ids.h"

namespace glyphshift::ui {

enum class ControlKind {
  DefaultButton,  // DEFPUSHBUTTON
  Button,         // PUSHBUTTON
  DropDownList,   // COMBOBOX with CBS_DROPDOWNLIST; its height includes the opened list
  Label,          // LTEXT
  ReadOnlyEdit,   // EDITTEXT with ES_READONLY
  MultiLineEdit,  // EDITTEXT with ES_MULTILINE
  GroupBox,       // GROUPBOX
  CheckBox,       // AUTOCHECKBOX
};

struct ControlTemplate {
  ControlKind kind;
  std::int32_t id;  // -1 for a label no code refers to
  std::u16string_view text;
  std::int32_t x, y, width, height;
};

struct DialogTemplate {
  std::u16string_view caption;
  std::int32_t width, height;
};

inline constexpr DialogTemplate kMainDialog{u"Glyphshift", 242, 228};
inline constexpr ControlTemplate kMainDialogControls[] = {
    {ControlKind::DefaultButton, IDC_CONVERT, u"&Convert", 185, 207, 50, 14},
    {ControlKind::Button, IDC_CANCEL, u"Cancel", 129, 207, 50, 14},
    {ControlKind::DropDownList, IDC_SOURCE_LIST, u"", 7, 15, 204, 103},
    {ControlKind::Label, -1, u"Source character set:", 7, 6, 70, 8},
    {ControlKind::DropDownList, IDC_DESTINATION_LIST, u"", 7, 57, 204, 97},
    {ControlKind::Label, -1, u"Destination character set:", 7, 48, 84, 8},
    {ControlKind::ReadOnlyEdit, IDC_SOURCE_PATH, u"", 7, 33, 204, 12},
    {ControlKind::Button, IDC_SOURCE_BUTTON, u"...", 219, 33, 16, 14},
    {ControlKind::ReadOnlyEdit, IDC_DESTINATION_PATH, u"", 7, 74, 204, 12},
    {ControlKind::Button, IDC_DESTINATION_BUTTON, u"...", 219, 74, 16, 14},
    {ControlKind::GroupBox, IDC_OPTIONS_GROUP, u"Options", 7, 90, 228, 53},
    {ControlKind::CheckBox, IDC_NO_BOM, u"Do not write a Byte Order Marker (BOM)", 15, 103, 162, 10},
    {ControlKind::CheckBox, IDC_MODIFY_XML, u"Modify XML file header if available", 15, 114, 162, 10},
    {ControlKind::CheckBox, IDC_MODIFY_HTML, u"Modify HTML META character set if available", 15, 127, 162, 10},
    {ControlKind::GroupBox, IDC_FILETYPE_GROUP, u"Filetype", 7, 146, 228, 50},
    {ControlKind::DropDownList, IDC_LINE_BREAK_LIST, u"", 15, 159, 111, 53},
    {ControlKind::Label, IDC_LINE_BREAK_NOTE, u"Type of line break to use. DOS uses CRLF for instance.", 15, 175, 212,
     18},
};

inline constexpr DialogTemplate kHelpWindow{u"Help", 278, 209};
inline constexpr ControlTemplate kHelpWindowControls[] = {
    {ControlKind::MultiLineEdit, IDC_HELP_TEXT, u"", 3, 3, 272, 186},
    {ControlKind::Button, IDC_HELP_CLOSE, u"Close", 225, 192, 50, 14},
};

// The control of a template with this id, or null.
constexpr const ControlTemplate* FindControl(std::int32_t id) {
  for (const ControlTemplate& control : kMainDialogControls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

}  // namespace glyphshift::ui
