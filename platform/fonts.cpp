// Substitution of the Windows Japanese face names by the IPA fonts.
#include "platform/fonts.h"

#include <dlfcn.h>
#include <fontconfig/fontconfig.h>

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QRawFont>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <system_error>

namespace {
// What each Windows face name stands for on this system (its first installed substitute).
QHash<QString, QString>& screenFaces()
{
    static QHash<QString, QString> faces;
    return faces;
}

// Every name of an installed family, in lower case, to the name the font database lists it under.
QHash<QString, QString>& familyNames()
{
    static QHash<QString, QString> names;
    return names;
}

struct Substitution {
    const char16_t* face;
    QStringList families;  // first installed one wins
};

// fontconfig names a family in each language its font file names it in ("IPAMincho" and
// "IPA明朝"), and the font database lists it under the one of the desktop's language. The result
// takes every name, in lower case, to the name the database lists; a name of no listed family is
// not in it.
QHash<QString, QString> listedFamilyNames()
{
    QHash<QString, QString> listed;
    for (const QString& f : QFontDatabase::families()) listed.insert(f.toLower(), f);
    QHash<QString, QString> names = listed;
    FcPattern* all = FcPatternCreate();
    FcObjectSet* family = FcObjectSetBuild(FC_FAMILY, static_cast<char*>(nullptr));
    FcFontSet* fonts = all && family ? FcFontList(nullptr, all, family) : nullptr;
    for (int i = 0; fonts && i < fonts->nfont; ++i) {
        QStringList each;
        FcChar8* name = nullptr;
        for (int k = 0; FcPatternGetString(fonts->fonts[i], FC_FAMILY, k, &name) == FcResultMatch; ++k)
            each << QString::fromUtf8(reinterpret_cast<const char*>(name));
        const auto shown = std::find_if(each.cbegin(), each.cend(),
                                        [&listed](const QString& n) { return listed.contains(n.toLower()); });
        if (shown == each.cend()) continue;
        const QString as = listed.value(shown->toLower());
        for (const QString& n : each) names.insert(n.toLower(), as);
    }
    if (fonts) FcFontSetDestroy(fonts);
    if (family) FcObjectSetDestroy(family);
    if (all) FcPatternDestroy(all);
    return names;
}
}  // namespace

TFontConfigWarmUp::TFontConfigWarmUp()
{
    // fontconfig is already loaded with Qt's GUI library; its initialisation is thread-safe.
    using Init = int (*)();
    const auto init = reinterpret_cast<Init>(::dlsym(RTLD_DEFAULT, "FcInit"));
    if (!init) return;
    try {
        thread_ = std::thread([init] { init(); });
    } catch (const std::system_error&) {
        // Qt loads the configuration itself at the first font lookup.
    }
}

void TFontConfigWarmUp::wait()
{
    if (thread_.joinable()) thread_.join();
}

void InstallFontSubstitutions()
{
    // The Mincho and Gothic faces are fixed pitch, and list lines and grids rely on columns
    // lining up; IPAMincho and IPAGothic are fixed pitch throughout, while the IPAex faces have
    // proportional Latin letters, so they only stand in when the fixed ones are missing.
    const QStringList mincho{QStringLiteral("IPAMincho"), QStringLiteral("IPAexMincho")};
    const QStringList gothic{QStringLiteral("IPAGothic"), QStringLiteral("IPAexGothic")};
    const QStringList pgothic{QStringLiteral("IPAPGothic"), QStringLiteral("IPAexGothic")};
    const Substitution table[] = {
        {u"ＭＳ 明朝", mincho},     {u"MS Mincho", mincho},        {u"ＭＳ ゴシック", gothic},
        {u"MS Gothic", gothic},     {u"ＭＳ Ｐゴシック", pgothic}, {u"MS PGothic", pgothic},
        {u"MS UI Gothic", pgothic},
    };
    // The families by the names the font database lists them under, whatever the language.
    familyNames() = listedFamilyNames();
    const QHash<QString, QString>& installed = familyNames();
    for (const Substitution& s : table) {
        const QString face = QString::fromUtf16(s.face);
        QStringList present;
        for (const QString& f : s.families) {
            const QString listed = installed.value(f.toLower());
            if (!listed.isEmpty() && !present.contains(listed)) present << listed;
        }
        if (!present.isEmpty()) QFont::insertSubstitutions(face, present);
        screenFaces().insert(face, present.value(0, face));
    }
}

QString ListedFamilyName(const QString& family)
{
    return familyNames().value(family.toLower());
}

QString ScreenFace(const QString& face)
{
    return screenFaces().value(face, face);
}

void InstallApplicationFont()
{
    // The windows were laid out for this face at 9 points.
    QApplication::setFont(QFont(ScreenFace(QStringLiteral("MS UI Gothic")), 9));
}

QFont FixedPitchFont(int pixelSize)
{
    QFont font(ScreenFace(QStringLiteral("ＭＳ ゴシック")));
    font.setPixelSize(pixelSize);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

bool IsFixedPitchFace(const QString& family)
{
    QFont font(family);
    font.setPixelSize(40);
    // The family's own glyphs: no substitute face and no glyphs merged in from another face.
    font.setStyleStrategy(QFont::NoFontMerging);
    if (QFontInfo(font).family().compare(family, Qt::CaseInsensitive) != 0) return false;
    const QRawFont raw = QRawFont::fromFont(font, QFontDatabase::Japanese);
    if (!raw.isValid()) return false;
    const QString half = QStringLiteral("0iW.m ｱ");
    const QString full = QStringLiteral("あ漢Ｗ０");
    const auto advance = [&raw](QChar c) -> double {
        const QList<quint32> glyphs = raw.glyphIndexesForString(QString(c));
        if (glyphs.size() != 1 || glyphs[0] == 0) return -1;
        return raw.advancesForGlyphIndexes(glyphs).value(0).x();
    };
    const double unit = advance(half[0]);
    if (unit <= 0) return false;
    for (QChar c : half)
        if (std::abs(advance(c) - unit) > 0.5) return false;
    for (QChar c : full)
        if (std::abs(advance(c) - 2 * unit) > 0.5) return false;
    return true;
}

QStringList FixedPitchJapaneseFaces()
{
    QStringList faces;
    for (const QString& f : QFontDatabase::families(QFontDatabase::Japanese)) {
        if (f.startsWith(QLatin1Char('@')) || !QFontDatabase::isSmoothlyScalable(f)) continue;
        if (IsFixedPitchFace(f)) faces << f;
    }
    std::sort(faces.begin(), faces.end());
    return faces;
}
