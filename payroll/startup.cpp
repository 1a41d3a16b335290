// Start-up paths and the write check of the data folder.
#include "payroll/startup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "payroll/datamanage.h"
#include "payroll/paths.h"
#include "payroll/yearfile.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/filetree.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "platform/readfile.h"

namespace {

// Copies one file over Dst, whole and synced (the shipped tree may be deleted once it is moved).
// The copy is the user's data from now on: writable by him even when the installed original was
// read-only, and readable by nobody else (0600).
bool copyOver(const QString& src, const QString& dst)
{
    // Not through a link, no pipe or device, nothing past the size of a data file.
    QByteArray bytes;
    QString reason;
    if (!ReadWholeFile(src, ReadKind::Data, bytes, reason)) return false;
    QFile::remove(dst);  // a read-only copy of an earlier start is replaced too
    try {
        WriteFileAtomic(dst, bytes, QStringLiteral("データのコピー"));
    } catch (const IoError&) {
        return false;
    }
    return true;
}

// The counterpart of the read-only attribute: the owner's write bit is clear, or this user may not
// write the file at all. Root passes access(), so the bit is what counts for him.
bool isReadOnlyFile(const QString& path)
{
    if (!(QFile::permissions(path) & QFileDevice::WriteOwner)) return true;
    return ::access(QFile::encodeName(path).constData(), W_OK) != 0;
}

const char16_t kNotWritable[] = u"設定ファイルに書き込み出来ません。";

}  // namespace

DataFolderPlan PlanDataFolder(const QString& programDir, bool programDirWritable, const QString& xdgDataHome)
{
    if (programDirWritable) return {WithSlash(programDir), false};
    return {WithSlash(xdgDataHome) + QStringLiteral("PelmoraS/"), true};
}

QString XdgDataHome()
{
    // The XDG rules ignore a relative value.
    const QString env = qEnvironmentVariable("XDG_DATA_HOME");
    if (!env.isEmpty() && QDir::isAbsolutePath(env)) return env;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

void SetupPaths()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    // access() rather than the permission bits: root may write anywhere and so keeps the data
    // beside the program, as an administrator does; a read-only file system counts as unwritable.
    // The program folder decides, not the version folder the program file lies in.
    const QString root = ProgramFoldersOf(programDir).root;
    const bool writable = ::access(QFile::encodeName(root).constData(), W_OK) == 0;
    SetupPathsFor(programDir, writable, XdgDataHome());
}

void SetupPathsFor(const QString& programDir, bool programDirWritable, const QString& xdgDataHome)
{
    const TProgramFolders folders = ProgramFoldersOf(programDir);
    TablePath = folders.tables;
    const DataFolderPlan plan = PlanDataFolder(folders.root, programDirWritable, xdgDataHome);
    DataPath = plan.dataPath;
    IniFileName = DataPath + QStringLiteral("Tolvane.ini");
    DataMoved = false;
    if (!plan.relocate) return;
    // The user's own data folder (0700), tightened too when an earlier version made it.
    MakePrivateFolder(DataPath);
    // The settings file in the new place marks a relocation done on an earlier start.
    if (QFileInfo::exists(IniFileName)) return;
    // The shipped data folder is the one the main window migrates from ("Data"); file names are
    // case-sensitive here, so both use the same spelling.
    CopyFolderTree(folders.root + QStringLiteral("Data"), DataPath + QStringLiteral("Data"));
    const QString shippedIni = folders.root + QStringLiteral("Tolvane.ini");
    if (QFileInfo::exists(shippedIni)) copyOver(shippedIni, IniFileName);
    DataMoved = true;
}

void CopyFolderTree(const QString& src, const QString& dst)
{
    MakePrivateFolder(dst);
    const QFileInfoList entries =
        QDir(src).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& e : entries) {
        const QString target = WithSlash(dst) + e.fileName();
        if (e.isDir()) {
            // A linked folder could lead back into the tree.
            if (!e.isSymLink()) CopyFolderTree(e.filePath(), target);
            continue;
        }
        const QString ext = e.suffix().toLower();
        if (ext == QLatin1String("exe") || ext == QLatin1String("chm")) continue;
        copyOver(e.filePath(), target);
    }
}

bool FinishStoppedWork(const QString& root)
{
    const TRestoreRecovery r = RecoverRestores(root);
    switch (r.outcome) {
        case TRestoreRecovery::Failed:
            ShowError(RestoreFailedMessage.arg(r.reason, QDir::toNativeSeparators(r.folder)));
            return false;
        case TRestoreRecovery::Completed:
            ShowInfo(RestoreCompletedMessage);
            break;
        case TRestoreRecovery::RolledBack:
            ShowWarning(RestoreRolledBackMessage);
            break;
        case TRestoreRecovery::None:
            break;
    }
    RemoveLeftovers(root);
    return true;
}

bool StartWithoutLock(const QString& root, const QString& lockFile)
{
    const QString told = NoLockMessage.arg(QDir::toNativeSeparators(lockFile));
    if (HasStoppedRestore(root)) {
        ShowError(told + NoLockStoppedRestore);
        return false;
    }
    ShowWarning(told + NoLockCaution);
    return true;
}

bool CheckIniWritable()
{
    int code = 0;
    if (QFileInfo::exists(IniFileName) && isReadOnlyFile(IniFileName)) {
        ShowError(QString::fromUtf16(kNotWritable));
    } else {
        const QString probe = DataPath + QStringLiteral("Write.chk");
        const QByteArray name = QFile::encodeName(probe);
        // Never through a link: a link planted under the name would have its target made. The
        // probe's name is the program's own, so a link in its place goes as the probe would.
        int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        struct stat st;
        if (fd < 0 && errno == ELOOP && ::lstat(name.constData(), &st) == 0 && S_ISLNK(st.st_mode) &&
            ::unlink(name.constData()) == 0)
            fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(name.constData());
            return true;
        }
        code = errno;
        // A missing folder or a read-only medium: tell which file is concerned as well.
        if (code == ENOENT || code == EROFS) ShowError(QString::fromUtf16(kNotWritable));
    }
    ShowError(QStringLiteral("プログラム起動不可[%1]").arg(code));
    return false;
}

bool CheckIniReadable()
{
    try {
        IniFile ini(IniFileName);
    } catch (const AppError& e) {
        ShowError(e.message());
        return false;
    }
    return true;
}

TEraYear DefaultEra(const QDate& today)
{
    const int y = today.year();
    if (y > 2019 || (y == 2019 && today.month() >= 5))
        return {QStringLiteral("令和"), QStringLiteral("%1").arg(y - 2019 + 1, 2, 10, QLatin1Char('0'))};
    return {QStringLiteral("平成"), QStringLiteral("%1").arg(y - 1989 + 1, 2, 10, QLatin1Char('0'))};
}

QString DefaultYearFile(const QString& folder, const QDate& today)
{
    if (today.year() == 2019) return YearFileName(folder, QStringLiteral("平成"), 31);
    const TEraYear e = DefaultEra(today);
    return YearFileName(folder, e.EraText, e.YearText.toInt());
}

TMigration MigrateOldData(const QString& oldFolder)
{
    const QDir dir(oldFolder);
    TMigration result;
    for (const QString& name : dir.entryList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name)) {
        try {
            ConvertOldYearFile(dir.filePath(name), DataPath + name);
            ++result.moved;
        } catch (const AppError& e) {
            result.failed += e.message();
        }
    }
    return result;
}

bool CheckTaxChange(const QString& iniFile, bool newSysIni)
{
    IniFile ini(iniFile);
    const QString sec = QStringLiteral("Option"), key = QStringLiteral("TaxChangeDate");
    const QString date = QString::fromLatin1(TaxChangeDate);
    const QString value = newSysIni ? date : ini.readString(sec, key);
    const bool due = value < date;
    if (due || newSysIni) {
        ini.writeString(sec, key, date);
        ini.save();
    }
    return due;
}
