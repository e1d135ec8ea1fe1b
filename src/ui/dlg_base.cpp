#include "ui/dlg_base.h"

#include "ui/dlg_window.h"

DlgBase::~DlgBase() = default;

INT_PTR DlgBase::OnInitDialog(HWND, WPARAM, LPARAM) {
    return 1;
}
INT_PTR DlgBase::OnNotify(HWND, int, NMHDR*) {
    return 0;
}
INT_PTR DlgBase::OnMouseMove(HWND, int, int, WPARAM) {
    return 0;
}
INT_PTR DlgBase::OnLButtonUp(HWND, int, int, WPARAM) {
    return 0;
}
INT_PTR DlgBase::OnHScroll(HWND, HWND, unsigned, int) {
    return 0;
}
INT_PTR DlgBase::OnCommand(HWND, unsigned, HWND, unsigned) {
    return 0;
}
INT_PTR DlgBase::OnSysCommand(HWND, WPARAM, int, int) {
    return 0;
}
INT_PTR DlgBase::OnTimer(HWND, WPARAM) {
    return 0;
}
INT_PTR DlgBase::OnDestroy(HWND) {
    return 0;
}
INT_PTR DlgBase::OnAppMessage(HWND, UINT, WPARAM, LPARAM) {
    return 1;
}

INT_PTR DlgBase::Close(HWND wnd, bool ok) {
    if (ok) {
        EndDialog(wnd, 1);
    } else if (CanClose(wnd)) {
        EndDialog(wnd, 0);
    }
    return 1;
}

bool DlgBase::CanClose(HWND) {
    return true;
}

namespace {

DispatchObserver& Observer() {
    static DispatchObserver observer;
    return observer;
}

void Dispatched() {
    if (Observer()) Observer()();
}

}  // namespace

DispatchObserver SetDispatchObserver(DispatchObserver observer) {
    DispatchObserver previous = std::move(Observer());
    Observer() = std::move(observer);
    return previous;
}

INT_PTR DlgProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* dialog = DialogWindow::From(wnd);
    if (dialog == nullptr) return 0;
    if (message == WM_INITDIALOG) dialog->SetObject(reinterpret_cast<DlgBase*>(lParam));
    DlgBase* object = dialog->Object();
    if (object == nullptr) return 0;

    switch (message) {
        case WM_INITDIALOG:
            return object->OnInitDialog(wnd, wParam, lParam);
        case WM_NOTIFY: {
            const INT_PTR handled =
                object->OnNotify(wnd, static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam));
            Dispatched();
            return handled;
        }
        case WM_MOUSEMOVE:
            object->OnMouseMove(wnd, LoShort(lParam), HiShort(lParam), wParam);
            return 0;
        case WM_LBUTTONUP:
            object->OnLButtonUp(wnd, LoShort(lParam), HiShort(lParam), wParam);
            return 0;
        case WM_HSCROLL:
            object->OnHScroll(wnd, reinterpret_cast<HWND>(lParam), LoWord(wParam),
                              static_cast<std::int16_t>(HiWord(wParam)));
            return 0;
        case WM_COMMAND:
            object->OnCommand(wnd, LoWord(wParam), reinterpret_cast<HWND>(lParam), HiWord(wParam));
            Dispatched();
            return 0;
        case WM_SYSCOMMAND:
            object->OnSysCommand(wnd, wParam, LoShort(lParam), HiShort(lParam));
            return 0;
        case WM_TIMER:
            object->OnTimer(wnd, wParam);
            return 0;
        case WM_DESTROY:
            object->OnDestroy(wnd);
            return 0;
        default:
            if (message >= WM_APP && message <= WM_APP_LAST) {
                object->OnAppMessage(wnd, message, wParam, lParam);
            }
            return 0;
    }
}
