// The employee master behind "社員情報の編集" without widgets: the table of the window's fields
// over TEmployeeRec, the checks of OK, new employees' slots, keys and serial numbers, the template
// for new employees and the stepping between employees.
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "payroll/fieldtable.h"
#include "payroll/records.h"

// The fields of "社員情報の編集" in tab order (down each column): the window builds its controls
// from them and copies a record to them and back; the list edit grid can take its rows from them.
// The retirement date is the check box cbTaisyo with the edits edTaiYY, edTaiMM and edTaiDD; a
// date left as shown keeps the bytes the record holds. A commuting rule the list cannot show
// (3..11) stays when no item is selected. The grade comes from the grade picker, not a field.
using TMemberField = TFieldDesc<TEmployeeRec>;
const std::vector<TMemberField>& MemberFields();

// A category index of 1 or more takes its name from the list, over the stored text.
void TakeKubunItemName(TEmployeeRec& rec);
// The fields written back into rec. The reserved areas are zeroed except their last three bytes;
// key, serial number and grade stay. ConvertError for a number field that is not a number or an
// individual number that is not 12 digits.
void FormToMember(const TFieldValues& f, TEmployeeRec& rec);
// The same for a record that may never have been saved (an empty key makes it a zeroed record
// stamped with NewMembKey() first), with the grade of the grade picker.
void GetMemberFromForm(const TFieldValues& f, int grade, TEmployeeRec& rec);
// The creation stamp of Now(): "yymmdd_hhnnss".
QByteArray NewMembKey();

// The individual number of a 12-digit text as a 64-bit number; nothing for anything else.
std::optional<int64_t> StrToMyNumber(const QString& text);
// Which field refuses OK (none: null), and why.
struct TMembFormError {
    const char* field = nullptr;
    QString message;
};
TMembFormError CheckMemberForm(const TFieldValues& f);

// The first slot whose key is empty, 0 when all 90 are used.
int FirstFreeSlot();
// Stores a new employee in the first free slot, with the next serial number once serial numbers
// are in use, and primes his attendance row in a month. Returns the slot, 0 when all slots are
// used (nothing changed).
int AddNewMember(const TEmployeeRec& rec);
constexpr const char* MembersFullMessage = "社員の登録数が上限の90人に達しているため、新規登録できません。";

// The new-employee template in the data folder.
QString MemberTemplateFile();
// A new employee before anything is entered: 一般社員, monthly pay, commuting allowance every month.
TEmployeeRec NewMemberDefaults();
// The defaults replaced by the template (during first-run setup by the shipped sample when there
// is no template). The template never gives a key, an individual number or a retirement date.
// IoError when a template exists but cannot be read whole.
TEmployeeRec NewMemberFromBase(bool firstRun);
// The record written as the template: the fields without name, key, address, retirement date,
// grade and individual number.
TEmployeeRec MemberTemplate(const TFieldValues& f);
// Write and remove the template file; IoError on failure.
void SaveMemberTemplate(const TFieldValues& f);
void DeleteMemberTemplate();

// Stepping from slot by dir (-1 back, 1 on): by serial number once serial numbers are in use,
// else by slot. Returns slot itself when there is no such employee.
int StepSlot(int slot, int dir);
struct TStepButtons {
    bool back = false, next = false;
};
TStepButtons StepButtons(int slot, bool viewOnly);
