// Unpacking the largest cloud backup of a 90-employee installation: ten company data sets, each
// with a year file of all fifteen periods filled with 90 calculated employees, packed as the cloud
// backup packs them. Time per unpacking, and the peak resident memory while unpacking (reset
// before the runs), next to the archive's and the unpacked sizes.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/core/recalc.h"
#include "bench/benchutil.h"
#include "payroll/datamanage.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/yearfile.h"
#include "platform/atomicfile.h"
#include "services/zip.h"

namespace {

constexpr int kCompanies = 10;

// The process's resident memory: now, or its peak since the last reset (in KiB).
long statusKiB(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field)) return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    return -1;
}
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

struct Backup {
    QTemporaryDir dir;
    QString archive;
    qint64 unpacked = 0;
    Backup()
    {
        // One year of fifteen calculated periods, saved as the program saves them.
        OpenBenchPeriod(dir, 1);
        CalcAllMember(false);
        for (int p = 1; p <= PeriodCount; ++p) {
            CurPeriod.Period = p;
            WritePeriod();
        }
        const QString year = CurPeriod.FileName;
        const QString root = dir.path() + QStringLiteral("/root/");
        DataRoot = root;
        SysIniFileName = IniFileName = root + QStringLiteral("Tolvane.ini");
        QByteArray corpList = "[CorpData]\r\nCount=" + QByteArray::number(kCompanies) + "\r\n";
        for (int i = 0; i < kCompanies; ++i) {
            const QString set = SetDataFolder(root, i);
            MakePrivateFolder(set);
            QFile::copy(year, set + QFileInfo(year).fileName());
            if (i > 0)
                WriteFileAtomic(root + QStringLiteral("Tolvane_%1.ini").arg(QChar(u'a' + i - 1)),
                                "[Option]\r\n", {});
        }
        WriteFileAtomic(SysIniFileName, corpList, {});
        const QString folder = dir.path() + QStringLiteral("/Pelmora_Temp");
        if (!BackupToFolder(folder).ok) throw std::runtime_error("backup failed");
        archive = dir.path() + QStringLiteral("/KEY.zip");
        if (ZipFolder(archive, folder, QStringLiteral("秘密pw")) != kZipOk)
            throw std::runtime_error("zip failed");
        for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files)) unpacked += f.size();
        for (const QFileInfo& d : QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            for (const QFileInfo& f : QDir(d.filePath()).entryInfoList(QDir::Files)) unpacked += f.size();
    }
};

void BM_UnzipLargestBackup(benchmark::State& state)
{
    static Backup backup;
    QTemporaryDir target(backup.dir.path() + QStringLiteral("/unpack-XXXXXX"));
    const long before = statusKiB("VmRSS:");
    resetPeak();
    int n = 0;
    for (auto _ : state) {
        const QString into = target.path() + QStringLiteral("/%1").arg(++n);
        if (UnzipFile(backup.archive, into, QStringLiteral("秘密pw")) != kZipOk)
            state.SkipWithError("unzip failed");
        state.PauseTiming();
        QDir(into).removeRecursively();
        state.ResumeTiming();
    }
    const long peak = statusKiB("VmHWM:");
    state.counters["archive_MiB"] = double(QFileInfo(backup.archive).size()) / (1 << 20);
    state.counters["unpacked_MiB"] = double(backup.unpacked) / (1 << 20);
    state.counters["rss_before_MiB"] = double(before) / 1024;
    state.counters["peak_rss_MiB"] = double(peak) / 1024;
    state.counters["peak_growth_MiB"] = double(peak - before) / 1024;
}
BENCHMARK(BM_UnzipLargestBackup)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
