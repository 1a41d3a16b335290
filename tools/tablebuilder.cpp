// The table builder's work: reading the published CSV tables, fitting them to the fixed records
// and writing the files.
#include "tools/tablebuilder.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/atomicfile.h"
#include "platform/cp932.h"
#include "platform/errors.h"

namespace tablebuilder {

const QString MonthlyCsv = QStringLiteral("withholding-monthly-2026.csv");
const QString BonusCsv = QStringLiteral("withholding-bonus-2026.csv");
const QString HealthCsv = QStringLiteral("health-grades.csv");
const QString PensionCsv = QStringLiteral("pension-grades.csv");
const QString HealthRatesCsv = QStringLiteral("health-rates-2026.csv");
const QString DatesCsv = QStringLiteral("published-dates.csv");

namespace {

constexpr int KyuyoRowsMax = 260;
constexpr int KouRowsMax = 24;
constexpr int OtsuRowsMax = 10;
constexpr int GradesMax = 80;
constexpr int Brackets = 8;
constexpr int Prefectures = 47;
constexpr int LabelBytes = 10;

// A CSV file of the published tables: a header line of column names, then plain comma-separated
// values (the files carry no quoting).
class Csv {
  public:
    Csv(const QString& path, const QStringList& columns) : name_(QFileInfo(path).fileName())
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw IoError::failed(QStringLiteral("読み込み"), path, FileReadReason(f));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
        int lineNo = 0;
        QHash<QString, int> index;
        for (QString line : lines) {
            ++lineNo;
            line = line.trimmed();
            if (line.isEmpty()) continue;
            QStringList cells = line.split(QLatin1Char(','));
            for (QString& c : cells) c = c.trimmed();
            if (index.isEmpty()) {
                for (int i = 0; i < cells.size(); ++i) index.insert(cells[i], i);
                for (const QString& c : columns)
                    if (!index.contains(c)) fail(lineNo, QStringLiteral("column \"%1\" is missing").arg(c));
                for (const QString& c : columns) cols_ << index.value(c);
                continue;
            }
            if (cells.size() != index.size()) fail(lineNo, QStringLiteral("wrong number of cells"));
            QStringList picked;
            for (int c : cols_) picked << cells[c];
            rows_ << picked;
            lines_ << lineNo;
        }
        if (rows_.isEmpty()) fail(lineNo, QStringLiteral("no rows"));
    }

    int size() const { return rows_.size(); }
    int line(int row) const { return lines_[row]; }
    // The cell of the column given at position col of the constructor's list.
    const QString& text(int row, int col) const { return rows_[row][col]; }
    bool empty(int row, int col) const { return text(row, col).isEmpty(); }

    int32_t integer(int row, int col) const
    {
        bool ok = false;
        const int32_t v = text(row, col).toInt(&ok);
        if (!ok) fail(line(row), QStringLiteral("\"%1\" is not a whole number").arg(text(row, col)));
        return v;
    }
    // An upper bound; the empty cell of the last row means none.
    int32_t bound(int row, int col) const { return empty(row, col) ? NoUpperBound : integer(row, col); }
    double rate(int row, int col) const
    {
        rateUnits(row, col);  // rejects anything but a plain decimal fraction
        return text(row, col).toDouble();
    }
    // The rate as an exact count of 1e-7 units, so that taxes worked out here are free of binary
    // fractions.
    int64_t rateUnits(int row, int col) const
    {
        const QString& t = text(row, col);
        const QStringList parts = t.split(QLatin1Char('.'));
        bool ok1 = false, ok2 = true;
        const int64_t whole = parts[0].toLongLong(&ok1);
        QString frac = parts.size() > 1 ? parts[1] : QString();
        if (parts.size() > 2 || frac.size() > 7 || t.startsWith(QLatin1Char('-'))) ok1 = false;
        frac = frac.leftJustified(7, QLatin1Char('0'));
        const int64_t f = frac.toLongLong(&ok2);
        if (!ok1 || !ok2) fail(line(row), QStringLiteral("\"%1\" is not a rate").arg(t));
        return whole * 10000000 + f;
    }

    [[noreturn]] void fail(int lineNo, const QString& what) const
    {
        throw AppError(QStringLiteral("%1 line %2: %3").arg(name_).arg(lineNo).arg(what));
    }

  private:
    QString name_;
    QList<int> cols_;
    QList<QStringList> rows_;
    QList<int> lines_;
};

// Rate times amount in whole yen, fractions of a yen dropped as the withholding rules do.
int64_t rateTimes(int64_t units, int64_t amount)
{
    return units * amount / 10000000;
}

// A run of rows that must continue each other: from 0, each lower bound the previous upper bound,
// only the last one open above.
void checkBands(const Csv& csv, const QList<int>& rows, int fromCol, int toCol)
{
    for (int i = 0; i < rows.size(); ++i) {
        const int r = rows[i];
        const bool last = i == rows.size() - 1;
        if (i == 0 && csv.integer(r, fromCol) != 0)
            csv.fail(csv.line(r), QStringLiteral("the first band must start at 0"));
        if (i > 0 && csv.integer(r, fromCol) != csv.integer(rows[i - 1], toCol))
            csv.fail(csv.line(r), QStringLiteral("the band does not continue the one before"));
        if (last != csv.empty(r, toCol))
            csv.fail(csv.line(r), last ? QStringLiteral("the last band must be open above")
                                       : QStringLiteral("only the last band may be open above"));
        if (!last && csv.integer(r, toCol) <= csv.integer(r, fromCol))
            csv.fail(csv.line(r), QStringLiteral("the band is empty"));
    }
}

QList<int> allRows(const Csv& csv)
{
    QList<int> rows;
    for (int i = 0; i < csv.size(); ++i) rows << i;
    return rows;
}

void mustPass(const QString& name, const QString& problem)
{
    if (!problem.isEmpty()) throw AppError(name + QStringLiteral(": ") + problem);
}

// The full prefecture name the list shows ("神奈川" gives "神奈川県").
QString fullPrefecture(const QString& name)
{
    static const QStringList complete = {QStringLiteral("北海道"), QStringLiteral("東京都"),
                                         QStringLiteral("京都府"), QStringLiteral("大阪府")};
    if (complete.contains(name) || name.endsWith(QStringLiteral("県"))) return name;
    if (name == QStringLiteral("東京")) return name + QStringLiteral("都");
    if (name == QStringLiteral("京都") || name == QStringLiteral("大阪")) return name + QStringLiteral("府");
    return name + QStringLiteral("県");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    WriteFileAtomic(path, bytes, QStringLiteral("書き込み"));
}

template <typename T>
QByteArray image(const T& rec)
{
    return QByteArray(reinterpret_cast<const char*>(&rec), sizeof rec);
}

}  // namespace

TTaxTableKyuyo BuildTaxTableKyuyo(const QString& monthlyCsv)
{
    enum { Ijou, Miman, Kou0, Otsu = Kou0 + 8, KouRate, OtsuRate };
    const Csv csv(monthlyCsv, {"ijou", "miman", "kou0", "kou1", "kou2", "kou3", "kou4", "kou5", "kou6",
                               "kou7", "otsu", "kou_rate_over", "otsu_rate_over"});
    checkBands(csv, allRows(csv), Ijou, Miman);

    TTaxTableKyuyo t;
    std::memset(static_cast<void*>(&t), 0, sizeof t);

    // The first published row is the untaxed band below the table: it is not stored, but its 乙
    // rate applies to the whole amount there.
    for (int d = 0; d <= 7; ++d)
        if (csv.integer(0, Kou0 + d) != 0)
            csv.fail(csv.line(0), QStringLiteral("甲 must be 0 below the table"));
    if (csv.empty(0, OtsuRate))
        csv.fail(csv.line(0), QStringLiteral("the 乙 rate below the table is missing"));
    t.OtsuRitu0 = csv.rate(0, OtsuRate);

    // Rows with a 甲 rate are the thresholds above the table; they close the file.
    QList<int> regular, brackets;
    for (int r = 1; r < csv.size(); ++r) {
        if (!csv.empty(r, KouRate)) {
            brackets << r;
        } else {
            if (!brackets.isEmpty())
                csv.fail(csv.line(r), QStringLiteral("a row without 甲 rate among the brackets"));
            if (!csv.empty(r, OtsuRate))
                csv.fail(csv.line(r), QStringLiteral("a 乙 rate outside the brackets"));
            regular << r;
        }
    }
    if (brackets.size() > Brackets) {
        int merged = -1;
        for (int i = 1; i < brackets.size(); ++i)
            if (csv.integer(brackets[i], Ijou) == MergedThreshold) merged = i;
        if (merged < 0)
            throw AppError(QStringLiteral("%1: more than eight thresholds and none at %2")
                               .arg(MonthlyCsv)
                               .arg(MergedThreshold));
        const int r = brackets[merged];
        if (csv.rateUnits(r, KouRate) != csv.rateUnits(brackets[merged - 1], KouRate) ||
            !csv.empty(r, OtsuRate))
            csv.fail(csv.line(r),
                     QStringLiteral("this threshold cannot be merged into the one below: its rates differ"));
        brackets.removeAt(merged);
    }
    if (brackets.size() != Brackets)
        throw AppError(QStringLiteral("%1: %2 thresholds above the table, the file holds %3")
                           .arg(MonthlyCsv)
                           .arg(brackets.size())
                           .arg(Brackets));
    // 乙 changes its rate at the first and at the fourth threshold only.
    for (int j = 0; j < Brackets; ++j)
        if (csv.empty(brackets[j], OtsuRate) != (j != 0 && j != 3))
            csv.fail(csv.line(brackets[j]),
                     QStringLiteral("乙 rates must start at the first and the fourth threshold"));
    if (regular.size() + Brackets > KyuyoRowsMax)
        throw AppError(QStringLiteral("%1: %2 rows, the file holds %3")
                           .arg(MonthlyCsv)
                           .arg(regular.size() + Brackets)
                           .arg(KyuyoRowsMax));

    int n = 0;
    for (int r : regular) {
        TTaxRow& row = t.Rows[++n];
        row.Ijou = csv.integer(r, Ijou);
        row.Miman = csv.integer(r, Miman);
        for (int d = 0; d <= 7; ++d) row.Kou[d] = csv.integer(r, Kou0 + d);
        if (csv.empty(r, Otsu)) csv.fail(csv.line(r), QStringLiteral("the 乙 tax is missing"));
        row.Otsu = csv.integer(r, Otsu);
    }
    const int r0 = brackets[0];
    const int r3 = brackets[3];
    for (int j = 0; j < Brackets; ++j) {
        const int r = brackets[j];
        TTaxRow& row = t.Rows[++n];
        row.Ijou = csv.integer(r, Ijou);
        row.Miman = j + 1 < Brackets ? csv.integer(brackets[j + 1], Ijou) : NoUpperBound;
        for (int d = 0; d <= 7; ++d) row.Kou[d] = csv.integer(r, Kou0 + d);
        // The published 乙 column gives no tax at the thresholds where only 甲 changes its rate;
        // an amount equal to a threshold is looked up in its row, so the row carries what the
        // 乙 rule gives there.
        if (!csv.empty(r, Otsu)) {
            row.Otsu = csv.integer(r, Otsu);
        } else {
            const int base = j < 3 ? r0 : r3;
            if (csv.empty(base, Otsu)) csv.fail(csv.line(base), QStringLiteral("the 乙 tax is missing"));
            row.Otsu = static_cast<int32_t>(
                csv.integer(base, Otsu) +
                rateTimes(csv.rateUnits(base, OtsuRate), int64_t(row.Ijou) - csv.integer(base, Ijou)));
        }
        t.KouRitu.set(j, csv.rate(r, KouRate));
    }
    t.RowCount = n;
    t.OtsuRitu.set(1, csv.rate(r0, OtsuRate));
    t.OtsuRitu.set(2, csv.rate(r3, OtsuRate));
    t.KouFuyoKoujo = FuyoKoujo;
    t.OtsuFuyoKoujo = FuyoKoujo;
    mustPass(MonthlyCsv, CheckTaxTableKyuyo(t));
    return t;
}

TTaxTableSyoyo BuildTaxTableSyoyo(const QString& bonusCsv)
{
    enum { Column, Dependants, From, To, Rate };
    const Csv csv(bonusCsv, {"column", "dependants", "prev_pay_from", "prev_pay_to", "rate"});
    QList<int> kou[8];
    QList<int> otsu;
    for (int r = 0; r < csv.size(); ++r) {
        if (csv.text(r, Column) == QStringLiteral("kou")) {
            const int d = csv.integer(r, Dependants);
            if (d < 0 || d > 7) csv.fail(csv.line(r), QStringLiteral("dependants must be 0..7"));
            kou[d] << r;
        } else if (csv.text(r, Column) == QStringLiteral("otsu")) {
            otsu << r;
        } else {
            csv.fail(csv.line(r), QStringLiteral("column must be kou or otsu"));
        }
    }
    const int m = kou[0].size();
    if (m < 1 || m > KouRowsMax)
        throw AppError(
            QStringLiteral("%1: %2 甲 rows, the file holds 1..%3").arg(BonusCsv).arg(m).arg(KouRowsMax));
    if (otsu.size() < 1 || otsu.size() > OtsuRowsMax)
        throw AppError(QStringLiteral("%1: %2 乙 rows, the file holds 1..%3")
                           .arg(BonusCsv)
                           .arg(otsu.size())
                           .arg(OtsuRowsMax));

    TTaxTableSyoyo t;
    std::memset(static_cast<void*>(&t), 0, sizeof t);
    // One file row per rate: every dependants column must step through the same rates.
    for (int d = 0; d <= 7; ++d) {
        checkBands(csv, kou[d], From, To);
        if (kou[d].size() != m)
            throw AppError(QStringLiteral("%1: 甲 with %2 dependants has %3 rows, not %4")
                               .arg(BonusCsv)
                               .arg(d)
                               .arg(kou[d].size())
                               .arg(m));
        for (int i = 0; i < m; ++i) {
            const int r = kou[d][i];
            if (csv.rateUnits(r, Rate) != csv.rateUnits(kou[0][i], Rate))
                csv.fail(csv.line(r), QStringLiteral("the rate differs from the same row for 0 dependants"));
            t.KouRows[i + 1].Ritu = csv.rate(r, Rate);
            t.KouRows[i + 1].Han[d] = {csv.integer(r, From), csv.bound(r, To)};
        }
    }
    t.KouCount = m;
    checkBands(csv, otsu, From, To);
    for (int i = 0; i < otsu.size(); ++i) {
        t.OtsuRows[i + 1].Ritu = csv.rate(otsu[i], Rate);
        t.OtsuRows[i + 1].Miman = csv.bound(otsu[i], To);
    }
    t.OtsuCount = otsu.size();
    mustPass(BonusCsv, CheckTaxTableSyoyo(t));
    return t;
}

TKenhoGradeTable BuildKenhoTable(const QString& healthCsv, const QString& pensionCsv)
{
    enum { Grade, From, To, Standard };
    const QStringList cols = {"grade", "from", "to", "standard"};
    const Csv health(healthCsv, cols);
    const Csv pension(pensionCsv, cols);
    checkBands(health, allRows(health), From, To);
    for (const Csv* c : {&health, &pension})
        for (int r = 0; r < c->size(); ++r)
            if (c->integer(r, Grade) != r + 1)
                c->fail(c->line(r), QStringLiteral("grades must run 1, 2, 3, ..."));
    const int g = health.size();
    if (g > GradesMax)
        throw AppError(
            QStringLiteral("%1: %2 grades, the file holds %3").arg(HealthCsv).arg(g).arg(GradesMax));

    TKenhoGradeTable t;
    std::memset(static_cast<void*>(&t), 0, sizeof t);
    for (int r = 0; r < g; ++r)
        t[r + 1] = {health.integer(r, From), health.bound(r, To), health.integer(r, Standard)};

    // The pension grades are a run of the health grades; find where it starts by the standard
    // remuneration of the first pension grade, and make sure the rest follows.
    int lowest = 0;
    for (int h = 1; h <= g; ++h)
        if (t[h].Hyojun == pension.integer(0, Standard)) lowest = h;
    if (lowest == 0)
        pension.fail(pension.line(0), QStringLiteral("no health grade has this standard remuneration"));
    const int highest = lowest + pension.size() - 1;
    if (highest > g)
        throw AppError(QStringLiteral("%1: more pension grades than health grades above grade %2")
                           .arg(PensionCsv)
                           .arg(lowest));
    for (int k = 0; k < pension.size(); ++k)
        if (pension.integer(k, Standard) != t[lowest + k].Hyojun)
            pension.fail(
                pension.line(k),
                QStringLiteral("the standard remuneration differs from health grade %1").arg(lowest + k));
    t[0] = {g, lowest, highest};
    mustPass(HealthCsv, CheckKenhoTable(t));
    return t;
}

QByteArray BuildKenRituText(const QString& ratesCsv)
{
    enum { Code, Prefecture, Rate };
    const Csv csv(ratesCsv, {"code", "prefecture", "health_rate_percent"});
    if (csv.size() != Prefectures)
        throw AppError(QStringLiteral("%1: %2 prefectures, not %3")
                           .arg(HealthRatesCsv)
                           .arg(csv.size())
                           .arg(Prefectures));
    QByteArray out;
    for (int r = 0; r < csv.size(); ++r) {
        if (csv.integer(r, Code) != r + 1) csv.fail(csv.line(r), QStringLiteral("codes must run 1..47"));
        const QString name = fullPrefecture(csv.text(r, Prefecture));
        if (name.isEmpty() || cp932::byteLength(name) > LabelBytes)
            csv.fail(csv.line(r), QStringLiteral("the name must fit in %1 bytes").arg(LabelBytes));
        // Percent with two decimals; 1e-7 units make a hundredth 100,000 units.
        const int64_t units = csv.rateUnits(r, Rate);
        if (units % 100000 != 0 || units >= 1000000000)
            csv.fail(csv.line(r), QStringLiteral("the rate must be below 100 with two decimals at most"));
        const int64_t hundredths = units / 100000;
        const QString rate =
            QStringLiteral("%1.%2").arg(hundredths / 100).arg(hundredths % 100, 2, 10, QLatin1Char('0'));
        out += cp932::encode(cp932::padRight(name, LabelBytes) + rate.rightJustified(5) +
                             QStringLiteral("\r\n"));
    }
    return out;
}

QString PublishedDate(const QString& csvDir, const QString& csvName)
{
    enum { File, Published };
    const QString in = csvDir.endsWith(QLatin1Char('/')) ? csvDir : csvDir + QLatin1Char('/');
    const Csv csv(in + DatesCsv, {"csv", "published"});
    for (int r = 0; r < csv.size(); ++r) {
        if (csv.text(r, File) != csvName) continue;
        const QString date = csv.text(r, Published);
        if (!QDate::fromString(date, QStringLiteral("yyyy/MM/dd")).isValid())
            csv.fail(csv.line(r), QStringLiteral("\"%1\" is not a date yyyy/mm/dd").arg(date));
        return date;
    }
    throw AppError(QStringLiteral("%1: no date for %2").arg(DatesCsv, csvName));
}

void BuildTableFiles(const QString& csvDir, const QString& outDir)
{
    const QString in = csvDir.endsWith(QLatin1Char('/')) ? csvDir : csvDir + QLatin1Char('/');
    const QString out = outDir.endsWith(QLatin1Char('/')) ? outDir : outDir + QLatin1Char('/');
    const auto dated = [&in](const QString& csv) { return TableDateTrailer(PublishedDate(in, csv)); };
    // Everything is built before anything is written, so a bad CSV leaves the old files alone.
    const QByteArray kyuyo = image(BuildTaxTableKyuyo(in + MonthlyCsv)) + dated(MonthlyCsv);
    const QByteArray syoyo = image(BuildTaxTableSyoyo(in + BonusCsv)) + dated(BonusCsv);
    const QByteArray kenho = image(BuildKenhoTable(in + HealthCsv, in + PensionCsv)) +
                             std::max(dated(HealthCsv), dated(PensionCsv));
    const QByteArray ritu = BuildKenRituText(in + HealthRatesCsv) + dated(HealthRatesCsv);
    writeFile(out + TaxTableKyuyoName, kyuyo);
    writeFile(out + TaxTableSyoyoName, syoyo);
    writeFile(out + KenhoTableName, kenho);
    writeFile(out + KenRituName, ritu);
}

}  // namespace tablebuilder
