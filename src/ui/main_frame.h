// The program's window: the main dialog framed with a menu bar of everything the program can
// do. The menus hold the very actions the dialog's pages, keys and context menus use.
#pragma once

#include <QMainWindow>

#include "ui/win_defs.h"

class MainDlg;
class QEventLoop;
class QMenu;
class QScreen;

class MainFrame : public QMainWindow {
  public:
    // The least size of the window at scale 1; its pages scroll below their own size.
    static constexpr QSize kLeast{640, 480};

    // Creates the main dialog of dlg (which must outlive the frame) and frames it.
    explicit MainFrame(MainDlg& dlg);
    ~MainFrame() override;

    HWND Dialog() const { return dialog; }
    QMenu* RecentMenu() const { return recent; }
    // Shows the window on the primary screen and returns when the dialog has ended.
    void Run();
    // Opens at the dialog's template size with the menu bar, or at the screen's available
    // size when that is smaller; it can be made as small as kLeast, or the screen's room.
    void FitToScreen(const QScreen* screen);
    void setVisible(bool visible) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void BuildMenus();
    void FillRecentMenu();
    void OpenRecent(const QString& path);

    MainDlg& dlg;
    HWND dialog = nullptr;
    QMenu* recent = nullptr;
    QEventLoop* loop = nullptr;
    bool fitted = false;
    bool watchingScreen = false;
};
