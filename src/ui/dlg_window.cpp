#include "ui/dlg_window.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTableWidget>
#include <QTimerEvent>
#include <QWindow>

#include "ui/controls.h"
#include "ui/dlg_base.h"
#include "ui/page_area.h"
#include "ui/report_list.h"
#include "ui/window_text.h"

namespace {

Qt::Alignment StaticAlignment(unsigned style) {
    switch (style & 0x3) {
        case SS_CENTER:
            return Qt::AlignHCenter | Qt::AlignTop;
        case SS_RIGHT:
            return Qt::AlignRight | Qt::AlignTop;
        default:
            return Qt::AlignLeft | Qt::AlignTop;
    }
}

QWidget* MakeButton(const CtlTemplate& ctl, QWidget* parent) {
    const QString text = FromModelText(ctl.text);
    switch (ctl.style & 0xF) {
        case BS_GROUPBOX:
            return new QGroupBox(text, parent);
        case BS_AUTOCHECKBOX: {
            auto* check = new QCheckBox(text, parent);
            if (ctl.style & BS_LEFTTEXT) check->setLayoutDirection(Qt::RightToLeft);
            return check;
        }
        default: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(false);  // Enter must not press a button of the dialog
            return button;
        }
    }
}

QWidget* MakeEdit(const CtlTemplate& ctl, QWidget* parent) {
    if (ctl.style & ES_MULTILINE) {
        auto* edit = new QPlainTextEdit(parent);
        edit->setTabChangesFocus(true);
        edit->setVerticalScrollBarPolicy((ctl.style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn
                                                                  : Qt::ScrollBarAlwaysOff);
        return edit;
    }
    auto* edit = new QLineEdit(FromModelText(ctl.text), parent);
    if ((ctl.exStyle & WS_EX_RIGHT) || (ctl.style & ES_RIGHT)) edit->setAlignment(Qt::AlignRight);
    if (ctl.style & ES_NUMBER) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    return edit;
}

QWidget* MakeCombo(const CtlTemplate& ctl, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    if ((ctl.style & 0x3) == CBS_DROPDOWN) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        // Qt picks the entry matching the typed text when the field loses the focus: that is
        // no pick of the user's, and it would take the text typed for a new entry away.
        QObject::disconnect(combo->lineEdit(), SIGNAL(editingFinished()), combo,
                            SLOT(_q_editingFinished()));
    }
    combo->setProperty("cbsSort", (ctl.style & CBS_SORT) != 0);
    return combo;
}

QWidget* MakeList(const CtlTemplate& ctl, QWidget* parent, const DialogUnits& units) {
    auto* list = new ReportList(parent);
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(units.charHeight + 5);
    list->verticalHeader()->setMinimumSectionSize(units.charHeight + 2);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode((ctl.style & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                       : QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setTabKeyNavigation(false);
    list->setSortingEnabled(false);
    list->setShowGrid(false);
    list->setWordWrap(false);
    list->setCornerButtonEnabled(false);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // A wider window widens the last column, never below its own width: its values show whole.
    list->horizontalHeader()->setStretchLastSection(true);
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setSectionsClickable((ctl.style & LVS_NOSORTHEADER) == 0);
    list->horizontalHeader()->setSectionsMovable(false);
    return list;
}

QWidget* MakeStatic(const CtlTemplate& ctl, QWidget* parent) {
    auto* label = new QLabel(FromModelText(ctl.text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(StaticAlignment(ctl.style));
    return label;
}

// The template's rectangles were measured for a narrower font than most platforms' default:
// a text that would be clipped grows its rectangle away from the side it is aligned to.
QRect FitText(QWidget* control, QRect rect, const CtlTemplate& ctl) {
    int need = control->sizeHint().width();
    if (auto* label = qobject_cast<QLabel*>(control)) {
        need = QFontMetrics(label->font()).horizontalAdvance(label->text());
    }
    const int extra = need - rect.width();
    if (extra <= 0) return rect;
    const bool rightAligned = ctl.cls == CtlClass::Static ? (ctl.style & 0x3) == SS_RIGHT
                                                          : (ctl.style & BS_LEFTTEXT) != 0;
    if (ctl.cls == CtlClass::Static && (ctl.style & 0x3) == SS_CENTER) {
        rect.adjust(-extra / 2, 0, extra - extra / 2, 0);
    } else if (rightAligned) {
        rect.setLeft(rect.left() - extra);
    } else {
        rect.setRight(rect.right() + extra);
    }
    return rect;
}

bool IsDialogNavigationKey(int key) {
    return key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return ||
           key == Qt::Key_Enter || key == Qt::Key_Escape;
}

WPARAM MouseKeys(const QMouseEvent* event) {
    WPARAM keys = 0;
    if (event->buttons() & Qt::LeftButton) keys |= MK_LBUTTON;
    if (event->buttons() & Qt::RightButton) keys |= MK_RBUTTON;
    if (event->buttons() & Qt::MiddleButton) keys |= MK_MBUTTON;
    if (event->modifiers() & Qt::ShiftModifier) keys |= MK_SHIFT;
    if (event->modifiers() & Qt::ControlModifier) keys |= MK_CONTROL;
    return keys;
}

LPARAM PointParam(const QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    return MakeLParam(p.x(), p.y());
}

// A child dialog of a dialog with a tab control is one of its pages: it lies in the page area.
QWidget* PageParentOf(QWidget* parent) {
    const DialogWindow* dialog = DialogWindow::From(parent);
    return dialog != nullptr && dialog->Pages() != nullptr ? dialog->Pages()->Host() : parent;
}

}  // namespace

DialogWindow::DialogWindow(const DlgTemplate& dlgTemplate, QWidget* parent)
    : QWidget(PageParentOf(parent)) {
    const DialogUnits units = DialogFontUnits();
    if (parent == nullptr) {
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                       Qt::WindowCloseButtonHint);
        setWindowTitle(FromModelText(dlgTemplate.caption));
    } else {
        hide();
    }
    templateSize = QSize(units.X(dlgTemplate.cx), units.Y(dlgTemplate.cy));
    resize(templateSize);
    laidOut = templateSize;
    setMouseTracking(true);
    for (const CtlTemplate& ctl : dlgTemplate.controls) {
        QWidget* control = Build(ctl, units);
        if (ctl.id != IDC_STATIC) controls[ctl.id] = control;
        if (ctl.cls == CtlClass::TabControl && tab == nullptr) tab = control;
        followers.push_back({control, AnchorOf(dlgTemplate, ctl)});
        Wire(control, ctl);
    }
    if (tab != nullptr) {
        pages = new PageArea(this);
        pages->setGeometry(TabDisplayArea(tab));
    }
    if (parent != nullptr) {
        setMinimumSize(templateSize);
        if (PageArea* area = PageArea::OfHost(parentWidget())) area->Adopt(this);
    }
}

DialogWindow::~DialogWindow() {
    if (!destroyed) {
        destroyed = true;
        DlgProc(this, WM_DESTROY, 0, 0);
    }
    if (loop != nullptr) loop->quit();
}

DialogWindow* DialogWindow::From(HWND wnd) {
    return dynamic_cast<DialogWindow*>(wnd);
}

QWidget* DialogWindow::Control(int id) const {
    const auto found = controls.find(id);
    return found == controls.end() ? nullptr : found->second;
}

QWidget* DialogWindow::Build(const CtlTemplate& ctl, const DialogUnits& units) {
    QWidget* control = nullptr;
    switch (ctl.cls) {
        case CtlClass::Static:
            control = MakeStatic(ctl, this);
            break;
        case CtlClass::Button:
            control = MakeButton(ctl, this);
            break;
        case CtlClass::Edit:
            control = MakeEdit(ctl, this);
            break;
        case CtlClass::ComboBox:
            control = MakeCombo(ctl, this);
            break;
        case CtlClass::ListView:
            control = MakeList(ctl, this, units);
            break;
        case CtlClass::TabControl:
            control = new TabControl(this);
            break;
    }
    QRect rect = units.ToPixels(ctl.x, ctl.y, ctl.cx, ctl.cy);
    // A combo box's template height is that of its drop-down list; it shows at its own height.
    if (ctl.cls == CtlClass::ComboBox) rect.setHeight(control->sizeHint().height());
    if (ctl.cls == CtlClass::Static || qobject_cast<QCheckBox*>(control) != nullptr) {
        rect = FitText(control, rect, ctl);
    }
    control->setGeometry(rect);
    control->setProperty("ctlId", ctl.id);
    if (!(ctl.style & WS_VISIBLE)) control->hide();
    if (ctl.style & WS_DISABLED) control->setEnabled(false);

    const bool groupBox = ctl.cls == CtlClass::Button && (ctl.style & 0xF) == BS_GROUPBOX;
    if (ctl.cls == CtlClass::Static || groupBox) {
        control->setFocusPolicy(Qt::NoFocus);
    } else if (!(ctl.style & WS_TABSTOP)) {
        control->setFocusPolicy(Qt::ClickFocus);
    }
    return control;
}

void DialogWindow::Wire(QWidget* control, const CtlTemplate& ctl) {
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        if (qobject_cast<QPushButton*>(button) != nullptr) button->installEventFilter(this);
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { Command(button, BN_CLICKED); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { Command(edit, EN_CHANGE); });
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(control)) {
        text->installEventFilter(this);
        connect(text, &QPlainTextEdit::textChanged, this,
                [this, text] { Command(text, EN_CHANGE); });
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        combo->installEventFilter(this);
        // Only a pick by the user changes the selection as far as the dialog is concerned.
        connect(combo, &QComboBox::activated, this,
                [this, combo] { Command(combo, CBN_SELCHANGE); });
        if (combo->lineEdit() != nullptr) {
            connect(combo->lineEdit(), &QLineEdit::textEdited, this,
                    [this, combo] { Command(combo, CBN_EDITCHANGE); });
        }
    } else if (auto* list = qobject_cast<QTableWidget*>(control)) {
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, list] { NotifyListChanged(list); });
    } else if (auto* tab = dynamic_cast<TabControl*>(control)) {
        connect(tab, &QTabWidget::currentChanged, this, [this, tab](int index) {
            if (tab->signalsBlocked()) return;
            NMHDR header{tab, static_cast<std::uintptr_t>(GetDlgCtrlID(tab)), TCN_SELCHANGING};
            Notify(header);
            tab->Changed(index);
            header.code = TCN_SELCHANGE;
            Notify(header);
        });
    }
    (void)ctl;
}

void DialogWindow::Command(QWidget* control, unsigned code) {
    const int id = GetDlgCtrlID(control);
    DlgProc(this, WM_COMMAND, MakeWParam(static_cast<unsigned>(id), code),
            reinterpret_cast<LPARAM>(control));
}

INT_PTR DialogWindow::Notify(NMHDR& header) {
    return DlgProc(this, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

void DialogWindow::NotifyListChanged(QWidget* list) {
    if (list->property("quiet").toBool()) return;
    // One notification per change of the selected row: the row left, then the row selected.
    const int previous =
        list->property("selectedRow").isValid() ? list->property("selectedRow").toInt() : -1;
    const int selected = ListGetNextSelected(list);
    list->setProperty("selectedRow", selected);
    const auto id = static_cast<std::uintptr_t>(GetDlgCtrlID(list));
    auto send = [&](int row, unsigned newState, unsigned oldState) {
        LPARAM data = 0;
        ListGetItemData(list, row, data);
        NMLISTVIEW nm{{list, id, LVN_ITEMCHANGED}, row, 0, newState, oldState, LVIF_STATE, data};
        Notify(nm.hdr);
    };
    if (previous >= 0 && previous != selected && previous < ListGetItemCount(list)) {
        send(previous, 0, LVIS_SELECTED);
    }
    if (selected >= 0 && selected != previous) send(selected, LVIS_SELECTED, 0);
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) return false;
    auto* list = qobject_cast<QTableWidget*>(widget);
    if (list == nullptr && widget->parentWidget() != nullptr) {
        auto* owner = qobject_cast<QTableWidget*>(widget->parentWidget());
        if (owner != nullptr && owner->viewport() == widget) {
            if (event->type() == QEvent::MouseButtonRelease &&
                static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                NMHDR header{owner, static_cast<std::uintptr_t>(GetDlgCtrlID(owner)), NM_CLICK};
                Notify(header);
            }
            if (event->type() == QEvent::MouseButtonDblClick &&
                static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                NMHDR header{owner, static_cast<std::uintptr_t>(GetDlgCtrlID(owner)), NM_DBLCLK};
                Notify(header);
            }
            return false;
        }
    }
    // As in a Win32 dialog, Enter presses the push button that has the focus, and no other:
    // a button is never the default while the focus is elsewhere.
    if (auto* push = qobject_cast<QPushButton*>(widget)) {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        if (push->hasFocus()) push->click();
        return true;
    }
    // A wheel turned over a drop-down list on its way elsewhere must not pick an entry; it
    // goes on to the page, which may scroll.
    if (event->type() == QEvent::Wheel && qobject_cast<QComboBox*>(widget) != nullptr &&
        !widget->hasFocus()) {
        event->ignore();
        return true;
    }
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            // The list hears of the key before it moves its selection; keys the dialog
            // navigates with never reach the list.
            if (list != nullptr && !IsDialogNavigationKey(key->key())) {
                NMLVKEYDOWN nm{{list, static_cast<std::uintptr_t>(GetDlgCtrlID(list)), LVN_KEYDOWN},
                               static_cast<std::uint16_t>(VirtualKeyOf(key->key())),
                               0};
                Notify(nm.hdr);
            }
            return false;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut: {
            if (list != nullptr) return false;
            const auto* focus = static_cast<QFocusEvent*>(event);
            if (focus->reason() == Qt::PopupFocusReason) return false;
            const bool in = event->type() == QEvent::FocusIn;
            if (qobject_cast<QComboBox*>(widget) != nullptr) {
                Command(widget, in ? CBN_SETFOCUS : CBN_KILLFOCUS);
            } else {
                Command(widget, in ? EN_SETFOCUS : EN_KILLFOCUS);
            }
            return false;
        }
        default:
            return false;
    }
}

QSize DialogWindow::FrameAllowance() const {
    // The frame is not known before the window is shown: room for a title bar of two lines and
    // a thin border.
    return {8, 8 + 2 * fontMetrics().height()};
}

void DialogWindow::FitToScreen(const QScreen* screen) {
    if (screen == nullptr) return;
    const QSize room = screen->availableGeometry().size() - FrameAllowance();
    const QSize least = templateSize.boundedTo(room);
    setMinimumSize(least);
    if (fitted) {
        resize(size().boundedTo(room).expandedTo(least));
        return;
    }
    // Where the pages scroll one way, room for that scroll bar spares them scrolling the other.
    QSize opening = least;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (least.height() < templateSize.height()) opening.rwidth() += bar;
    if (least.width() < templateSize.width()) opening.rheight() += bar;
    resize(opening.boundedTo(room));
    fitted = true;
}

void DialogWindow::resizeEvent(QResizeEvent* event) {
    const QSize grown = event->size() - laidOut;
    laidOut = event->size();
    if (!grown.isNull()) {
        for (const Follower& f : followers) {
            f.control->setGeometry(
                Follow(f.control->geometry(), f.anchor, grown.width(), grown.height()));
        }
    }
    if (pages != nullptr) pages->setGeometry(TabDisplayArea(tab));
    QWidget::resizeEvent(event);
}

void DialogWindow::setVisible(bool visible) {
    // The screen is known for sure only now: it may have been chosen after construction.
    if (visible && isWindow() && !fitted) FitToScreen(screen());
    QWidget::setVisible(visible);
}

void DialogWindow::showEvent(QShowEvent* event) {
    // A window taken to another screen fits that one.
    if (isWindow() && !watchingScreen && windowHandle() != nullptr) {
        watchingScreen = true;
        connect(windowHandle(), &QWindow::screenChanged, this,
                [this](QScreen* screen) { FitToScreen(screen); });
    }
    QWidget::showEvent(event);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    if (!ended) {
        const QPoint p = QCursor::pos();
        DlgProc(this, WM_SYSCOMMAND, SC_CLOSE, MakeLParam(p.x(), p.y()));
    }
    // The window goes only when the dialog has been ended.
    if (ended) {
        event->accept();
    } else {
        event->ignore();
    }
}

void DialogWindow::mouseMoveEvent(QMouseEvent* event) {
    DlgProc(this, WM_MOUSEMOVE, MouseKeys(event), PointParam(event));
}

void DialogWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        DlgProc(this, WM_LBUTTONUP, MouseKeys(event), PointParam(event));
    }
}

void DialogWindow::timerEvent(QTimerEvent* event) {
    for (const auto& [id, qtId] : timers) {
        if (qtId == event->timerId()) {
            DlgProc(this, WM_TIMER, id, 0);
            return;
        }
    }
    QWidget::timerEvent(event);
}

bool DialogWindow::StartTimer(WPARAM id, int milliseconds) {
    StopTimer(id);
    const int qtId = startTimer(milliseconds);
    if (qtId == 0) return false;
    timers[id] = qtId;
    return true;
}

bool DialogWindow::StopTimer(WPARAM id) {
    const auto found = timers.find(id);
    if (found == timers.end()) return false;
    killTimer(found->second);
    timers.erase(found);
    return true;
}

void DialogWindow::End(INT_PTR value) {
    ended = true;
    result = value;
    hide();
    if (loop != nullptr) loop->quit();
}

void DialogWindow::RunModal() {
    if (parentWidget() == nullptr) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            FitToScreen(screen);
            const QRect area = screen->availableGeometry();
            QRect frame(QPoint(), size() + FrameAllowance());
            frame.moveCenter(area.center());
            move(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
        }
    }
    setWindowModality(Qt::ApplicationModal);
    show();
    QEventLoop modal;
    loop = &modal;
    if (!ended) modal.exec();
    loop = nullptr;
}

HWND CreateDialogParam(int templateId, HWND parent, DlgBase* object) {
    const DlgTemplate* t = FindDlgTemplate(templateId);
    if (t == nullptr) return nullptr;
    auto* dialog = new DialogWindow(*t, parent);
    QWidget* firstTabStop = nullptr;
    for (const CtlTemplate& ctl : t->controls) {
        if ((ctl.style & WS_TABSTOP) && (ctl.style & WS_VISIBLE) && !(ctl.style & WS_DISABLED)) {
            firstTabStop = dialog->Control(ctl.id);
            break;
        }
    }
    DlgProc(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop),
            reinterpret_cast<LPARAM>(object));
    return dialog;
}

INT_PTR DialogBoxParam(int templateId, HWND owner, DlgBase* object) {
    HWND wnd = CreateDialogParam(templateId, owner, object);
    auto* dialog = DialogWindow::From(wnd);
    if (dialog == nullptr) return -1;
    dialog->RunModal();
    const INT_PTR result = dialog->Result();
    delete dialog;
    return result;
}

bool EndDialog(HWND wnd, INT_PTR result) {
    auto* dialog = DialogWindow::From(wnd);
    if (dialog == nullptr) return false;
    dialog->End(result);
    return true;
}

bool DestroyWindow(HWND wnd) {
    if (!IsWindow(wnd)) return false;
    delete wnd;
    return true;
}

INT_PTR SendMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DlgProc(wnd, message, wParam, lParam);
}

bool PostMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(wnd)) return false;
    return QMetaObject::invokeMethod(
        wnd, [wnd, message, wParam, lParam] { DlgProc(wnd, message, wParam, lParam); },
        Qt::QueuedConnection);
}

bool SetTimer(HWND wnd, WPARAM id, int milliseconds) {
    auto* dialog = DialogWindow::From(wnd);
    return dialog != nullptr && dialog->StartTimer(id, milliseconds);
}

bool KillTimer(HWND wnd, WPARAM id) {
    auto* dialog = DialogWindow::From(wnd);
    return dialog != nullptr && dialog->StopTimer(id);
}

HWND GetDlgItem(HWND dialog, int id) {
    auto* d = DialogWindow::From(dialog);
    return d == nullptr ? nullptr : d->Control(id);
}

int GetDlgCtrlID(HWND control) {
    if (control == nullptr) return 0;
    const QVariant id = control->property("ctlId");
    return id.isValid() ? id.toInt() : 0;
}

unsigned VirtualKeyOf(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<unsigned>(key);  // 'A'..'Z'
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<unsigned>(key);  // '0'..'9'
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return VK_F1 + static_cast<unsigned>(key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Alt:
            return VK_MENU;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Space:
            return VK_SPACE;
        case Qt::Key_PageUp:
            return VK_PRIOR;
        case Qt::Key_PageDown:
            return VK_NEXT;
        case Qt::Key_End:
            return VK_END;
        case Qt::Key_Home:
            return VK_HOME;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_Insert:
            return VK_INSERT;
        case Qt::Key_Delete:
            return VK_DELETE;
        default:
            return 0;
    }
}
