#pragma once

class QCoreApplication;

namespace kelsor::ui {

// Loads Qt's own translations (file and folder pickers, standard buttons) for
// the user's interface languages into `application`, so that they speak the
// program's language. Returns whether a translation was found; without one Qt
// stays English and nothing else changes.
bool InstallQtTranslations(QCoreApplication& application);

}  // namespace kelsor::ui
