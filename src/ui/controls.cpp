#include "ui/controls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStyleOptionComboBox>
#include <QStyleOptionTabWidgetFrame>
#include <QTableWidget>
#include <QTextCursor>

#include "ui/dlg_template.h"
#include "ui/list_info_tip.h"
#include "ui/page_area.h"
#include "ui/window_text.h"

TabControl::TabControl(QWidget* parent) : QTabWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    tabBar()->setFocusPolicy(Qt::NoFocus);
    // The tab never has the focus, so its own keys would never reach it: the window has them.
    // They change the tab as a click does, and the dialog hears of it the same way.
    const std::pair<QKeyCombination, int> keys[] = {
        {Qt::CTRL | Qt::Key_Tab, 1},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, -1},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, -1},
        {Qt::CTRL | Qt::Key_PageDown, 1},
        {Qt::CTRL | Qt::Key_PageUp, -1},
    };
    for (const auto& [key, step] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] { Step(step); });
    }
}

void TabControl::Step(int step) {
    if (count() == 0) return;
    setCurrentIndex((currentIndex() + step + count()) % count());
}

QRect TabControl::DisplayArea() const {
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this);
}

void TabControl::SetCurSel(int index) {
    const bool blocked = blockSignals(true);
    setCurrentIndex(index);
    blockSignals(blocked);
    curSel = currentIndex();
}

namespace {

QComboBox* Combo(HWND w) {
    return qobject_cast<QComboBox*>(w);
}
QTableWidget* List(HWND w) {
    return qobject_cast<QTableWidget*>(w);
}
TabControl* Tab(HWND w) {
    return dynamic_cast<TabControl*>(w);
}

// Program-made changes of a list's rows are not the user's: they notify nothing.
class QuietList {
  public:
    explicit QuietList(QTableWidget* l) : list(l), was(l->property("quiet").toBool()) {
        list->setProperty("quiet", true);
    }
    ~QuietList() {
        list->setProperty("quiet", was);
        list->setProperty("selectedRow", ListGetNextSelected(list));
    }
    QuietList(const QuietList&) = delete;
    QuietList& operator=(const QuietList&) = delete;

  private:
    QTableWidget* list;
    bool was;
};

Qt::Alignment ColumnAlignment(int format) {
    switch (format) {
        case LVCFMT_RIGHT:
            return Qt::AlignRight | Qt::AlignVCenter;
        case LVCFMT_CENTER:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        default:
            return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

// Restores an editable combo box's text and the absence of a selection after Qt, adding the
// first entry, selected it and copied its text into the edit field.
class KeepComboState {
  public:
    explicit KeepComboState(QComboBox* c)
        : combo(c),
          index(c->currentIndex()),
          text(c->isEditable() ? c->currentText() : QString()),
          blocked(c->blockSignals(true)) {}
    ~KeepComboState() {
        if (index < 0) combo->setCurrentIndex(-1);
        if (combo->isEditable()) combo->setEditText(text);
        combo->blockSignals(blocked);
    }
    KeepComboState(const KeepComboState&) = delete;
    KeepComboState& operator=(const KeepComboState&) = delete;

  private:
    QComboBox* combo;
    int index;
    QString text;
    bool blocked;
};

// A multi-line box has no length limit of its own: what a keystroke or a paste adds beyond the
// limit is taken back at once, before the caret, as the edit control refuses it.
void LimitPlainText(QPlainTextEdit* edit, int characters) {
    const QVariant previous = edit->property("limitConnection");
    if (previous.isValid()) QObject::disconnect(previous.value<QMetaObject::Connection>());
    const int limit = characters > 0 ? characters : 32767;
    const QMetaObject::Connection c =
        QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit, limit] {
            const int excess = edit->document()->characterCount() - 1 - limit;
            if (excess <= 0) return;
            QTextCursor cursor = edit->textCursor();
            const int end = cursor.position() >= excess ? cursor.position() : limit + excess;
            cursor.joinPreviousEditBlock();
            cursor.setPosition(end - excess);
            cursor.setPosition(end, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            cursor.endEditBlock();
            edit->setTextCursor(cursor);
        });
    edit->setProperty("limitConnection", QVariant::fromValue(c));
}

}  // namespace

bool IsWindow(HWND wnd) {
    return wnd != nullptr && QApplication::allWidgets().contains(wnd);
}

HWND GetParent(HWND wnd) {
    if (!IsWindow(wnd)) return nullptr;
    // A page lying in its dialog's page area is the dialog's child all the same.
    QWidget* parent = wnd->parentWidget();
    if (const PageArea* area = PageArea::OfHost(parent)) return area->parentWidget();
    return parent;
}

bool EnableWindow(HWND wnd, bool enable) {
    if (wnd == nullptr) return false;
    const bool wasDisabled = !wnd->isEnabled();
    wnd->setEnabled(enable);
    return wasDisabled;
}

bool IsWindowEnabled(HWND wnd) {
    return wnd != nullptr && wnd->isEnabled();
}

bool ShowWindow(HWND wnd, int command) {
    if (wnd == nullptr) return false;
    const bool wasVisible = !wnd->isHidden();
    wnd->setVisible(command != SW_HIDE);
    return wasVisible;
}

bool IsWindowVisible(HWND wnd) {
    return wnd != nullptr && wnd->isVisible();
}

HWND SetFocus(HWND wnd) {
    HWND previous = QApplication::focusWidget();
    if (wnd != nullptr) wnd->setFocus(Qt::OtherFocusReason);
    return previous;
}

HWND GetFocus() {
    return QApplication::focusWidget();
}

void UpdateWindow(HWND wnd) {
    if (wnd != nullptr) wnd->update();
}

bool SetWindowPos(HWND wnd, int x, int y) {
    if (wnd == nullptr) return false;
    QPoint at(x, y);
    QWidget* parent = wnd->parentWidget();
    QWidget* dialog = GetParent(wnd);
    if (parent != nullptr && dialog != parent) at = parent->mapFrom(dialog, at);
    wnd->move(at);
    return true;
}

QRect GetWindowRect(HWND wnd) {
    if (wnd == nullptr) return {};
    QWidget* parent = wnd->parentWidget();
    QWidget* dialog = GetParent(wnd);
    if (parent == nullptr || dialog == parent) return wnd->geometry();
    return {parent->mapTo(dialog, wnd->pos()), wnd->size()};
}

void EditLimitText(HWND edit, int characters) {
    if (auto* line = qobject_cast<QLineEdit*>(edit))
        line->setMaxLength(characters > 0 ? characters : 32767);
    if (auto* text = qobject_cast<QPlainTextEdit*>(edit)) LimitPlainText(text, characters);
}

bool EditSetSel(HWND edit, int start, int end) {
    if (auto* text = qobject_cast<QPlainTextEdit*>(edit)) {
        QTextCursor cursor = text->textCursor();
        const int last = text->document()->characterCount() - 1;
        cursor.setPosition(std::clamp(start, 0, last));
        cursor.setPosition(std::clamp(end, 0, last), QTextCursor::KeepAnchor);
        text->setTextCursor(cursor);
        return true;
    }
    if (auto* line = qobject_cast<QLineEdit*>(edit)) {
        line->setSelection(start, end - start);
        return true;
    }
    return false;
}

bool EditReplaceSel(HWND edit, const char* text) {
    const QString replacement = FromModelText(text);
    if (auto* box = qobject_cast<QPlainTextEdit*>(edit)) {
        box->textCursor().insertText(replacement);
        return true;
    }
    if (auto* line = qobject_cast<QLineEdit*>(edit)) {
        line->insert(replacement);
        return true;
    }
    return false;
}

bool EditGetSel(HWND edit, int& start, int& end) {
    if (auto* text = qobject_cast<QPlainTextEdit*>(edit)) {
        const QTextCursor cursor = text->textCursor();
        start = cursor.selectionStart();
        end = cursor.selectionEnd();
        return true;
    }
    if (auto* line = qobject_cast<QLineEdit*>(edit)) {
        start = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
        end = start + static_cast<int>(line->selectedText().size());
        return true;
    }
    return false;
}

int GetCheck(HWND button) {
    auto* b = qobject_cast<QAbstractButton*>(button);
    return b != nullptr && b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void SetCheck(HWND button, int state) {
    if (auto* b = qobject_cast<QAbstractButton*>(button)) b->setChecked(state == BST_CHECKED);
}

namespace {

// The templates were measured for a narrower font than most platforms' default: an entry that
// would be clipped widens its box to the right, into the gap the template leaves there.
void FitComboToEntry(QComboBox* combo, const QString& entry) {
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    const QSize text(combo->fontMetrics().horizontalAdvance(entry), combo->height());
    const int need =
        combo->style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, combo).width();
    if (need > combo->width()) combo->resize(need, combo->height());
}

}  // namespace

int ComboAddString(HWND combo, const char* text) {
    QComboBox* c = Combo(combo);
    if (c == nullptr || text == nullptr) return CB_ERR;
    const QString item = FromModelText(text);
    int at = c->count();
    if (c->property("cbsSort").toBool()) {
        at = 0;
        while (at < c->count() && QString::compare(c->itemText(at), item, Qt::CaseInsensitive) <= 0)
            ++at;
    }
    KeepComboState keep(c);
    c->insertItem(at, item, QVariant::fromValue<qlonglong>(0));
    if (!c->isEditable()) FitComboToEntry(c, item);
    return at;
}

bool ComboSetItemData(HWND combo, int index, LPARAM data) {
    QComboBox* c = Combo(combo);
    if (c == nullptr || index < 0 || index >= c->count()) return false;
    c->setItemData(index, QVariant::fromValue<qlonglong>(data));
    return true;
}

LPARAM ComboGetItemData(HWND combo, int index) {
    QComboBox* c = Combo(combo);
    if (c == nullptr || index < 0 || index >= c->count()) return CB_ERR;
    return static_cast<LPARAM>(c->itemData(index).toLongLong());
}

int ComboGetCount(HWND combo) {
    QComboBox* c = Combo(combo);
    return c == nullptr ? CB_ERR : c->count();
}

int ComboGetCurSel(HWND combo) {
    QComboBox* c = Combo(combo);
    return c == nullptr || c->currentIndex() < 0 ? CB_ERR : c->currentIndex();
}

int ComboSetCurSel(HWND combo, int index) {
    QComboBox* c = Combo(combo);
    if (c == nullptr) return CB_ERR;
    const bool blocked = c->blockSignals(true);
    const bool valid = index >= 0 && index < c->count();
    c->setCurrentIndex(valid ? index : -1);
    if (!valid && c->isEditable()) c->setEditText(QString());
    c->blockSignals(blocked);
    return valid ? index : CB_ERR;
}

void ComboResetContent(HWND combo) {
    QComboBox* c = Combo(combo);
    if (c == nullptr) return;
    const bool blocked = c->blockSignals(true);
    c->clear();
    if (c->isEditable()) c->setEditText(QString());
    c->blockSignals(blocked);
}

void ComboLimitText(HWND combo, int characters) {
    QComboBox* c = Combo(combo);
    if (c != nullptr && c->lineEdit() != nullptr)
        c->lineEdit()->setMaxLength(characters > 0 ? characters : 32767);
}

std::string ComboGetItemText(HWND combo, int index) {
    QComboBox* c = Combo(combo);
    if (c == nullptr || index < 0 || index >= c->count()) return {};
    return ToModelText(c->itemText(index));
}

void ListAddExtendedStyle(HWND list, unsigned exStyle) {
    QTableWidget* l = List(list);
    if (l == nullptr) return;
    if (exStyle & LVS_EX_GRIDLINES) l->setShowGrid(true);
    if (exStyle & LVS_EX_INFOTIP) EnableListInfoTips(l);
    // Rows are always selected whole.
}

bool ListInsertColumn(HWND list, int column, const char* text, int widthPixels, int format) {
    QTableWidget* l = List(list);
    if (l == nullptr || column < 0 || text == nullptr) return false;
    column = std::min(column, l->columnCount());
    l->insertColumn(column);
    auto* header = new QTableWidgetItem(FromModelText(text));
    header->setTextAlignment(ColumnAlignment(format));
    header->setData(Qt::UserRole, format);
    l->setHorizontalHeaderItem(column, header);
    // Widths are pixels of the Windows dialog font (6 pixels a character): scale them to ours
    // so that the columns keep their share of the list.
    const int charWidth = std::max(1, DialogFontUnits().charWidth);
    l->setColumnWidth(column, (widthPixels * charWidth + 3) / 6);
    return true;
}

bool ListInsertColumns(HWND list, std::span<const ListColumn> columns) {
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const ListColumn& c = columns[i];
        if (!ListInsertColumn(list, i, c.text, c.widthPixels, c.format)) return false;
    }
    return true;
}

int ListGetColumnCount(HWND list) {
    QTableWidget* l = List(list);
    return l == nullptr ? 0 : l->columnCount();
}

bool ListDeleteAllItems(HWND list) {
    QTableWidget* l = List(list);
    if (l == nullptr) return false;
    QuietList quiet(l);
    l->clearSelection();
    l->setRowCount(0);
    return true;
}

int ListInsertItem(HWND list, int row, const char* text, LPARAM data) {
    QTableWidget* l = List(list);
    if (l == nullptr || text == nullptr || l->columnCount() < 1) return -1;
    row = std::clamp(row, 0, l->rowCount());
    QuietList quiet(l);
    l->insertRow(row);
    for (int column = 0; column < l->columnCount(); ++column) {
        auto* item = new QTableWidgetItem(column == 0 ? FromModelText(text) : QString());
        const QTableWidgetItem* header = l->horizontalHeaderItem(column);
        item->setTextAlignment(
            ColumnAlignment(header != nullptr ? header->data(Qt::UserRole).toInt() : 0));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        if (column == 0) item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(data));
        l->setItem(row, column, item);
    }
    return row;
}

bool ListSetItemText(HWND list, int row, int column, const char* text) {
    QTableWidget* l = List(list);
    if (l == nullptr || text == nullptr) return false;
    QTableWidgetItem* item = l->item(row, column);
    if (item == nullptr) return false;
    item->setText(FromModelText(text));
    return true;
}

std::string ListGetItemText(HWND list, int row, int column) {
    QTableWidget* l = List(list);
    const QTableWidgetItem* item = l == nullptr ? nullptr : l->item(row, column);
    return item == nullptr ? std::string() : ToModelText(item->text());
}

int ListGetItemCount(HWND list) {
    QTableWidget* l = List(list);
    return l == nullptr ? 0 : l->rowCount();
}

int ListGetNextSelected(HWND list) {
    QTableWidget* l = List(list);
    if (l == nullptr) return -1;
    const QModelIndexList rows = l->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows) {
        if (first < 0 || index.row() < first) first = index.row();
    }
    return first;
}

bool ListGetItemData(HWND list, int row, LPARAM& data) {
    QTableWidget* l = List(list);
    const QTableWidgetItem* item = l == nullptr ? nullptr : l->item(row, 0);
    if (item == nullptr) return false;
    data = static_cast<LPARAM>(item->data(Qt::UserRole).toLongLong());
    return true;
}

bool ListSetSelected(HWND list, int row) {
    QTableWidget* l = List(list);
    if (l == nullptr) return false;
    if (row < 0) {
        l->clearSelection();
        return true;
    }
    if (row >= l->rowCount()) return false;
    l->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
}

bool ListRedrawItems(HWND list, int first, int last) {
    QTableWidget* l = List(list);
    if (l == nullptr || first > last) return false;
    l->viewport()->update();
    return true;
}

int TabInsertItem(HWND tab, int index, const char* text) {
    TabControl* t = Tab(tab);
    if (t == nullptr || text == nullptr) return -1;
    const bool blocked = t->blockSignals(true);
    const int at = t->insertTab(index, new QWidget(t), FromModelText(text));
    t->blockSignals(blocked);
    t->Changed(t->currentIndex());
    return at;
}

int TabGetCurSel(HWND tab) {
    TabControl* t = Tab(tab);
    return t == nullptr ? -1 : t->CurSel();
}

int TabSetCurSel(HWND tab, int index) {
    TabControl* t = Tab(tab);
    if (t == nullptr || index < 0 || index >= t->count()) return -1;
    const int previous = t->CurSel();
    t->SetCurSel(index);
    return previous;
}

QRect TabDisplayArea(HWND tab) {
    TabControl* t = Tab(tab);
    if (t == nullptr) return {};
    return t->DisplayArea().translated(t->pos());
}
