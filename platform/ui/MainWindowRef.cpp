#include "platform/ui/MainWindowRef.h"

#include <atomic>

namespace kelsor::ui {
namespace {
// Written on the UI thread; worker threads read it to send messages.
std::atomic<CWindowWnd*> g_mainWindow{nullptr};
}  // namespace

CWindowWnd* GetMainWindow() {
    return g_mainWindow.load();
}

void SetMainWindow(CWindowWnd* window) {
    g_mainWindow.store(window);
}

}  // namespace kelsor::ui
