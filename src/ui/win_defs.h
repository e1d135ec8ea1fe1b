// The window layer's vocabulary: the Win32 names and values the pages are written in, so that
// a page's code reads like the algorithm it implements. Handles are widgets.
#pragma once

#include <cstdint>

class QWidget;

using HWND = QWidget*;
using UINT = unsigned;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using INT_PTR = std::intptr_t;

inline constexpr unsigned LoWord(WPARAM v) {
    return static_cast<unsigned>(v & 0xFFFF);
}
inline constexpr unsigned HiWord(WPARAM v) {
    return static_cast<unsigned>((v >> 16) & 0xFFFF);
}
// Coordinates travel as signed 16-bit halves: a point left of the client area is negative.
inline constexpr int LoShort(LPARAM v) {
    return static_cast<std::int16_t>(v & 0xFFFF);
}
inline constexpr int HiShort(LPARAM v) {
    return static_cast<std::int16_t>((v >> 16) & 0xFFFF);
}
inline constexpr WPARAM MakeWParam(unsigned lo, unsigned hi) {
    return static_cast<WPARAM>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16));
}
inline constexpr LPARAM MakeLParam(int lo, int hi) {
    return static_cast<LPARAM>(static_cast<std::uint32_t>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}

// Dialog templates.
inline constexpr int IDD_MAIN = 101;
inline constexpr int IDD_FLDDEF = 102;
inline constexpr int IDD_MSGDEF = 103;
inline constexpr int IDD_PARSER = 104;

// Control identifiers. Some are shared between pages (each page is its own dialog).
inline constexpr int IDC_STATIC = -1;
inline constexpr int IDC_TAB = 1001;
inline constexpr int IDC_LOAD = 1002;
inline constexpr int IDC_SAVE = 1003;
inline constexpr int IDC_PROTOCOL_NAME = 1004;
inline constexpr int IDC_MTI_ENC = 1005;
inline constexpr int IDC_BMP_ENC = 1006;
inline constexpr int IDC_LEN_ENC = 1007;
inline constexpr int IDC_NUM_ENC = 1008;
inline constexpr int IDC_CHR_ENC = 1009;
inline constexpr int IDC_BIN_ENC = 1010;
inline constexpr int IDC_LIST = 1011;
inline constexpr int IDC_FIELD_NUMBER = 1012;
inline constexpr int IDC_DESCRIPTION = 1013;
inline constexpr int IDC_LENGTH = 1014;
inline constexpr int IDC_SUBFIELDS = 1015;
inline constexpr int IDC_TYPE = 1016;
inline constexpr int IDC_VARIABLE = 1017;
inline constexpr int IDC_APPLY = 1018;
inline constexpr int IDC_MTI = 1019;
inline constexpr int IDC_TITLE = 1020;
inline constexpr int IDC_DELETE_MSG = 1022;
inline constexpr int IDC_RETITLE = 1023;
inline constexpr int IDC_ADD_MSG = 1024;
inline constexpr int IDC_OPTIONAL_MASK = 1025;
inline constexpr int IDC_MANDATORY_MASK = 1026;
inline constexpr int IDC_STATUS = 1027;  // the verdict line (Parser), the help line (Messages)
inline constexpr int IDC_MESSAGE = 1028;
inline constexpr int IDC_HEXA = 1029;
inline constexpr int IDC_PARSE = 1030;

// Window messages.
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SETFONT = 0x0030;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_APP = 0x8000;
inline constexpr UINT WM_APP_LAST = 0xBFFF;

// WM_COMMAND notification codes.
inline constexpr unsigned BN_CLICKED = 0;
inline constexpr unsigned EN_SETFOCUS = 0x0100;
inline constexpr unsigned EN_KILLFOCUS = 0x0200;
inline constexpr unsigned EN_CHANGE = 0x0300;
inline constexpr unsigned CBN_SELCHANGE = 1;
inline constexpr unsigned CBN_SETFOCUS = 3;
inline constexpr unsigned CBN_KILLFOCUS = 4;
inline constexpr unsigned CBN_EDITCHANGE = 5;

// WM_NOTIFY codes.
inline constexpr int NM_CLICK = -2;
inline constexpr int NM_DBLCLK = -3;
inline constexpr int LVN_ITEMCHANGED = -101;
inline constexpr int LVN_KEYDOWN = -155;
inline constexpr int TCN_SELCHANGE = -551;
inline constexpr int TCN_SELCHANGING = -552;

// WM_SYSCOMMAND commands.
inline constexpr WPARAM SC_CLOSE = 0xF060;

// Mouse key flags of WM_MOUSEMOVE and WM_LBUTTONUP.
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;

// Virtual-key codes.
inline constexpr unsigned VK_BACK = 0x08;
inline constexpr unsigned VK_TAB = 0x09;
inline constexpr unsigned VK_RETURN = 0x0D;
inline constexpr unsigned VK_SHIFT = 0x10;
inline constexpr unsigned VK_CONTROL = 0x11;
inline constexpr unsigned VK_MENU = 0x12;
inline constexpr unsigned VK_ESCAPE = 0x1B;
inline constexpr unsigned VK_SPACE = 0x20;
inline constexpr unsigned VK_PRIOR = 0x21;
inline constexpr unsigned VK_NEXT = 0x22;
inline constexpr unsigned VK_END = 0x23;
inline constexpr unsigned VK_HOME = 0x24;
inline constexpr unsigned VK_LEFT = 0x25;
inline constexpr unsigned VK_UP = 0x26;
inline constexpr unsigned VK_RIGHT = 0x27;
inline constexpr unsigned VK_DOWN = 0x28;
inline constexpr unsigned VK_INSERT = 0x2D;
inline constexpr unsigned VK_DELETE = 0x2E;
inline constexpr unsigned VK_F1 = 0x70;
inline constexpr unsigned VK_F24 = 0x87;

// Window and dialog styles.
inline constexpr unsigned WS_POPUP = 0x80000000;
inline constexpr unsigned WS_CHILD = 0x40000000;
inline constexpr unsigned WS_VISIBLE = 0x10000000;
inline constexpr unsigned WS_DISABLED = 0x08000000;
inline constexpr unsigned WS_CAPTION = 0x00C00000;
inline constexpr unsigned WS_BORDER = 0x00800000;
inline constexpr unsigned WS_VSCROLL = 0x00200000;
inline constexpr unsigned WS_SYSMENU = 0x00080000;
inline constexpr unsigned WS_GROUP = 0x00020000;
inline constexpr unsigned WS_TABSTOP = 0x00010000;
inline constexpr unsigned WS_EX_RIGHT = 0x00001000;
inline constexpr unsigned DS_SETFONT = 0x0040;
inline constexpr unsigned DS_MODALFRAME = 0x0080;
inline constexpr unsigned DS_CONTROL = 0x0400;
inline constexpr unsigned DS_CENTER = 0x0800;
inline constexpr unsigned DS_FIXEDSYS = 0x0008;

// Control styles.
inline constexpr unsigned SS_LEFT = 0x0;
inline constexpr unsigned SS_CENTER = 0x1;
inline constexpr unsigned SS_RIGHT = 0x2;
inline constexpr unsigned ES_RIGHT = 0x0002;
inline constexpr unsigned ES_MULTILINE = 0x0004;
inline constexpr unsigned ES_AUTOVSCROLL = 0x0040;
inline constexpr unsigned ES_AUTOHSCROLL = 0x0080;
inline constexpr unsigned ES_WANTRETURN = 0x1000;
inline constexpr unsigned ES_NUMBER = 0x2000;
inline constexpr unsigned BS_PUSHBUTTON = 0x0;
inline constexpr unsigned BS_AUTOCHECKBOX = 0x3;
inline constexpr unsigned BS_GROUPBOX = 0x7;
inline constexpr unsigned BS_LEFTTEXT = 0x20;
inline constexpr unsigned CBS_DROPDOWN = 0x2;
inline constexpr unsigned CBS_DROPDOWNLIST = 0x3;
inline constexpr unsigned CBS_SORT = 0x100;
inline constexpr unsigned LVS_REPORT = 0x1;
inline constexpr unsigned LVS_SINGLESEL = 0x4;
inline constexpr unsigned LVS_NOSORTHEADER = 0x8000;

// List column alignment.
inline constexpr int LVCFMT_LEFT = 0;
inline constexpr int LVCFMT_RIGHT = 1;
inline constexpr int LVCFMT_CENTER = 2;

// Check states, combo results.
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;
inline constexpr int CB_ERR = -1;

// Message boxes.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_DEFBUTTON2 = 0x100;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Notification records. A notification's lParam points at its header, which comes first.
struct NMHDR {
    HWND hwndFrom;
    std::uintptr_t idFrom;
    int code;
};

struct NMLVKEYDOWN {
    NMHDR hdr;
    std::uint16_t wVKey;
    unsigned flags;
};

struct NMLISTVIEW {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    unsigned uNewState;
    unsigned uOldState;
    unsigned uChanged;
    LPARAM lParam;
};

inline constexpr unsigned LVIS_SELECTED = 0x2;
inline constexpr unsigned LVIF_STATE = 0x8;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

// List extended styles.
inline constexpr unsigned LVS_EX_GRIDLINES = 0x0001;
inline constexpr unsigned LVS_EX_FULLROWSELECT = 0x0020;
inline constexpr unsigned LVS_EX_INFOTIP = 0x0400;
