// The help pages: their folder, the map of context numbers and the numbers of the windows.
#include "services/help.h"

#include <QFileInfo>
#include <QHash>

#include "payroll/paths.h"
#include "platform/errors.h"
#include "platform/inifile.h"

const QString HelpContentsPage = QStringLiteral("index.html");
const QString HelpIndexPage = QStringLiteral("keywords.html");

namespace {
const QString kMapFile = QStringLiteral("context.map");
}

QString HelpFolder()
{
    return TablePath + QStringLiteral("help/");
}

bool HelpFilesExist()
{
    return QFileInfo::exists(HelpFolder() + HelpContentsPage) && QFileInfo::exists(HelpFolder() + kMapFile);
}

int HelpContextOf(const QString& windowName)
{
    // The numbers below 600 are those the help was first written for; the windows that had none
    // take theirs from 600 on.
    static const QHash<QString, int> numbers = {
        {QStringLiteral("fmSelData"), 220},  {QStringLiteral("fmMain"), 230},
        {QStringLiteral("fmDataEdit"), 240}, {QStringLiteral("fmListInp"), 250},
        {QStringLiteral("fmInji"), 260},     {QStringLiteral("fmSendMail"), 270},
        {QStringLiteral("fmCorpInfo"), 310}, {QStringLiteral("fmMembEdit"), 320},
        {QStringLiteral("fmListEdit"), 330}, {QStringLiteral("fmOption"), 410},
        {QStringLiteral("fmCalc"), 410},     {QStringLiteral("fmPrnFormK"), 420},
        {QStringLiteral("fmPrnFormS"), 420}, {QStringLiteral("fmVersion"), 500},
        {QStringLiteral("fmSelFont"), 18},   {QStringLiteral("fmPreView"), 600},
        {QStringLiteral("fmRefData"), 610},  {QStringLiteral("fmKenhoHyo"), 620},
        {QStringLiteral("fmKenRitu"), 630},
    };
    return numbers.value(windowName, 0);
}

QString HelpPageOf(int context)
{
    if (context <= 0) return {};
    try {
        const IniFile map(HelpFolder() + kMapFile);
        const QString page = map.readString(QStringLiteral("Context"), QString::number(context));
        if (page.isEmpty() || page.contains(QLatin1Char('/'))) return {};
        const QString path = HelpFolder() + page;
        return QFileInfo::exists(path) ? path : QString();
    } catch (const AppError&) {
        return {};
    }
}
