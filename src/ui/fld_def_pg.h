// The "Data Elements" page: the protocol's name, its six encodings and its data elements.
#pragma once

#include "ui/dlg_base.h"

class FldDefPg : public DlgBase {
  public:
    INT_PTR OnInitDialog(HWND wnd, WPARAM focus, LPARAM param) override;
    INT_PTR OnNotify(HWND wnd, int id, NMHDR* header) override;
    INT_PTR OnCommand(HWND wnd, unsigned id, HWND control, unsigned code) override;

    // Called by the main window after a file is loaded, in this order.
    bool ShowProtocol();
    bool FillFieldList();

  private:
    HWND nameEdit = nullptr;
    HWND mtiEncCombo = nullptr;
    HWND bmpEncCombo = nullptr;
    HWND lenEncCombo = nullptr;
    HWND numEncCombo = nullptr;
    HWND chrEncCombo = nullptr;
    HWND binEncCombo = nullptr;
    HWND fieldList = nullptr;
    HWND descriptionEdit = nullptr;
    HWND typeCombo = nullptr;
    HWND variableCheck = nullptr;
    HWND lengthEdit = nullptr;
    HWND subfieldsCheck = nullptr;
    HWND numberEdit = nullptr;
};
