// Recalculation of all 90 employees with the list-entry grids read back first, as the list-entry
// window does on every page change and close; and the filling of the grids from the records.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "app/core/listinp.h"
#include "app/core/recalc.h"
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/taxtable.h"
#include "payroll/yearfile.h"

namespace {

// A full period of 90 employees in serial order opposite to their slots, with both grids filled.
struct Period90 {
    QTemporaryDir dir;
    TListGrid h{TGridKind::Hendou};
    TListGrid k{TGridKind::Kotei};

    explicit Period90(int period)
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
        const bool bonus = period > 12;
        if (bonus) {
            YearHeader.SyoyoMonth[period - 12] = 7;
            LoadSyoyoItemSetting(true);
        } else {
            LoadKyuyoItemSetting(true);
        }
        CorpRec.Nissu = 21;
        CorpRec.Jikan = 168;
        CorpRec.KoyRitu = 0.5;
        CorpRec.KenRitu = 4.955;
        CorpRec.NenRitu = 9.15;
        for (int e = 1; e <= MaxEmployee; ++e) {
            TEmployeeRec& E = SyainRec[e];
            E.Simei.setText(QStringLiteral("社員%1").arg(e));
            E.MembKey.setBytes(QByteArray("260401_0900") + QByteArray::number(e));
            E.SeqNo = MaxEmployee + 1 - e;
            E.Keitai = 1 + e % 3;
            E.Chingin[1] = E.Keitai == 1 ? 200000 + 1000 * e : 1000 + e;
            E.Chingin[2] = 1500;
            E.Kenkou = E.NenHoken = E.Koyou = 1;
            E.KenhoRyo = 14000;
            E.KoseiRyo = 27000;
            E.SikUnit = 2;
            E.Koutuhi[0] = 10000;
            E.Sinzoku = e % 4;
            E.NoSyoto = bonus;  // no question about the bonus tax inside the loop
            KintaiRec[e].Kintai[kiSyukkin] = 20;
            KintaiRec[e].Kintai[kiJitudou] = 160;
            KintaiRec[e].Kintai[kiFutuZangyo] = 10.5;
            SikyuRec[e].Sikyu[siKihon] = bonus ? 500000 + e : 0;
        }
        fill();
    }
    ~Period90() { SetGridReader({}); }

    void fill()
    {
        const QList<int> order = ListColumnSlots();
        h.setColumns(order);
        k.setColumns(order);
        h.setRows(HendouRows(CurPeriod.Period > 12));
        k.setRows(KoteiRows());
    }
    void readFrom(const TListGrid& g)
    {
        SetGridReader([&g](int e, bool bonus) { ReadGridColumn(g, e, bonus); });
    }
};

void BM_CalcAllMemberMonthReadingVariableGrid(benchmark::State& state)
{
    Period90 p(5);
    p.readFrom(p.h);
    for (auto _ : state) CalcAllMember(true);
    benchmark::DoNotOptimize(KoujoRec[90].KoujoGoukei);
}
BENCHMARK(BM_CalcAllMemberMonthReadingVariableGrid)->Unit(benchmark::kMicrosecond);

void BM_CalcAllMemberMonthReadingFixedGrid(benchmark::State& state)
{
    Period90 p(5);
    p.readFrom(p.k);
    for (auto _ : state) CalcAllMember(true);
    benchmark::DoNotOptimize(KoujoRec[90].KoujoGoukei);
}
BENCHMARK(BM_CalcAllMemberMonthReadingFixedGrid)->Unit(benchmark::kMicrosecond);

// The same recalculation without the grids, for the share of the read-back.
void BM_CalcAllMemberMonthWithoutGrid(benchmark::State& state)
{
    Period90 p(5);
    for (auto _ : state) CalcAllMember(false);
    benchmark::DoNotOptimize(KoujoRec[90].KoujoGoukei);
}
BENCHMARK(BM_CalcAllMemberMonthWithoutGrid)->Unit(benchmark::kMicrosecond);

void BM_CalcAllMemberBonusReadingFixedGrid(benchmark::State& state)
{
    Period90 p(13);
    p.readFrom(p.k);
    for (auto _ : state) CalcAllMember(true);
    benchmark::DoNotOptimize(KoujoRec[90].KoujoGoukei);
}
BENCHMARK(BM_CalcAllMemberBonusReadingFixedGrid)->Unit(benchmark::kMicrosecond);

// Columns, rows and every cell text of both grids, as on each opening of the window.
void BM_FillBothGrids(benchmark::State& state)
{
    Period90 p(5);
    for (auto _ : state) p.fill();
    benchmark::DoNotOptimize(p.h.cell(90, 1));
}
BENCHMARK(BM_FillBothGrids)->Unit(benchmark::kMicrosecond);

}  // namespace
