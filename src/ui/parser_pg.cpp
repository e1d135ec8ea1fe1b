#include "ui/parser_pg.h"

#include "ui/controls.h"
#include "ui/dlg_window.h"

INT_PTR ParserPg::OnInitDialog(HWND wnd, WPARAM, LPARAM) {
    hexaCheck = GetDlgItem(wnd, IDC_HEXA);
    messageEdit = GetDlgItem(wnd, IDC_MESSAGE);
    statusText = GetDlgItem(wnd, IDC_STATUS);
    fieldList = GetDlgItem(wnd, IDC_LIST);

    ListAddExtendedStyle(fieldList, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    struct Column {
        const char* text;
        int width;
        int format;
    };
    static constexpr Column kColumns[] = {
        {"Description", 255, LVCFMT_LEFT}, {"N\u00B0", 50, LVCFMT_RIGHT}, {"Type", 50, LVCFMT_LEFT},
        {"Length", 50, LVCFMT_RIGHT},      {"Value", 265, LVCFMT_LEFT},
    };
    for (int i = 0; i < 5; ++i) {
        if (!ListInsertColumn(fieldList, i, kColumns[i].text, kColumns[i].width,
                              kColumns[i].format)) {
            return 0;
        }
    }
    return 1;
}

INT_PTR ParserPg::OnNotify(HWND, int, NMHDR*) {
    return 0;
}

INT_PTR ParserPg::OnCommand(HWND, unsigned, HWND, unsigned) {
    return 0;
}
