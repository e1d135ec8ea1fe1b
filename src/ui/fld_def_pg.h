// The "Data Elements" page: the protocol name, the six encodings and the data element table of
// the one protocol definition, written into the model as soon as the user commits each of them.
#pragma once

#include "ui/dlg_base.h"

class FldDefPg : public DlgBase {
  public:
    INT_PTR OnInitDialog(HWND wnd, WPARAM focus, LPARAM param) override;
    INT_PTR OnNotify(HWND wnd, int id, NMHDR* header) override;
    INT_PTR OnCommand(HWND wnd, unsigned id, HWND control, unsigned code) override;

    // The main window's refresh after a file load: name and encodings, then the list.
    bool ShowProtocol();
    bool FillFieldList();
    // Empties the data element editor: after a load no row is selected, and a field typed or
    // picked before belongs to a definition that is gone.
    void ClearFieldEditor();

  private:
    bool LoadSelectedField();
    bool DeleteSelectedField();
    bool ApplyField();
    void CommitName();
    bool StoreEncoding(int combo);
    bool SelectedFieldNumber(int& n) const;

    static constexpr int kEncodingComboCount = 6;

    HWND nameBox = nullptr;
    HWND encodingCombos[kEncodingComboCount] = {};  // MTI, bitmap, lengths, num., char., binary
    HWND list = nullptr;
    HWND descriptionBox = nullptr;
    HWND typeCombo = nullptr;
    HWND variableCheck = nullptr;
    HWND lengthBox = nullptr;
    HWND subfieldsCheck = nullptr;
    HWND numberBox = nullptr;
};
