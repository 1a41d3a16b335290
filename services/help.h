// The program's help: HTML pages shipped in the folder "help/" beside the program, a contents page,
// a keyword index, and one page per help context number, found through the map file
// "help/context.map" ([Context] number=page). Windows are given their number here.
#pragma once
#include <QString>

// TablePath + "help/".
QString HelpFolder();
// The pages every help request may open.
extern const QString HelpContentsPage;  // "index.html"
extern const QString HelpIndexPage;     // "keywords.html"
// Whether the help pages are there (the contents page and the map).
bool HelpFilesExist();
// The help context number of a window by its objectName ("fmDataEdit" 240), 0 for none.
int HelpContextOf(const QString& windowName);
// The path of the page of a context number from the map, empty when the map names none or the
// page is missing.
QString HelpPageOf(int context);
