// Helpers shared by the tests.
#include "tests/testutil.h"

#include <QDeadlineTimer>
#include <QTimer>

#include "payroll/corpinfo.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/taxtable.h"
#include "payroll/yearfile.h"

void CoreTest::SetUp()
{
    ASSERT_TRUE(tmp_.isValid());
    ResetGlobals();
}

void CoreTest::TearDown()
{
    ResetGlobals();
}

void CoreTest::useDataFolder()
{
    DataPath = dir();
    IniFileName = dir() + QStringLiteral("Tolvane.ini");
}

void CoreTest::loadBuiltTables()
{
    TablePath = BuiltTables();
    LoadTableFiles();
    ASSERT_EQ(TableFileCount, 3) << TableFileProblems.join(QLatin1Char('\n'));
    ASSERT_EQ(KenhoGradeCount(), 50);
}

void TablesTest::SetUp()
{
    CoreTest::SetUp();
    loadBuiltTables();
}

void PeriodTest::SetUp()
{
    TablesTest::SetUp();
    useDataFolder();
    CurEra = {QStringLiteral("令和"), QStringLiteral("08")};
    CurPeriod.EraText = CurEra.EraText;
    CurPeriod.EraYear = 8;
    CurPeriod.FileName = YearFileName(dir(), CurPeriod.EraText, 8);
    CreateYearFile(CurPeriod.FileName);
}

void PeriodTest::loadPeriod(int p)
{
    CurPeriod.Period = p;
    LoadPeriod(CurPeriod.FileName, p);
    company();
}

void PeriodTest::openPeriod(int p)
{
    loadPeriod(p);
    LoadHasuu(p);
    if (p <= 12)
        LoadKyuyoItemSetting(true);
    else
        LoadSyoyoItemSetting(true);
}

void PeriodTest::openMonth(int m)
{
    ASSERT_LE(m, 12);
    openPeriod(m);
}

void PeriodTest::openBonus(int p, int month, int day)
{
    ASSERT_GT(p, 12);
    openPeriod(p);
    YearHeader.SyoyoMonth[p - 12] = month;
    YearHeader.SyoyoDay[p - 12] = day;
}

void PeriodTest::company()
{
    CorpRec.Syamei.setText(QStringLiteral("テスト株式会社"));
    CorpRec.Nissu = 21;
    CorpRec.Jikan = 168;
    rates2026();
}

void PeriodTest::rates2026()
{
    CorpRec.KoyRitu = 0.5;
    CorpRec.KenRitu = 4.955;
    CorpRec.KaiRitu = 0.795;
    CorpRec.NenRitu = 9.15;
}

void PeriodTest::slipCompany()
{
    CorpRec.Syamei.setText(QStringLiteral("トルヴァーネ商事株式会社"));
    CorpRec.Sikyubi = 25;
    rates2026();
}

TEmployeeRec& PeriodTest::employee(int e, const QByteArray& key)
{
    TEmployeeRec& E = SyainRec[e];
    E.Simei.setText(QStringLiteral("社員"));
    E.MembKey.setBytes(key.isEmpty() ? "260401_0900" + QByteArray::number(e).rightJustified(2, '0') : key);
    E.Keitai = 1;
    E.Zeigaku = 0;
    E.Sinzoku = 1;
    E.Kenkou = E.NenHoken = E.Koyou = 1;
    return E;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QString TestData(const QString& name)
{
    return QStringLiteral(TEST_DATA_DIR "/") + name;
}

QString BuiltTables()
{
    return QStringLiteral(TABLE_BUILD_DIR);
}

void WhenShown(std::function<QWidget*()> window, std::function<void()> act, int timeoutMs)
{
    auto* timer = new QTimer;
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, [timer, window, act, deadline] {
        QWidget* w = window();
        const bool shown = w && w->isVisible();
        if (!shown && !deadline.hasExpired()) return;
        timer->stop();
        timer->deleteLater();
        if (shown) act();
    });
    timer->start(10);
}
