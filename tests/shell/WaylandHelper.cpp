// What the Wayland session test needs inside the session, as the session's
// own user:
//   kelsor_wayland_helper show
//       a full-screen window of known content (white, two colour blocks, a
//       line of text), the "screen" the capture is taken of;
//   kelsor_wayland_helper pointer WIDTHxHEIGHT FIFO
//       a virtual pointer (a headless compositor has no input devices), made
//       at once and kept, as a mouse is, so that every window the test shows
//       later has it from the start. It runs the steps written to FIFO, one a
//       line: "move X Y", "press", "release", "wait MS"; after each batch (the
//       writer closes the FIFO) it creates FIFO.done.
#include <linux/input-event-codes.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QApplication>
#include <QPainter>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// The content, in output pixels: blocks at (100,100)-(300,160) and
// (300,100)-(500,160), the text in (100,170)-(500,260).
class KnownContent : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.fillRect(100, 100, 200, 60, Qt::red);
        p.fillRect(300, 100, 200, 60, Qt::blue);
        QFont font(QStringLiteral("Noto Sans CJK SC"));
        font.setPixelSize(48);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QRect(100, 170, 400, 90), Qt::AlignCenter, QStringLiteral("屏幕文字"));
    }
};

int Show(int argc, char** argv) {
    QApplication app(argc, argv);
    KnownContent content;
    content.setWindowTitle(QStringLiteral("KnownContent"));
    content.showFullScreen();
    return app.exec();
}

// zwlr_virtual_pointer_v1, version 1, as wayland-scanner would describe it.
const wl_interface* const kNoTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
extern const wl_interface kVirtualPointer;
const wl_interface* const kCreateTypes[] = {&wl_seat_interface, &kVirtualPointer};
const wl_message kManagerRequests[] = {
    {"create_virtual_pointer", "?on", const_cast<const wl_interface**>(kCreateTypes)},
    {"destroy", "", const_cast<const wl_interface**>(kNoTypes)},
};
const wl_interface kManager = {
    "zwlr_virtual_pointer_manager_v1", 1, 2, kManagerRequests, 0, nullptr};
const wl_message kPointerRequests[] = {
    {"motion", "uff", const_cast<const wl_interface**>(kNoTypes)},
    {"motion_absolute", "uuuuu", const_cast<const wl_interface**>(kNoTypes)},
    {"button", "uuu", const_cast<const wl_interface**>(kNoTypes)},
    {"axis", "uuf", const_cast<const wl_interface**>(kNoTypes)},
    {"frame", "", const_cast<const wl_interface**>(kNoTypes)},
    {"axis_source", "u", const_cast<const wl_interface**>(kNoTypes)},
    {"axis_stop", "uu", const_cast<const wl_interface**>(kNoTypes)},
    {"axis_discrete", "uufi", const_cast<const wl_interface**>(kNoTypes)},
    {"destroy", "", const_cast<const wl_interface**>(kNoTypes)},
};
const wl_interface kVirtualPointer = {"zwlr_virtual_pointer_v1", 1, 9,
                                      kPointerRequests,          0, nullptr};

enum : uint32_t { kMotionAbsolute = 1, kButton = 2, kFrame = 4, kDestroy = 8 };

struct Globals {
    wl_seat* seat = nullptr;
    wl_proxy* manager = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, "wl_seat") == 0 && globals->seat == nullptr) {
        globals->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, kManager.name) == 0) {
        globals->manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &kManager, 1));
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

bool RunStep(wl_display* display, wl_proxy* pointer, const std::string& step, unsigned width,
             unsigned height, uint32_t& time) {
    unsigned x = 0, y = 0, ms = 0;
    if (std::sscanf(step.c_str(), "move %u %u", &x, &y) == 2) {
        wl_proxy_marshal(pointer, kMotionAbsolute, time, x, y, width, height);
    } else if (step == "press" || step == "release") {
        wl_proxy_marshal(pointer, kButton, time, BTN_LEFT, step == "press" ? 1u : 0u);
    } else if (std::sscanf(step.c_str(), "wait %u", &ms) == 1) {
        usleep(ms * 1000);
        time += ms;
        return true;
    } else {
        std::fprintf(stderr, "unknown step \"%s\"\n", step.c_str());
        return false;
    }
    wl_proxy_marshal(pointer, kFrame);
    wl_display_roundtrip(display);
    usleep(40 * 1000);
    time += 40;
    return true;
}

int Pointer(int argc, char** argv) {
    unsigned width = 0, height = 0;
    if (argc != 4 || std::sscanf(argv[2], "%ux%u", &width, &height) != 2) {
        std::fprintf(stderr, "usage: pointer WIDTHxHEIGHT FIFO\n");
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no Wayland display\n");
        return 1;
    }
    Globals globals;
    const wl_registry_listener listener = {OnGlobal, OnGlobalRemove};
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &globals);
    wl_display_roundtrip(display);
    if (globals.manager == nullptr || globals.seat == nullptr) {
        std::fprintf(stderr, "the compositor offers no virtual pointer\n");
        return 1;
    }
    wl_proxy* pointer =
        wl_proxy_marshal_constructor(globals.manager, 0, &kVirtualPointer, globals.seat, nullptr);
    wl_display_roundtrip(display);
    const std::string fifo = argv[3];
    uint32_t time = 1;
    // Each open waits for the next writer; the session's end ends this.
    while (true) {
        std::ifstream steps(fifo);
        for (std::string step; std::getline(steps, step);) {
            if (!step.empty()) {
                RunStep(display, pointer, step, width, height, time);
            }
        }
        std::ofstream(fifo + ".done").put('\n');
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "show") == 0) {
        return Show(argc, argv);
    }
    if (argc >= 2 && std::strcmp(argv[1], "pointer") == 0) {
        return Pointer(argc, argv);
    }
    std::fprintf(stderr, "usage: kelsor_wayland_helper show | pointer WIDTHxHEIGHT step...\n");
    return 2;
}
