// Windows face names kept in the settings, mapped to the IPA fonts installed on this system.
#pragma once
#include <QFont>
#include <QStringList>

// Call once after the application object exists and before any window is created.
void InstallFontSubstitutions();

// The fixed-pitch Gothic of lists and texts laid out in single-byte columns: a half-width
// character is half the pixel size wide.
QFont FixedPitchFont(int pixelSize);

// Whether family draws every half-width character one width and every full-width character twice
// that, measured on its own glyphs (fontconfig calls Japanese fixed-pitch faces dual width).
bool IsFixedPitchFace(const QString& family);
// The faces the print engine can use: scalable, with the Japanese writing system, measured fixed
// pitch, no vertical-writing "@" faces; sorted.
QStringList FixedPitchJapaneseFaces();
