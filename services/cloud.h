// The cloud backup: every company data set and the settings packed into a password-protected zip
// and kept on the backup server as UserKey + ".zip", with UserKey + ".inf" holding its date.
// The server's address, account and the installation's UserKey live in their own settings file
// (0600) beside the program-wide one, so that a backup never carries them and a restore never
// replaces them.
#pragma once
#include <QString>
#include <functional>

#include "services/ftp.h"

// The work folder inside the private temporary parent; every archive entry starts with it.
inline const QString kCloudWorkFolder = QStringLiteral("Pelmora_Temp");

// "CloudServer.ini" beside SysIniFileName.
QString CloudServerFileName();
// The server from [Server] Host, Port, User, Password, Folder; Host empty when not configured.
TFtpServer ReadCloudServer();
// [Cloud] UserKey of the server settings file; made at random and stored on first use.
QString CloudUserKey();
// A key is 8 to 32 letters and digits; the key is stored (upper case) when valid.
bool IsValidUserKey(const QString& key);
void WriteCloudUserKey(const QString& key);

// [Cloud] BackupDate of the program-wide settings file ("yyyy/mm/dd hh:mm").
QString CloudBackupDate();

// One exchange with the server (one or more FTP calls); it reports the bytes it moves to the
// progress it is given, which may cancel it.
using CloudStep = std::function<TFtpResult(const FtpProgress&)>;
// Runs each exchange of an operation. Every question and message of the operation comes before or
// after such a call, never during it, so a window shows its progress box only for the call.
using CloudTransfers = std::function<TFtpResult(const CloudStep&)>;
// Runs the exchanges with progress and nothing shown.
CloudTransfers TransfersWith(const FtpProgress& progress = {});

// The three operations. Each reports its own failures through message boxes and returns true
// when it succeeded. automatic (the backup at program end) asks nothing and shows no completion
// message. A connection that fails is told as such; "no data" only when the server answered that
// the archive is missing or empty.
// showDate, when given, sees the backup's date as soon as it is set, and the earlier one again when
// the new archive did not reach the server. [Cloud] BackupDate takes the new date only once the
// server has put the new archive in place; after that the backup is not cancelled any more.
bool CloudBackup(bool automatic, const CloudTransfers& transfers = TransfersWith(),
                 const std::function<void(const QString& date)>& showDate = {});
// True when the data was replaced (or a restore was left half done for the next start to settle):
// the caller ends the program without saving.
bool CloudRestore(const CloudTransfers& transfers = TransfersWith());
bool CloudDeleteData(const CloudTransfers& transfers = TransfersWith());
