// The four dialog templates of the program: the main window and its three tab pages.
#include "ui/dlg_template.h"

namespace {

constexpr unsigned kLabelLeft = WS_VISIBLE | SS_LEFT;
constexpr unsigned kLabelRight = WS_VISIBLE | SS_RIGHT;
constexpr unsigned kGroup = WS_VISIBLE | BS_GROUPBOX;
constexpr unsigned kEdit = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr unsigned kNumberEdit = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_NUMBER;
constexpr unsigned kDropList = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr unsigned kCheck = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr unsigned kPush = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr unsigned kReportList =
    WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER;
constexpr unsigned kPageStyle = WS_CHILD | WS_CAPTION | DS_CONTROL | DS_SETFONT | DS_FIXEDSYS;

using C = CtlClass;

constexpr CtlTemplate kMainControls[] = {
    {IDC_TAB, C::TabControl, "", 7, 7, 476, 307, WS_VISIBLE},
    {IDC_LOAD, C::Button, "Load ...", 7, 320, 50, 14, kPush},
    {IDC_SAVE, C::Button, "Save ...", 433, 320, 50, 14, kPush},
};

constexpr CtlTemplate kFldDefControls[] = {
    {IDC_STATIC, C::Static, "Name :", 11, 10, 29, 8, kLabelLeft},
    {IDC_PROTOCOL_NAME, C::Edit, "", 40, 9, 418, 13, kEdit},
    {IDC_STATIC, C::Button, " Encoding : ", 4, 27, 462, 36, kGroup},
    {IDC_STATIC, C::Static, "MTI :", 10, 45, 18, 8, kLabelRight},
    {IDC_MTI_ENC, C::ComboBox, "", 31, 43, 40, 30, kDropList},
    {IDC_STATIC, C::Static, "Bitmap :", 79, 45, 27, 8, kLabelRight},
    {IDC_BMP_ENC, C::ComboBox, "", 109, 43, 40, 30, kDropList},
    {IDC_STATIC, C::Static, "Lengths :", 158, 45, 31, 8, kLabelRight},
    {IDC_LEN_ENC, C::ComboBox, "", 192, 43, 40, 30, kDropList},
    {IDC_STATIC, C::Static, "Num. :", 240, 45, 23, 8, kLabelRight},
    {IDC_NUM_ENC, C::ComboBox, "", 266, 43, 40, 30, kDropList},
    {IDC_STATIC, C::Static, "Char. :", 314, 45, 24, 8, kLabelRight},
    {IDC_CHR_ENC, C::ComboBox, "", 342, 43, 40, 30, kDropList},
    {IDC_STATIC, C::Static, "Binary :", 391, 45, 26, 8, kLabelRight},
    {IDC_BIN_ENC, C::ComboBox, "", 420, 43, 40, 30, kDropList},
    {IDC_LIST, C::ListView, "", 4, 71, 462, 154, kReportList},
    {IDC_STATIC, C::Button, "Data Element : ", 4, 231, 462, 55, kGroup},
    {IDC_STATIC, C::Static, "Description : ", 16, 247, 43, 8, kLabelRight},
    {IDC_DESCRIPTION, C::Edit, "", 62, 244, 314, 13, kEdit},
    {IDC_STATIC, C::Static, "Number : ", 401, 247, 32, 8, kLabelRight},
    {IDC_FIELD_NUMBER, C::Edit, "", 435, 245, 22, 13, kNumberEdit, WS_EX_RIGHT},
    {IDC_STATIC, C::Static, "Type : ", 35, 268, 24, 8, kLabelRight},
    {IDC_TYPE, C::ComboBox, "", 62, 266, 30, 32, kDropList},
    {IDC_VARIABLE, C::Button, " Variable Length", 127, 267, 65, 10, kCheck},
    {IDC_STATIC, C::Static, "[max.] Length : ", 222, 268, 53, 8, kLabelRight},
    {IDC_LENGTH, C::Edit, "", 277, 266, 22, 13, kNumberEdit, WS_EX_RIGHT},
    {IDC_SUBFIELDS, C::Button, " Subfields", 332, 267, 43, 10, kCheck},
    {IDC_APPLY, C::Button, "Apply", 400, 264, 57, 14, kPush},
};

constexpr CtlTemplate kMsgDefControls[] = {
    {IDC_STATIC, C::Static, "MTI : ", 7, 10, 20, 8, kLabelRight},
    {IDC_MTI, C::ComboBox, "", 32, 8, 39, 30,
     WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_SORT},
    {IDC_ADD_MSG, C::Button, "+", 76, 8, 16, 13, kPush},
    {IDC_DELETE_MSG, C::Button, "-", 95, 8, 16, 13, kPush | WS_DISABLED},
    {IDC_STATIC, C::Static, "Message Title :", 116, 10, 52, 8, kLabelRight},
    {IDC_TITLE, C::Edit, "", 171, 8, 271, 13, kEdit},
    {IDC_RETITLE, C::Button, "=", 449, 8, 16, 13, kPush | WS_DISABLED},
    {IDC_STATUS, C::Static,
     "select an item and use left, right or space key to change the mandatory or optional "
     "property for the data element",
     12, 28, 447, 8, SS_CENTER},
    {IDC_LIST, C::ListView, "", 4, 40, 462, 217, kReportList},
    {IDC_STATIC, C::Static, "Mandatory mask (hexa) :", 8, 263, 113, 8, kLabelLeft},
    {IDC_MANDATORY_MASK, C::Edit, "", 4, 273, 190, 12, kEdit},
    {IDC_STATIC, C::Static, "Optional mask (hexa) :", 218, 263, 113, 8, kLabelLeft},
    {IDC_OPTIONAL_MASK, C::Edit, "", 213, 273, 190, 12, kEdit},
    {IDC_APPLY, C::Button, "Apply", 421, 272, 45, 14, kPush | WS_DISABLED},
};

constexpr CtlTemplate kParserControls[] = {
    {IDC_STATIC, C::Static, "IOS8583 message data :", 7, 6, 106, 8, kLabelLeft},
    {IDC_HEXA, C::Button, "Hexa", 429, 5, 33, 10, kCheck | BS_LEFTTEXT},
    {IDC_MESSAGE, C::Edit, "", 3, 18, 462, 60,
     WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
         ES_WANTRETURN},
    {IDC_PARSE, C::Button, "Parse", 3, 82, 46, 14, kPush},
    {IDC_STATUS, C::Static, "", 57, 85, 401, 8, WS_VISIBLE | SS_CENTER},
    {IDC_LIST, C::ListView, "", 3, 100, 462, 185, kReportList},
};

}  // namespace

extern const DlgTemplate kMainTemplate;
extern const DlgTemplate kFldDefTemplate;
extern const DlgTemplate kMsgDefTemplate;
extern const DlgTemplate kParserTemplate;

// Not resizable, no minimise box.
const DlgTemplate kMainTemplate = {
    IDD_MAIN,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS,
    490,
    340,
    "ISO 8583 Workbench",
    kMainControls};
const DlgTemplate kFldDefTemplate = {IDD_FLDDEF, kPageStyle, 470, 290, "", kFldDefControls};
const DlgTemplate kMsgDefTemplate = {IDD_MSGDEF, kPageStyle, 470, 290, "", kMsgDefControls};
const DlgTemplate kParserTemplate = {IDD_PARSER, kPageStyle, 470, 290, "", kParserControls};
