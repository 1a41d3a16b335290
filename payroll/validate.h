// The checks a year file's header and period records pass before any of their values is shown
// or used: lengths within their caps, codes within their lists, finite numbers within the
// ranges the program itself can store. A damaged record is refused whole, naming the month,
// the employee and the field; nothing is repaired or written back.
#pragma once
#include <QString>
#include <QStringList>

#include "payroll/records.h"
#include "platform/errors.h"

struct TPeriodRecord;

// A year file whose bytes hold values no save of the program can have written.
class DamagedDataError : public IoError {
  public:
    using IoError::IoError;
};

// One line per damaged field of the header ("ファイルの先頭: ４月の保存済みの印 = 37"); empty
// when every field is sound.
QStringList CheckYearHeader(const TYearFileHeader& h);
// The same for the company block and the employees in use of period p (a free slot's bytes are
// never used, so they are not checked).
QStringList CheckCorpRec(int p, const TCorpRec& c);
QStringList CheckPeriodRecord(int p, const TPeriodRecord& rec);

// Throws DamagedDataError naming fileName and the first problems when problems is not empty.
void RefuseDamaged(const QString& fileName, const QStringList& problems);
