// The start-up password and the cloud-archive password in the program-wide settings file. The
// stored form keeps what existing settings files hold: the password's CP932 bytes, each less 16,
// between double quotes. It keeps the password from being read at a glance and nothing more: the
// start-up password is a gate, not encryption.
#pragma once
#include <QByteArray>
#include <QString>

// Which password the setting window sets (its PassMode).
enum PassModes : int32_t { pmStartup = 1, pmCloud = 2 };

// Each byte less 16 (modulo 256), and back.
QByteArray ScramblePassword(const QByteArray& plain);
QByteArray RestorePassword(const QByteArray& stored);

// The restored password of mode from SysIniFileName as bytes (a full-width password's stored
// bytes are not CP932 text); empty when none is set.
QByteArray ReadPassword(int passMode);
// Stores password under [Option] ListFile (start-up) or [Cloud] Comment; empty clears it.
// EncodingError for a character CP932 lacks, IoError when the file cannot be written.
void WritePassword(int passMode, const QString& password);
// The entry is the password: the same CP932 bytes.
bool PasswordMatches(const QByteArray& password, const QString& entry);
