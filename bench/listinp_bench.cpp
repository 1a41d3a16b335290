// Recalculation of all 90 employees with the list-entry grids read back first, as the list-entry
// window does on every page change and close; and the filling of the grids from the records.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "app/core/listinp.h"
#include "app/core/recalc.h"
#include "bench/benchutil.h"
#include "payroll/period.h"

namespace {

// A full period of 90 employees in serial order opposite to their slots, with both grids filled.
struct Period90 {
    QTemporaryDir dir;
    TListGrid h{TGridKind::Hendou};
    TListGrid k{TGridKind::Kotei};

    explicit Period90(int period)
    {
        OpenBenchPeriod(dir, period);
        CorpRec.Nissu = 21;
        CorpRec.Jikan = 168;
        for (int e = 1; e <= MaxEmployee; ++e) {
            SyainRec[e].SeqNo = MaxEmployee + 1 - e;
            SyainRec[e].NoSyoto = IsBonusPeriod(period);  // no question about the bonus tax inside the loop
        }
        fill();
    }
    ~Period90() { SetGridReader({}); }

    void fill()
    {
        const QList<int> order = ListColumnSlots();
        h.setColumns(order);
        k.setColumns(order);
        h.setRows(HendouRows(IsBonusPeriod(CurPeriod.Period)));
        k.setRows(KoteiRows());
    }
    void readFrom(const TListGrid& g)
    {
        SetGridReader([&g](int e, bool bonus) { ReadGridColumn(g, e, bonus); });
    }
};

// Everyone of the period recalculated, each column read back from the grid first when one is named;
// without a grid, for the share of the read-back.
void BM_CalcAllMember(benchmark::State& state, int period, TListGrid Period90::*grid)
{
    Period90 p(period);
    if (grid) p.readFrom(p.*grid);
    for (auto _ : state) CalcAllMember(grid != nullptr);
    benchmark::DoNotOptimize(KoujoRec[90].KoujoGoukei);
}
BENCHMARK_CAPTURE(BM_CalcAllMember, MonthReadingVariableGrid, 5, &Period90::h)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CalcAllMember, MonthReadingFixedGrid, 5, &Period90::k)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CalcAllMember, MonthWithoutGrid, 5, nullptr)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CalcAllMember, BonusReadingFixedGrid, 13, &Period90::k)->Unit(benchmark::kMicrosecond);

// Columns, rows and every cell text of both grids, as on each opening of the window.
void BM_FillBothGrids(benchmark::State& state)
{
    Period90 p(5);
    for (auto _ : state) p.fill();
    benchmark::DoNotOptimize(p.h.cell(90, 1));
}
BENCHMARK(BM_FillBothGrids)->Unit(benchmark::kMicrosecond);

}  // namespace
