// Thin wrappers over the controls, named after the Win32 messages they stand for, so that the
// pages keep to the window layer's vocabulary. Texts are the model's UTF-8.
#pragma once

#include <span>
#include <string>

#include <QRect>
#include <QTabWidget>

#include "ui/win_defs.h"

// The tab control: tabs with an empty panel each; the pages are the dialog's own children laid
// over the display area. The current tab as the program sees it changes only after
// TCN_SELCHANGING has been delivered, so the tab being left is still current then.
class TabControl : public QTabWidget {
  public:
    explicit TabControl(QWidget* parent);
    QRect DisplayArea() const;  // in the tab control's coordinates
    int CurSel() const { return curSel; }
    void SetCurSel(int index);
    void Changed(int index) { curSel = index; }
    // Goes that many tabs on, round from the last to the first.
    void Step(int step);

  private:
    int curSel = -1;
};

bool IsWindow(HWND wnd);
// The parent of a page is its dialog, also while the page lies in the dialog's page area.
HWND GetParent(HWND wnd);
bool EnableWindow(HWND wnd, bool enable);
bool IsWindowEnabled(HWND wnd);
bool ShowWindow(HWND wnd, int command);
bool IsWindowVisible(HWND wnd);
HWND SetFocus(HWND wnd);
HWND GetFocus();
void UpdateWindow(HWND wnd);
// Moves the window to (x, y) of its parent's client area; the size stays.
bool SetWindowPos(HWND wnd, int x, int y);
QRect GetWindowRect(HWND wnd);  // in the parent's coordinates

void EditLimitText(HWND edit, int characters);
bool EditSetSel(HWND edit, int start, int end);
bool EditGetSel(HWND edit, int& start, int& end);
// Replaces the selection with text, as typing it would (the edit's undo takes it back).
bool EditReplaceSel(HWND edit, const char* text);

int GetCheck(HWND button);
void SetCheck(HWND button, int state);

// Combo boxes start without selection and keep the edit text of an editable one when entries
// are added. A combo box with CBS_SORT inserts each entry at its place in text order.
int ComboAddString(HWND combo, const char* text);
bool ComboSetItemData(HWND combo, int index, LPARAM data);
LPARAM ComboGetItemData(HWND combo, int index);  // CB_ERR when there is no such entry
int ComboGetCount(HWND combo);
int ComboGetCurSel(HWND combo);  // CB_ERR when nothing is selected
// Selects an entry without notifying (as CB_SETCURSEL); -1 clears the selection.
int ComboSetCurSel(HWND combo, int index);
void ComboResetContent(HWND combo);
void ComboLimitText(HWND combo, int characters);
std::string ComboGetItemText(HWND combo, int index);

// Report lists: one row per item, the item data in the row, no sorting.
void ListAddExtendedStyle(HWND list, unsigned exStyle);
bool ListInsertColumn(HWND list, int column, const char* text, int widthPixels, int format);
struct ListColumn {
    const char* text;
    int widthPixels;
    int format;
};
// Inserts the columns in order; false at the first that fails, the rest not inserted.
bool ListInsertColumns(HWND list, std::span<const ListColumn> columns);
int ListGetColumnCount(HWND list);
bool ListDeleteAllItems(HWND list);
int ListInsertItem(HWND list, int row, const char* text, LPARAM data);  // -1 on failure
bool ListSetItemText(HWND list, int row, int column, const char* text);
std::string ListGetItemText(HWND list, int row, int column);
int ListGetItemCount(HWND list);
int ListGetNextSelected(HWND list);  // the first selected row, -1 when none
bool ListGetItemData(HWND list, int row, LPARAM& data);
// Selects the row as a click would (LVN_ITEMCHANGED follows); -1 clears the selection.
bool ListSetSelected(HWND list, int row);
bool ListRedrawItems(HWND list, int first, int last);

int TabInsertItem(HWND tab, int index, const char* text);
int TabGetCurSel(HWND tab);
int TabSetCurSel(HWND tab, int index);  // no notification, as TCM_SETCURSEL
// The display area in the tab's parent's coordinates.
QRect TabDisplayArea(HWND tab);
