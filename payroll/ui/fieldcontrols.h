// The controls of a field table (payroll/fieldtable): built from the descriptors, filled from
// field values and read back into them. A control is found by its objectName under the window.
#pragma once
#include "payroll/fieldtable.h"

class QLineEdit;
class QWidget;

// The control of a field as a child of parent: named, with its Tag, typing limit, items or caption.
// Numeric fields get no key filter here: which characters they take is the window's rule.
QWidget* MakeFieldControl(QWidget* parent, const TFieldDef& def);
// An edit's text shown whole, even where it is longer than the edit's typing limit (property
// "BaseMax"): a formatted amount "1,234,567", a long imported name. A QLineEdit would cut it.
void ShowText(QLineEdit* edit, const QString& text);
// A value put into its control (an edit's text through ShowText), and read from it.
void ShowField(QWidget* window, const TFieldDef& def, const TFieldValue& value);
TFieldValue FieldValue(const QWidget* window, const TFieldDef& def);

template <typename Table>
void MakeFieldControls(QWidget* parent, const Table& table)
{
    for (const auto& d : table) MakeFieldControl(parent, d.def);
}
// Fills the controls in the order of the table (a check box's rules may depend on an earlier one).
template <typename Table>
void ShowFields(QWidget* window, const Table& table, const TFieldValues& values)
{
    for (const auto& d : table) ShowField(window, d.def, values.value(d.def.name));
}
template <typename Table>
TFieldValues FieldValues(const QWidget* window, const Table& table)
{
    TFieldValues values;
    for (const auto& d : table) values.insert(d.def.name, FieldValue(window, d.def));
    return values;
}
