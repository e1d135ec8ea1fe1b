// The "Parser" page: decodes a pasted message against the protocol definition as it stands,
// lists its fields and shows the verdict; a key in the list selects a field's part of the text.
#pragma once

#include <cstdint>

#include "model/protocol.h"
#include "ui/dlg_base.h"

class ParserPg : public DlgBase {
  public:
    INT_PTR OnInitDialog(HWND wnd, WPARAM focus, LPARAM param) override;
    INT_PTR OnNotify(HWND wnd, int id, NMHDR* header) override;
    INT_PTR OnCommand(HWND wnd, unsigned id, HWND control, unsigned code) override;

    // True only for the verdict "... Parsing OK ...".
    bool Parse();
    // Whether a range of the message box was selected.
    bool SelectFieldText();

    // Where each field of the last parse lies in the message, in message units.
    int FieldOffset(int number) const { return fieldOffsets[number]; }
    int FieldLength(int number) const { return fieldLengths[number]; }
    bool HexMode() const { return hexMode; }

  private:
    HWND hexaCheck = nullptr;
    HWND messageEdit = nullptr;
    HWND statusText = nullptr;
    HWND fieldList = nullptr;
    std::uint16_t fieldOffsets[kFieldCount] = {};
    std::uint16_t fieldLengths[kFieldCount] = {};
    bool hexMode = false;
    // Characters before the first hex digit: the box keeps them, the message does not.
    int hexLead = 0;
};
