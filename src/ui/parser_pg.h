// The "Parser" page: decodes a pasted message against the protocol definition as it stands,
// lists its fields and shows the verdict; a key in the list selects a field's part of the text,
// and Return, a double click or the list's menu opens the field's details; the menus of the
// list, the status line and the message box open the diagnosis of the message.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include <QPointer>

#include "model/protocol.h"
#include "ui/diagnosis_window.h"
#include "ui/dlg_base.h"
#include "ui/field_details_window.h"
#include "ui/parsed_message.h"

class QAction;
class QMenu;
class QPoint;
class QString;

// The page's commands that the main window's menus show as well: the same objects, so that a
// command is enabled, named and bound to its keys in one place.
struct ParserActions {
    QAction* parse = nullptr;      // Ctrl+Return: as the "Parse" button
    QAction* details = nullptr;    // Return in the list: the selected row's Field details
    QAction* diagnose = nullptr;   // Ctrl+D: the Diagnosis window of the last parse
    QAction* pasteDump = nullptr;  // the clipboard's dump into the message box, as hex
};

class ParserPg : public DlgBase {
  public:
    INT_PTR OnInitDialog(HWND wnd, WPARAM focus, LPARAM param) override;
    INT_PTR OnNotify(HWND wnd, int id, NMHDR* header) override;
    INT_PTR OnCommand(HWND wnd, unsigned id, HWND control, unsigned code) override;

    // True only for the verdict "... Parsing OK ...".
    bool Parse();
    // Whether a range of the message box was selected.
    bool SelectFieldText();
    // Selects those message units in the box, leaving the focus where it is.
    void SelectUnits(int start, int count);

    // The Field details window of the field, opened or brought to the front.
    void OpenDetails(int field);
    FieldDetailsWindow* Details() const { return details; }
    // The list's context menu for the row (-1: none) into menu.
    void FillListMenu(QMenu& menu, int row);
    // The context menu of the list, the status line or the message box, for the point (in the
    // control's coordinates) where it was asked for.
    std::unique_ptr<QMenu> ContextMenu(HWND control, const QPoint& at);

    // The Diagnosis window of the message as last parsed, opened or brought to the front.
    void OpenDiagnosis();
    DiagnosisWindow* DiagnosisView() const { return diagnosis; }
    // Applies a reading of the diagnosis: its encoding into the definition, its header out of
    // the message box; then parses again.
    void UseReading(const Reading& reading);
    // Told when a reading changed the definition, for the pages that show it.
    void SetDefinitionChanged(std::function<void()> changed) {
        definitionChanged = std::move(changed);
    }
    // The row, or every row when row is -1, onto the clipboard.
    void CopyRows(int row, bool mask);

    const ParserActions& Actions() const { return actions; }
    // Replaces the message box's text with the first message of the dump on the clipboard, as
    // hexadecimal digits, and ticks "Hexa"; says how many messages the clipboard held, or that
    // it held none (the box is then left alone).
    void PasteDump();
    // Replaces the message box's text with a message made elsewhere (hexadecimal digits with
    // "Hexa" ticked, or the message's characters), as an edit the box can undo, and parses it.
    bool UseMessage(const QString& text, bool hex);
    const ParsedMessage& Parsed() const { return parsed; }

    // Where each field of the last parse lies in the message, in message units.
    int FieldOffset(int number) const { return fieldOffsets[number]; }
    int FieldLength(int number) const { return fieldLengths[number]; }
    bool HexMode() const { return hexMode; }

  private:
    void CreateActions(HWND wnd);
    void UpdateActions();
    int FieldOfRow(int row) const;
    void ShowMenu(HWND control, const QPoint& at);
    void RefreshDetails();
    void RemoveLeadingUnits(int count);

    HWND page = nullptr;
    HWND hexaCheck = nullptr;
    HWND messageEdit = nullptr;
    HWND statusText = nullptr;
    HWND fieldList = nullptr;
    std::uint16_t fieldOffsets[kFieldCount] = {};
    std::uint16_t fieldLengths[kFieldCount] = {};
    bool hexMode = false;
    // Characters before the first hex digit: the box keeps them, the message does not.
    int hexLead = 0;
    // Units the definition sets aside before the MTI (OPTION= HEADER), as last parsed.
    int headerUnits = 0;
    ParsedMessage parsed;
    QPointer<FieldDetailsWindow> details;
    QPointer<DiagnosisWindow> diagnosis;
    std::function<void()> definitionChanged;
    ParserActions actions;
};
