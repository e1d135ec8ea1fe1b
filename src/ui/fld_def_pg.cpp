#include "ui/fld_def_pg.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "model/protocol.h"
#include "support/error_balloon.h"
#include "support/text.h"
#include "ui/controls.h"
#include "ui/dlg_window.h"
#include "ui/window_text.h"

namespace {

constexpr int kNumberDigits = 3;
constexpr int kLengthDigits = 4;
constexpr int kMaxFieldLength = 9999;
// Numbers are read from the first seven characters of their box, as atoi reads them.
constexpr int kNumberReadSize = 8;

struct EncodingCombo {
    int id;
    EncodingRole role;
};

// In the order of the page's handles: MTI, bitmap, lengths, numeric, character, binary.
constexpr EncodingCombo kEncodingCombos[] = {
    {IDC_MTI_ENC, EncodingRole::kMti},       {IDC_BMP_ENC, EncodingRole::kBitmap},
    {IDC_LEN_ENC, EncodingRole::kLength},    {IDC_NUM_ENC, EncodingRole::kNumeric},
    {IDC_CHR_ENC, EncodingRole::kCharacter}, {IDC_BIN_ENC, EncodingRole::kBinary},
};

enum { kColDescription, kColType, kColVariable, kColLength, kColSubfield, kColNumber };

constexpr ListColumn kColumns[] = {
    {"Description", 455, LVCFMT_LEFT}, {"Type", 55, LVCFMT_LEFT}, {"", 25, LVCFMT_CENTER},
    {"Lenght", 55, LVCFMT_RIGHT},      {"", 25, LVCFMT_CENTER},   {"N\u00B0", 50, LVCFMT_RIGHT},
};

struct Decimal {
    char text[12];
    explicit Decimal(int value) { std::snprintf(text, sizeof text, "%d", value); }
};

int ReadNumber(HWND box) {
    char digits[kNumberReadSize];
    GetWindowText(box, digits, sizeof digits);
    return std::atoi(digits);
}

// A value set by the program may be longer than what the user can type (a file may carry a
// length of five digits): the box must show it whole, or a later Apply would store its cut.
void SetNumberBox(HWND box, int value, int typedLimit) {
    const Decimal d(value);
    EditLimitText(box, std::max(typedLimit, static_cast<int>(std::strlen(d.text))));
    SetWindowText(box, d.text);
}

bool Reject(HWND control) {
    ShowErrorBalloon(control);
    return false;
}

bool SelectByItemData(HWND combo, LPARAM data) {
    const int count = ComboGetCount(combo);
    for (int i = 0; i < count; ++i) {
        if (ComboGetItemData(combo, i) == data) {
            ComboSetCurSel(combo, i);
            return true;
        }
    }
    return false;
}

}  // namespace

INT_PTR FldDefPg::OnInitDialog(HWND wnd, WPARAM /*focus*/, LPARAM /*param*/) {
    // A child widget is drawn over its parent's background: the tab page's look needs no call.
    nameBox = GetDlgItem(wnd, IDC_PROTOCOL_NAME);
    for (int i = 0; i < kEncodingComboCount; ++i)
        encodingCombos[i] = GetDlgItem(wnd, kEncodingCombos[i].id);
    list = GetDlgItem(wnd, IDC_LIST);
    descriptionBox = GetDlgItem(wnd, IDC_DESCRIPTION);
    typeCombo = GetDlgItem(wnd, IDC_TYPE);
    variableCheck = GetDlgItem(wnd, IDC_VARIABLE);
    lengthBox = GetDlgItem(wnd, IDC_LENGTH);
    subfieldsCheck = GetDlgItem(wnd, IDC_SUBFIELDS);
    numberBox = GetDlgItem(wnd, IDC_FIELD_NUMBER);

    EditLimitText(numberBox, kNumberDigits);
    EditLimitText(lengthBox, kLengthDigits);
    EditLimitText(descriptionBox, kTextMax);

    for (int i = 0; i < kEncodingComboCount; ++i) {
        for (Encoding e : OfferedEncodings(kEncodingCombos[i].role)) {
            const int at = ComboAddString(encodingCombos[i], NameOf(e));
            ComboSetItemData(encodingCombos[i], at, static_cast<LPARAM>(e));
        }
    }
    for (int t = static_cast<int>(FieldType::N); t < kFieldTypeCount; ++t) {
        const int at = ComboAddString(typeCombo, FieldTypeNames[t]);
        ComboSetItemData(typeCombo, at, t);
    }

    ShowProtocol();

    ListAddExtendedStyle(list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    return ListInsertColumns(list, kColumns);
}

INT_PTR FldDefPg::OnNotify(HWND /*wnd*/, int id, NMHDR* header) {
    if (header == nullptr) return false;
    const bool keyDown = header->code == LVN_KEYDOWN;
    if (keyDown && reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_DELETE) {
        DeleteSelectedField();
        return true;
    }
    // A key arrives before the list moves its selection; the row change that follows it
    // loads the newly selected row.
    if (keyDown || header->code == LVN_ITEMCHANGED || header->code == NM_CLICK) {
        if (id != IDC_LIST) return false;
        LoadSelectedField();
        return true;
    }
    return false;
}

INT_PTR FldDefPg::OnCommand(HWND /*wnd*/, unsigned id, HWND /*control*/, unsigned code) {
    if (id == IDC_PROTOCOL_NAME) {
        if (code == EN_KILLFOCUS) CommitName();
        return true;
    }
    for (int i = 0; i < kEncodingComboCount; ++i) {
        if (static_cast<int>(id) != kEncodingCombos[i].id) continue;
        // Every variable element's prefix size depends on the length encoding: a pick
        // recomputes them, and so does a change that leaves no selection.
        if (code == CBN_SELCHANGE && !StoreEncoding(i) && id == IDC_LEN_ENC) {
            TheProtocol().RecomputeLengthPrefixSizes();
        }
        return true;
    }
    if (id == IDC_APPLY) {
        ApplyField();
        return true;
    }
    return false;
}

bool FldDefPg::ShowProtocol() {
    const ProtocolDef& protocol = TheProtocol();
    SetWindowText(nameBox, protocol.name);
    // A file may hold an encoding that the combo does not offer: it then shows none.
    for (int i = 0; i < kEncodingComboCount; ++i) {
        ComboSetCurSel(encodingCombos[i], -1);
        SelectByItemData(encodingCombos[i],
                         static_cast<LPARAM>(protocol.*EncodingField(kEncodingCombos[i].role)));
    }
    return true;
}

bool FldDefPg::FillFieldList() {
    ListDeleteAllItems(list);
    const ProtocolDef& protocol = TheProtocol();
    int row = 0;
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        const FldDef& field = protocol.fields[n];
        if (field.type == FieldType::U) continue;
        if (ListInsertItem(list, row, field.description, n) < 0) return false;
        ListSetItemText(list, row, kColType, NameOf(field.type));
        if (field.sizeLen > 0) ListSetItemText(list, row, kColVariable, "V");
        ListSetItemText(list, row, kColLength, Decimal(field.size).text);
        if (field.subfield) ListSetItemText(list, row, kColSubfield, "S");
        ListSetItemText(list, row, kColNumber, Decimal(n).text);
        ++row;
    }
    return true;
}

void FldDefPg::ClearFieldEditor() {
    SetWindowText(descriptionBox, "");
    EditLimitText(numberBox, kNumberDigits);
    SetWindowText(numberBox, "");
    EditLimitText(lengthBox, kLengthDigits);
    SetWindowText(lengthBox, "");
    SetCheck(variableCheck, BST_UNCHECKED);
    SetCheck(subfieldsCheck, BST_UNCHECKED);
    ComboSetCurSel(typeCombo, -1);
}

bool FldDefPg::SelectedFieldNumber(int& n) const {
    const int row = ListGetNextSelected(list);
    if (row < 0) return false;
    LPARAM data = 0;
    if (!ListGetItemData(list, row, data)) return false;
    if (data < kFirstDataElement || data > kLastField) return false;
    n = static_cast<int>(data);
    return true;
}

bool FldDefPg::LoadSelectedField() {
    int n = 0;
    if (!SelectedFieldNumber(n)) return false;
    const FldDef& field = TheProtocol().fields[n];
    SetWindowText(descriptionBox, field.description);
    SetNumberBox(numberBox, n, kNumberDigits);
    SetNumberBox(lengthBox, field.size, kLengthDigits);
    SetCheck(variableCheck, field.sizeLen != 0 ? BST_CHECKED : BST_UNCHECKED);
    SetCheck(subfieldsCheck, field.subfield ? BST_CHECKED : BST_UNCHECKED);
    if (SelectByItemData(typeCombo, static_cast<LPARAM>(field.type))) return true;
    ComboSetCurSel(typeCombo, -1);
    return false;
}

bool FldDefPg::DeleteSelectedField() {
    int n = 0;
    if (!SelectedFieldNumber(n)) return false;
    // The editor keeps the element's values, so that Apply brings it back.
    TheProtocol().fields[n].Clear();
    // A field defined again later starts from the dialect's encodings.
    TheProtocol().settings[n] = FieldSettings{};
    FillFieldList();
    return true;
}

bool FldDefPg::ApplyField() {
    char description[kTextMax + 1];
    GetWindowText(descriptionBox, description, sizeof description);
    const int descriptionLength = CollapseBlanks(description);
    if (descriptionLength < 1 || descriptionLength > kTextMax) return Reject(descriptionBox);

    const int typeIndex = ComboGetCurSel(typeCombo);
    if (typeIndex == CB_ERR) return Reject(typeCombo);
    const auto type = static_cast<FieldType>(ComboGetItemData(typeCombo, typeIndex));

    // Bounded before it is narrowed to the model's 16 bits, so that no wrap-around lets an
    // oversized length through.
    const int length = ReadNumber(lengthBox);
    if (length < 1 || length > kMaxFieldLength) return Reject(lengthBox);
    const auto size = static_cast<std::int16_t>(length);

    const int n = ReadNumber(numberBox);
    if (n < kFirstDataElement || n > kLastField) return Reject(numberBox);

    const bool variable = GetCheck(variableCheck) == BST_CHECKED;
    const bool subfields = GetCheck(subfieldsCheck) == BST_CHECKED;
    ProtocolDef& protocol = TheProtocol();
    const std::int16_t sizeLen = variable ? protocol.LengthPrefixSize(size, n) : 0;
    DefineField(protocol.fields[n], type, size, sizeLen, subfields, description);
    FillFieldList();
    return true;
}

void FldDefPg::CommitName() {
    char* name = TheProtocol().name;
    GetWindowText(nameBox, name, kTextMax + 1);
    CollapseBlanks(name);
    SetWindowText(nameBox, name);
}

bool FldDefPg::StoreEncoding(int combo) {
    const int index = ComboGetCurSel(encodingCombos[combo]);
    if (index == CB_ERR) return false;
    PickEncoding(TheProtocol(), kEncodingCombos[combo].role,
                 static_cast<Encoding>(ComboGetItemData(encodingCombos[combo], index)));
    return true;
}
