// Recalculation of every employee of a full 90-employee period, monthly and bonus.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "app/core/recalc.h"
#include "bench/benchutil.h"
#include "payroll/calc.h"
#include "payroll/period.h"

namespace {

void BM_RecalcMonth90(benchmark::State& state)
{
    QTemporaryDir dir;
    OpenBenchPeriod(dir, 5);
    for (auto _ : state) CalcAllMember(false);
    benchmark::DoNotOptimize(KoujoRec[90].KoujoGoukei);
}
BENCHMARK(BM_RecalcMonth90)->Unit(benchmark::kMicrosecond);

// A bonus reads last month's record and the year's earlier bonuses from the file per employee.
void BM_RecalcBonus90(benchmark::State& state)
{
    QTemporaryDir dir;
    OpenBenchPeriod(dir, 13);
    for (auto _ : state) {
        TCalcItems items;  // as a recalculation of everyone resolves them
        for (int e = 1; e <= MaxEmployee; ++e) benchmark::DoNotOptimize(CalcSyoyo(e, items));
    }
}
BENCHMARK(BM_RecalcBonus90)->Unit(benchmark::kMicrosecond);

}  // namespace
