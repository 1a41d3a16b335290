// Windows face names kept in the settings, mapped to the IPA fonts installed on this system.
#pragma once

// Call once after the application object exists and before any window is created.
void InstallFontSubstitutions();
