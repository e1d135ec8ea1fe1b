#include "ui/fld_def_pg.h"

#include "ui/controls.h"
#include "ui/dlg_window.h"

INT_PTR FldDefPg::OnInitDialog(HWND wnd, WPARAM, LPARAM) {
    nameEdit = GetDlgItem(wnd, IDC_PROTOCOL_NAME);
    mtiEncCombo = GetDlgItem(wnd, IDC_MTI_ENC);
    bmpEncCombo = GetDlgItem(wnd, IDC_BMP_ENC);
    lenEncCombo = GetDlgItem(wnd, IDC_LEN_ENC);
    numEncCombo = GetDlgItem(wnd, IDC_NUM_ENC);
    chrEncCombo = GetDlgItem(wnd, IDC_CHR_ENC);
    binEncCombo = GetDlgItem(wnd, IDC_BIN_ENC);
    fieldList = GetDlgItem(wnd, IDC_LIST);
    descriptionEdit = GetDlgItem(wnd, IDC_DESCRIPTION);
    typeCombo = GetDlgItem(wnd, IDC_TYPE);
    variableCheck = GetDlgItem(wnd, IDC_VARIABLE);
    lengthEdit = GetDlgItem(wnd, IDC_LENGTH);
    subfieldsCheck = GetDlgItem(wnd, IDC_SUBFIELDS);
    numberEdit = GetDlgItem(wnd, IDC_FIELD_NUMBER);

    ListAddExtendedStyle(fieldList, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    struct Column {
        const char* text;
        int width;
        int format;
    };
    static constexpr Column kColumns[] = {
        {"Description", 455, LVCFMT_LEFT}, {"Type", 55, LVCFMT_LEFT}, {"", 25, LVCFMT_CENTER},
        {"Lenght", 55, LVCFMT_RIGHT},      {"", 25, LVCFMT_CENTER},   {"N\u00B0", 50, LVCFMT_RIGHT},
    };
    for (int i = 0; i < 6; ++i) {
        if (!ListInsertColumn(fieldList, i, kColumns[i].text, kColumns[i].width,
                              kColumns[i].format)) {
            return 0;
        }
    }
    return 1;
}

INT_PTR FldDefPg::OnNotify(HWND, int, NMHDR*) {
    return 0;
}

INT_PTR FldDefPg::OnCommand(HWND, unsigned, HWND, unsigned) {
    return 0;
}

bool FldDefPg::ShowProtocol() {
    return true;
}

bool FldDefPg::FillFieldList() {
    return true;
}
