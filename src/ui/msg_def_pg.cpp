#include "ui/msg_def_pg.h"

#include <cctype>
#include <cstdio>
#include <memory>
#include <new>

#include "support/auto_buff.h"
#include "support/error_balloon.h"
#include "support/text.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dlg_window.h"
#include "ui/window_text.h"

namespace {

constexpr int kMtiLength = 4;
constexpr int kMaskDigits = 32;

MsgDef* MessageAt(int slot) {
    if (slot < 0) return nullptr;
    return TheProtocol().messages.At(slot).get();
}

bool IsFourDigits(const char* text) {
    for (int i = 0; i < kMtiLength; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return text[kMtiLength] == '\0';
}

// The mask the box spells in its first 32 characters (characters after them are ignored); false
// when the text is shorter or one of them is not a hexadecimal digit, so that a typo never
// clears the marks the user set.
bool ReadMask(HWND box, FieldMask& mask) {
    AutoBuff text;
    LoadWindowText(text, box);
    if (text.Length() < kMaskDigits) return false;
    for (int i = 0; i < kMaskDigits; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text.Text()[i]))) return false;
    }
    FieldMask read{};
    DecodeHex(kMaskDigits, read.data(), text.Text(), static_cast<int>(read.size()));
    mask = read;
    return true;
}

bool Refuse(HWND box) {
    ShowErrorBalloon(box);
    return false;
}

void ShowMask(HWND box, const FieldMask& mask) {
    AutoBuff text;
    SetWindowText(box, text.SetFromFieldMask(mask) ? text.Text() : "");
}

}  // namespace

INT_PTR MsgDefPg::OnInitDialog(HWND wnd, WPARAM, LPARAM) {
    mtiCombo = GetDlgItem(wnd, IDC_MTI);
    deleteButton = GetDlgItem(wnd, IDC_DELETE_MSG);
    retitleButton = GetDlgItem(wnd, IDC_RETITLE);
    addButton = GetDlgItem(wnd, IDC_ADD_MSG);
    titleEdit = GetDlgItem(wnd, IDC_TITLE);
    helpText = GetDlgItem(wnd, IDC_STATUS);
    fieldList = GetDlgItem(wnd, IDC_LIST);
    mandatoryEdit = GetDlgItem(wnd, IDC_MANDATORY_MASK);
    optionalEdit = GetDlgItem(wnd, IDC_OPTIONAL_MASK);
    applyButton = GetDlgItem(wnd, IDC_APPLY);

    ComboLimitText(mtiCombo, kMtiLength);
    EditLimitText(titleEdit, kTextMax);

    ListAddExtendedStyle(fieldList, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    static constexpr ListColumn kColumns[] = {
        {"Description", 380, LVCFMT_LEFT},
        {"Mandatory", 110, LVCFMT_CENTER},
        {"Optional", 110, LVCFMT_CENTER},
        {"N\u00B0", 50, LVCFMT_RIGHT},
    };
    return ListInsertColumns(fieldList, kColumns);
}

INT_PTR MsgDefPg::OnNotify(HWND, int, NMHDR* header) {
    if (header == nullptr || header->code != LVN_KEYDOWN) return 0;
    OnListKey(reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey);
    return 1;
}

INT_PTR MsgDefPg::OnCommand(HWND wnd, unsigned id, HWND, unsigned code) {
    switch (id) {
        case IDC_APPLY:
            ApplyMasks();
            return 1;
        case IDC_MTI:
            if (code == CBN_SELCHANGE) {
                ShowMessage();
                EnableMessageEditor(true);
            }
            return 1;
        case IDC_DELETE_MSG:
            DeleteMessage(wnd);
            return 1;
        case IDC_RETITLE:
            RetitleMessage();
            return 1;
        case IDC_ADD_MSG:
            AddMessage(wnd);
            return 1;
        default:
            return 0;
    }
}

bool MsgDefPg::FillMessageList() {
    ComboResetContent(mtiCombo);
    const MsgTable& table = TheProtocol().messages;
    for (int i = 0; i < table.SlotCount(); ++i) {
        if (const MsgDef* m = table.At(i).get()) {
            ComboSetItemData(mtiCombo, ComboAddString(mtiCombo, m->mti), i);
        }
    }
    SetWindowText(mtiCombo, "");
    SetWindowText(titleEdit, "");
    EnableMessageEditor(false);
    return true;
}

bool MsgDefPg::FillFieldList() {
    const int slot = CurrentSlot();
    const MsgDef* m = MessageAt(slot);
    ListDeleteAllItems(fieldList);
    const FldDef* fields = TheProtocol().fields;
    int row = 0;
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        if (fields[n].type == FieldType::U) continue;
        if (ListInsertItem(fieldList, row, fields[n].description, n) < 0) return false;
        ShowMarks(row, m, n);
        char number[8];
        std::snprintf(number, sizeof number, "%d", n);
        ListSetItemText(fieldList, row, 3, number);
        ++row;
    }
    ShowMasks(slot);
    return true;
}

int MsgDefPg::CurrentSlot() const {
    const int sel = ComboGetCurSel(mtiCombo);
    if (sel == CB_ERR) return MsgTable::kNone;
    const LPARAM slot = ComboGetItemData(mtiCombo, sel);
    if (slot < 0 || slot >= TheProtocol().messages.SlotCount()) return MsgTable::kNone;
    return static_cast<int>(slot);
}

// Columns 1 and 2 of a row: a field set in both masks counts as mandatory.
void MsgDefPg::ShowMarks(int row, const MsgDef* m, int n) {
    const bool mandatory = m != nullptr && TestBit(m->mandatory, n);
    const bool optional = m != nullptr && !mandatory && TestBit(m->optional, n);
    ListSetItemText(fieldList, row, 1, mandatory ? "Mandatory" : "");
    ListSetItemText(fieldList, row, 2, optional ? "Optional" : "");
}

void MsgDefPg::EnableMessageEditor(bool enable) {
    EnableWindow(deleteButton, enable);
    EnableWindow(retitleButton, enable);
    EnableWindow(applyButton, enable);
    ShowWindow(helpText, enable ? SW_SHOW : SW_HIDE);
}

bool MsgDefPg::ShowMessage() {
    const int slot = CurrentSlot();
    const MsgDef* m = MessageAt(slot);
    if (m == nullptr) return false;
    // The text field is emptied for the next MTI to add; the selection must outlive that.
    SetWindowText(mtiCombo, "");
    if (CurrentSlot() != slot) {
        for (int i = 0; i < ComboGetCount(mtiCombo); ++i) {
            if (ComboGetItemData(mtiCombo, i) == slot) ComboSetCurSel(mtiCombo, i);
        }
    }
    SetWindowText(titleEdit, m->title);
    const int count = ListGetItemCount(fieldList);
    for (int row = 0; row < count; ++row) {
        LPARAM n = 0;
        if (!ListGetItemData(fieldList, row, n) || n < kFirstDataElement || n > kLastField)
            continue;
        ShowMarks(row, m, static_cast<int>(n));
    }
    ListRedrawItems(fieldList, 0, count - 1);
    UpdateWindow(fieldList);
    return ShowMasks(slot);
}

bool MsgDefPg::ShowMasks(int slot) {
    const MsgDef* m = MessageAt(slot);
    if (m == nullptr) {
        SetWindowText(mandatoryEdit, "");
        SetWindowText(optionalEdit, "");
        return slot < 0;
    }
    ShowMask(mandatoryEdit, m->mandatory);
    ShowMask(optionalEdit, m->optional);
    return true;
}

bool MsgDefPg::AddMessage(HWND owner) {
    char mti[kMtiLength + 1] = {};
    GetWindowText(mtiCombo, mti, sizeof mti);
    if (GetWindowTextLength(mtiCombo) != kMtiLength || !IsFourDigits(mti)) {
        ShowErrorBalloon(mtiCombo);
        return false;
    }
    MsgTable& table = TheProtocol().messages;
    if (table.FindByMti(mti) != MsgTable::kNone) {
        MessageBox(owner, "Message already defined", "Error", MB_ICONERROR | MB_OK);
        return false;
    }
    const int slot = table.FirstEmpty();
    if (slot != MsgTable::kNone) {
        std::unique_ptr<MsgDef> m(new (std::nothrow) MsgDef);
        if (m) {
            InitMsgDef(*m, TheProtocol());
            std::snprintf(m->mti, sizeof m->mti, "%s", mti);
            GetWindowText(titleEdit, m->title, sizeof m->title);
            CollapseBlanks(m->title);
            table.PutIfEmpty(slot, m);
        }
    }
    FillMessageList();
    FillFieldList();
    return true;
}

bool MsgDefPg::DeleteMessage(HWND owner) {
    const int slot = CurrentSlot();
    if (slot < 0) return false;
    if (MessageBox(owner, "Do you confirm the deletion of the current message definition ?",
                   "Deletion", MB_ICONWARNING | MB_YESNO) != IDYES) {
        return true;
    }
    TheProtocol().messages.At(slot).reset();
    FillMessageList();
    FillFieldList();
    return true;
}

bool MsgDefPg::RetitleMessage() {
    const int slot = CurrentSlot();
    if (slot < 0) return false;
    MsgDef* m = MessageAt(slot);
    if (m == nullptr) return true;
    GetWindowText(titleEdit, m->title, sizeof m->title);
    CollapseBlanks(m->title);
    SetWindowText(titleEdit, m->title);
    return true;
}

bool MsgDefPg::OnListKey(unsigned vk) {
    const int slot = CurrentSlot();
    MsgDef* m = MessageAt(slot);
    if (m == nullptr) return false;
    const int row = ListGetNextSelected(fieldList);
    if (row < 0) return false;
    LPARAM data = 0;
    if (ListGetItemData(fieldList, row, data) && data >= kFirstDataElement && data <= kLastField) {
        const int n = static_cast<int>(data);
        switch (vk) {
            case VK_SPACE:
                ClearBit(m->mandatory, n);
                ClearBit(m->optional, n);
                ShowMarks(row, m, n);
                break;
            case VK_LEFT:
                SetBit(m->mandatory, n);
                ClearBit(m->optional, n);
                ShowMarks(row, m, n);
                break;
            case VK_RIGHT:
                ClearBit(m->mandatory, n);
                SetBit(m->optional, n);
                ShowMarks(row, m, n);
                break;
            default:
                break;
        }
    }
    ListRedrawItems(fieldList, row, row);
    UpdateWindow(fieldList);
    return ShowMasks(slot);
}

bool MsgDefPg::ApplyMasks() {
    MsgDef* m = MessageAt(CurrentSlot());
    if (m == nullptr) return false;
    // Both masks or neither: the balloon names the first box that does not spell one.
    FieldMask mandatory{};
    FieldMask optional{};
    if (!ReadMask(mandatoryEdit, mandatory)) return Refuse(mandatoryEdit);
    if (!ReadMask(optionalEdit, optional)) return Refuse(optionalEdit);
    m->mandatory = mandatory;
    m->optional = optional;
    return ShowMessage();
}
