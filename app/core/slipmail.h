// The work of the slip mail window without its widgets: the stored mail text, the subject and pay
// date it proposes, and one run that turns slips into JPEG files and saves or mails them.
#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include "platform/inifile.h"  // ReadStoredLines, WriteStoredLines

// The era and era year of the open period's slips: 令和1 from month 5 of 平成31.
struct TSlipEra {
    QString era;
    int year = 0;
};
TSlipEra SlipEra();
// The proposed subject: "令和8年5月分 給与明細書", "令和8年 夏期賞与明細書", ...
QString SlipMailSubject();
// The pay date proposed for the slips, each "%2d": the default pay date of a month; a bonus's
// own payment month and day in the period's year.
void SlipMailPayDate(QString& year, QString& month, QString& day);

// How the slips of a run leave.
enum class SlipOutput { Save, Smtp, Composer };

struct TSlipMailJob {
    SlipOutput output = SlipOutput::Save;
    QString folder;        // where the images are written, ending with "/"
    QList<int> employees;  // slots, in the order they go
    QString subject;
    QString body;
    bool confirmEach = false;  // SMTP: ask before each message is sent
};

struct TSlipMailResult {
    int done = 0;         // images saved, or messages sent or handed to the composer
    QStringList failed;   // the employees whose slip could not be saved or sent
    QStringList skipped;  // declined at the confirmation, or left when the run was stopped
    QString stopReason;   // why the server could not take any message: the run ended there
};

// Draws each slot's slip (PrintPage with the published pay date and memo), writes it as JPEG into
// the folder under its file name (a name already written in this run gets "(2)", "(3)", ... before ".jpg"),
// and for mail sends it to the employee's address. A slip that cannot be made, saved or sent is
// told by name and the run goes on; a server that cannot be reached or refuses the login, or a
// composer that cannot be started, ends the run untold (stopReason), the rest skipped. SMTP
// attachments are deleted after sending, and every image that could not be sent; those handed to
// the composer stay (it reads them later). The folder is made by MakeSlipMailFolder.
TSlipMailResult RunSlipMail(const TSlipMailJob& job);
// Makes the job's folder when missing (0700, with missing parents); the program's own attachment
// folder is also tightened, a folder the user chose for saving keeps its mode. IoError on failure.
void MakeSlipMailFolder(const TSlipMailJob& job);
// The name of the n-th file (n >= 2) of the same name in a run: "a.jpg" -> "a(2).jpg".
QString NumberedFileName(const QString& name, int n);
