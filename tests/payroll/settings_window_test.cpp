// The settings window: item names checked before anything is stored, the record written with its
// rounding keys per period kind, Cancel and fonts; the font chooser's fixed-pitch faces.
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "payroll/option.h"
#include "payroll/optionedit.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/ui/TfmOption.h"
#include "payroll/ui/TfmSelFont.h"
#include "platform/fonts.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "tests/app/appfixture.h"

namespace {

class SettingsWindowTest : public WithForms<CoreTest> {
  protected:
    void SetUp() override
    {
        WithForms::SetUp();
        useDataFolder();
        SysIniFileName = IniFileName;
        InstallFontSubstitutions();
        WriteAll(IniFileName, "[Option]\r\nFormType=0\r\n");
        LoadOption();
        w = fmOption;
    }
    QLineEdit* ed(const char* name) { return child<QLineEdit>(w, name); }
    void ok() { child<QPushButton>(w, "btSysSave")->click(); }

    ScreenshotFont font;  // before the windows are made
    TfmOption* w = nullptr;
    ScriptedMsgBox box;
};

QString duplicate(const char* name)
{
    return u("項目名｢%1｣が重複しています。\n同じ名前の項目を複数作成する事は出来ません。").arg(u(name));
}
QString prepared(const char* name)
{
    return u("項目名｢%1｣は既に用意されている項目です。\n同じ名前の項目を複数作成する事は出来ません。")
        .arg(u(name));
}

TEST_F(SettingsWindowTest, RefusedNamesLeaveTheFileAndRecordUntouched)
{
    struct Case {
        const char* edit;
        const char* name;
        QString message;
        const char* focus;
    } const cases[] = {
        {"edFixTeate2", "固定手当１", duplicate("固定手当１"), "edFixTeate2"},  // the second of the two
        {"edFixTeate1", "基本給", prepared("基本給"), "edFixTeate1"},
        {"edVarTeate3", "日給計", prepared("日給計"), "edVarTeate3"},
        {"edFixKoujo1", "賞与", prepared("賞与"), "edFixKoujo1"},
        {"edVarKoujo2", "", u("項目名は必須入力です。"), "edVarKoujo2"},
        {"edSonota1", "変動控除２", duplicate("変動控除２"), "edSonota1"},  // focus on the other item
        {"edSonota3", "", u("項目名は必須入力です。"), "edSonota3"},
        {"edKintaiFre", "勤怠項目", prepared("勤怠項目"), "edKintaiFre"},
        {"edKintaiFre", "その他２", duplicate("その他２"), "edKintaiFre"},
    };
    const QByteArray before = ReadAll(IniFileName);
    ShowActive(w);
    Screenshot(w, "settings.png");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box.clear();
        w->hide();
        ShowActive(w);
        ed(c.edit)->setText(u(c.name));
        ok();
        ASSERT_EQ(box.shown().size(), 1u);
        EXPECT_EQ(box.lastText(), c.message);
        EXPECT_EQ(w->focusWidget(), ed(c.focus));
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(ReadAll(IniFileName), before);
        EXPECT_EQ(OptionRec.FixTeate[1], u("固定手当１"));
    }
}

TEST_F(SettingsWindowTest, OkWritesTheRecordAndNamesFreshItems)
{
    CurPeriod.Period = 13;  // a bonus period: only the rounding keys ending in S
    OptionRec.HasuuSik = 1;
    w->show();
    ed("edFixTeate1")->setText(u("固定手当１"));      // a placeholder name is allowed
    ed("edTokuSyoyo")->setText(u("決算賞与一二三"));  // cut to 8 bytes
    ed("edVarTeate1")->setText(u("出張手当한"));      // a character CP932 lacks is named and dropped
    child<QRadioButton>(w, "rbSikRound")->click();
    child<QCheckBox>(w, "cbKazei11")->setChecked(true);
    ed("edPrAdjustH")->setText(u("-1.5"));
    ok();
    EXPECT_EQ(w->result(), QDialog::Accepted);
    ASSERT_EQ(box.shown().size(), 2u);
    EXPECT_EQ(box.shown().front().text, u("「한」はこのプログラムで扱えない文字です。"));
    EXPECT_TRUE(box.lastText().startsWith(u("変更した項目名を有効にする為、"))) << "a new special bonus name";
    const IniFile ini(IniFileName);
    const QString o = QStringLiteral("Option");
    EXPECT_EQ(ini.readBytes(o, u("TokuSyoyo")), QByteArray("\x8c\x88\x8e\x5a\x8f\xdc\x97\x5e"));  // 決算賞与
    EXPECT_EQ(OptionRec.VarTeate[1], u("出張手当"));
    EXPECT_EQ(ini.readString(o, u("HasuuSikS")), u("2"));
    EXPECT_FALSE(ini.valueExists(o, u("HasuuSik")));
    EXPECT_EQ(ini.readString(o, u("Kazei")), u("111111000001"));
    EXPECT_EQ(ini.readString(o, u("PrAdjustH")), u("-15"));
    EXPECT_EQ(ini.readString(o, u("FormType")), u("0"));
}

TEST_F(SettingsWindowTest, EnterMovesOnAndTheOffsetFieldTakesASignedNumber)
{
    OptionRec.InputOverN = false;
    OptionRec.AutoSelect = false;
    ShowActive(w);
    QTest::keyClick(ed("edFixTeate1"), Qt::Key_Return);
    EXPECT_EQ(w->focusWidget(), child<QWidget>(w, "cbKazei0"));
    QLineEdit* h = ed("edPrAdjustH");
    h->setFocus();
    QTest::keyClick(h, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClicks(h, "-1.5x");
    EXPECT_EQ(box.beeps(), 1);
    QTest::keyClick(h, Qt::Key_Return);
    EXPECT_EQ(h->text(), u(" -1.5"));
    EXPECT_EQ(w->focusWidget(), ed("edPrAdjustV"));
}

TEST_F(SettingsWindowTest, CancelKeepsRecordAndFileAlsoAfterAFontWasChosen)
{
    const QByteArray before = ReadAll(IniFileName);
    ShowActive(w);
    WhenShown(fmSelFont, [] {
        auto* list = child<QListWidget>(fmSelFont, "ListBox");
        list->setCurrentRow(0);  // IPAGothic in place of the Mincho
        fmSelFont->accept();
    });
    child<QPushButton>(w, "sbSelectFont0")->click();
    EXPECT_EQ(child<QLabel>(w, "lbFontName")->text(), u("IPAGothic"));
    child<QPushButton>(w, "btCancel")->click();
    EXPECT_EQ(OptionRec.FontName, u("ＭＳ 明朝"));
    EXPECT_EQ(ReadAll(IniFileName), before);
    EXPECT_TRUE(box.shown().empty());
}

// fontconfig calls the IPA fixed-pitch faces dual width; measured, they are fixed pitch, and the
// P faces and the IPAex faces (proportional Latin letters) are not.
TEST_F(SettingsWindowTest, FontChooserListsMeasuredFixedPitchFacesAndKeepsTheWindowsName)
{
    const QStringList faces = FixedPitchJapaneseFaces();
    EXPECT_TRUE(faces.contains(u("IPAGothic")) && faces.contains(u("IPAMincho"))) << faces.join(u(","));
    for (const char* proportional : {"IPAPGothic", "IPAPMincho", "IPAexGothic", "IPAexMincho"})
        EXPECT_FALSE(faces.contains(u(proportional))) << proportional;
    TfmSelFont chooser;
    struct Case {
        const char* stored;
        const char* selected;  // the entry
        const char* chosen;    // what OK gives
    } const cases[] = {
        {"ＭＳ 明朝", "IPAMincho", "ＭＳ 明朝"},
        {"IPAGothic", "IPAGothic", "IPAGothic"},
        {"Not Installed", nullptr, nullptr},  // the first entry, and its name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        chooser.prepare(u("印刷全体のフォント選択"), u(c.stored), u("平成25年1月分 給与"));
        chooser.show();
        auto* list = child<QListWidget>(&chooser, "ListBox");
        const QString entry = list->currentItem()->text();
        EXPECT_EQ(entry, c.selected ? u(c.selected) : faces.first());
        EXPECT_EQ(chooser.fontName(), c.chosen ? u(c.chosen) : faces.first());
        EXPECT_EQ(child<QLabel>(&chooser, "lbPreView28")->font().family(), entry);
        if (QString(c.stored) == u("ＭＳ 明朝")) Screenshot(&chooser, "font-chooser.png");
        chooser.hide();
    }
}

// The windows name their faces by the installed face a Windows name stands for; it must be the
// face the substitution would have given, and a name without substitute stays itself.
TEST(ScreenFace, IsTheFaceTheSubstitutionGives)
{
    const struct {
        const char* windows;
        const char* installed;
    } cases[] = {
        {"MS UI Gothic", "IPAPGothic"}, {"ＭＳ Ｐゴシック", "IPAPGothic"},  {"MS PGothic", "IPAPGothic"},
        {"ＭＳ ゴシック", "IPAGothic"}, {"MS Gothic", "IPAGothic"},         {"ＭＳ 明朝", "IPAMincho"},
        {"MS Mincho", "IPAMincho"},     {"Not Installed", "Not Installed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windows);
        EXPECT_EQ(ScreenFace(u(c.windows)), u(c.installed));
        if (QString(c.installed) == u("Not Installed")) continue;
        EXPECT_EQ(QFontInfo(QFont(u(c.windows), 9)).family(),
                  QFontInfo(QFont(ScreenFace(u(c.windows)), 9)).family());
    }
    EXPECT_EQ(QFontInfo(FixedPitchFont(16)).family(), u("IPAGothic"));
}

// fontconfig names the IPA faces in the desktop's language (IPA明朝 under a Japanese locale), read
// once per process: each language runs in a child of its own, which checks that the Windows names
// stand for the right faces there, and that the chooser keeps the stored Mincho.
TEST(FontNamesByLanguage, WindowsNamesFindTheFacesWhateverTheirLanguage)
{
    const struct {
        const char* lang;
        const char* mincho;
        const char* gothic;
        const char* pgothic;
        const char* gothicElsewhere;  // the Gothic's name in the other language
    } cases[] = {
        {"ja_JP.UTF-8", "IPA明朝", "IPAゴシック", "IPA Pゴシック", "IPAGothic"},
        {"C.UTF-8", "IPAMincho", "IPAGothic", "IPAPGothic", "IPAゴシック"},
    };
    const QByteArray inChild = qgetenv("PELMORAS_FONT_LANG");
    if (inChild.isEmpty()) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.lang);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const char* var : {"LC_ALL", "LC_CTYPE", "LANGUAGE", "FC_LANG"})
                env.remove(QString::fromLatin1(var));
            env.insert(QStringLiteral("LANG"), QString::fromLatin1(c.lang));
            env.insert(QStringLiteral("PELMORAS_FONT_LANG"), QString::fromLatin1(c.lang));
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            QProcess child;
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--gtest_filter=FontNamesByLanguage.*")});
            ASSERT_TRUE(child.waitForFinished(60000));
            const QString out = QString::fromUtf8(child.readAll());
            EXPECT_EQ(child.exitCode(), 0) << out;
            EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << out;
        }
        return;
    }
    for (const auto& c : cases) {
        if (inChild != c.lang) continue;
        // The database lists the faces by this language's names, and by no other.
        const QStringList listed = QFontDatabase::families();
        ASSERT_TRUE(listed.contains(u(c.mincho))) << listed.join(u(","));
        const struct {
            const char* windows;
            const char* installed;
        } faces[] = {
            {"ＭＳ 明朝", c.mincho}, {"MS Mincho", c.mincho},        {"ＭＳ ゴシック", c.gothic},
            {"MS Gothic", c.gothic}, {"ＭＳ Ｐゴシック", c.pgothic}, {"MS UI Gothic", c.pgothic},
        };
        for (const auto& f : faces) {
            SCOPED_TRACE(f.windows);
            EXPECT_EQ(ScreenFace(u(f.windows)), u(f.installed));
            EXPECT_EQ(QFontInfo(QFont(u(f.windows), 12)).family(), u(f.installed));
        }
        // The chooser shows the face a kept name stands for, and OK keeps that name.
        TfmSelFont chooser;
        const struct {
            const char* kept;
            const char* entry;
        } kept[] = {{"ＭＳ 明朝", c.mincho}, {c.gothicElsewhere, c.gothic}, {c.gothic, c.gothic}};
        for (const auto& k : kept) {
            SCOPED_TRACE(k.kept);
            chooser.prepare(u("印刷全体のフォント選択"), u(k.kept), u("令和8年1月分 給与"));
            chooser.show();
            EXPECT_EQ(child<QListWidget>(&chooser, "ListBox")->currentItem()->text(), u(k.entry));
            EXPECT_EQ(chooser.fontName(), u(k.kept));
            chooser.accept();
        }
    }
}

}  // namespace
