// Info tips of the report lists: a cell whose text the column cuts shows it whole in a tooltip.
#pragma once

class QTableWidget;

void EnableListInfoTips(QTableWidget* list);
