// Recalculation of every employee of a full 90-employee period, monthly and bonus.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "payroll/calc.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/taxtable.h"
#include "payroll/yearfile.h"

namespace {

void fillPeriod(QTemporaryDir& dir, int period)
{
    ResetGlobals();
    TablePath = QStringLiteral(TABLE_BUILD_DIR);
    LoadTableFiles();
    DataPath = dir.path() + QStringLiteral("/");
    IniFileName = DataPath + QStringLiteral("Tolvane01.ini");
    CurPeriod.EraText = QStringLiteral("令和");
    CurPeriod.EraYear = 8;
    CurPeriod.FileName = YearFileName(DataPath, CurPeriod.EraText, 8);
    CreateYearFile(CurPeriod.FileName);
    CurPeriod.Period = period;
    LoadPeriod(CurPeriod.FileName, period);
    if (period > 12) {
        YearHeader.SyoyoMonth[period - 12] = 7;
        LoadSyoyoItemSetting(true);
    } else {
        LoadKyuyoItemSetting(true);
    }
    CorpRec.KoyRitu = 0.5;
    CorpRec.KenRitu = 4.955;
    CorpRec.NenRitu = 9.15;
    for (int e = 1; e <= MaxEmployee; ++e) {
        TEmployeeRec& E = SyainRec[e];
        E.MembKey.setBytes(QByteArray("260401_0900") + QByteArray::number(e));
        E.Keitai = 1 + e % 3;
        E.Chingin[1] = E.Keitai == 1 ? 200000 + 1000 * e : 1000 + e;
        E.Chingin[2] = 1500;
        E.Kenkou = E.NenHoken = E.Koyou = 1;
        E.KenhoRyo = 14000;
        E.KoseiRyo = 27000;
        E.SikUnit = 2;
        E.Koutuhi[0] = 10000;
        E.Sinzoku = e % 4;
        KintaiRec[e].Kintai[kiSyukkin] = 20;
        KintaiRec[e].Kintai[kiJitudou] = 160;
        KintaiRec[e].Kintai[kiFutuZangyo] = 10.5;
        SikyuRec[e].Sikyu[siKihon] = period > 12 ? 500000 + e : 0;
    }
}

void BM_RecalcMonth90(benchmark::State& state)
{
    QTemporaryDir dir;
    fillPeriod(dir, 5);
    for (auto _ : state)
        for (int e = 1; e <= MaxEmployee; ++e) CalcKyuyo(e);
    benchmark::DoNotOptimize(KoujoRec[90].KoujoGoukei);
}
BENCHMARK(BM_RecalcMonth90)->Unit(benchmark::kMicrosecond);

// A bonus reads last month's record and the year's earlier bonuses from the file per employee.
void BM_RecalcBonus90(benchmark::State& state)
{
    QTemporaryDir dir;
    fillPeriod(dir, 13);
    for (auto _ : state)
        for (int e = 1; e <= MaxEmployee; ++e) benchmark::DoNotOptimize(CalcSyoyo(e));
}
BENCHMARK(BM_RecalcBonus90)->Unit(benchmark::kMicrosecond);

}  // namespace
