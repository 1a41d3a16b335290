// Loading and checking of the three table files, and the monthly and bonus withholding-tax
// lookups on the tables held in memory.
#include "payroll/taxtable.h"

#include <sys/stat.h>

#include <QDate>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "payroll/common.h"
#include "payroll/paths.h"
#include "platform/errors.h"
#include "platform/readfile.h"

const QString TaxTableKyuyoName = QStringLiteral("税額表(給与).dat");
const QString TaxTableSyoyoName = QStringLiteral("税額表(賞与).dat");
const QString KenhoTableName = QStringLiteral("健康保険料額表.dat");
const QString KenRituName = QStringLiteral("健康保険料率.dat");

TTaxTableKyuyo TaxTableKyuyo;
TTaxTableSyoyo TaxTableSyoyo;
TKenhoGradeTable KenhoTable;
QString TaxTableKyuyoFile;
QString TaxTableSyoyoFile;
QString KenhoTableFile;
int32_t TableFileCount = 0;
QStringList TableFileProblems;

namespace {

constexpr int MinKyuyoRows = 8;  // the eight bracket rows at least
constexpr int MaxKyuyoRows = 260;
constexpr int MaxKouRows = 24;
constexpr int MaxOtsuRows = 10;
constexpr int MaxGrades = 80;

bool isFraction(double r)
{
    return std::isfinite(r) && r >= 0.0 && r < 1.0;
}

QString rowProblem(int row)
{
    return QStringLiteral("%1行目の金額の範囲が昇順ではありません").arg(row);
}

const QByteArray DatePrefix = QByteArrayLiteral("#published ");
const QString DateFormat = QStringLiteral("yyyy/MM/dd");

// The date of a trailer of TableDateSize bytes, empty when the bytes are no trailer.
QString trailerDate(const QByteArray& t)
{
    if (t.size() != TableDateSize || !t.startsWith(DatePrefix) || !t.endsWith("\r\n")) return {};
    const QString date = QString::fromLatin1(t.mid(DatePrefix.size(), 10));
    return QDate::fromString(date, DateFormat).isValid() ? date : QString();
}

// Reads a whole file of exactly sizeof(T) bytes, or those and the published date, into a zeroed
// record; a short or long file, or one that cannot be opened, gives the reason instead.
template <typename T>
QString readRecord(const QString& path, T& rec)
{
    std::memset(static_cast<void*>(&rec), 0, sizeof rec);
    QFile f;
    QString reason;
    if (!OpenReadFile(f, path, ReadKind::Table, reason)) return QStringLiteral("開けません (%1)").arg(reason);
    // One byte more than the longest file, so that a file that is too long is seen even where the
    // size the system reports cannot be trusted.
    const qsizetype size = sizeof rec;
    const QByteArray data = f.read(size + TableDateSize + 1);
    if (data.size() != size && (data.size() != size + TableDateSize || trailerDate(data.mid(size)).isEmpty()))
        return QStringLiteral("大きさが %1 バイトではありません").arg(sizeof rec);
    std::memcpy(static_cast<void*>(&rec), data.constData(), sizeof rec);
    return {};
}

// Reads one table; only a file that reads whole and passes its check counts, anything else
// leaves the table zero (as if the file were missing) and notes why.
template <typename T>
void loadOne(const QString& folder, const QString& name, T& table, QString (*check)(const T&),
             TTableFiles& into)
{
    const QString path = folder + name;
    std::memset(static_cast<void*>(&table), 0, sizeof table);
    // Missing is as if the table were zero; whatever else is at the name (a link, even one to
    // nowhere, a pipe) is read or refused with its reason.
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return;
    T tmp;
    QString problem = readRecord(path, tmp);
    if (problem.isEmpty()) problem = check(tmp);
    if (!problem.isEmpty()) {
        into.problems << name + QStringLiteral(": ") + problem;
        return;
    }
    std::memcpy(static_cast<void*>(&table), &tmp, sizeof table);
    ++into.count;
}

const TTaxRow* findRow(const TTaxTableKyuyo& t, int32_t a)
{
    for (int i = 1; i <= t.RowCount; ++i)
        if (t.Rows[i].Ijou <= a && a < t.Rows[i].Miman) return &t.Rows[i];
    return nullptr;
}

// The rate part of a tax: rate times the amount above a threshold. The difference is formed in
// double so that a threshold far below zero cannot overflow it.
int64_t ratePart(double rate, int32_t a, int32_t threshold)
{
    return MulRound3(rate, static_cast<double>(a) - static_cast<double>(threshold));
}

int32_t clampTax(int64_t tax)
{
    if (tax < 0) return 0;
    return static_cast<int32_t>(std::min<int64_t>(tax, std::numeric_limits<int32_t>::max()));
}

}  // namespace

QByteArray TableDateTrailer(const QString& date)
{
    return DatePrefix + date.toLatin1() + "\r\n";
}

bool IsTableDateLine(const QByteArray& line)
{
    return !trailerDate(line + "\r\n").isEmpty();
}

bool OlderTableDate(const QString& date, const QString& installed)
{
    return !installed.isEmpty() && date < installed;
}

QString TableFileDate(const QString& path)
{
    QFile f;
    QString reason;
    if (!OpenReadFile(f, path, ReadKind::Table, reason) || f.size() < TableDateSize ||
        !f.seek(f.size() - TableDateSize))
        return {};
    return trailerDate(f.read(TableDateSize));
}

QString CheckTaxTableKyuyo(const TTaxTableKyuyo& t)
{
    const int n = t.RowCount;
    if (n < MinKyuyoRows || n > MaxKyuyoRows)
        return QStringLiteral("行数 %1 が %2..%3 の範囲にありません")
            .arg(n)
            .arg(MinKyuyoRows)
            .arg(MaxKyuyoRows);
    for (int i = 1; i <= n; ++i) {
        if (t.Rows[i].Ijou >= t.Rows[i].Miman) return rowProblem(i);
        if (i > 1 && t.Rows[i].Ijou < t.Rows[i - 1].Miman) return rowProblem(i);
    }
    for (int k = 0; k <= 7; ++k)
        if (!isFraction(t.KouRitu[k])) return QStringLiteral("甲欄の税率が不正です");
    if (!isFraction(t.OtsuRitu0) || !isFraction(t.OtsuRitu[1]) || !isFraction(t.OtsuRitu[2]))
        return QStringLiteral("乙欄の税率が不正です");
    if (t.KouFuyoKoujo < 0 || t.OtsuFuyoKoujo < 0) return QStringLiteral("扶養親族等の控除額が不正です");
    return {};
}

QString CheckTaxTableSyoyo(const TTaxTableSyoyo& t)
{
    const int m = t.KouCount;
    const int k = t.OtsuCount;
    if (m < 1 || m > MaxKouRows)
        return QStringLiteral("甲欄の行数 %1 が 1..%2 の範囲にありません").arg(m).arg(MaxKouRows);
    if (k < 1 || k > MaxOtsuRows)
        return QStringLiteral("乙欄の行数 %1 が 1..%2 の範囲にありません").arg(k).arg(MaxOtsuRows);
    for (int i = 1; i <= m; ++i)
        if (!isFraction(t.KouRows[i].Ritu)) return QStringLiteral("甲欄%1行目の税率が不正です").arg(i);
    for (int i = 1; i <= k; ++i)
        if (!isFraction(t.OtsuRows[i].Ritu)) return QStringLiteral("乙欄%1行目の税率が不正です").arg(i);
    // The last row of each part is the catch-all whose ranges are never searched.
    for (int d = 0; d <= 7; ++d) {
        for (int i = 1; i < m; ++i) {
            const TSyoyoRange& r = t.KouRows[i].Han[d];
            if (r.Ijou >= r.Miman || (i > 1 && r.Ijou < t.KouRows[i - 1].Han[d].Miman))
                return QStringLiteral("甲欄%1行目（扶養%2人）の金額の範囲が昇順ではありません").arg(i).arg(d);
        }
    }
    for (int i = 2; i < k; ++i)
        if (t.OtsuRows[i].Miman <= t.OtsuRows[i - 1].Miman)
            return QStringLiteral("乙欄%1行目の金額が昇順ではありません").arg(i);
    return {};
}

QString CheckKenhoTable(const TKenhoGradeTable& t)
{
    const int g = t[0].Ijou;
    if (g < 1 || g > MaxGrades)
        return QStringLiteral("等級数 %1 が 1..%2 の範囲にありません").arg(g).arg(MaxGrades);
    const int lo = t[0].Miman;
    const int hi = t[0].Hyojun;
    if (lo < 1 || lo > hi || hi > g)
        return QStringLiteral("厚生年金の等級 %1..%2 が 1..%3 の範囲にありません").arg(lo).arg(hi).arg(g);
    for (int i = 1; i <= g; ++i) {
        const TKenhoGrade& r = t[i];
        if (r.Ijou >= r.Miman || r.Hyojun <= 0 ||
            (i > 1 && (r.Ijou < t[i - 1].Miman || r.Hyojun <= t[i - 1].Hyojun)))
            return QStringLiteral("%1等級の金額が昇順ではありません").arg(i);
    }
    return {};
}

void ClearTableFiles()
{
    std::memset(static_cast<void*>(&TaxTableKyuyo), 0, sizeof TaxTableKyuyo);
    std::memset(static_cast<void*>(&TaxTableSyoyo), 0, sizeof TaxTableSyoyo);
    std::memset(static_cast<void*>(&KenhoTable), 0, sizeof KenhoTable);
    TaxTableKyuyoFile.clear();
    TaxTableSyoyoFile.clear();
    KenhoTableFile.clear();
    TableFileCount = 0;
    TableFileProblems.clear();
}

TTableFiles ReadTableFiles(const QString& folder)
{
    TTableFiles t;
    loadOne(folder, TaxTableKyuyoName, t.kyuyo, &CheckTaxTableKyuyo, t);
    loadOne(folder, TaxTableSyoyoName, t.syoyo, &CheckTaxTableSyoyo, t);
    loadOne(folder, KenhoTableName, t.kenho, &CheckKenhoTable, t);
    return t;
}

void LoadTableFiles()
{
    ClearTableFiles();
    const TTableFiles t = ReadTableFiles(TablePath);
    std::memcpy(static_cast<void*>(&TaxTableKyuyo), &t.kyuyo, sizeof TaxTableKyuyo);
    std::memcpy(static_cast<void*>(&TaxTableSyoyo), &t.syoyo, sizeof TaxTableSyoyo);
    std::memcpy(static_cast<void*>(&KenhoTable), &t.kenho, sizeof KenhoTable);
    TaxTableKyuyoFile = TablePath + TaxTableKyuyoName;
    TaxTableSyoyoFile = TablePath + TaxTableSyoyoName;
    KenhoTableFile = TablePath + KenhoTableName;
    TableFileCount = t.count;
    TableFileProblems = t.problems;
}

int32_t CalcGensenZei(int32_t Taxable, int32_t Column, int32_t Dependants)
{
    // The table in memory decides, not the file: a file removed or replaced while the program
    // runs changes nothing until the next start. A table that was not loaded is zero and fails
    // this test, which also keeps every row index below inside the array.
    const TTaxTableKyuyo& t = TaxTableKyuyo;
    const int n = t.RowCount;
    if (n < MinKyuyoRows || n > MaxKyuyoRows) return 0;

    const int64_t deps = std::max<int32_t>(Dependants, 0);
    const int d = static_cast<int>(std::min<int64_t>(deps, 7));
    const int32_t a = Taxable;
    auto threshold = [&](int k) { return t.Rows[n - 7 + k].Ijou; };

    int64_t tax = 0;
    if (Column == 0) {
        if (a < t.Rows[1].Ijou) {
            tax = 0;
        } else if (a > threshold(7)) {
            tax = ratePart(t.KouRitu[7], a, threshold(7)) + t.Rows[n].Kou[d];
        } else {
            int bracket = -1;
            for (int k = 0; k <= 6; ++k)
                if (threshold(k) < a && a < threshold(k + 1)) bracket = k;
            if (bracket >= 0) {
                tax = ratePart(t.KouRitu[bracket], a, threshold(bracket)) + t.Rows[n - 7 + bracket].Kou[d];
            } else if (const TTaxRow* row = findRow(t, a)) {
                tax = row->Kou[d];
            }
        }
        if (deps > 7) tax -= (deps - 7) * t.KouFuyoKoujo;
    } else {
        // 乙 has two brackets only, from T0 and from T3.
        if (a < t.Rows[1].Ijou) {
            tax = Column == 1 ? MulRound3(t.OtsuRitu0, a) : 0;
        } else if (threshold(0) < a && a < threshold(3)) {
            tax = ratePart(t.OtsuRitu[1], a, threshold(0)) + t.Rows[n - 7].Otsu;
        } else if (a > threshold(3)) {
            tax = ratePart(t.OtsuRitu[2], a, threshold(3)) + t.Rows[n - 4].Otsu;
        } else if (const TTaxRow* row = findRow(t, a)) {
            tax = row->Otsu;
        }
        tax -= deps * t.OtsuFuyoKoujo;
    }
    return clampTax(tax);
}

int32_t CalcSyoyoZei(int32_t PrevPay, int32_t Bonus, int32_t Column, int32_t Dependants, double& Rate)
{
    const TTaxTableSyoyo& t = TaxTableSyoyo;
    const int m = t.KouCount;
    const int k = t.OtsuCount;
    if (m < 1 || m > MaxKouRows || k < 1 || k > MaxOtsuRows) return 0;

    double rate;
    if (Column == 0) {
        // Seven or more dependants share the last range column; there is no further reduction.
        const int d = std::clamp<int32_t>(Dependants, 0, 7);
        rate = t.KouRows[m].Ritu;
        for (int i = 1; i < m; ++i) {
            const TSyoyoRange& r = t.KouRows[i].Han[d];
            if (r.Ijou <= PrevPay && PrevPay < r.Miman) {
                rate = t.KouRows[i].Ritu;
                break;
            }
        }
    } else {
        rate = t.OtsuRows[k].Ritu;
        for (int i = 1; i < k; ++i) {
            if (PrevPay < t.OtsuRows[i].Miman) {
                rate = t.OtsuRows[i].Ritu;
                break;
            }
        }
    }
    Rate = rate;
    // A bonus below zero after social insurance gives no tax rather than a refund.
    return clampTax(MulRound3(rate, Bonus));
}
