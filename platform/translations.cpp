// Qt's Japanese translation, from the Debian package qt6-translations-l10n.
#include "platform/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator* InstallQtTranslations(const QString& folder)
{
    const QString from = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QStringLiteral("qtbase_ja"), from) || !QCoreApplication::installTranslator(t)) {
        delete t;
        return nullptr;
    }
    return t;
}
