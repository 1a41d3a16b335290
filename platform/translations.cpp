// Qt's Japanese translation, from the Debian package qt6-translations-l10n, and the few texts of
// Qt's file dialogs that it lacks.
#include "platform/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// The type column of Qt's file dialogs: qtbase_ja has no texts for this context, so folders
// showed as "Folder".
class FileTypeTexts : public QTranslator {
  public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override
    {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return {};
        static const struct {
            const char* source;
            const char* text;
        } texts[] = {{"Folder", "フォルダー"},
                     {"File Folder", "フォルダー"},
                     {"Drive", "ドライブ"},
                     {"Shortcut", "ショートカット"},
                     {"Unknown", "不明"}};
        for (const auto& t : texts)
            if (qstrcmp(source, t.source) == 0) return QString::fromUtf8(t.text);
        return {};
    }
};

}  // namespace

QTranslator* InstallQtTranslations(const QString& folder)
{
    const QString from = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QStringLiteral("qtbase_ja"), from) || !QCoreApplication::installTranslator(t)) {
        delete t;
        return nullptr;
    }
    // A child of Qt's translation: deleting that uninstalls both.
    QCoreApplication::installTranslator(new FileTypeTexts(t));
    return t;
}
