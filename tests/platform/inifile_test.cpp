// Ini files: Windows profile reading rules, in-place updates and the bytes a save leaves.
#include "platform/inifile.h"

#include <sys/stat.h>

#include <QFile>

#include "platform/cp932.h"
#include "platform/errors.h"
#include "tests/testutil.h"

namespace {

class IniFileTest : public CoreTest {
  protected:
    QString path() const { return dir() + QStringLiteral("t.ini"); }
    void write(const QString& text) { WriteAll(path(), cp932::encode(text)); }
};

TEST_F(IniFileTest, ReadingFollowsProfileRules)
{
    write(
        QStringLiteral("[Option]\r\n  Name  =  \"  前後に空白  \"  \r\nPlain =  平文  \r\nEmpty=\r\n"
                       "Quote=\"\r\nNum= 42 \r\nHex=$1F\r\nBad=4x\r\nDup=first\r\nDup=second\r\n"
                       ";Hidden=1\r\n[option]\r\nLater=1\r\n[Other]\nLf=yes\n"));
    const IniFile ini(path());
    const QString s = QStringLiteral("OPTION");
    EXPECT_EQ(ini.readString(s, QStringLiteral("name")), QStringLiteral("  前後に空白  "));
    EXPECT_EQ(ini.readString(s, QStringLiteral("Plain")), QStringLiteral("平文"));
    EXPECT_EQ(ini.readString(s, QStringLiteral("Empty"), QStringLiteral("def")), QString());
    EXPECT_EQ(ini.readString(s, QStringLiteral("Quote")), QStringLiteral("\"")) << "a lone quote is no pair";
    EXPECT_EQ(ini.readString(s, QStringLiteral("Missing"), QStringLiteral("def")), QStringLiteral("def"));
    EXPECT_EQ(ini.readInteger(s, QStringLiteral("Num"), 0), 42);
    EXPECT_EQ(ini.readInteger(s, QStringLiteral("Hex"), 0), 31);
    EXPECT_EQ(ini.readInteger(s, QStringLiteral("Bad"), 7), 7);
    EXPECT_EQ(ini.readString(s, QStringLiteral("Dup")), QStringLiteral("first"));
    EXPECT_FALSE(ini.valueExists(s, QStringLiteral("Hidden"))) << "a comment is no key";
    EXPECT_FALSE(ini.valueExists(s, QStringLiteral("Later"))) << "the first section of a name counts";
    EXPECT_EQ(ini.readString(QStringLiteral("other"), QStringLiteral("LF")), QStringLiteral("yes"));
    EXPECT_EQ(ini.readSections(), QStringList({QStringLiteral("Option"), QStringLiteral("Other")}));
}

TEST_F(IniFileTest, UnchangedValuesLeaveTheFileByteForByte)
{
    const QString text = QStringLiteral(
        "; 注釈\r\n[Option]\r\nJuryoStr=\"　　受領印\"\r\nFont = \"ＭＳ 明朝\"\r\n"
        "Flags=101\r\n\r\n[Window]\r\nLeft=10\r\n");
    write(text);
    IniFile ini(path());
    ini.writeQuoted(QStringLiteral("option"), QStringLiteral("juryostr"), QStringLiteral("　　受領印"));
    ini.writeQuoted(QStringLiteral("Option"), QStringLiteral("Font"), QStringLiteral("ＭＳ 明朝"));
    ini.writeString(QStringLiteral("Option"), QStringLiteral("Flags"), QStringLiteral("101"));
    EXPECT_FALSE(ini.modified());
    ::chmod(QFile::encodeName(path()).constData(), 0644);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &st), 0);
    const ino_t before = st.st_ino;
    ini.save();
    EXPECT_EQ(ReadAll(path()), cp932::encode(text));
    // Not rewritten (no sync at every start for the same bytes), yet made private.
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &st), 0);
    EXPECT_EQ(st.st_ino, before);
    EXPECT_EQ(FileMode(path()), 0600);
}

TEST_F(IniFileTest, WritesUpdateInPlaceAndAppendWhereWindowsWould)
{
    write(QStringLiteral("[Option]\r\nA=1\r\n\r\n[Window]\r\nLeft=10\r\n"));
    IniFile ini(path());
    ini.writeInteger(QStringLiteral("option"), QStringLiteral("a"), 2);
    ini.writeString(QStringLiteral("Option"), QStringLiteral("B"), QStringLiteral("二"));
    ini.writeBool(QStringLiteral("New"), QStringLiteral("On"), true);
    ini.deleteKey(QStringLiteral("Window"), QStringLiteral("Left"));
    ini.save();
    EXPECT_EQ(
        ReadAll(path()),
        cp932::encode(QStringLiteral("[Option]\r\nA=2\r\nB=二\r\n\r\n[Window]\r\n\r\n[New]\r\nOn=1\r\n")));
    IniFile again(path());
    again.eraseSection(QStringLiteral("window"));
    EXPECT_FALSE(again.sectionExists(QStringLiteral("Window")));
    EXPECT_EQ(again.readString(QStringLiteral("New"), QStringLiteral("On")), QStringLiteral("1"));
}

TEST_F(IniFileTest, TextOutsideCodePage932IsRefusedAndTheFileKept)
{
    write(QStringLiteral("[Option]\r\nA=1\r\n"));
    IniFile ini(path());
    EXPECT_THROW(ini.writeString(QStringLiteral("Option"), QStringLiteral("A"), QStringLiteral("😀")),
                 EncodingError);
    ini.save();
    EXPECT_EQ(ReadAll(path()), QByteArray("[Option]\r\nA=1\r\n"));
}

}  // namespace
