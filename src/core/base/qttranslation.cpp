#include "core/base/qttranslation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

using namespace Qt::StringLiterals;

QString QtTranslation::defaultFolder()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool QtTranslation::installRussian(const QString &programName, const QString &folder)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(u"qtbase_ru"_s, folder) && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    const QString line = u"%1: перевод Qt на русский язык (qtbase_ru) не найден в «%2», стандартные "
                         u"диалоги будут на английском; его ставит пакет qt6-translations-l10n.\n"_s
                             .arg(programName, QDir::toNativeSeparators(folder));
    std::fputs(line.toUtf8().constData(), stderr);
    return false;
}
