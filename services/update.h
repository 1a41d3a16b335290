// Program and table-file updates: the private update folder, archives downloaded with their
// checksums, and the installer program pelmoras-update run directly or through pkexec.
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// What is published beside version_info.dat: the program archive at the address of [PelmoraS]
// line 2, the table files at this path of the base address; beside each archive its checksum at
// the archive's address + ".sha256" (a sha256sum line).
inline constexpr char kTablesArchivePath[] = "exe/PelmoraData.zip";
inline constexpr char kChecksumSuffix[] = ".sha256";
// The names the downloads get in the update folder.
inline constexpr char kProgramArchiveName[] = "PelmoraS_upd.zip";
inline constexpr char kTablesArchiveName[] = "PelmoraData.zip";
// The installer, beside the program, and the program it installs.
inline constexpr char kUpdaterName[] = "pelmoras-update";
inline constexpr char kProgramName[] = "pelmoras";
// No published archive is larger; a bigger download is a failed one.
inline constexpr qint64 kMaxUpdateBytes = qint64(256) << 20;
// A download slower on average than this many bytes a second over a window of
// kDownloadSpeedWindowSeconds is given up: a server that trickles would take days.
inline constexpr long kMinDownloadBytesPerSecond = 10 * 1024;
inline constexpr long kDownloadSpeedWindowSeconds = 60;
// A checksum file holds one line.
inline constexpr qint64 kMaxChecksumBytes = 4096;
// No published archive holds more entries (the program, its installer, the table files and the
// help pages come to a few dozen); one with more is refused before any is unpacked.
inline constexpr int kMaxUpdateEntries = 1000;

enum class UpdateKind { Program, Tables };
// The installer's word for kind ("program", "tables").
QString UpdateKindArg(UpdateKind kind);

// The private update folder (0700) under the data root (DataRoot, or root when given), ending
// with "/"; empty while the data root is unset.
QString UpdateFolder(const QString& root = {});
// Deletes whatever an earlier run left in the update folder. The start does this for the data
// root only while it holds the single-instance lock: a copy started with a parameter beside a
// running one must not delete that one's download.
void ClearUpdateFolder(const QString& root = {});

// The SHA-256 of a file as 64 lowercase hexadecimal digits; empty when it cannot be read.
QByteArray Sha256OfFile(const QString& path);
// The checksum of a sha256sum line ("<64 hex digits>  <name>"), lowercase; empty when the text
// does not start with one.
QByteArray ChecksumOfLine(const QByteArray& text);

struct TDownload {
    bool Ok = false;
    bool Cancelled = false;   // the user chose 中止 on the download panel
    bool LocalFault = false;  // this computer failed (a full disk ...): Error is told to the user
    QString File;             // the archive in the update folder, its checksum file beside it
    QString Error;            // why not (the user gets the command's message, and Error after a local fault)
};
// Downloads url into the update folder as name, with url + ".sha256" beside it as name +
// ".sha256". The archive is written as name + ".part", limited to kMaxUpdateBytes, given up when
// the transfer stalls, and put in place only when it is whole, matches its checksum and unpacks
// (every entry readable, none outside its folder). Any failure deletes what was fetched. A transfer
// slower than kMinDownloadBytesPerSecond on average over speedWindowSeconds is given up. Progress
// goes to the notice panel, whose 中止 stops the download.
TDownload DownloadArchive(const QString& url, const QString& name,
                          long speedWindowSeconds = kDownloadSpeedWindowSeconds);

// How an installation ended.
enum class InstallOutcome {
    Installed,
    BadArchive,     // the installer found the archive damaged or not what it should hold
    Failed,         // refused or failed; nothing was changed (Message says why)
    NeedsAdmin,     // no way to get administrator rights here: Message names the command to run
    NotAuthorized,  // the administrator's authentication was refused or cancelled
    NothingNewer,   // every table file of the archive is older than the installed one: nothing done
};
struct TInstall {
    InstallOutcome Outcome = InstallOutcome::Failed;
    QString Message;  // for every outcome but Installed and BadArchive
};
// Installs archive (in the update folder) into the program folder TablePath with the installer
// beside the program: directly when this user may write the folder, otherwise through pkexec.
TInstall InstallArchive(UpdateKind kind, const QString& archive);
// Whether this user may write the program folder (access(W_OK); root always may). Tests put
// their own answer in place (an empty one gives the real check back); returns the previous one.
using FolderWritableCheck = std::function<bool(const QString& folder)>;
FolderWritableCheck SetFolderWritableCheck(FolderWritableCheck check);
// The command line an administrator runs to install archive (the words quoted for a shell).
QString AdminCommand(UpdateKind kind, const QString& archive);

// The installer's exit codes (pkexec itself uses 126 and 127).
enum UpdaterExit : int {
    kUpdaterOk = 0,
    kUpdaterRefused = 1,     // arguments, the archive's place or the target folder refused
    kUpdaterBadArchive = 2,  // checksum, damaged archive or wrong content
    kUpdaterFailed = 3,      // the swap failed and was rolled back
};
