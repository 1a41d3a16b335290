// Qt's own texts in Japanese: the file and printer dialogs and the other windows Qt draws itself.
#pragma once
#include <QString>

class QTranslator;

// Loads Qt's Japanese translation "qtbase_ja" from folder (empty: Qt's translations folder) and
// installs it for the whole program. Returns it (deleting it uninstalls it), or null when it is
// missing or unreadable: Qt's dialogs then speak English and the program goes on.
QTranslator* InstallQtTranslations(const QString& folder = {});
