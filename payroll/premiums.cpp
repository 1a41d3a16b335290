// Premiums from the grade table.
#include "payroll/premiums.h"

#include "payroll/common.h"
#include "payroll/taxtable.h"

namespace {
int32_t gradeCount()
{
    return KenhoTable[0].Ijou;
}
}  // namespace

int32_t FindKenhoGrade(int32_t pay)
{
    for (int g = 1; g <= gradeCount(); ++g)
        if (KenhoTable[g].Ijou <= pay && pay < KenhoTable[g].Miman) return g;
    return 0;
}

int32_t ClampPensionGrade(int32_t grade)
{
    if (grade < KenhoTable[0].Miman) grade = KenhoTable[0].Miman;
    if (grade > KenhoTable[0].Hyojun) grade = KenhoTable[0].Hyojun;
    return grade;
}

TGradePremiums GradePremiums(int32_t grade, const TCorpRec& corp)
{
    TGradePremiums r{0, 0, 0, 0};
    if (grade < 1 || grade > gradeCount()) return r;
    const double m = KenhoTable[grade].Hyojun;
    r.KenhoRyo = RoundShaho(corp.KenRitu / 100 * m);
    r.KaigoRyo = RoundShaho((corp.KenRitu + corp.KaiRitu) / 100 * m) - r.KenhoRyo;
    const double mp = KenhoTable[ClampPensionGrade(grade)].Hyojun;
    r.KoseiRyo = RoundShaho(corp.NenRitu / 100 * mp);
    r.Kakekin = RoundShaho(corp.KknRitu / 100 * mp);
    return r;
}
