// The slip mail run, the stored mail text, the proposed subject and pay date.
#include "app/core/slipmail.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include "payroll/common.h"
#include "payroll/option.h"
#include "payroll/period.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "print/slipimage.h"
#include "services/mail.h"

TSlipEra SlipEra()
{
    const int p = CurPeriod.Period;
    const int m = IsBonusPeriod(p) && p <= PeriodCount ? YearHeader.SyoyoMonth[p - 12] : p;
    TSlipEra e{CurPeriod.EraText, CurPeriod.EraYear};
    if (e.year == 31 && m >= 5) e = {QStringLiteral("令和"), 1};
    return e;
}

QString SlipMailSubject()
{
    const TSlipEra e = SlipEra();
    const int p = CurPeriod.Period;
    const QString season = OptionRec.SyoyoName ? QStringLiteral("季") : QStringLiteral("期");
    QString t = QStringLiteral("%1%2年").arg(e.era).arg(e.year);
    if (p == 13)
        t += QStringLiteral(" 夏") + season + QStringLiteral("賞与");
    else if (p == 14)
        t += QStringLiteral(" 冬") + season + QStringLiteral("賞与");
    else if (p == 15)
        t += QLatin1Char(' ') + OptionRec.TokuSyoyo;
    else
        t += QStringLiteral("%1月分 給与").arg(p);
    return t + QStringLiteral("明細書");
}

void SlipMailPayDate(QString& year, QString& month, QString& day)
{
    const int p = CurPeriod.Period;
    const auto twoWide = [](int n) { return QString::number(n).rightJustified(2); };
    if (IsBonusPeriod(p) && p <= PeriodCount) {
        // A bonus is paid on its own date in the period's year: next-month pay moves only months.
        year = twoWide(CurPeriod.EraYear);
        month = twoWide(YearHeader.SyoyoMonth[p - 12]);
        day = twoWide(YearHeader.SyoyoDay[p - 12]);
    } else {
        GetPrnDate(year, month, day);
    }
    if (NumStrToInt(year) == 31 && NumStrToInt(month) >= 5) year = QStringLiteral(" 1");
}

QString NumberedFileName(const QString& name, int n)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString tag = QStringLiteral("(%1)").arg(n);
    return dot < 0 ? name + tag : name.left(dot) + tag + name.mid(dot);
}

void MakeSlipMailFolder(const TSlipMailJob& job)
{
    const bool made = job.output == SlipOutput::Save ? MakeFolder(job.folder) : MakePrivateFolder(job.folder);
    if (!made) throw IoError::failed(QStringLiteral("フォルダーの作成"), job.folder, SystemReason(errno));
}

TSlipMailResult RunSlipMail(const TSlipMailJob& job)
{
    TSlipMailResult result;
    MakeSlipMailFolder(job);
    TMailSettings settings;
    if (job.output == SlipOutput::Smtp) settings = LoadMailSettings();
    QSet<QString> used;
    bool stopped = false;
    for (const int slot : job.employees) {
        if (slot < 1 || slot > MaxEmployee) continue;
        const QString name = SyainRec[slot].Simei.shownText().trimmed();
        if (stopped) {
            result.skipped << name;
            continue;
        }
        // Two employees of the same name in one run both keep their slip.
        QString file = SlipImageFileName(slot);
        for (int n = 2; used.contains(file.toLower()); ++n)
            file = NumberedFileName(SlipImageFileName(slot), n);
        used.insert(file.toLower());
        const QString path = job.folder + file;
        try {
            WriteFileAtomic(path, EncodeJpeg(RenderSlipImage(slot)), QStringLiteral("明細書の画像の保存"));
        } catch (const AppError& e) {
            ShowError(
                QStringLiteral("%1さんの明細書の画像を保存できませんでした。\n%2").arg(name, e.message()));
            result.failed << name;
            continue;
        }
        if (job.output == SlipOutput::Save) {
            ++result.done;
            continue;
        }
        const QString address = SyainRec[slot].MailAdrs.shownText().trimmed();
        const TMailMessage message{address, job.subject, job.body, path, file};
        try {
            if (job.output == SlipOutput::Smtp) {
                const MsgResult answer =
                    job.confirmEach
                        ? MessageDlg(
                              QStringLiteral("次のメールを送信しますか？\n\n宛先：%1\n件名：%2\n添付：%3")
                                  .arg(address, job.subject, file),
                              MsgType::Confirmation, MsgButtons::YesNoCancel)
                        : MsgResult::Yes;
                if (answer == MsgResult::Yes) {
                    SendSmtpMail(settings, message);
                    ++result.done;
                } else {
                    result.skipped << name;
                    stopped = answer == MsgResult::Cancel;
                }
            } else {
                ComposeMail(message);
                ++result.done;
            }
        } catch (const MailServerError& e) {
            // Every later message would wait for the same server, or fail at the same composer.
            result.failed << name;
            result.stopReason = e.message();
            stopped = true;
            QFile::remove(path);
            continue;
        } catch (const AppError& e) {
            ShowError(
                QStringLiteral("メール送信エラー発生 [%1]\n%2さん：%3").arg(address, name, e.message()));
            result.failed << name;
            QFile::remove(path);
            continue;
        }
        // What the server has is not kept; the composer reads its attachment later.
        if (job.output == SlipOutput::Smtp) QFile::remove(path);
    }
    return result;
}
