// Substitution of the Windows Japanese face names by the IPA fonts.
#include "platform/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace {
struct Substitution {
    const char16_t* face;
    QStringList families;  // first installed one wins
};
}  // namespace

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
    const QStringList installed = QFontDatabase::families();
    for (const Substitution& s : table) {
        const QString face = QString::fromUtf16(s.face);
        QStringList present;
        for (const QString& f : s.families)
            if (installed.contains(f, Qt::CaseInsensitive)) present << f;
        if (!present.isEmpty()) QFont::insertSubstitutions(face, present);
    }
}

QFont FixedPitchFont(int pixelSize)
{
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPixelSize(pixelSize);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}
