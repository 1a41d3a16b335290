// Deletion of a period, backup and restore of every company data set, registration of a set.
#include "payroll/datamanage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "payroll/corpdata.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/periodselect.h"
#include "payroll/yearfile.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/inifile.h"

namespace {

const QString SysIniName = QStringLiteral("Tolvane.ini");
constexpr int SetCount = 27;  // the first set and "_a".."_z"

QString slash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString letterCode(int index)
{
    return QStringLiteral("_") + QChar(u'a' + index - 1);
}

bool isDat(const QFileInfo& f)
{
    return f.suffix().compare(QStringLiteral("dat"), Qt::CaseInsensitive) == 0;
}

bool isYubinNo(const QFileInfo& f)
{
    return f.fileName().compare(QStringLiteral("yubinno.dat"), Qt::CaseInsensitive) == 0;
}

// The "*.dat" files directly in folder, "yubinno.dat" left out unless withYubinNo.
QFileInfoList datFiles(const QString& folder, bool withYubinNo)
{
    QFileInfoList out;
    if (!QFileInfo(folder).isDir()) return out;
    const QFileInfoList all =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& f : all)
        if (!f.isDir() && isDat(f) && (withYubinNo || !isYubinNo(f))) out << f;
    return out;
}

[[noreturn]] void failOn(const QString& what, const QString& path, int err)
{
    throw IoError::failed(what, QDir::toNativeSeparators(path), SystemReason(err));
}

QByteArray readFile(const QString& path)
{
    // A link to nowhere, a pipe or a device is not data to copy: it stops the copy, never hangs it.
    const QFileInfo info(path);
    if (!info.isFile())
        throw IoError::failed(QStringLiteral("ファイルの読み込み"), QDir::toNativeSeparators(path),
                              QStringLiteral("通常のファイルとして読めません。"));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) failOn(QStringLiteral("ファイルの読み込み"), path, errno ? errno : EIO);
    QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw IoError::failed(QStringLiteral("ファイルの読み込み"), QDir::toNativeSeparators(path),
                              f.errorString());
    return data;
}

// A copy is a whole-file write of the target: a failed one leaves the target as it was.
void copyFile(const QString& from, const QString& to)
{
    WriteFileAtomic(to, readFile(from), QStringLiteral("ファイルのコピー"));
}

// Into the staging folder: the user is told the backup's file, not the hidden copy.
void stageFile(const QString& from, const QString& to)
{
    WriteFileAtomic(to, readFile(from),
                    QStringLiteral("%1 の作業用コピー").arg(QDir::toNativeSeparators(from)));
}

void makeFolder(const QString& folder)
{
    if (!MakePrivateFolder(folder)) failOn(QStringLiteral("フォルダーの作成"), folder, errno);
}

// Removes path without following a link: a link goes, never what it points to.
void removeNoFollow(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        for (const QFileInfo& f :
             QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            removeNoFollow(f.filePath());
        if (::rmdir(name.constData()) != 0) failOn(QStringLiteral("フォルダーの削除"), path, errno);
    } else if (::unlink(name.constData()) != 0) {
        failOn(QStringLiteral("ファイルの削除"), path, errno);
    }
}

// The settings files of the sets in folder ("Tolvane_a.ini".."Tolvane_z.ini").
QStringList setIniFiles(const QString& folder)
{
    QStringList out;
    for (int i = 1; i < SetCount; ++i) {
        const QString f = slash(folder) + QStringLiteral("Tolvane%1.ini").arg(letterCode(i));
        if (QFileInfo(f).isFile()) out << f;
    }
    return out;
}

// The files an earlier backup in folder holds: they go before a new backup is written there.
void clearBackup(const QString& folder)
{
    for (const QFileInfo& f : datFiles(folder, false)) removeNoFollow(f.filePath());
    removeNoFollow(slash(folder) + SysIniName);
    for (const QString& f : setIniFiles(folder)) removeNoFollow(f);
    for (int i = 1; i < SetCount; ++i) {
        const QString sub = BackupSetFolder(folder, i);
        const QFileInfo info(QDir::cleanPath(sub));
        if (info.isSymLink()) {
            removeNoFollow(QDir::cleanPath(sub));
            continue;
        }
        for (const QFileInfo& f : datFiles(sub, true)) removeNoFollow(f.filePath());
        if (IsEmptyFolder(sub)) removeNoFollow(QDir::cleanPath(sub));
    }
}

// The SMTP password of [Mail] stays on this computer: a backup's settings file never carries it,
// and a restore keeps the local one (or none) in the settings file it brings.
const QString MailSection = QStringLiteral("Mail");
const QString MailPassword = QStringLiteral("Password");

void backupSysIni(const QString& to)
{
    IniFile ini(SysIniFileName);
    ini.deleteKey(MailSection, MailPassword);
    WriteFileAtomic(to, ini.modified() ? ini.bytes() : readFile(SysIniFileName),
                    QStringLiteral("ファイルのコピー"));
}

void keepLocalMailPassword(const QString& stagedIni)
{
    const IniFile local(SysIniFileName);
    IniFile ini(stagedIni);
    // Quoted, so that blanks at either end of the password stay.
    if (local.valueExists(MailSection, MailPassword))
        ini.writeBytes(MailSection, MailPassword, '"' + local.readBytes(MailSection, MailPassword) + '"');
    else
        ini.deleteKey(MailSection, MailPassword);
    if (ini.modified()) ini.save();
}

// The restore's staging folder under the data root: prefix + six letters or digits.
const QString RestoreFolderPrefix = QStringLiteral(".restore-");
const QString JournalName = QStringLiteral("journal");
const QString DoneName = QStringLiteral("done");
const QByteArray JournalHead = "PELMORAS RESTORE JOURNAL 1";

// One rename of the swap: 'A' moves a current file aside, 'P' puts a staged file in its place.
struct TSwapStep {
    char kind;
    QByteArray from, to;
};
// The swap in the order it runs: the folders it makes, every file moved aside, then every staged
// file put in place.
struct TSwapJournal {
    QList<QByteArray> folders;
    std::vector<TSwapStep> steps;
    void place(const QString& from, const QString& to)
    {
        steps.push_back({'P', QFile::encodeName(from), QFile::encodeName(to)});
    }
    void aside(const QString& from, const QString& to)
    {
        // Every file goes aside before the first is put in place.
        auto at = std::find_if(steps.begin(), steps.end(), [](const TSwapStep& s) { return s.kind == 'P'; });
        steps.insert(at, {'A', QFile::encodeName(from), QFile::encodeName(to)});
    }
};

bool exists(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

// A file moved aside is found only in its place in "old/"; a staged file leaves the stage.
bool stepDone(const TSwapStep& s)
{
    return s.kind == 'A' ? exists(s.to) : !exists(s.from) && exists(s.to);
}

bool syncFolderOf(const QByteArray& path)
{
    return SyncFolderOf(QFile::decodeName(path));
}

// Runs the steps from first on; returns the number of steps done (all of them on success, with
// errno set otherwise). An aside of a file that is not there (any more) is nothing to do.
int runSwap(const TSwapJournal& j, int first)
{
    for (const QByteArray& f : j.folders)
        if (!MakePrivateFolder(QFile::decodeName(f))) return first;
    for (int i = first; i < int(j.steps.size()); ++i) {
        const TSwapStep& s = j.steps[size_t(i)];
        if (s.kind == 'A' && !exists(s.from)) continue;
        if (std::rename(s.from.constData(), s.to.constData()) != 0) return i;
        syncFolderOf(s.to);
    }
    return int(j.steps.size());
}

// Undoes the first done steps, last first, and removes the folders the swap made when they are
// empty again. False (errno set) when a file could not be moved back.
bool undoSwap(const TSwapJournal& j, int done)
{
    bool ok = true;
    for (int i = done - 1; i >= 0; --i) {
        const TSwapStep& s = j.steps[size_t(i)];
        if (!exists(s.to) || (s.kind == 'P' && exists(s.from))) continue;
        if (std::rename(s.to.constData(), s.from.constData()) != 0) {
            ok = false;
            continue;
        }
        syncFolderOf(s.from);
    }
    for (auto it = j.folders.rbegin(); it != j.folders.rend(); ++it) ::rmdir(it->constData());
    return ok;
}

void writeJournal(const QString& stage, const TSwapJournal& j)
{
    QByteArray text = JournalHead + '\n';
    for (const QByteArray& f : j.folders) text += "D " + f.toPercentEncoding() + '\n';
    for (const TSwapStep& s : j.steps)
        text +=
            QByteArray(1, s.kind) + ' ' + s.from.toPercentEncoding() + ' ' + s.to.toPercentEncoding() + '\n';
    text += "END\n";
    WriteFileAtomic(stage + JournalName, text, QStringLiteral("復元の作業記録の書き込み"));
}

// The journal of stage; false when it is not whole or names a path outside the data root.
bool readJournal(const QString& stage, const QString& root, TSwapJournal& j)
{
    QFile f(stage + JournalName);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QList<QByteArray> lines = f.readAll().split('\n');
    if (lines.size() < 3 || lines.first() != JournalHead || lines[lines.size() - 2] != "END" ||
        !lines.last().isEmpty())
        return false;
    const QString base = slash(QDir::cleanPath(root));
    const auto inside = [&](const QByteArray& p) {
        return QDir::cleanPath(QFile::decodeName(p)).startsWith(base) && !p.contains("/../") &&
               !p.endsWith("/..");
    };
    for (qsizetype i = 1; i < lines.size() - 2; ++i) {
        const QList<QByteArray> parts = lines[i].split(' ');
        const QByteArray a = QByteArray::fromPercentEncoding(parts.value(1));
        const QByteArray b = QByteArray::fromPercentEncoding(parts.value(2));
        if (parts.size() == 2 && parts[0] == "D" && inside(a)) {
            j.folders << a;
        } else if (parts.size() == 3 && (parts[0] == "A" || parts[0] == "P") && inside(a) && inside(b)) {
            j.steps.push_back({parts[0][0], a, b});
        } else {
            return false;
        }
    }
    return true;
}

// The journal becomes the mark of a finished swap: one rename, so there is always one of the two.
void markDone(const QString& stage)
{
    const QByteArray from = QFile::encodeName(stage + JournalName), to = QFile::encodeName(stage + DoneName);
    if (std::rename(from.constData(), to.constData()) != 0 || !syncFolderOf(to))
        failOn(QStringLiteral("復元の作業記録の書き込み"), stage + DoneName, errno);
}

// An undone swap: without its journal the stage is a mere copy, to be removed.
void dropJournal(const QString& stage)
{
    const QByteArray name = QFile::encodeName(stage + JournalName);
    if (::unlink(name.constData()) != 0 || !syncFolderOf(name))
        failOn(QStringLiteral("復元の作業記録の削除"), stage + JournalName, errno);
}

// Removes the stage with everything in it, the mark of a finished swap last, so that a stop in
// between leaves the mark.
void removeStage(const QString& stage)
{
    try {
        for (const QFileInfo& f :
             QDir(stage).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            if (f.fileName() != DoneName) removeNoFollow(f.filePath());
        removeNoFollow(stage);
    } catch (const AppError&) {
        // What is left is removed at the next start.
    }
}

TCopyResult failed(const AppError& e)
{
    return {false, e.message()};
}

const QString InRootMessage = QStringLiteral(
    "データのフォルダー（またはその中のフォルダー）は指定できません。\r別の場所を指定して下さい。");

}  // namespace

void DeletePeriodData(const QString& fileName, int p)
{
    if (p < 1 || p > PeriodCount) return;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw IoError::failed(QStringLiteral("年度データファイルの書き込み"), fileName, f.errorString());
    QByteArray file = f.readAll();
    f.close();
    if (file.size() < YearFileSize)
        throw IoError::failed(QStringLiteral("年度データファイルの書き込み"), fileName,
                              QStringLiteral("ファイルが短すぎます。"));
    TYearFileHeader header = YearHeader;
    header.DataExists[p] = 0;
    if (IsBonusPeriod(p)) {
        header.SyoyoMonth[p - 12] = 0;
        header.SyoyoDay[p - 12] = 0;
    }
    std::memcpy(file.data(), &header, sizeof header);
    std::memset(file.data() + DataRecPos(p - 1), 0, PeriodRecSize);
    WriteFileAtomic(fileName, file, QStringLiteral("年度データファイルの書き込み"));
    YearHeader = header;
    if (!IsBonusPeriod(p)) std::memset(&MonthCorpRecs[p], 0, sizeof(TCorpRec));
    const TYearFileHeader keep = YearHeader;
    ClearPeriodImage();
    YearHeader = keep;
}

QString DatedFolder(const QString& folder, const QDate& day)
{
    return slash(folder) + QStringLiteral("%1年%2月%3日").arg(day.year()).arg(day.month()).arg(day.day());
}

bool IsInDataRoot(const QString& folder, const QString& dataRoot)
{
    // Canonical paths: links, "..", and a final "/" make no difference.
    const QString root = QFileInfo(dataRoot).canonicalFilePath();
    QString path = QFileInfo(folder).canonicalFilePath();
    if (path.isEmpty()) {
        // Not made yet: the nearest existing parent decides, with the rest added back.
        QString rest;
        QFileInfo info(QDir::cleanPath(QDir(folder).absolutePath()));
        while (!info.exists() && info.fileName() != QString()) {
            rest = QLatin1Char('/') + info.fileName() + rest;
            info = QFileInfo(info.path());
        }
        path = info.canonicalFilePath() + rest;
    }
    if (root.isEmpty()) return false;
    return path == root || path.startsWith(slash(root));
}

QString SetDataFolder(const QString& root, int index)
{
    return index == 0 ? slash(root) + QStringLiteral("Data2/")
                      : CorpDataFolder(slash(root), letterCode(index));
}

QString BackupSetFolder(const QString& folder, int index)
{
    return index == 0 ? slash(folder) : slash(folder) + QStringLiteral("Data2%1/").arg(letterCode(index));
}

TCopyResult BackupToFolder(const QString& folder, bool clearOld)
{
    try {
        if (IsInDataRoot(folder, DataRoot)) throw AppError(InRootMessage);
        makeFolder(folder);
        if (clearOld) clearBackup(folder);
        for (int i = 0; i < SetCount; ++i) {
            const QFileInfoList files = datFiles(SetDataFolder(DataRoot, i), false);
            if (files.isEmpty()) continue;
            const QString target = BackupSetFolder(folder, i);
            if (i >= 1) makeFolder(target);
            for (const QFileInfo& f : files) copyFile(f.filePath(), target + f.fileName());
        }
        backupSysIni(slash(folder) + SysIniName);
        for (const QString& ini : setIniFiles(DataRoot))
            copyFile(ini, slash(folder) + QFileInfo(ini).fileName());
        return {};
    } catch (const AppError& e) {
        return failed(e);
    }
}

TCopyResult RestoreFromFolder(const QString& folder)
{
    try {
        if (!QFileInfo(slash(folder) + SysIniName).isFile())
            throw AppError(QStringLiteral("指定された場所に「%1」がありません。").arg(SysIniName));
        if (IsInDataRoot(folder, DataRoot)) throw AppError(InRootMessage);
        // Staged beside the data, so that the swap is a rename on one file system. Removed by
        // removeStage in an order that a stop at any point leaves recoverable.
        QTemporaryDir staging(slash(DataRoot) + RestoreFolderPrefix + QStringLiteral("XXXXXX"));
        if (!staging.isValid()) failOn(QStringLiteral("作業用フォルダーの作成"), DataRoot, errno);
        staging.setAutoRemove(false);
        const QString stage = slash(staging.path());
        try {
            TSwapJournal journal;
            QStringList clearFolders;  // set folders whose carried files the backup replaces
            for (int i = 0; i < SetCount; ++i) {
                const QString target = SetDataFolder(DataRoot, i);
                const QFileInfoList files = datFiles(BackupSetFolder(folder, i), true);
                if (files.isEmpty() && !QFileInfo(target).isDir()) continue;
                clearFolders << target;
                const QString sub = stage + QString::number(i) + QLatin1Char('/');
                if (!files.isEmpty()) makeFolder(sub);
                for (const QFileInfo& f : files) {
                    stageFile(f.filePath(), sub + f.fileName());
                    journal.place(sub + f.fileName(), target + f.fileName());
                }
            }
            const QString iniFolder = slash(QFileInfo(SysIniFileName).absolutePath());
            makeFolder(stage + QStringLiteral("ini"));
            QStringList inis{slash(folder) + SysIniName};
            inis << setIniFiles(folder);
            for (const QString& ini : inis) {
                const QString name = QFileInfo(ini).fileName();
                const QString staged = stage + QStringLiteral("ini/") + name;
                stageFile(ini, staged);
                const bool sysIni = ini.endsWith(QLatin1Char('/') + SysIniName);
                if (sysIni) keepLocalMailPassword(staged);
                journal.place(staged, sysIni ? SysIniFileName : iniFolder + name);
            }
            // Every copy is in. The current files that go aside, the folders to be made.
            const QString aside = stage + QStringLiteral("old/");
            makeFolder(aside);
            QStringList current;
            for (const QString& target : clearFolders)
                for (const QFileInfo& f : datFiles(target, false)) current << f.filePath();
            for (const TSwapStep& m : journal.steps) {
                const QString to = QFile::decodeName(m.to);
                struct stat st;
                if (!current.contains(to) && ::lstat(m.to.constData(), &st) == 0) current << to;
                const QString parent = QFileInfo(to).absolutePath();
                if (!QFileInfo(parent).isDir() && !journal.folders.contains(QFile::encodeName(parent)))
                    journal.folders << QFile::encodeName(parent);
            }
            for (int n = 0; n < current.size(); ++n)
                journal.aside(current[n], aside + QString::number(n + 1));
            // The journal is on disk before the first rename: a stop from here on is finished or
            // undone by the next start.
            writeJournal(stage, journal);
            const int done = runSwap(journal, 0);
            if (done < int(journal.steps.size())) {
                const int err = errno;
                const QString path = QFile::decodeName(journal.steps[size_t(done)].from);
                if (!undoSwap(journal, done)) {
                    // The journal stays: the next start finishes or undoes the swap.
                    TCopyResult r{false, RestorePendingMessage.arg(QDir::toNativeSeparators(path)), true};
                    return r;
                }
                dropJournal(stage);
                failOn(QStringLiteral("ファイルの置き換え"), path, err);
            }
            try {
                markDone(stage);
            } catch (const AppError&) {
                // Swapped whole all the same; the next start finds the journal and tidies up.
                return {};
            }
        } catch (const AppError&) {
            // Kept with its journal when the swap could not be undone: the next start needs it.
            if (!QFileInfo::exists(stage + JournalName)) removeStage(stage);
            throw;
        }
        removeStage(stage);
        return {};
    } catch (const AppError& e) {
        return failed(e);
    }
}

TRestoreRecovery RecoverRestores(const QString& root)
{
    TRestoreRecovery result;
    // Matched by hand rather than by a name filter, which would compile a pattern at every start.
    const QFileInfoList stages = QDir(root).entryInfoList(
        QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& info : stages) {
        const QString name = info.fileName();
        if (!name.startsWith(RestoreFolderPrefix) || name.size() != RestoreFolderPrefix.size() + 6) continue;
        const QString stage = slash(info.filePath());
        if (QFileInfo::exists(stage + DoneName)) {
            // Swapped whole; only the removal of the old files was stopped.
            result.outcome = std::max(result.outcome, TRestoreRecovery::Completed);
        } else if (QFileInfo::exists(stage + JournalName)) {
            TSwapJournal journal;
            if (!readJournal(stage, root, journal)) {
                result.outcome = TRestoreRecovery::Failed;
                result.folder = stage;
                result.reason = QStringLiteral("作業記録が読めません。");
                continue;
            }
            // Renames run in order, so the moves done are those up to the last one found done.
            int done = 0;
            for (int i = 0; i < int(journal.steps.size()); ++i)
                if (stepDone(journal.steps[size_t(i)])) done = i + 1;
            // Completed when every staged file is still there to be put in place, else undone.
            bool complete = true;
            for (int i = done; i < int(journal.steps.size()); ++i)
                complete = complete &&
                           (journal.steps[size_t(i)].kind != 'P' || exists(journal.steps[size_t(i)].from));
            bool ok = false;
            if (complete) {
                const int now = runSwap(journal, done);
                ok = now == int(journal.steps.size());
                if (ok) {
                    try {
                        markDone(stage);
                    } catch (const AppError&) {
                        ok = false;
                    }
                }
                if (ok)
                    result.outcome = std::max(result.outcome, TRestoreRecovery::Completed);
                else
                    done = now;
            }
            if (!ok) {
                ok = undoSwap(journal, done);
                if (ok) {
                    try {
                        dropJournal(stage);
                    } catch (const AppError&) {
                        ok = false;
                    }
                }
                if (!ok) {
                    result.outcome = TRestoreRecovery::Failed;
                    result.folder = stage;
                    result.reason = SystemReason(errno);
                    continue;
                }
                result.outcome = std::max(result.outcome, TRestoreRecovery::RolledBack);
            }
        } else if (QFileInfo(stage + QStringLiteral("old")).isDir() &&
                   !IsEmptyFolder(stage + QStringLiteral("old"))) {
            // Moved aside without a journal (an earlier version): the copies stay for the user.
            continue;
        } else {
            // Stopped while copying: nothing of the data was touched.
            result.outcome = std::max(result.outcome, TRestoreRecovery::RolledBack);
        }
        removeStage(stage);
    }
    return result;
}

int RemoveLeftovers(const QString& root)
{
    int removed = 0;
    for (int i = -1; i < SetCount; ++i) {
        const QString folder = i < 0 ? slash(root) : SetDataFolder(root, i);
        const QFileInfo info(QDir::cleanPath(folder));
        if (!info.isDir() || info.isSymLink()) continue;
        const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& name : names) {
            // Only the temporary files of the data and settings files written here.
            const QString target = name.mid(1, name.size() - 8);
            if (IsAtomicTemporaryName(name) &&
                (target.endsWith(QStringLiteral(".dat"), Qt::CaseInsensitive) ||
                 target.endsWith(QStringLiteral(".ini"), Qt::CaseInsensitive)))
                removed += RemoveStaleTemporaries(folder, target);
            else if (name.endsWith(QStringLiteral(".pdf.part")) && name.size() > 9)
                removed += RemoveOwnFile(folder + name) ? 1 : 0;
        }
    }
    return removed;
}

bool IsEmptyFolder(const QString& folder)
{
    const QDir dir(folder);
    return dir.exists() && dir.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QString FindFreeCorpCode(const QStringList& lines, const QString& root)
{
    for (int i = 1; i < SetCount; ++i) {
        const QString code = letterCode(i);
        bool used = false;
        for (const QString& line : lines) used = used || CorpLineCode(line) == code;
        if (used || QFileInfo::exists(CorpIniFile(slash(root), code))) continue;
        // A folder left from a deleted set is taken only when nothing is left in it.
        const QString folder = CorpDataFolder(slash(root), code);
        const QFileInfo info(QDir::cleanPath(folder));
        if (info.isSymLink() || (info.exists() && !IsEmptyFolder(folder))) continue;
        return code;
    }
    return {};
}

QString ReferenceIniFile(const QString& folder)
{
    const QString clean = QDir::cleanPath(folder);
    if (QFileInfo(clean).fileName().toUpper() != QStringLiteral("DATA2")) return {};
    return slash(QFileInfo(clean).path()) + SysIniName;
}

int AddCorpData(const QString& sourceFolder, const QString& sourceIni)
{
    IniFile sys(SysIniFileName);
    QStringList lines;
    if (sys.readInteger(QStringLiteral("CorpData"), QStringLiteral("Count"), 0) > 0)
        lines = ReadCorpList(sys);
    if (lines.isEmpty()) lines << OriginalCorpLine();
    const QString root = slash(DataRoot);
    const QString code = FindFreeCorpCode(lines, root);
    if (code.isEmpty())
        throw AppError(QStringLiteral(
            "使用できる会社データの記号がありません。\r使われていない会社データを削除して下さい。"));
    if (!sourceFolder.isEmpty()) {
        const QString folder = CorpDataFolder(root, code);
        const bool existed = QFileInfo(folder).isDir();
        try {
            copyFile(sourceIni, CorpIniFile(root, code));
            makeFolder(folder);
            for (const QFileInfo& f : datFiles(sourceFolder, true))
                copyFile(f.filePath(), folder + f.fileName());
        } catch (const AppError& e) {
            // Nothing half-registered stays behind.
            QFile::remove(CorpIniFile(root, code));
            for (const QFileInfo& f : datFiles(folder, true)) QFile::remove(f.filePath());
            if (!existed) QDir().rmdir(folder);
            throw AppError(
                QStringLiteral("会社データのコピーに失敗しました。会社データは追加していません。\r\r") +
                e.message());
        }
    }
    lines << FormatCorpLine(
        sourceFolder.isEmpty() ? QStringLiteral("新しい会社データ") : QStringLiteral("参照した会社データ"),
        code);
    WriteCorpList(sys, lines);
    sys.save();
    return lines.size();
}

bool IsValidFolderName(const QString& name)
{
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral("..")) return false;
    for (const QChar c : name)
        if (c == QLatin1Char('/') || c.category() == QChar::Other_Control) return false;
    return true;
}

bool IsRemovableDevice(const QString& device, const QString& sysRoot)
{
    if (!device.startsWith(QStringLiteral("/dev/"))) return false;
    // /dev/disk/by-label/... and the like are links to the device node.
    const QString node = QFileInfo(device).canonicalFilePath();
    const QString name = QFileInfo(node.isEmpty() ? device : node).fileName();
    if (name.isEmpty()) return false;
    // The device's folder in sysfs, under the controller and bus it hangs on; a partition's disk
    // is the folder above it.
    QString dev = QFileInfo(sysRoot + QStringLiteral("/class/block/") + name).canonicalFilePath();
    if (dev.isEmpty()) return false;
    if (QFileInfo::exists(dev + QStringLiteral("/partition"))) dev = QFileInfo(dev).path();
    QFile flag(dev + QStringLiteral("/removable"));
    if (flag.open(QIODevice::ReadOnly) && flag.read(1) == "1") return true;
    // USB sticks and disks often call themselves fixed, and are unplugged all the same.
    return dev.contains(QStringLiteral("/usb"));
}

QList<TFolderRoot> FolderRootsOf(const QList<TMount>& mounts, const QString& sysRoot)
{
    QList<TFolderRoot> roots;
    roots.append({QStringLiteral("ホーム [%1]").arg(QDir::homePath()), QDir::homePath(), false});
    roots.append({QStringLiteral("/"), QStringLiteral("/"), false});
    static const QStringList network{QStringLiteral("nfs"),   QStringLiteral("nfs4"),
                                     QStringLiteral("cifs"),  QStringLiteral("smb3"),
                                     QStringLiteral("smbfs"), QStringLiteral("fuse.sshfs")};
    for (const TMount& m : mounts) {
        if (m.path == QStringLiteral("/")) continue;
        // The folders where the desktop and the administrator mount media and other disks.
        const bool mediaFolder = m.path.startsWith(QStringLiteral("/media/")) ||
                                 m.path.startsWith(QStringLiteral("/run/media/")) ||
                                 m.path.startsWith(QStringLiteral("/mnt/"));
        const bool removable = !network.contains(m.type) && IsRemovableDevice(m.device, sysRoot);
        if (!removable && !mediaFolder && !network.contains(m.type)) continue;
        const QString name = m.name.isEmpty() || m.name == m.path ? QFileInfo(m.path).fileName() : m.name;
        roots.append({QStringLiteral("%1 [%2]").arg(name, m.path), m.path, removable});
    }
    return roots;
}

QList<TFolderRoot> FolderRoots()
{
    QList<TMount> mounts;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady()) continue;
        mounts.append({v.rootPath(), QString::fromLocal8Bit(v.device()),
                       QString::fromLatin1(v.fileSystemType()), v.displayName()});
    }
    return FolderRootsOf(mounts, QStringLiteral("/sys"));
}

QString DefaultBackupFolder()
{
    QString folder;
    if (!IniFileName.isEmpty() && QFileInfo::exists(IniFileName)) {
        try {
            folder = IniFile(IniFileName).readString(QStringLiteral("Option"), QStringLiteral("BackupPath"));
        } catch (const AppError&) {
            folder.clear();
        }
    }
    // A folder that is gone is still where the picker starts: it tells the user so.
    return folder.trimmed().isEmpty() ? QDir::homePath() : folder;
}
