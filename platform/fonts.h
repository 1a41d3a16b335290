// Windows face names kept in the settings, mapped to the IPA fonts installed on this system.
#pragma once
#include <QFont>

// Call once after the application object exists and before any window is created.
void InstallFontSubstitutions();

// The fixed-pitch Gothic of lists and texts laid out in single-byte columns: a half-width
// character is half the pixel size wide.
QFont FixedPitchFont(int pixelSize);
