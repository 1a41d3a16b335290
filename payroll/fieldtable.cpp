// The formats of the numeric field kinds.
#include "payroll/fieldtable.h"

#include "payroll/common.h"

QString FieldText(const TFieldSpec& spec, double value)
{
    switch (spec.kind) {
        case FieldKind::Count:
            return QString::asprintf("%*d", spec.tag / 10, static_cast<int>(value));
        case FieldKind::Amount:
            return FmtAmount(spec.tag / 10, value);
        case FieldKind::Hours:
            return FmtJikan(value).mid(1);
        default:
            return QString::asprintf("%*.*f", spec.tag / 10, spec.tag % 10, value);
    }
}

double FieldNumber(const TFieldSpec& spec, const QString& text)
{
    switch (spec.kind) {
        case FieldKind::Count:
            return NumStrToInt(text);
        case FieldKind::Amount:
            return StrToIntEx(text);
        default:
            return StrToFloatEx(text);
    }
}
