// Windows face names kept in the settings, mapped to the IPA fonts installed on this system.
#pragma once
#include <QFont>
#include <QStringList>
#include <thread>

// Loads the font configuration (fontconfig's configuration files and caches, some 5 ms) on a
// thread of its own while the application object connects to the display, so that the first font
// lookup finds it ready. Made before the application object; wait() before the first font is used.
// Where the font library is not fontconfig, or no thread can be started, it does nothing.
class TFontConfigWarmUp {
  public:
    TFontConfigWarmUp();
    ~TFontConfigWarmUp() { wait(); }
    TFontConfigWarmUp(const TFontConfigWarmUp&) = delete;
    TFontConfigWarmUp& operator=(const TFontConfigWarmUp&) = delete;
    void wait();

  private:
    std::thread thread_;
};

// Call once after the application object exists and before any window is created.
void InstallFontSubstitutions();
// The installed face a Windows face name stands for (its first installed substitute), or the name
// itself. Windows that name their face by it skip the font library's search for a face that is
// not installed, which costs a fallback list for each script on the screen.
QString ScreenFace(const QString& face);
// The name the font database lists an installed family under, given any of its names ("IPAGothic"
// or "IPAゴシック", whatever the desktop's language); empty for a family not installed.
QString ListedFamilyName(const QString& family);
// The application's face: "MS UI Gothic" at 9 points, as the windows were laid out for it.
void InstallApplicationFont();

// The fixed-pitch Gothic of lists and texts laid out in single-byte columns: a half-width
// character is half the pixel size wide.
QFont FixedPitchFont(int pixelSize);

// Whether family draws every half-width character one width and every full-width character twice
// that, measured on its own glyphs (fontconfig calls Japanese fixed-pitch faces dual width).
bool IsFixedPitchFace(const QString& family);
// The faces the print engine can use: scalable, with the Japanese writing system, measured fixed
// pitch, no vertical-writing "@" faces; sorted.
QStringList FixedPitchJapaneseFaces();
