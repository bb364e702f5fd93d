/* Resource and control ids of the dialog templates (ui/dialog_templates.h; the resource script
 * src/app/win32/morfex.rc.in writes them out) and of the windows that run them. Plain defines:
 * the resource compiler reads this file too. */
#ifndef GLYPHSHIFT_UI_DIALOG_IDS_H
#define GLYPHSHIFT_UI_DIALOG_IDS_H

#define IDD_MAIN_DIALOG 101
#define IDD_HELP_WINDOW 106
#define IDI_MAIN_ICON 107

#define IDC_CONVERT 1
#define IDC_CANCEL 2
#define IDC_SOURCE_LIST 1001
#define IDC_SOURCE_PATH 1002
#define IDC_SOURCE_BUTTON 1003
#define IDC_DESTINATION_LIST 1004
#define IDC_DESTINATION_PATH 1005
#define IDC_DESTINATION_BUTTON 1006
#define IDC_LINE_BREAK_LIST 1007
#define IDC_NO_BOM 1008
#define IDC_HELP_TEXT 1009
/* The help window's Close button is its cancel command: Escape presses it. */
#define IDC_HELP_CLOSE 2
#define IDC_MODIFY_XML 1010
#define IDC_MODIFY_HTML 1011
#define IDC_OPTIONS_GROUP 1012
#define IDC_FILETYPE_GROUP 1016
#define IDC_LINE_BREAK_NOTE 1020

#endif
