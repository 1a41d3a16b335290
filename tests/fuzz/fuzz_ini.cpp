// Fuzz target: a settings file read through the ini layer and into the settings record, then
// changed and written back to bytes as a save would.
#include "payroll/option.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "tests/fuzz/fuzzutil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ResetGlobals();
    DataPath = FuzzFolder();
    IniFileName = DataPath + QStringLiteral("Tolvane.ini");
    FuzzWrite(IniFileName, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    try {
        IniFile ini(IniFileName);
        for (const QString& section : ini.readSections())
            for (const QString& key : ini.readSection(section)) {
                ini.readString(section, key);
                ini.readInteger(section, key, 0);
                ini.writeQuoted(section, key, QStringLiteral(" 値 "));
            }
        ini.eraseSection(QStringLiteral("Print"));
        ini.writeInteger(QStringLiteral("Option"), QStringLiteral("TimeStyle"), 1);
        ini.bytes();
        LoadOption();
        LoadHasuu(1);   // a month
        LoadHasuu(13);  // a bonus
    } catch (const AppError&) {
    }
    return 0;
}
