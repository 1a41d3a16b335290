// The set-up the benchmarks share.
#include "bench/benchutil.h"

#include <QTemporaryDir>

#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/taxtable.h"
#include "payroll/yearfile.h"

void OpenBenchYear(const QTemporaryDir& dir)
{
    ResetGlobals();
    DataPath = dir.path() + QStringLiteral("/");
    IniFileName = DataPath + QStringLiteral("Tolvane.ini");
    CurEra = {QStringLiteral("令和"), QStringLiteral("08")};
    CurPeriod.EraText = CurEra.EraText;
    CurPeriod.EraYear = 8;
    CurPeriod.FileName = YearFileName(DataPath, CurPeriod.EraText, 8);
    CreateYearFile(CurPeriod.FileName);
}

void OpenBenchPeriod(const QTemporaryDir& dir, int period)
{
    OpenBenchYear(dir);
    TablePath = QStringLiteral(TABLE_BUILD_DIR);
    LoadTableFiles();
    CurPeriod.Period = period;
    LoadPeriod(CurPeriod.FileName, period);
    const bool bonus = IsBonusPeriod(period);
    if (bonus) {
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
        E.Simei.setText(QStringLiteral("社員%1").arg(e));
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
        SikyuRec[e].Sikyu[siKihon] = bonus ? 500000 + e : 0;
    }
}
