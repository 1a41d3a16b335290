// Attendance report import.
#include "app/core/kinmuread.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>

#include "payroll/calc.h"
#include "payroll/common.h"
#include "payroll/otherperiod.h"
#include "payroll/period.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/readfile.h"

namespace {

struct Item {
    const char* name;
    int index;
};
const Item Items[] = {{"出勤日数", kiSyukkin},          {"有休日数", kiYukyu},
                      {"欠勤日数", kiKekkin},           {"休日出勤日数", kiKyujituSyukkin},
                      {"実働時間", kiJitudou},          {"普通残業時間", kiFutuZangyo},
                      {"深夜残業時間", kiSinyaZangyo},  {"休日普通残業", kiKyujituFutu},
                      {"休日深夜残業", kiKyujituSinya}, {"遅刻早退回数", kiChisouKaisu}};

// A report is a few hundred bytes; anything far larger is no report.
constexpr qint64 MaxReportSize = 1024 * 1024;

bool digits(const QString& s)
{
    if (s.isEmpty()) return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

}  // namespace

bool KinmuValue(const QString& text, double& value)
{
    const QString t = text.trimmed();
    const qsizetype colon = t.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const QString h = t.left(colon), m = t.mid(colon + 1);
        if (!digits(h) || m.size() != 2 || !digits(m) || m.toInt() > 59) return false;
        value = h.toInt() + m.toInt() / 60.0;
        return true;
    }
    bool ok = false;
    value = t.toDouble(&ok);
    return ok && !t.isEmpty() && !t.contains(QLatin1Char('e'), Qt::CaseInsensitive) && std::isfinite(value);
}

TKinmuReport ReadKinmuReport(const QByteArray& bytes)
{
    TKinmuReport r;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        QString name, text;
        try {
            name = cp932::decode(cp932::cutBytes(line.left(12), 12)).trimmed();
            text = cp932::decode(line.mid(14, 6));
        } catch (const EncodingError&) {
            continue;  // not a line of items
        }
        for (const Item& i : Items) {
            if (name != QString::fromUtf8(i.name)) continue;
            double v = 0;
            if (KinmuValue(text, v))
                r.values[i.index] = v;
            else
                r.bad << QStringLiteral("%1 (%2)").arg(name, text.trimmed());
        }
    }
    return r;
}

QString KinmuNameKey(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype open = name.indexOf(QLatin1Char('['));
    const qsizetype close = name.indexOf(QLatin1Char(']'));
    if (open < 0 || close < open) return {};
    return name.mid(open + 1, close - open - 1);
}

int FindKinmuSlot(const QString& key)
{
    const QByteArray k = cp932::encode(key);
    if (k.isEmpty()) return 0;
    int retired = 0;
    for (int e = MaxEmployee; e >= 1; --e) {
        const TEmployeeRec& E = SyainRec[e];
        if (E.MembKey.isEmpty() || E.Simei.isEmpty()) continue;
        if (cp932::encode(DelSpace(E.Simei.shownText())) != k) continue;
        if (!IsTaisyoku(e)) return e;
        if (!retired) retired = e;
    }
    return retired;
}

QString ImportKinmuFile(const QString& path, QStringList& bad)
{
    const QString key = KinmuNameKey(path);
    const QString file = QFileInfo(path).fileName();
    int e = 0;
    try {
        e = FindKinmuSlot(key);
    } catch (const EncodingError&) {
        return QStringLiteral("ファイル名の氏名をシフトJISに変換できません\n%1").arg(file);
    }
    if (e == 0) return QStringLiteral("該当者のデータ無し [%1]").arg(key);
    QByteArray bytes;
    QString reason;
    if (!ReadWholeFile(path, ReadKind::Chosen, bytes, reason) || bytes.size() > MaxReportSize)
        return QStringLiteral("勤務報告データが読み込めません [%1]\n%2")
            .arg(file, reason.isEmpty() ? QStringLiteral("ファイルが大きすぎます。") : reason);
    const TKinmuReport r = ReadKinmuReport(bytes);
    for (const QString& b : r.bad) bad << QStringLiteral("%1: %2").arg(file, b);
    for (auto it = r.values.cbegin(); it != r.values.cend(); ++it) KintaiRec[e].Kintai[it.key()] = it.value();
    CalcKyuyo(e);
    const double zan = GetPrevYukyuZan(CurPeriod.Period - 1, SyainRec[e].MembKey.bytes());
    if (zan != -999) KintaiRec[e].Kintai[kiYukyuZan] = zan - KintaiRec[e].Kintai[kiYukyu];
    return {};
}
