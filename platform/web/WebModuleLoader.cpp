#include <dlfcn.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QtGlobal>

#include "platform/web/WebBackend.h"

namespace kelsor::platform {
namespace {

// The installed program has the module in its own folder; a program in the
// build tree finds it through its run path, which installation removes.
void* OpenModule() {
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           QLatin1String(kWebModuleFileName);
    if (QFileInfo::exists(beside)) {
        return dlopen(QFile::encodeName(beside).constData(), RTLD_NOW | RTLD_LOCAL);
    }
    return dlopen(kWebModuleFileName, RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

WebBackend* LoadWebBackend(WebBackendHost* host) {
    // Never closed: the engine's threads and the views' classes outlive any
    // point where unloading would be safe.
    void* module = OpenModule();
    if (module == nullptr) {
        qWarning("The web engine module cannot be loaded: %s", dlerror());
        return nullptr;
    }
    auto entry = reinterpret_cast<WebBackendEntry>(dlsym(module, kWebBackendEntryName));
    if (entry == nullptr) {
        qWarning("The web engine module %s has no entry point", kWebModuleFileName);
        return nullptr;
    }
    return entry(host);
}

}  // namespace kelsor::platform
