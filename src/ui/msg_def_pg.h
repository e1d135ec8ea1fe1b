// The "Messages" page: the message definitions with their mandatory and optional fields.
#pragma once

#include "model/protocol.h"
#include "ui/dlg_base.h"

class MsgDefPg : public DlgBase {
  public:
    INT_PTR OnInitDialog(HWND wnd, WPARAM focus, LPARAM param) override;
    INT_PTR OnNotify(HWND wnd, int id, NMHDR* header) override;
    INT_PTR OnCommand(HWND wnd, unsigned id, HWND control, unsigned code) override;

    // Called by the main window after a file is loaded (both, in this order) and when the user
    // leaves the Data Elements tab (the field list).
    bool FillMessageList();
    bool FillFieldList();

  private:
    // The slot index carried by the combo box's selected entry, or MsgTable::kNone.
    int CurrentSlot() const;
    bool ShowMessage();
    bool ShowMasks(int slot);
    bool AddMessage(HWND owner);
    bool DeleteMessage(HWND owner);
    bool RetitleMessage();
    bool OnListKey(unsigned vk);
    bool ApplyMasks();
    void ShowMarks(int row, const MsgDef* m, int n);
    void EnableMessageEditor(bool enable);

    HWND mtiCombo = nullptr;
    HWND deleteButton = nullptr;
    HWND retitleButton = nullptr;
    HWND addButton = nullptr;
    HWND titleEdit = nullptr;
    HWND helpText = nullptr;
    HWND fieldList = nullptr;
    HWND mandatoryEdit = nullptr;
    HWND optionalEdit = nullptr;
    HWND applyButton = nullptr;
};
