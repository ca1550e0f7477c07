#include "platform/ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kelsor::ui {

bool InstallQtTranslations(QCoreApplication& application) {
    // "qt" pulls in qtbase and the other modules' catalogues; the translator
    // lives as long as the application that uses it.
    auto* translator = new QTranslator(&application);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale::system(), QStringLiteral("qt"), QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace kelsor::ui
