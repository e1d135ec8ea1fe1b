// The base of every dialog object, and the one routing point that turns the window layer's
// messages into its virtual operations.
#pragma once

#include <functional>

#include "ui/win_defs.h"

class DlgBase {
  public:
    DlgBase() = default;
    DlgBase(const DlgBase&) = delete;
    DlgBase& operator=(const DlgBase&) = delete;
    // Ends the object only: the window, if any, is not destroyed.
    virtual ~DlgBase();

    virtual INT_PTR OnInitDialog(HWND wnd, WPARAM focus, LPARAM param);
    virtual INT_PTR OnNotify(HWND wnd, int id, NMHDR* header);
    virtual INT_PTR OnMouseMove(HWND wnd, int x, int y, WPARAM keys);
    virtual INT_PTR OnLButtonUp(HWND wnd, int x, int y, WPARAM keys);
    virtual INT_PTR OnHScroll(HWND wnd, HWND scrollBar, unsigned request, int position);
    virtual INT_PTR OnCommand(HWND wnd, unsigned id, HWND control, unsigned code);
    virtual INT_PTR OnSysCommand(HWND wnd, WPARAM command, int x, int y);
    virtual INT_PTR OnTimer(HWND wnd, WPARAM timerId);
    virtual INT_PTR OnDestroy(HWND wnd);
    virtual INT_PTR OnAppMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
    virtual INT_PTR Close(HWND wnd, bool ok);
    virtual bool CanClose(HWND wnd);
};

// Finds the dialog's object (set from lParam by WM_INITDIALOG) and calls its operation.
// Only WM_INITDIALOG and WM_NOTIFY return the operation's result; everything else gives 0.
INT_PTR DlgProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);

// Told after each command and notification that a dialog's object has handled, so that state
// depending on every edit (the main window's modified mark) is checked without hooking each.
// An empty observer stops the telling; returns the observer it replaced.
using DispatchObserver = std::function<void()>;
DispatchObserver SetDispatchObserver(DispatchObserver observer);
