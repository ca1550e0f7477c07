#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// The X clipboard as other programs see it, each through a connection of its
// own: a reader, and a stand-in for a desktop's clipboard manager that takes
// the text over when its owner exits (the SAVE_TARGETS handshake).
namespace kelsor::shelltest {

// The CLIPBOARD selection as UTF-8 text; nothing when no program holds it or
// it did not answer. `pump` runs while waiting, for an owner in this process.
std::optional<std::string> ReadX11Clipboard(const std::function<void()>& pump = {});

class ClipboardManagerStandIn {
public:
    ClipboardManagerStandIn();
    ~ClipboardManagerStandIn();
    // Whether it holds CLIPBOARD_MANAGER.
    bool Running() const { return m_running; }
    // The text it was handed by an exiting owner (empty before).
    std::string Saved() const;

private:
    void Serve();

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_window = 0;
    bool m_running = false;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::string m_saved;
    std::thread m_thread;
};

}  // namespace kelsor::shelltest
