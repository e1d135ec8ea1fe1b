#include "ui/msg_def_pg.h"

#include "ui/controls.h"
#include "ui/dlg_window.h"

INT_PTR MsgDefPg::OnInitDialog(HWND wnd, WPARAM, LPARAM) {
    mtiCombo = GetDlgItem(wnd, IDC_MTI);
    deleteButton = GetDlgItem(wnd, IDC_DELETE_MSG);
    retitleButton = GetDlgItem(wnd, IDC_RETITLE);
    addButton = GetDlgItem(wnd, IDC_ADD_MSG);
    titleEdit = GetDlgItem(wnd, IDC_TITLE);
    helpText = GetDlgItem(wnd, IDC_STATUS);
    fieldList = GetDlgItem(wnd, IDC_LIST);
    mandatoryEdit = GetDlgItem(wnd, IDC_MANDATORY_MASK);
    optionalEdit = GetDlgItem(wnd, IDC_OPTIONAL_MASK);
    applyButton = GetDlgItem(wnd, IDC_APPLY);

    ListAddExtendedStyle(fieldList, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    struct Column {
        const char* text;
        int width;
        int format;
    };
    static constexpr Column kColumns[] = {
        {"Description", 380, LVCFMT_LEFT},
        {"Mandatory", 110, LVCFMT_CENTER},
        {"Optional", 110, LVCFMT_CENTER},
        {"N\u00B0", 50, LVCFMT_RIGHT},
    };
    for (int i = 0; i < 4; ++i) {
        if (!ListInsertColumn(fieldList, i, kColumns[i].text, kColumns[i].width,
                              kColumns[i].format)) {
            return 0;
        }
    }
    return 1;
}

INT_PTR MsgDefPg::OnNotify(HWND, int, NMHDR*) {
    return 0;
}

INT_PTR MsgDefPg::OnCommand(HWND, unsigned, HWND, unsigned) {
    return 0;
}

bool MsgDefPg::FillMessageList() {
    return true;
}

bool MsgDefPg::FillFieldList() {
    return true;
}
