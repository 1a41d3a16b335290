// The cloud backup: every company data set and the settings packed into a password-protected zip
// and kept on the backup server as UserKey + ".zip", with UserKey + ".inf" holding its date.
// The server's address, account and the installation's UserKey live in their own settings file
// (0600) beside the program-wide one, so that a backup never carries them and a restore never
// replaces them.
#pragma once
#include <QString>

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

// The three operations. Each reports its own failures through message boxes and returns true
// when it succeeded. automatic (the backup at program end) asks nothing and shows no completion
// message. progress may cancel a transfer.
bool CloudBackup(bool automatic, const FtpProgress& progress = {});
// True when the data was replaced: the caller ends the program without saving.
bool CloudRestore(const FtpProgress& progress = {});
bool CloudDeleteData();
