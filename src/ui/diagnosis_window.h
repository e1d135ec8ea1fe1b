// The Diagnosis window: why the last parsed message fails, as the command line's diagnose
// shows it. The byte map as a hex dump coloured by part and as a list of parts, the stop
// reason and the warnings, and the readings that decode it exactly, each with the step that
// applies it. Card data is masked unless the user asks to see it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QWidget>

#include "diagnose/diagnosis.h"
#include "diagnose/map_rows.h"
#include "model/protocol.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

class DiagnosisWindow : public QWidget {
  public:
    // Told the message units of the part picked in the dump or the list.
    using UnitsPicked = std::function<void(int start, int count)>;
    // Told the reading whose button the user pressed.
    using ReadingChosen = std::function<void(const Reading& reading)>;

    DiagnosisWindow(QWidget* owner, UnitsPicked picked, ReadingChosen chosen);

    // Diagnoses the message (its units as last parsed; none: nothing was parsed) under def.
    void ShowMessage(const ProtocolDef& def, const std::vector<std::uint8_t>& units);
    // Opens the window or brings it to the front, fitted to the owner's screen, where it does
    // not cover avoid (the message box its rows select in) when there is room elsewhere.
    void Present(const QWidget* avoid = nullptr);

    const Diagnosis& Result() const { return diagnosis; }
    QLabel* Verdict() const { return verdict; }
    QPlainTextEdit* Dump() const { return dump; }
    QTreeWidget* Parts() const { return parts; }
    QPlainTextEdit* Findings() const { return findings; }
    QCheckBox* ShowCardData() const { return showCardData; }
    // The buttons of the readings, best first.
    const std::vector<QPushButton*>& ReadingButtons() const { return buttons; }
    // Picks the part that shows the unit (counted from the message's first), as a click does.
    void PickUnit(int unit);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowVerdict();
    void ShowParts();
    void ShowFindings();
    void ShowReadings();
    void ColourDump(int selected);
    int PartAt(int unit) const;
    QString PartName(const MapEntry& entry) const;
    void OnCurrentChanged(QTreeWidgetItem* item);

    UnitsPicked picked;
    ReadingChosen chosen;
    const ProtocolDef* def = nullptr;
    std::vector<std::uint8_t> units;
    Diagnosis diagnosis;
    std::vector<MapRow> maskedRows;
    std::vector<MapRow> clearRows;
    bool fitted = false;
    QLabel* verdict = nullptr;
    QPlainTextEdit* dump = nullptr;
    QTreeWidget* parts = nullptr;
    QPlainTextEdit* findings = nullptr;
    QGroupBox* readingsBox = nullptr;
    QVBoxLayout* readingsLayout = nullptr;
    QLabel* readingsLead = nullptr;
    std::vector<QWidget*> readingRows;
    std::vector<QPushButton*> buttons;
    QCheckBox* showCardData = nullptr;
};
