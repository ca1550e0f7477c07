#include "platform/ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kelsor::ui {
namespace {

// Qt 6 asks for the picker's type names ("Folder", "Drive", "%1 File") under
// a context its catalogues do not have yet; they carry the same texts under
// the picker's own context, where this finds them.
class FileTypeNames : public QTranslator {
public:
    FileTypeNames(QTranslator& qt, QObject* parent) : QTranslator(parent), m_qt(qt) {}
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        QString text = m_qt.translate("QFileDialog", source, disambiguation, n);
        if (text.isEmpty() && disambiguation != nullptr)
            text = m_qt.translate("QFileDialog", source, nullptr, n);
        return text;
    }

private:
    QTranslator& m_qt;
};

}  // namespace

bool InstallQtTranslations(QCoreApplication& application) {
    // "qt" pulls in qtbase and the other modules' catalogues; the translators
    // live as long as the application that uses them.
    auto* translator = new QTranslator(&application);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale::system(), QStringLiteral("qt"), QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    if (!QCoreApplication::installTranslator(translator))
        return false;
    QCoreApplication::installTranslator(new FileTypeNames(*translator, &application));
    return true;
}

}  // namespace kelsor::ui
