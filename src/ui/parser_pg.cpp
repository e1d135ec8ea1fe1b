#include "ui/parser_pg.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <utility>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTableView>

#include "decode/decoder.h"
#include "support/auto_buff.h"
#include "support/error_balloon.h"
#include "support/text.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dlg_window.h"
#include "ui/paste_dump.h"
#include "ui/window_text.h"

namespace {

constexpr ListColumn kColumns[] = {
    {"Description", 255, LVCFMT_LEFT}, {"N\u00B0", 50, LVCFMT_RIGHT}, {"Type", 50, LVCFMT_LEFT},
    {"Length", 50, LVCFMT_RIGHT},      {"Value", 265, LVCFMT_LEFT},
};

// One character of the box is one message unit, so that the decoder's offsets are positions
// in the box. Line breaks and blanks are units like any other.
void ReadMessage(HWND edit, AutoBuff& message) {
    const std::string raw = GetRawWindowText(edit);
    const int n = static_cast<int>(raw.size());
    if (n < 1) return;
    if (message.Capacity() < n + 1 && !message.Reserve(n + 1, false)) return;
    std::memcpy(message.Data(), raw.data(), raw.size());
    message.SetLength(n);
    message.Terminate();
}

// How many characters the hex preparation drops before the first digit.
int LeadingUnprintable(const AutoBuff& message) {
    int n = 0;
    while (n < message.Length() && IsUnprintableByte(message.Data()[n]))
        ++n;
    return n;
}

// The hexadecimal digits of the text, blanks at either end dropped, into the bytes they spell;
// the count of bytes, 0 when the text is not one run of an even number of digits.
int DecodeHexMessage(AutoBuff& message) {
    char* text = message.Length() > 0 ? reinterpret_cast<char*>(message.Data()) : nullptr;
    message.SetLength(CollapseUnprintable(text));
    message.Terminate();
    return message.DecodeHexInPlace();
}

// Binary values are shown as hexadecimal text; the others (packed track data among them) are
// message characters, shown up to their first NUL.
std::string ValueText(const ProtocolDef& def, int n, const AutoBuff& value) {
    if (ValueIsBinary(def, n)) {
        AutoBuff hex;
        hex.SetHexOf(value);
        return hex.Text();
    }
    const char* text = value.Text();
    return ToModelText(FromRawBytes(text, static_cast<int>(std::strlen(text))));
}

// Runs something before the action it watches acts on its shortcut; the action triggered from
// a menu goes without it.
class BeforeShortcut : public QObject {
  public:
    BeforeShortcut(QObject* action, std::function<void()> run)
        : QObject(action), first(std::move(run)) {
        action->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Shortcut) first();
        return false;
    }

  private:
    std::function<void()> first;
};

// The row of the units the definition sets aside before the MTI: first, as they come first.
constexpr LPARAM kHeaderRow = -1;

bool AppendHeaderRow(HWND list, const AutoBuff& message, int units) {
    const int row = ListInsertItem(list, 0, "Header", kHeaderRow);
    if (row < 0) return false;
    std::string hex;
    for (int i = 0; i < units; ++i) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", message.Data()[i]);
        hex += digits;
    }
    ListSetItemText(list, row, 3, std::to_string(units).c_str());
    ListSetItemText(list, row, 4, hex.c_str());
    return true;
}

bool AppendFieldRow(HWND list, const ProtocolDef& def, const DecodedField& field) {
    const FldDef& fld = def.fields[field.number];
    const int row = ListInsertItem(list, ListGetItemCount(list), fld.description, field.number);
    if (row < 0) return false;
    char number[8];
    std::snprintf(number, sizeof number, "%d", field.number);
    char length[16];
    std::snprintf(length, sizeof length, "%d", field.value->Length());
    ListSetItemText(list, row, 1, number);
    ListSetItemText(list, row, 2, FieldTypeNames[static_cast<int>(fld.type)]);
    ListSetItemText(list, row, 3, length);
    ListSetItemText(list, row, 4, ValueText(def, field.number, *field.value).c_str());
    return true;
}

// Narrower or shorter than its template, the page keeps its top row whole ("Hexa" follows the
// right edge, clear of the label) and a few rows of the list: the message box, the verdict line
// and the list narrow and shorten with the window, so that what every parse needs stays in view
// at a large scale factor.
void AllowNarrowing(HWND page, HWND hexa, HWND list) {
    QWidget* label = nullptr;
    for (auto* l : page->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (GetDlgCtrlID(l) == IDC_STATIC) label = l;
    auto* view = qobject_cast<QTableView*>(list);
    if (label == nullptr || view == nullptr) return;
    constexpr int kListRows = 4;
    const int width = label->geometry().right() + 1 + label->x() + (page->width() - hexa->x());
    const int listRoom = view->horizontalHeader()->sizeHint().height() +
                         kListRows * view->verticalHeader()->defaultSectionSize() +
                         2 * view->frameWidth();
    const int height = list->y() + listRoom + (page->height() - list->geometry().bottom() - 1);
    page->setMinimumSize(std::min(width, page->width()), std::min(height, page->height()));
}

}  // namespace

INT_PTR ParserPg::OnInitDialog(HWND wnd, WPARAM, LPARAM) {
    page = wnd;
    hexaCheck = GetDlgItem(wnd, IDC_HEXA);
    messageEdit = GetDlgItem(wnd, IDC_MESSAGE);
    statusText = GetDlgItem(wnd, IDC_STATUS);
    fieldList = GetDlgItem(wnd, IDC_LIST);
    // The edit control's own limit: 16-bit offsets cannot reach beyond it.
    EditLimitText(messageEdit, kMaxMessageUnits);

    ListAddExtendedStyle(fieldList, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    for (HWND control : {fieldList, statusText, messageEdit}) {
        control->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(control, &QWidget::customContextMenuRequested, control,
                         [this, control](const QPoint& at) { ShowMenu(control, at); });
    }
    CreateActions(wnd);
    const bool columns = ListInsertColumns(fieldList, kColumns);
    AllowNarrowing(wnd, hexaCheck, fieldList);
    return columns;
}

void ParserPg::CreateActions(HWND wnd) {
    actions.parse = new QAction(QStringLiteral("&Parse"), wnd);
    actions.parse->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    // The command of the button itself, so that the page hears it as a click.
    QObject::connect(actions.parse, &QAction::triggered, wnd, [this] {
        if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(page, IDC_PARSE)))
            button->click();
    });
    wnd->addAction(actions.parse);

    // Return opens the details only from the list: the message box and the dialog's own
    // handling of Return keep theirs.
    actions.details = new QAction(QStringLiteral("&Field details\u2026"), wnd);
    actions.details->setShortcut(QKeySequence(Qt::Key_Return));
    actions.details->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(actions.details, &QAction::triggered, wnd,
                     [this] { OpenDetails(FieldOfRow(ListGetNextSelected(fieldList))); });
    fieldList->addAction(actions.details);
    // The shortcut takes Return before the list hears it: as any key in the list does, it
    // selects the row's units in the message box too.
    new BeforeShortcut(actions.details, [this] { SelectFieldText(); });

    actions.diagnose = new QAction(QStringLiteral("&Diagnose\u2026"), wnd);
    actions.diagnose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    QObject::connect(actions.diagnose, &QAction::triggered, wnd, [this] { OpenDiagnosis(); });
    wnd->addAction(actions.diagnose);

    actions.pasteDump = new QAction(QStringLiteral("Paste dump as &hex"), wnd);
    QObject::connect(actions.pasteDump, &QAction::triggered, wnd, [this] { PasteDump(); });
    UpdateActions();
}

void ParserPg::UpdateActions() {
    if (actions.details == nullptr) return;
    actions.details->setEnabled(FieldOfRow(ListGetNextSelected(fieldList)) >= 0);
    actions.diagnose->setEnabled(!parsed.units.empty());
}

INT_PTR ParserPg::OnNotify(HWND, int, NMHDR* header) {
    if (header->code == LVN_ITEMCHANGED) {
        UpdateActions();
        return 0;
    }
    if (header->code == NM_DBLCLK) {
        OpenDetails(FieldOfRow(ListGetNextSelected(fieldList)));
        return 1;
    }
    if (header->code != LVN_KEYDOWN) return 0;
    SelectFieldText();
    return 1;
}

INT_PTR ParserPg::OnCommand(HWND, unsigned id, HWND, unsigned) {
    if (id != IDC_PARSE) return 0;
    Parse();
    return 1;
}

bool ParserPg::Parse() {
    SetWindowText(statusText, "");
    ListDeleteAllItems(fieldList);
    parsed.Clear();

    AutoBuff message;
    ReadMessage(messageEdit, message);
    hexMode = GetCheck(hexaCheck) == BST_CHECKED;
    hexLead = hexMode ? LeadingUnprintable(message) : 0;
    if (hexMode && DecodeHexMessage(message) < 1) {
        RefreshDetails();
        UpdateActions();
        ShowErrorBalloon(messageEdit);
        return false;
    }
    if (message.Length() > 0)
        parsed.units.assign(message.Data(), message.Data() + message.Length());

    std::fill(std::begin(fieldOffsets), std::end(fieldOffsets), 0);
    const ProtocolDef& def = TheProtocol();
    // The definition's header is set aside and shown before the fields; offsets still count
    // from the message's first unit.
    headerUnits = std::max(0, def.options.header);
    AutoBuff body;
    if (headerUnits > 0) {
        if (message.Length() < headerUnits) {
            const std::string text = "The message is shorter than the definition's header of " +
                                     std::to_string(headerUnits) + " units";
            SetWindowText(statusText, text.c_str());
            RefreshDetails();
            UpdateActions();
            return false;
        }
        AppendHeaderRow(fieldList, message, headerUnits);
        const int rest = message.Length() - headerUnits;
        if (!body.Reserve(rest + 1, false)) return false;
        if (rest > 0) std::memcpy(body.Data(), message.Data() + headerUnits, rest);
        body.SetLength(rest);
        body.Terminate();
    }
    AutoBuff verdict;
    const bool passed = DecodeMessage(
        headerUnits > 0 ? body : message, def,
        [&](const DecodedField& decoded) {
            DecodedField field = decoded;
            field.offset = static_cast<std::int16_t>(decoded.offset + headerUnits);
            fieldOffsets[field.number] = static_cast<std::uint16_t>(field.offset);
            fieldLengths[field.number] = static_cast<std::uint16_t>(field.consumed);
            if (!AppendFieldRow(fieldList, def, field)) return false;
            parsed.Add(field);
            return true;
        },
        verdict);
    if (verdict.Length() > 0)
        SetWindowQText(statusText,
                       VerdictText({verdict.Text(), static_cast<std::size_t>(verdict.Length())}));
    RefreshDetails();
    UpdateActions();
    return passed;
}

bool ParserPg::SelectFieldText() {
    const int row = ListGetNextSelected(fieldList);
    if (row < 0) return false;
    LPARAM field = 0;
    if (!ListGetItemData(fieldList, row, field)) return false;
    if (field == kHeaderRow) {
        SelectUnits(0, headerUnits);
        SetFocus(messageEdit);
        return true;
    }
    if (field < 0 || field >= kFieldCount) return false;
    SelectUnits(fieldOffsets[field], fieldLengths[field]);
    SetFocus(messageEdit);
    return true;
}

void ParserPg::SelectUnits(int start, int count) {
    int end = static_cast<std::uint16_t>(start + count);
    // Each message byte was typed as two digits, after whatever blanks lead the text.
    if (hexMode) {
        start = hexLead + 2 * start;
        end = hexLead + 2 * end;
    }
    EditSetSel(messageEdit, start, end);
}

int ParserPg::FieldOfRow(int row) const {
    LPARAM field = -1;
    if (row < 0 || !ListGetItemData(fieldList, row, field)) return -1;
    return field >= kFirstDataElement && field <= kLastField ? static_cast<int>(field) : -1;
}

void ParserPg::OpenDetails(int field) {
    if (field < 0) return;
    if (details == nullptr) {
        details = new FieldDetailsWindow(
            fieldList->window(), [this](int start, int count) { SelectUnits(start, count); });
    }
    details->ShowField(TheProtocol(), parsed, field);
    details->Present(messageEdit);
}

void ParserPg::RefreshDetails() {
    if (details != nullptr && details->Number() > 0)
        details->ShowField(TheProtocol(), parsed, details->Number());
    if (diagnosis != nullptr && diagnosis->isVisible())
        diagnosis->ShowMessage(TheProtocol(), parsed.units);
}

void ParserPg::OpenDiagnosis() {
    if (parsed.units.empty()) return;
    if (diagnosis == nullptr) {
        diagnosis = new DiagnosisWindow(
            fieldList->window(), [this](int start, int count) { SelectUnits(start, count); },
            [this](const Reading& reading) { UseReading(reading); });
    }
    diagnosis->ShowMessage(TheProtocol(), parsed.units);
    diagnosis->Present(messageEdit);
}

void ParserPg::UseReading(const Reading& reading) {
    if (reading.change) {
        ApplyChange(*reading.change, TheProtocol());
        if (definitionChanged) definitionChanged();
    }
    // The definition's own header stays in the box: the reading's is counted from the first unit.
    if (reading.headerChanged) RemoveLeadingUnits(reading.header - headerUnits);
    // The reading is of the message as it was parsed, in the mode it was parsed in.
    SetCheck(hexaCheck, hexMode ? BST_CHECKED : BST_UNCHECKED);
    Parse();
}

// The units' characters go from the box as an edit would take them (undo brings them back):
// in Hexa mode their digits, which follow the blanks the parse skipped.
void ParserPg::RemoveLeadingUnits(int count) {
    if (count < 1) return;
    const int start = hexMode ? hexLead : 0;
    EditSetSel(messageEdit, start, start + (hexMode ? 2 * count : count));
    EditReplaceSel(messageEdit, "");
}

void ParserPg::FillListMenu(QMenu& menu, int row) {
    const int field = FieldOfRow(row);
    // The menu's row is the selected one, as a right click makes it, so that the details
    // command acts on it as it does from the main window's menu.
    if (row >= 0 && ListGetNextSelected(fieldList) != row) ListSetSelected(fieldList, row);
    UpdateActions();
    menu.addAction(actions.details);
    QAction* one = menu.addAction(QStringLiteral("Copy row"), [this, row] { CopyRows(row, true); });
    one->setEnabled(field >= 0);
    menu.addSeparator();
    const bool any = !parsed.fields.empty();
    menu.addAction(QStringLiteral("Copy all rows"), [this] { CopyRows(-1, true); })
        ->setEnabled(any);
    menu.addAction(QStringLiteral("Copy all rows unmasked"), [this] { CopyRows(-1, false); })
        ->setEnabled(any);
    menu.addSeparator();
    menu.addAction(actions.diagnose);
}

std::unique_ptr<QMenu> ParserPg::ContextMenu(HWND control, const QPoint& at) {
    if (control == fieldList) {
        auto menu = std::make_unique<QMenu>(fieldList);
        auto* view = qobject_cast<QAbstractItemView*>(fieldList);
        FillListMenu(*menu, view != nullptr ? view->indexAt(at).row() : -1);
        return menu;
    }
    // The message box keeps its own editing menu, the diagnosis below it.
    auto* box = qobject_cast<QPlainTextEdit*>(control);
    std::unique_ptr<QMenu> menu(box != nullptr ? box->createStandardContextMenu(at)
                                               : new QMenu(control));
    if (box != nullptr) {
        menu->addSeparator();
        menu->addAction(actions.pasteDump);
    }
    UpdateActions();
    menu->addAction(actions.diagnose);
    return menu;
}

void ParserPg::ShowMenu(HWND control, const QPoint& at) {
    const std::unique_ptr<QMenu> menu = ContextMenu(control, at);
    // A scrolled control's points are in its viewport's coordinates.
    auto* view = qobject_cast<QAbstractScrollArea*>(control);
    menu->exec((view != nullptr ? view->viewport() : control)->mapToGlobal(at));
}

void ParserPg::CopyRows(int row, bool mask) {
    const ProtocolDef& def = TheProtocol();
    std::string text;
    for (int r = row < 0 ? 0 : row; r < (row < 0 ? ListGetItemCount(fieldList) : row + 1); ++r) {
        if (const ParsedField* field = parsed.Find(FieldOfRow(r)))
            text += FieldRowText(def, *field, mask) + '\n';
    }
    if (!text.empty()) QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void ParserPg::PasteDump() {
    const PastedDump dump =
        ReadPastedDump(QGuiApplication::clipboard()->text().toUtf8().toStdString());
    if (dump.hex.empty()) {
        const std::string why =
            dump.problem.empty() ? std::string("it holds no text") : dump.problem;
        const std::string text =
            "The clipboard holds no message dump (" + why + "); the message box is unchanged.";
        MessageBox(page, text.c_str(), "Paste dump as hex", MB_ICONINFORMATION | MB_OK);
        return;
    }
    // Typed over the whole text, so that the box's undo brings the old text back.
    EditSetSel(messageEdit, 0, std::numeric_limits<int>::max());
    EditReplaceSel(messageEdit, dump.hex.c_str());
    SetCheck(hexaCheck, BST_CHECKED);
    if (dump.messages > 1) {
        const std::string text = "The clipboard holds " + std::to_string(dump.messages) +
                                 " messages; the first is now in the message box.";
        MessageBox(page, text.c_str(), "Paste dump as hex", MB_ICONINFORMATION | MB_OK);
    }
}

bool ParserPg::UseMessage(const QString& text, bool hex) {
    EditSetSel(messageEdit, 0, std::numeric_limits<int>::max());
    EditReplaceSel(messageEdit, ToModelText(text).c_str());
    SetCheck(hexaCheck, hex ? BST_CHECKED : BST_UNCHECKED);
    return Parse();
}
