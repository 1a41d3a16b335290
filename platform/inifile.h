// Ini settings files with the Windows profile semantics the settings were written with:
// case-insensitive sections and keys, values trimmed, one enclosing pair of double quotes
// dropped on read, CP932 text, CRLF lines. A save rewrites the whole file and keeps every
// section, key, comment and untouched line as it stood.
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class IniFile {
  public:
    // Reads path when it exists; a missing file starts empty. An unreadable file throws IoError.
    explicit IniFile(const QString& path);

    const QString& fileName() const { return path_; }

    QString readString(const QString& section, const QString& key, const QString& def = {}) const;
    // The value's bytes as they stand (trimmed, one pair of quotes dropped), for values that are
    // not CP932 text (a scrambled password); def when the key is missing.
    QByteArray readBytes(const QString& section, const QString& key, const QByteArray& def = {}) const;
    int readInteger(const QString& section, const QString& key, int def) const;
    bool readBool(const QString& section, const QString& key, bool def) const;
    bool sectionExists(const QString& section) const;
    bool valueExists(const QString& section, const QString& key) const;
    QStringList readSection(const QString& section) const;  // the keys, in file order
    QStringList readSections() const;

    // Writes change the image in memory; save() puts them on disk.
    void writeString(const QString& section, const QString& key, const QString& value);
    // Writes bytes as they are; a line end in them would end the line, so it throws EncodingError.
    void writeBytes(const QString& section, const QString& key, const QByteArray& value);
    void writeQuoted(const QString& section, const QString& key, const QString& value);  // "\"%s\""
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);  // "1" / "0"
    void deleteKey(const QString& section, const QString& key);
    void eraseSection(const QString& section);

    bool modified() const { return modified_; }
    // Rewrites the file through a temporary file; on failure the old file stays and IoError is thrown.
    void save();

    // The raw bytes the file would hold after save().
    QByteArray bytes() const;

  private:
    struct Line {
        QByteArray raw;   // as read or written, without the line end
        QString section;  // for a section header: its name
        QString key;      // for a key line: its key
        bool isSection = false;
        bool isKey = false;
    };
    static Line parse(const QByteArray& raw);
    int findSection(const QString& section) const;                  // index of the header line, -1
    int sectionEnd(int header) const;                               // index after the section's last line
    int findKey(const QString& section, const QString& key) const;  // index of the key line, -1
    QByteArray valueBytes(int line) const;                          // trimmed, one pair of quotes dropped

    QString path_;
    QList<Line> lines_;
    bool modified_ = false;
    QByteArray loaded_;  // the file as read (or last saved); null while there is none
};

// [MailText] (the mail body) or [PrintMemo] (the slip memo) of a settings file: "LineCount", then
// "Line1".."LineN". A line that is missing reads as "NoData" and ends the reading.
QStringList ReadStoredLines(const QString& iniFile, const QString& section);
// Writes them back quoted, so that leading blanks and quotes survive; IoError when the file cannot
// be written (the old file stays).
void WriteStoredLines(const QString& iniFile, const QString& section, const QStringList& lines);
