// The window a dialog template becomes: it builds the controls, keeps the link to the dialog
// object (the user data slot), and routes the controls' signals and events to DlgProc as the
// messages Win32 would send, at the moments Win32 would send them.
#pragma once

#include <map>
#include <vector>

#include <QWidget>

#include "ui/anchor.h"
#include "ui/dlg_template.h"
#include "ui/win_defs.h"

class DlgBase;
class PageArea;
class QEventLoop;
class QScreen;

class DialogWindow : public QWidget {
  public:
    DialogWindow(const DlgTemplate& dlgTemplate, QWidget* parent);
    ~DialogWindow() override;

    static DialogWindow* From(HWND wnd);

    DlgBase* Object() const { return object; }
    void SetObject(DlgBase* o) { object = o; }
    QWidget* Control(int id) const;

    void End(INT_PTR result);
    bool Ended() const { return ended; }
    INT_PTR Result() const { return result; }
    void RunModal();

    bool StartTimer(WPARAM id, int milliseconds);
    bool StopTimer(WPARAM id);

    // Where the pages of the dialog's tab control lie; null for a dialog without one.
    PageArea* Pages() const { return pages; }
    // A window opens at its template's size, or at the screen's available size when that is
    // smaller, which is also the least it can be made: a window manager's frame included.
    void FitToScreen(const QScreen* screen);
    QSize TemplateSize() const { return templateSize; }
    QSize FrameAllowance() const;
    void setVisible(bool visible) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    QWidget* Build(const CtlTemplate& ctl, const DialogUnits& units);
    void Wire(QWidget* control, const CtlTemplate& ctl);
    void Command(QWidget* control, unsigned code);
    INT_PTR Notify(NMHDR& header);
    void NotifyListChanged(QWidget* list);

    struct Follower {
        QWidget* control;
        Anchor anchor;
    };

    DlgBase* object = nullptr;
    std::map<int, QWidget*> controls;
    std::vector<Follower> followers;
    QSize templateSize;
    QSize laidOut;  // the size the controls are placed for
    QWidget* tab = nullptr;
    PageArea* pages = nullptr;
    bool fitted = false;
    bool watchingScreen = false;
    std::map<WPARAM, int> timers;  // timer id -> Qt timer id
    QEventLoop* loop = nullptr;
    bool ended = false;
    bool destroyed = false;
    INT_PTR result = 0;
};

// Creates the dialog of a template, links it to object (may be null) and sends WM_INITDIALOG.
// A child dialog (parent given) starts hidden, as a template without WS_VISIBLE does.
HWND CreateDialogParam(int templateId, HWND parent, DlgBase* object);
// Runs the dialog until EndDialog, then destroys it; returns EndDialog's result, -1 when the
// template does not exist.
INT_PTR DialogBoxParam(int templateId, HWND owner, DlgBase* object);
bool EndDialog(HWND wnd, INT_PTR result);
// Sends WM_DESTROY to the dialog's object, then destroys the window and its controls.
bool DestroyWindow(HWND wnd);

INT_PTR SendMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
bool PostMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
bool SetTimer(HWND wnd, WPARAM id, int milliseconds);
bool KillTimer(HWND wnd, WPARAM id);

HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);

// The virtual-key code of a Qt key; 0 for keys the program has no code for.
unsigned VirtualKeyOf(int qtKey);
