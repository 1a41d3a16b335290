// The employee master behind "社員情報の編集" without widgets: the texts of the window's fields and
// their conversion to and from TEmployeeRec, the checks of OK, new employees' slots, keys and
// serial numbers, the template for new employees and the stepping between employees.
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "payroll/records.h"

// The items of the window's lists, index for index.
QStringList SexItems();      // "", 男, 女
QStringList SikUnitItems();  // 1日毎, 毎月 (commuting rule 1 and 2)

// The window's fields as its controls hold them: edit texts, list indexes (-1 = none selected)
// and check states.
struct TMembForm {
    QString Simei, Busyo;
    int Kubun = -1;     // shown index; on saving the index follows from KubunName
    QString KubunName;  // the category text
    int Keitai = -1;
    bool Otsu = false;  // 乙欄 checked
    int Sex = -1;
    bool Genkin = false;
    bool Taisyo = false;
    QString TaiYY, TaiMM, TaiDD;
    QString MailAdrs, Chouson;
    QString Fuyou, Sinzoku;
    Arr<QString, 1, 5> Chingin;
    QString Yakuin, Family;
    Arr<QString, 0, 1> Koutuhi;
    int SikUnit = -1;
    QString Juumin6, Juumin;
    Arr<QString, 1, 3> Teate;
    Arr<QString, 1, 3> Koujo;
    QString Yukyu, Kekkin, Chisou;
    bool Koyou = false, Kenkou = false, Kaigo = false, NenHoken = false, NenKikin = false, NoSyoto = false;
    QString KenhoRyo, KaigoRyo, KoseiRyo, Kakekin;
    QString MyNo;
    int Tokyu = 0;  // the grade picker's grade
};

// A category index of 1 or more takes its name from the list, over the stored text.
void TakeKubunItemName(TEmployeeRec& rec);
// The fields showing rec. slot is where rec was read from (1..90, its retirement date through
// ReadTaisyoku), below 1 for a new employee (no date).
TMembForm MemberToForm(const TEmployeeRec& rec, int slot);
// The fields written back into rec. A retirement date the user left as shown keeps the bytes
// stored in SyainRec[slot]; a commuting rule the list cannot show (3..11) stays when no item is
// selected. The reserved areas are zeroed except their last three bytes; key and serial number
// stay. ConvertError for a number field that is not a number or an individual number that is
// not 12 digits.
void FormToMember(const TMembForm& f, int slot, TEmployeeRec& rec);
// The same for a record that may never have been saved: an empty key makes it a zeroed record
// stamped with NewMembKey() first.
void GetMemberFromForm(const TMembForm& f, int slot, TEmployeeRec& rec);
// The creation stamp of Now(): "yymmdd_hhnnss".
QByteArray NewMembKey();

// The individual number of a 12-digit text as a 64-bit number; nothing for anything else.
std::optional<int64_t> StrToMyNumber(const QString& text);
// Which field refuses OK, and why.
struct TMembFormError {
    enum Field { None, Simei, MyNo } field = None;
    QString message;
};
TMembFormError CheckMemberForm(const TMembForm& f);

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
TEmployeeRec MemberTemplate(const TMembForm& f);
// Write and remove the template file; IoError on failure.
void SaveMemberTemplate(const TMembForm& f);
void DeleteMemberTemplate();

// Stepping from slot by dir (-1 back, 1 on): by serial number once serial numbers are in use,
// else by slot. Returns slot itself when there is no such employee.
int StepSlot(int slot, int dir);
struct TStepButtons {
    bool back = false, next = false;
};
TStepButtons StepButtons(int slot, bool viewOnly);

// text without the characters CP932 lacks.
QString DropNonCp932(const QString& text);
