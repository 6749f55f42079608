#include "core/base/qttranslation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

QString QtTranslation::defaultFolder()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

namespace {

// Texts Qt's dialogs show that qtbase_ru (Debian 12's qt6-translations-l10n) has no Russian for:
// a folder's type in the file dialog was "Folder", as the one English word on a Russian window.
// Asked only after qtbase_ru, so they never hide its own translations.
class MissingQtTexts : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        struct Text
        {
            const char *context;
            const char *source;
            const char16_t *russian;
        };
        static constexpr Text kTexts[] = {
            {"QAbstractFileIconProvider", "Folder", u"Папка"},
            {"QAbstractFileIconProvider", "Drive", u"Диск"},
            {"QFileSystemModel", "Folder", u"Папка"},
            {"QFileDialog", "Date Modified", u"Дата изменения"},
            {"QPlatformTheme", "&Save", u"&Сохранить"},
            {"QPlatformTheme", "Don't Save", u"Не сохранять"},
            {"QPlatformTheme", "Close without Saving", u"Закрыть без сохранения"},
            {"QDialogButtonBox", "&OK", u"&OK"},
            {"QDialogButtonBox", "Cancel", u"Отмена"},
        };
        for (const Text &text : kTexts) {
            if (std::strcmp(context, text.context) == 0 && std::strcmp(source, text.source) == 0)
                return QString::fromUtf16(text.russian);
        }
        return {};
    }
};

} // namespace

bool QtTranslation::installRussian(const QString &programName, const QString &folder)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(u"qtbase_ru"_s, folder)) {
        // Installed first, so asked last (Qt asks the latest first); and only beside qtbase_ru,
        // or its few words would be Russian among English.
        QCoreApplication::installTranslator(new MissingQtTexts(QCoreApplication::instance()));
        if (QCoreApplication::installTranslator(translator))
            return true;
    }
    delete translator;
    const QString line = u"%1: перевод Qt на русский язык (qtbase_ru) не найден в «%2», стандартные "
                         u"диалоги будут на английском; его ставит пакет qt6-translations-l10n.\n"_s
                             .arg(programName, QDir::toNativeSeparators(folder));
    std::fputs(line.toUtf8().constData(), stderr);
    return false;
}
