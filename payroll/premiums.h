// Monthly social-insurance premiums of an employee from his grade of the health-insurance grade
// table and the company's rates (employee's share, percent).
#pragma once
#include <cstdint>

#include "payroll/records.h"

struct TGradePremiums {
    int32_t KenhoRyo;  // health insurance
    int32_t KaigoRyo;  // nursing care: health and care rounded together, less health
    int32_t KoseiRyo;  // welfare pension, on the grade clamped into the pension grades
    int32_t Kakekin;   // pension fund, likewise
};

// The grade 1..G whose bounds hold the monthly pay, 0 when none does (or no table was loaded).
int32_t FindKenhoGrade(int32_t pay);
// The grade moved into the range of grades the welfare pension uses.
int32_t ClampPensionGrade(int32_t grade);
// Premiums of grade 1..G at the rates of corp; all zero for a grade outside the table.
TGradePremiums GradePremiums(int32_t grade, const TCorpRec& corp);
