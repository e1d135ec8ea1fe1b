// The "Parser" page: decodes a pasted message against the protocol definition.
#pragma once

#include <cstdint>

#include "model/protocol.h"
#include "ui/dlg_base.h"

class ParserPg : public DlgBase {
  public:
    INT_PTR OnInitDialog(HWND wnd, WPARAM focus, LPARAM param) override;
    INT_PTR OnNotify(HWND wnd, int id, NMHDR* header) override;
    INT_PTR OnCommand(HWND wnd, unsigned id, HWND control, unsigned code) override;

  private:
    HWND hexaCheck = nullptr;
    HWND messageEdit = nullptr;
    HWND statusText = nullptr;
    HWND fieldList = nullptr;
    std::uint16_t fieldOffsets[kFieldCount] = {};
    std::uint16_t fieldLengths[kFieldCount] = {};
    bool hexMode = false;
};
