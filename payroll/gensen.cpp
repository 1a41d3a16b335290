// The withholding-slip program's data file.
#include "payroll/gensen.h"

#include <QFileInfo>

#include "payroll/paths.h"
#include "payroll/period.h"

namespace {
constexpr qint64 MinGensenSize = 300 + 90 * 1500;  // the head and 90 employee records

QString lastIn(const QString& era, int from, int to)
{
    QString found;
    for (int y = from; y <= to; ++y) {
        const QString name =
            DataPath + QStringLiteral("源泉徴収(%1%2年).dat").arg(era).arg(y, 2, 10, QLatin1Char('0'));
        const QFileInfo fi(name);
        if (fi.isFile() && fi.size() >= MinGensenSize) found = name;
    }
    return found;
}
}  // namespace

QString FindGensenFile()
{
    const QString reiwa = lastIn(EraName[2], 2, 25);
    return reiwa.isEmpty() ? lastIn(EraName[1], 28, 31) : reiwa;
}
