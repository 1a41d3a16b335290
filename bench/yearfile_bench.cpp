// Load, save and compare of one period of a year data file.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include "bench/benchutil.h"
#include "payroll/period.h"
#include "payroll/yearfile.h"

namespace {

struct Fixture {
    QTemporaryDir dir;
    QString file;
    Fixture()
    {
        OpenBenchYear(dir);
        file = CurPeriod.FileName;
        CurPeriod.Period = 6;
        LoadPeriod(file, 6);
        for (int e = 1; e <= MaxEmployee; ++e) {
            SyainRec[e].Simei.setText(QStringLiteral("社員%1").arg(e));
            SyainRec[e].Chingin[1] = 200000 + e;
            KoujoRec[e].Koujo[koSyotoku] = 5000 + e;
        }
        WritePeriod();
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_LoadPeriod(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) LoadPeriod(f.file, 6);
}
BENCHMARK(BM_LoadPeriod);

// WritePeriod syncs the record and then the header to disk, so its time is mostly the disk's.
void BM_SavePeriod(benchmark::State& state)
{
    fixture();
    for (auto _ : state) WritePeriod();
}
BENCHMARK(BM_SavePeriod);

void BM_ComparePeriod(benchmark::State& state)
{
    fixture();
    for (auto _ : state) benchmark::DoNotOptimize(PeriodChanged());
}
BENCHMARK(BM_ComparePeriod);

}  // namespace

BENCHMARK_MAIN();
