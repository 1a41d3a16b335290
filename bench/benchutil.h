// The set-up the benchmarks share: an empty year file of 令和8 as the open year, and a period of
// it with every employee slot filled.
#pragma once

class QTemporaryDir;

// Resets the core and makes dir the data folder with an empty year file of 令和8, the open year.
void OpenBenchYear(const QTemporaryDir& dir);
// A new open year in dir (as OpenBenchYear), and its period p opened with the built tables and
// its slip's items (a bonus paid in July), the company at the 2026 rates, and all 90 slots filled
// with insured employees paid monthly, daily and hourly in turn, a month's attendance or a bonus
// entered.
void OpenBenchPeriod(const QTemporaryDir& dir, int period);
