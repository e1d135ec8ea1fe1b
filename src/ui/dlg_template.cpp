#include "ui/dlg_template.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>

extern const DlgTemplate kMainTemplate;
extern const DlgTemplate kFldDefTemplate;
extern const DlgTemplate kMsgDefTemplate;
extern const DlgTemplate kParserTemplate;

const DlgTemplate* FindDlgTemplate(int id) {
    for (const DlgTemplate* t :
         {&kMainTemplate, &kFldDefTemplate, &kMsgDefTemplate, &kParserTemplate}) {
        if (t->id == id) return t;
    }
    return nullptr;
}

DialogUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

DialogUnits DialogFontUnits() {
    return BaseUnitsOf(QApplication::font());
}
