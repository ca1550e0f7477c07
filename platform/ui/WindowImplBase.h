#pragma once

#include <QEvent>
#include <QRect>
#include <functional>

#include "platform/ui/DialogBuilder.h"
#include "platform/ui/NotifyPump.h"
#include "platform/ui/PaintManager.h"
#include "platform/ui/UiTypes.h"

namespace kelsor::ui {

class WindowHost;

// A window: a Qt widget (the handle) driven through the Windows-style
// operations the program calls. Custom messages keep their numbers;
// SendMessage runs HandleMessage on the UI thread and, from a worker thread,
// blocks until it has run there; PostMessage queues.
class CWindowWnd {
public:
    CWindowWnd();
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const;
    operator HWND() const { return GetHWND(); }

    // Creates the window: a child of `parent` with WS_CHILD, otherwise a
    // frameless top-level window owned by `parent`. A size of 0 takes the
    // skin's size. WS_VISIBLE shows it at once, or for an owned top-level
    // window as soon as the event loop runs (ShowModal right after shows it
    // itself).
    HWND Create(HWND parent, const CDuiString& name, UINT style, UINT exStyle, int x = 0, int y = 0,
                int cx = 0, int cy = 0);
    void ShowWindow(bool show = true, bool takeFocus = true);
    // Shows the window application-modal and returns its close code once it
    // is gone.
    int ShowModal();
    // Closes and destroys the window; ShowModal returns `code`.
    void Close(int code = 1);
    // Centres over the owner (or the screen when there is none).
    void CenterWindow();
    void SetIcon(UINT resourceId);
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    bool PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    void MoveWindow(int x, int y, int cx, int cy);
    // WS_EX_TOOLWINDOW: no task-bar button.
    void SetToolWindow(bool tool);
    // Client rectangle (0, 0, width, height).
    QRect GetClientRect() const;
    // Window rectangle in screen coordinates.
    QRect GetWindowRect() const;
    // Screen position of a client point.
    QPoint ClientToScreen(const QPoint& p) const;

    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    // Test seam: called with every window entering ShowModal, inside its
    // loop; used by ModalSeam to answer dialogs without a user.
    static void SetModalHook(std::function<void(CWindowWnd&)> hook);

protected:
    virtual CDuiString GetWindowClassName() const = 0;
    virtual void OnFinalMessage(HWND) {}
    // Runs once the handle exists, before the window is shown.
    virtual LRESULT OnCreate() { return 0; }
    // Raw Qt events of the window's own widget, before the layer handles
    // them (the place for what WM_PAINT, mouse or drop handlers do on
    // Windows). Return true to consume the event.
    virtual bool HostEvent(QEvent*) { return false; }
    // Drag band of a top-level window in client coordinates; none by default.
    virtual QRect CaptionRect() const { return QRect(); }
    virtual QColor BackgroundColor() const { return QColor(); }
    virtual QSize RoundCorner() const { return QSize(); }

    // Destroys the window without OnFinalMessage (object teardown).
    void DestroyHost();

private:
    friend class WindowHost;
    struct ModalRun;
    void OnHostDestroyed();

    WindowHost* m_host = nullptr;
    ModalRun* m_modal = nullptr;
    int m_closeCode = 0;
    UINT m_style = 0;
    UINT m_exStyle = 0;
    // Created visible and owned: shown once the event loop runs, unless
    // shown, hidden or run modally before.
    bool m_showPending = false;
};

enum UILIB_RESOURCETYPE { UILIB_FILE = 1, UILIB_ZIP, UILIB_RESOURCE, UILIB_ZIPRESOURCE };

// A skinned window: builds its control tree from its skin file of the
// archive when created, then runs InitWindow; notifications go through the
// notify pump ("click" → OnClick, "selectchanged" → OnSelectChanged, or the
// virtual window the control names).
class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IDialogBuilderCallback {
public:
    WindowImplBase();
    ~WindowImplBase() override;

    void Notify(TNotifyUI& msg) override { NotifyPump(msg); }
    CControlUI* CreateControl(const CDuiString&) override { return nullptr; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    CPaintManagerUI& PaintManager() { return m_PaintManager; }
    // Simulates a click on the named control (used by the test seam).
    bool ClickControl(const CDuiString& name);

protected:
    virtual CDuiString GetSkinFolder() = 0;
    virtual CDuiString GetSkinFile() = 0;
    virtual UILIB_RESOURCETYPE GetResourceType() const { return UILIB_ZIPRESOURCE; }
    virtual int GetResourceID() const { return 129; }
    virtual void InitWindow() {}
    virtual LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);

    LRESULT OnCreate() override;
    QRect CaptionRect() const override;
    QColor BackgroundColor() const override;
    QSize RoundCorner() const override;

    CPaintManagerUI m_PaintManager;
};

}  // namespace kelsor::ui
