// Identifiers of the dialog templates, the icon and their controls, shared by
// the resource script and the dialog procedures.
#pragma once

#define IDD_MAIN_WINDOW 101
#define IDI_TINTMARK 102
#define IDD_ENTRY_EDITOR 103

// Main window. "New" keeps id 3, below the range of the other controls.
#define IDC_NEW 3
#define IDC_KEYWORD_LIST 1001
#define IDC_RENEW 1002
#define IDC_DELETE 1003
#define IDC_LINE_BREAK_TAGS 1008
// What the latest batch did, or how far the running one has come.
#define IDC_STATUS 1011
// Opens the file dialog and converts the chosen files as a drop would.
#define IDC_CONVERT 1012

// Entry editor; OK and Cancel are IDOK (1) and IDCANCEL (2). The four style
// boxes are consecutive: IDC_STYLE_FIRST + k stands for style bit k.
#define IDC_KEYWORD 1004
#define IDC_FONT_COLOUR 1005
#define IDC_FONT_SIZE 1006
#define IDC_BOLD 1007
#define IDC_ITALIC 1008
#define IDC_UNDERLINE 1009
#define IDC_STRIKE 1010
#define IDC_STYLE_FIRST IDC_BOLD
#define STYLE_BOX_COUNT 4
// Opens the colour dialog for field IDC_FONT_COLOUR.
#define IDC_CHOOSE_COLOUR 1011
// The keyword as the entry would look.
#define IDC_SAMPLE 1012
