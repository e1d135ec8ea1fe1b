// The main window: a tab control with the three pages, and the Load and Save commands.
#pragma once

#include <functional>

#include "ui/dlg_base.h"
#include "ui/document_state.h"
#include "ui/fld_def_pg.h"
#include "ui/msg_def_pg.h"
#include "ui/parser_pg.h"

class MainDlg : public DlgBase {
  public:
    MainDlg() = default;
    ~MainDlg() override;

    INT_PTR OnInitDialog(HWND wnd, WPARAM focus, LPARAM param) override;
    INT_PTR OnNotify(HWND wnd, int id, NMHDR* header) override;
    INT_PTR OnCommand(HWND wnd, unsigned id, HWND control, unsigned code) override;
    INT_PTR OnSysCommand(HWND wnd, WPARAM command, int x, int y) override;
    INT_PTR OnDestroy(HWND wnd) override;

    void ShowSelectedPage();
    bool LoadProtocol(HWND owner);
    bool SaveProtocol(HWND owner);

    // The definition file to load once the window runs (the program's command line).
    void OpenAtStart(const std::string& path) { document.OpenAtStart(path); }
    DocumentState& Document() { return document; }
    ParserPg& Parser() { return parserPg; }
    // Brings the Parser page to the front, as a click on its tab does.
    void ShowParserPage();

    HWND Tab() const { return tabControl; }
    HWND Page(int index) const;  // 0 Data Elements, 1 Messages, 2 Parser

    // Told the name of each page refresh before it runs, so that its order can be checked.
    using RefreshObserver = std::function<void(const char* refresh)>;
    void SetRefreshObserver(RefreshObserver observer) { refreshObserver = std::move(observer); }

  private:
    void Refresh(const char* name);
    void RefreshAfterLoad();
    void RefreshAfterFileLoad();

    HWND tabControl = nullptr;
    HWND fldDefPage = nullptr;
    HWND msgDefPage = nullptr;
    HWND parserPage = nullptr;
    FldDefPg fldDefPg;
    MsgDefPg msgDefPg;
    ParserPg parserPg;
    RefreshObserver refreshObserver;
    DocumentState document;
};
