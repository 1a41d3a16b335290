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
    explicit Fixture(const QString& folder = QDir::tempPath())
        : dir(folder + QStringLiteral("/pelbench-XXXXXX"))
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

// WritePeriod writes the whole year file anew, syncs it, renames it over the old one and syncs the
// folder. On a disk most of the time is the disk's (the syncs and the freeing of the old file's
// blocks); on a tmpfs, where a sync costs nothing, what is left is the program's own work.
void BM_SavePeriod(benchmark::State& state)
{
    static Fixture onDisk;
    static Fixture inMemory(QStringLiteral("/dev/shm"));
    Fixture& f = state.range(0) ? inMemory : onDisk;
    CurPeriod.FileName = f.file;
    for (auto _ : state) WritePeriod();
    state.SetLabel(state.range(0) ? "tmpfs" : "disk of the temporary folder");
}
BENCHMARK(BM_SavePeriod)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ComparePeriod(benchmark::State& state)
{
    fixture();
    for (auto _ : state) benchmark::DoNotOptimize(PeriodChanged());
}
BENCHMARK(BM_ComparePeriod);

}  // namespace

BENCHMARK_MAIN();
