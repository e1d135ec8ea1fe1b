#include "ui/main_dlg.h"

#include <string>

#include <QTabWidget>

#include "ui/controls.h"
#include "ui/dlg_window.h"

MainDlg::~MainDlg() = default;

HWND MainDlg::Page(int index) const {
    switch (index) {
        case 0:
            return fldDefPage;
        case 1:
            return msgDefPage;
        case 2:
            return parserPage;
        default:
            return nullptr;
    }
}

INT_PTR MainDlg::OnInitDialog(HWND wnd, WPARAM, LPARAM) {
    tabControl = GetDlgItem(wnd, IDC_TAB);
    TabInsertItem(tabControl, 0, "Data Elements");
    TabInsertItem(tabControl, 1, "Messages");
    TabInsertItem(tabControl, 2, "Parser");

    fldDefPage = CreateDialogParam(IDD_FLDDEF, wnd, &fldDefPg);
    msgDefPage = CreateDialogParam(IDD_MSGDEF, wnd, &msgDefPg);
    parserPage = CreateDialogParam(IDD_PARSER, wnd, &parserPg);

    // The pages are the main window's children laid over the tab control's display area, at
    // their template size.
    const QRect area = TabDisplayArea(tabControl);
    for (HWND page : {fldDefPage, msgDefPage, parserPage})
        SetWindowPos(page, area.x(), area.y());

    TabSetCurSel(tabControl, 0);
    ShowWindow(fldDefPage, SW_SHOW);
    document.Attach(wnd, [this] { RefreshAfterFileLoad(); });
    // A reading the diagnosis applied changed the definition: the pages show it as after a
    // load, and the title tells it is modified.
    parserPg.SetDefinitionChanged([this] {
        RefreshAfterLoad();
        document.Check();
    });
    return 1;
}

INT_PTR MainDlg::OnNotify(HWND, int id, NMHDR* header) {
    if (id != IDC_TAB) return 0;
    if (header->code == TCN_SELCHANGING) {
        // Data elements added or deleted there must appear in the Messages page's list.
        if (TabGetCurSel(tabControl) == 0) {
            Refresh("MsgDefPg::FillFieldList");
            msgDefPg.FillFieldList();
        }
    } else if (header->code == TCN_SELCHANGE) {
        ShowSelectedPage();
    }
    return 1;  // a change of tab is never refused
}

INT_PTR MainDlg::OnCommand(HWND wnd, unsigned id, HWND, unsigned) {
    switch (id) {
        case IDC_LOAD:
            LoadProtocol(wnd);
            return 1;
        case IDC_SAVE:
            SaveProtocol(wnd);
            return 1;
        default:
            return 0;  // Enter and Escape (IDOK, IDCANCEL) do not close the window
    }
}

INT_PTR MainDlg::OnSysCommand(HWND wnd, WPARAM command, int, int) {
    if ((command & 0xFFF0) == SC_CLOSE && document.MayClose(wnd)) EndDialog(wnd, 1);
    return 0;
}

INT_PTR MainDlg::OnDestroy(HWND) {
    document.Detach();
    for (HWND* page : {&fldDefPage, &msgDefPage, &parserPage}) {
        DestroyWindow(*page);
        *page = nullptr;
    }
    return 0;
}

void MainDlg::ShowSelectedPage() {
    const int selected = TabGetCurSel(tabControl);
    ShowWindow(fldDefPage, selected == 0 ? SW_SHOW : SW_HIDE);
    ShowWindow(msgDefPage, selected == 1 ? SW_SHOW : SW_HIDE);
    ShowWindow(parserPage, selected == 2 ? SW_SHOW : SW_HIDE);
}

bool MainDlg::LoadProtocol(HWND owner) {
    return document.Load(owner);
}

bool MainDlg::SaveProtocol(HWND owner) {
    return document.SaveAs(owner);
}

void MainDlg::RefreshAfterLoad() {
    Refresh("FldDefPg::ShowProtocol");
    fldDefPg.ShowProtocol();
    Refresh("FldDefPg::FillFieldList");
    fldDefPg.FillFieldList();
    Refresh("MsgDefPg::FillMessageList");
    msgDefPg.FillMessageList();
    Refresh("MsgDefPg::FillFieldList");
    msgDefPg.FillFieldList();
}

void MainDlg::RefreshAfterFileLoad() {
    RefreshAfterLoad();
    Refresh("FldDefPg::ClearFieldEditor");
    fldDefPg.ClearFieldEditor();
}

void MainDlg::ShowParserPage() {
    if (auto* tab = qobject_cast<QTabWidget*>(tabControl)) tab->setCurrentIndex(2);
}

void MainDlg::Refresh(const char* name) {
    if (refreshObserver) refreshObserver(name);
}
