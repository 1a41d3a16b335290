// Substitution of the Windows Japanese face names by the IPA fonts.
#include "platform/fonts.h"

#include <dlfcn.h>

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

struct Substitution {
    const char16_t* face;
    QStringList families;  // first installed one wins
};
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
    const QStringList installed = QFontDatabase::families();
    for (const Substitution& s : table) {
        const QString face = QString::fromUtf16(s.face);
        QStringList present;
        for (const QString& f : s.families)
            if (installed.contains(f, Qt::CaseInsensitive)) present << f;
        if (!present.isEmpty()) QFont::insertSubstitutions(face, present);
        screenFaces().insert(face, present.value(0, face));
    }
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
