// Fuzz target: the table files read at start and the rate list of the company window. Byte 0
// picks the file; the rest, repeated to the file's exact size (or as it is for the rate list),
// is its content. A table that loads is then looked up across its range.
#include "payroll/corpinfo.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/taxtable.h"
#include "tests/fuzz/fuzzutil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    ResetGlobals();
    TablePath = FuzzFolder();
    for (const QString& name : {TaxTableKyuyoName, TaxTableSyoyoName, KenhoTableName, KenRituName})
        QFile::remove(TablePath + name);
    const uint8_t* body = data + 1;
    const size_t n = size - 1;
    switch (data[0] % 4) {
        case 0:
            FuzzWrite(TablePath + TaxTableKyuyoName, Tiled(body, n, sizeof(TTaxTableKyuyo)));
            break;
        case 1:
            FuzzWrite(TablePath + TaxTableSyoyoName, Tiled(body, n, sizeof(TTaxTableSyoyo)));
            break;
        case 2:
            FuzzWrite(TablePath + KenhoTableName, Tiled(body, n, sizeof(TKenhoGradeTable)));
            break;
        default: {
            FuzzWrite(TablePath + KenRituName, QByteArray(reinterpret_cast<const char*>(body), qsizetype(n)));
            QStringList lines;
            QString problem;
            double rate = 0;
            if (ReadKenRituFile(lines, problem))
                for (const QString& line : lines) KenRituOfLine(line, rate);
            return 0;
        }
    }
    LoadTableFiles();
    double rate = 0;
    for (int32_t pay : {INT32_MIN, -1, 0, 1, 88000, 105000, 740000, 1710000, 2130000, 99999999, INT32_MAX})
        for (int column : {0, 1})
            for (int dependants : {-1, 0, 3, 7, 8, 100}) {
                CalcGensenZei(pay, column, dependants);
                CalcSyoyoZei(pay, 500000, column, dependants, rate);
            }
    return 0;
}
