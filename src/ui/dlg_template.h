// Dialogs as data: each control's id, class, text, rectangle in dialog units and style, and
// the conversion of dialog units to pixels from the dialog's font.
#pragma once

#include <span>

#include <QRect>

#include "ui/win_defs.h"

class QFont;

enum class CtlClass { Static, Button, Edit, ComboBox, ListView, TabControl };

struct CtlTemplate {
    int id;
    CtlClass cls;
    const char* text;
    int x, y, cx, cy;
    unsigned style;
    unsigned exStyle = 0;
};

struct DlgTemplate {
    int id;
    unsigned style;
    int cx, cy;
    const char* caption;
    std::span<const CtlTemplate> controls;
};

// Null when no template has that id.
const DlgTemplate* FindDlgTemplate(int id);

// Windows' base units of a font: the average width of the 52 letters rounded as the dialog
// manager does (Qt's own average is narrower and would clip labels), and the line height.
struct DialogUnits {
    int charWidth = 0;
    int charHeight = 0;

    int X(int du) const { return (du * charWidth + 2) / 4; }
    int Y(int du) const { return (du * charHeight + 4) / 8; }
    QRect ToPixels(int x, int y, int cx, int cy) const { return {X(x), Y(y), X(cx), Y(cy)}; }
};

DialogUnits BaseUnitsOf(const QFont& font);
// The units of the dialog font: the platform's default UI font.
DialogUnits DialogFontUnits();
