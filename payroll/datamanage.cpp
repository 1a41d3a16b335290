// Deletion of a period, backup and restore of every company data set, registration of a set.
#include "payroll/datamanage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "payroll/corpdata.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/periodselect.h"
#include "payroll/yearfile.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/inifile.h"
#include "platform/readfile.h"
#include "platform/stageswap.h"

namespace {

const QString SysIniName = QStringLiteral("Tolvane.ini");
constexpr int SetCount = 27;  // the first set and "_a".."_z"

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

const QString ReadWhat = QStringLiteral("ファイルの読み込み");
const QString CopyWhat = QStringLiteral("ファイルのコピー");

// Copies the file from (not through a link, no pipe or device, no file past the data files' size)
// over to in blocks, through a partial file beside it put in place by one rename: a failed copy
// leaves the target as it was.
void copyFile(const QString& from, const QString& to)
{
    const TFd in(OpenForReadingOrThrow(from, ReadKind::Data, ReadWhat));
    const QString partial = PartialFileName(to);
    // Made new, so that nothing planted at its name is written through.
    StartPartialFile(partial, CopyWhat);
    const QByteArray name = QFile::encodeName(partial);
    ::unlink(name.constData());
    try {
        const TBlockCopy r = CopyToNewFile(in.fd, partial, MaxReadSize(ReadKind::Data));
        if (r.outcome == TBlockCopy::TooLarge)
            throw IoError::failed(ReadWhat, QDir::toNativeSeparators(from), SystemReadReason(EFBIG));
        if (r.outcome == TBlockCopy::ReadFailed) failOn(ReadWhat, from, r.err);
        if (!r.ok()) failOn(CopyWhat, to, r.err);
        CommitFileAtomic(partial, to, CopyWhat);
    } catch (...) {
        ::unlink(name.constData());
        throw;
    }
}

// The largest file a restore takes: a file fifty times the year file is not ours, and a restore
// neither copies it onto the data's disk nor holds it in memory.
constexpr qint64 MaxRestoreFileSize = MaxReadSize(ReadKind::Backup);
static_assert(MaxRestoreFileSize > 40 * YearFileSize);
const QString TooLargeReason = QStringLiteral(
    "ファイルが大きすぎます（復元できるのは64MBまでです。"
    "給与計算PelmoraSのファイルは大きくても約1.3MBです）。");
const QString ReadBackup = QStringLiteral("バックアップの読み込み");

// Why an entry of a backup is not taken: a link would bring in whatever it points to (another
// user's or the system's files), a pipe or a device never ends or is no data. Empty for a plain
// file or folder.
QString notPlainReason(mode_t mode)
{
    QString kind;
    if (S_ISLNK(mode))
        kind = QStringLiteral("シンボリックリンク");
    else if (S_ISFIFO(mode))
        kind = QStringLiteral("名前付きパイプ");
    else if (S_ISCHR(mode) || S_ISBLK(mode))
        kind = QStringLiteral("デバイス");
    else if (S_ISSOCK(mode))
        kind = QStringLiteral("ソケット");
    else
        return {};
    return QStringLiteral("%1です。バックアップの中のリンク、名前付きパイプ、デバイスは復元しません。")
        .arg(kind);
}

[[noreturn]] void refuseEntry(const QString& path, const QString& reason)
{
    throw IoError::failed(ReadBackup, QDir::toNativeSeparators(path), reason);
}

// Refuses path when it is there and is neither a plain file nor a folder (not followed).
void checkEntry(const QString& path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return;
    if (const QString reason = notPlainReason(st.st_mode); !reason.isEmpty()) refuseEntry(path, reason);
}

// Every entry a restore would read from the backup in folder: the set folders, their "*.dat"
// files and the settings files. Checked before anything is copied.
void checkBackupEntries(const QString& folder)
{
    checkEntry(WithSlash(folder) + SysIniName);
    for (int i = 0; i < SetCount; ++i) {
        if (i >= 1) {
            checkEntry(WithSlash(folder) + QStringLiteral("Tolvane%1.ini").arg(letterCode(i)));
            checkEntry(QDir::cleanPath(BackupSetFolder(folder, i)));
        }
        const QString set = BackupSetFolder(folder, i);
        if (!QFileInfo(set).isDir()) continue;
        for (const QString& name :
             QDir(set).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            if (name.endsWith(QStringLiteral(".dat"), Qt::CaseInsensitive)) checkEntry(set + name);
    }
}

// Copies the backup's file rel (below folder) into the staging folder as to, in blocks; the user
// is told the backup's file, not the hidden copy. A link (at the file or at its set folder), a
// pipe, a device or a file past MaxRestoreFileSize is refused.
void stageFromBackup(const QString& folder, const QString& rel, const QString& to)
{
    const QString from = WithSlash(folder) + rel;
    const QString what = QStringLiteral("%1 の作業用コピー").arg(QDir::toNativeSeparators(from));
    QString reason;
    const TFd in(OpenBelowForReading(folder, rel, ReadKind::Backup, reason));
    if (in.fd < 0) {
        const int err = errno;
        if (err == EFBIG) refuseEntry(from, TooLargeReason);
        // What stands in the way (the file, or its set folder) is named as what it is.
        QString step = WithSlash(folder);
        for (const QString& part : rel.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            step += part;
            struct stat st;
            if (::lstat(QFile::encodeName(step).constData(), &st) == 0 &&
                !notPlainReason(st.st_mode).isEmpty())
                refuseEntry(from, notPlainReason(st.st_mode));
            step += QLatin1Char('/');
        }
        throw IoError::failed(ReadWhat, QDir::toNativeSeparators(from), reason);
    }
    // A file that grows while it is copied is held to the same limit.
    const TBlockCopy r = CopyToNewFile(in.fd, to, MaxRestoreFileSize);
    if (r.outcome == TBlockCopy::TooLarge) refuseEntry(from, TooLargeReason);
    if (r.outcome == TBlockCopy::ReadFailed) failOn(ReadWhat, from, r.err);
    if (!r.ok()) failOn(what, to, r.err);
    // On disk before the journal that names it.
    if (!SyncFolderOf(to)) failOn(what, to, errno);
}

// A folder made 0700 when it is made; one that is there keeps its mode (a backup folder the user
// shares with colleagues, or a system folder).
void makeFolder(const QString& folder)
{
    if (!MakeFolder(folder, 0700)) failOn(QStringLiteral("フォルダーの作成"), folder, errno);
}

// The folder the user chose for a backup: his to have as a link to a folder elsewhere (another
// disk); made as makeFolder makes one when it is not there.
void makeChosenFolder(const QString& folder)
{
    struct stat st;
    if (::stat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    makeFolder(folder);
}

// Removes path without following a link: a link goes, never what it points to.
void removeNoFollow(const QString& path)
{
    QString reason;
    if (!RemoveTree(path, TreeOwner::Mine, &reason))
        throw IoError::failed(QStringLiteral("削除"), QDir::toNativeSeparators(path), reason);
}

// The settings files of the sets in folder ("Tolvane_a.ini".."Tolvane_z.ini"): whatever stands
// under their names but a folder, so that a link or a pipe there is refused, not left out.
QStringList setIniFiles(const QString& folder)
{
    QStringList out;
    for (int i = 1; i < SetCount; ++i) {
        const QString f = WithSlash(folder) + QStringLiteral("Tolvane%1.ini").arg(letterCode(i));
        struct stat st;
        if (::lstat(QFile::encodeName(f).constData(), &st) == 0 && !S_ISDIR(st.st_mode)) out << f;
    }
    return out;
}

// The files an earlier backup in folder holds: they go before a new backup is written there.
void clearBackup(const QString& folder)
{
    for (const QFileInfo& f : datFiles(folder, false)) removeNoFollow(f.filePath());
    removeNoFollow(WithSlash(folder) + SysIniName);
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
    // Read as the backup reads every file: a link, a pipe or a device is refused.
    const QByteArray bytes = ReadWholeFileOrThrow(SysIniFileName, ReadKind::Data, ReadWhat);
    IniFile ini(SysIniFileName);
    ini.deleteKey(MailSection, MailPassword);
    WriteFileAtomic(to, ini.modified() ? ini.bytes() : bytes, CopyWhat);
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

// The restore's staging folder under the data root: ".restore~pelmoras-tmp~" and six letters or
// digits, the marker of everything the program makes. An earlier version named it ".restore-" and
// six characters, as a user may name a folder of his own.
const QString RestorePurpose = QStringLiteral("restore");
const QString LegacyRestorePrefix = QStringLiteral(".restore-");
const QString JournalFile = QStringLiteral("journal");
const QString DoneFile = QStringLiteral("done");
constexpr int StageRandomPart = 6;

// The restore's swap: the user's folders (0700), a stopped one finished when it can be.
const TSwapKind& restoreSwap()
{
    static const TSwapKind kind{"PELMORAS RESTORE JOURNAL 1", 0700, QStringLiteral("復元の作業記録")};
    return kind;
}

// Removes the stage with everything in it; what is left is removed at the next start.
void removeStage(const QString& stage)
{
    RemoveSwapStage(stage);
}

enum class StageName { None, Marked, Legacy };

StageName stageNameOf(const QString& name)
{
    static const QString marked = TemporaryPrefix(RestorePurpose);
    if (name.size() == marked.size() + StageRandomPart && name.startsWith(marked)) return StageName::Marked;
    if (name.size() == LegacyRestorePrefix.size() + StageRandomPart && name.startsWith(LegacyRestorePrefix))
        return StageName::Legacy;
    return StageName::None;
}

// The journal of stage as the program writes it: a regular file, not a link, of at most the
// journals' size, its first line the restore's and its last "END". Empty with reason otherwise.
QByteArray wholeJournal(const QString& stage, QString& reason)
{
    QByteArray text;
    if (!ReadWholeFile(stage + JournalFile, ReadKind::Journal, text, reason)) return {};
    if (!text.startsWith(restoreSwap().head + '\n') || !text.endsWith("\nEND\n")) {
        reason.clear();
        return {};
    }
    return text;
}

// A stage the start may settle or remove, and how.
struct TStage {
    QString path;  // ends with "/"
    bool withJournal = false;
    QString unreadable;  // the journal is there but no journal of ours: why
};

// The restore stages under root the start settles: only folders of this user, private (0700; a
// setgid bit a shared parent passes on aside), so that nobody else can have put a journal there.
// A marked one is the program's own; one of the earlier naming only when it holds a whole journal,
// else it may be anything of the user's and stays as it is.
QList<TStage> restoreStages(const QString& root)
{
    QList<TStage> out;
    const QStringList names = QDir(root).entryList(
        QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoSymLinks | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const StageName kind = stageNameOf(name);
        if (kind == StageName::None) continue;
        TStage stage;
        stage.path = WithSlash(root) + name + QLatin1Char('/');
        struct stat st;
        if (::lstat(QFile::encodeName(stage.path.chopped(1)).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        struct stat js;
        stage.withJournal = ::lstat(QFile::encodeName(stage.path + JournalFile).constData(), &js) == 0;
        if ((st.st_mode & 0777) != 0700) {
            // Opened to others since: a journal in it may be anyone's. One of the program's own is
            // kept for the user with what it holds, the start stopped; without a journal it holds
            // only copies, which the removal of leftovers takes.
            if (kind == StageName::Marked && stage.withJournal) {
                stage.unreadable = QStringLiteral(
                    "作業用フォルダーをほかのユーザーも書き換えられるため、作業記録を使えません。");
                out << stage;
            }
            continue;
        }
        QString reason;
        const bool whole = stage.withJournal && !wholeJournal(stage.path, reason).isEmpty();
        if (kind == StageName::Legacy && !whole) continue;
        if (stage.withJournal && !whole)
            stage.unreadable = reason.isEmpty() ? QStringLiteral("作業記録が読めません。")
                                                : QStringLiteral("作業記録が読めません。\r%1").arg(reason);
        out << stage;
    }
    return out;
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
    QByteArray file =
        ReadWholeFileOrThrow(fileName, ReadKind::Data, QStringLiteral("年度データファイルの書き込み"));
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
    return WithSlash(folder) + QStringLiteral("%1年%2月%3日").arg(day.year()).arg(day.month()).arg(day.day());
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
    if (path == root) return true;
    if (!path.startsWith(WithSlash(root))) return false;
    // The program's own work folders there (the cloud backup's) hold no data set.
    return !IsTemporaryName(path.mid(WithSlash(root).size()).section(QLatin1Char('/'), 0, 0));
}

QString SetDataFolder(const QString& root, int index)
{
    return index == 0 ? WithSlash(root) + QStringLiteral("Data2/")
                      : CorpDataFolder(WithSlash(root), letterCode(index));
}

QString BackupSetFolder(const QString& folder, int index)
{
    return index == 0 ? WithSlash(folder)
                      : WithSlash(folder) + QStringLiteral("Data2%1/").arg(letterCode(index));
}

TCopyResult BackupToFolder(const QString& folder, bool clearOld)
{
    try {
        if (IsInDataRoot(folder, DataRoot)) throw AppError(InRootMessage);
        makeChosenFolder(folder);
        if (clearOld) clearBackup(folder);
        for (int i = 0; i < SetCount; ++i) {
            // A set folder that is a link would bring in the files of wherever it points.
            const QString set = QDir::cleanPath(SetDataFolder(DataRoot, i));
            struct stat st;
            if (::lstat(QFile::encodeName(set).constData(), &st) == 0 && !S_ISDIR(st.st_mode))
                throw IoError::failed(ReadWhat, QDir::toNativeSeparators(set), NotRegularReason(st.st_mode));
            const QFileInfoList files = datFiles(SetDataFolder(DataRoot, i), false);
            if (files.isEmpty()) continue;
            const QString target = BackupSetFolder(folder, i);
            if (i >= 1) makeFolder(target);
            for (const QFileInfo& f : files) copyFile(f.filePath(), target + f.fileName());
        }
        backupSysIni(WithSlash(folder) + SysIniName);
        for (const QString& ini : setIniFiles(DataRoot))
            copyFile(ini, WithSlash(folder) + QFileInfo(ini).fileName());
        return {};
    } catch (const AppError& e) {
        return failed(e);
    } catch (const std::bad_alloc&) {
        return {false, QStringLiteral("メモリーが足りないため、バックアップを中止しました。")};
    } catch (const std::exception& e) {
        return {false,
                QStringLiteral("バックアップを中止しました。\n%1").arg(QString::fromLocal8Bit(e.what()))};
    }
}

TCopyResult RestoreFromFolder(const QString& folder)
{
    try {
        // Not followed: a link in its place is refused below, not taken for the settings file.
        struct stat ini;
        if (::lstat(QFile::encodeName(WithSlash(folder) + SysIniName).constData(), &ini) != 0 ||
            S_ISDIR(ini.st_mode))
            throw AppError(QStringLiteral("指定された場所に「%1」がありません。").arg(SysIniName));
        if (IsInDataRoot(folder, DataRoot)) throw AppError(InRootMessage);
        checkBackupEntries(folder);
        // Staged beside the data, so that the swap is a rename on one file system. Removed when
        // this ends, in an order that a stop at any point leaves recoverable, unless it holds the
        // journal of a swap that could be neither finished nor undone: the next start needs it.
        TStageFolder staging(DataRoot, RestorePurpose);
        if (!staging.ok()) failOn(QStringLiteral("作業用フォルダーの作成"), DataRoot, staging.error());
        staging.keepIfHolds(JournalFile);
        staging.removeLast(DoneFile);
        const QString stage = staging.path();
        TSwapJournal journal;
        QStringList clearFolders;  // set folders whose carried files the backup replaces
        for (int i = 0; i < SetCount; ++i) {
            const QString target = SetDataFolder(DataRoot, i);
            const QFileInfoList files = datFiles(BackupSetFolder(folder, i), true);
            if (files.isEmpty() && !QFileInfo(target).isDir()) continue;
            clearFolders << target;
            const QString sub = stage + QString::number(i) + QLatin1Char('/');
            if (!files.isEmpty()) makeFolder(sub);
            const QString setRel = i == 0 ? QString() : QStringLiteral("Data2%1/").arg(letterCode(i));
            for (const QFileInfo& f : files) {
                stageFromBackup(folder, setRel + f.fileName(), sub + f.fileName());
                journal.place(sub + f.fileName(), target + f.fileName());
            }
        }
        const QString iniFolder = WithSlash(QFileInfo(SysIniFileName).absolutePath());
        makeFolder(stage + QStringLiteral("ini"));
        // Whatever stands under a settings file's name is taken, so that the copy refuses
        // what is not a plain file rather than leaving it out.
        const QStringList inis = QStringList{WithSlash(folder) + SysIniName} + setIniFiles(folder);
        for (const QString& ini : inis) {
            const QString name = QFileInfo(ini).fileName();
            const QString staged = stage + QStringLiteral("ini/") + name;
            stageFromBackup(folder, name, staged);
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
        for (int n = 0; n < current.size(); ++n) journal.aside(current[n], aside + QString::number(n + 1));
        // The journal is on disk before the first rename: a stop from here on is finished or
        // undone by the next start.
        const TSwapRun run = SwapStaged(stage, journal, restoreSwap());
        if (run.outcome == TSwapRun::Pending) {
            // The journal stays: the next start finishes or undoes the swap.
            TCopyResult r{false, RestorePendingMessage.arg(QDir::toNativeSeparators(run.path)), true};
            return r;
        }
        if (run.outcome == TSwapRun::Undone) failOn(QStringLiteral("ファイルの置き換え"), run.path, run.err);
        // Swapped whole; a journal still there (its mark failed) is tidied by the next start.
        return {};
    } catch (const AppError& e) {
        return failed(e);
    } catch (const std::bad_alloc&) {
        return {false, QStringLiteral("メモリーが足りないため、復元を中止しました。")};
    } catch (const std::exception& e) {
        return {false, QStringLiteral("復元を中止しました。\n%1").arg(QString::fromLocal8Bit(e.what()))};
    }
}

TRestoreRecovery RecoverRestores(const QString& root)
{
    TRestoreRecovery result;
    for (const TStage& stage : restoreStages(root)) {
        // Not one the program wrote: a pipe, a link, a device or a file past the journals' size
        // is never opened as one, nor one cut short.
        const TSwapRecovery r = stage.unreadable.isEmpty()
                                    ? RecoverSwapStage(stage.path, root, restoreSwap())
                                    : TSwapRecovery{TSwapRecovery::Failed, stage.unreadable};
        if (r.outcome == TSwapRecovery::Failed) {
            result.outcome = TRestoreRecovery::Failed;
            result.folder = stage.path;
            result.reason = r.reason;
            continue;
        }
        if (r.outcome == TSwapRecovery::Completed) {
            result.outcome = std::max(result.outcome, TRestoreRecovery::Completed);
            continue;
        }
        if (r.outcome == TSwapRecovery::RolledBack) {
            result.outcome = std::max(result.outcome, TRestoreRecovery::RolledBack);
            continue;
        }
        // The program's own stage, stopped while copying: nothing of the data was touched.
        result.outcome = std::max(result.outcome, TRestoreRecovery::RolledBack);
        removeStage(stage.path);
    }
    return result;
}

bool HasStoppedRestore(const QString& root)
{
    // A stage without a journal was stopped before the data was touched, or after it was swapped
    // whole: the data is settled, only the stage waits.
    const QList<TStage> stages = restoreStages(root);
    return std::any_of(stages.begin(), stages.end(), [](const TStage& s) { return s.withJournal; });
}

int RemoveLeftovers(const QString& root)
{
    // The folders outside the data root that the last run made temporaries in come first: their
    // list is itself one of the temporaries here.
    int removed = RemoveRecordedTemporaries(root);
    for (int i = -1; i < SetCount; ++i) {
        const QString folder = i < 0 ? WithSlash(root) : SetDataFolder(root, i);
        const QFileInfo info(QDir::cleanPath(folder));
        if (!info.isDir() || info.isSymLink()) continue;
        removed += RemoveStaleTemporaries(folder) + RemoveOlderTemporaries(folder);
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
        if (used || QFileInfo::exists(CorpIniFile(WithSlash(root), code))) continue;
        // A folder left from a deleted set is taken only when nothing is left in it.
        const QString folder = CorpDataFolder(WithSlash(root), code);
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
    return WithSlash(QFileInfo(clean).path()) + SysIniName;
}

int AddCorpData(const QString& sourceFolder, const QString& sourceIni)
{
    IniFile sys(SysIniFileName);
    QStringList lines;
    if (sys.readInteger(QStringLiteral("CorpData"), QStringLiteral("Count"), 0) > 0)
        lines = ReadCorpList(sys);
    if (lines.isEmpty()) lines << OriginalCorpLine();
    const QString root = WithSlash(DataRoot);
    const QString code = FindFreeCorpCode(lines, root);
    if (code.isEmpty())
        throw AppError(QStringLiteral(
            "使用できる会社データの記号がありません。\r使われていない会社データを削除して下さい。"));
    if (!sourceFolder.isEmpty()) {
        const QString folder = CorpDataFolder(root, code);
        const bool existed = QFileInfo(folder).isDir();
        try {
            copyFile(sourceIni, CorpIniFile(root, code));
            if (!MakePrivateFolder(folder)) failOn(QStringLiteral("フォルダーの作成"), folder, errno);
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
    // A flag of a few bytes (sysfs says 4,096 for every attribute).
    QByteArray flag;
    QString unread;
    if (ReadWholeFile(dev + QStringLiteral("/removable"), ReadKind::List, flag, unread) &&
        flag.startsWith('1'))
        return true;
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
