#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>
#include <map>
#include <vector>

#include "platform/ui/UiTypes.h"

class QPainter;

namespace kelsor::ui {

class CControlUI;
struct TNotifyUI;

class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// Attributes of the layout's Window element.
struct WindowAttributes {
    QSize size;
    QRect caption;  // drag band; bottom 0 means none
    QSize roundCorner;
    bool showShadow = false;
    int shadowSize = 0;
    int shadowDarkness = 0;
    int shadowSharpness = 0;
    QPoint shadowOffset;
    QColor shadowColor;
    QColor bkColor;
    QSize minInfo;
};

// One per window: its control tree, font table, image cache, option groups
// and notification targets.
class CPaintManagerUI {
public:
    CPaintManagerUI() = default;
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // Process start-up; the module handle has no meaning here.
    static void SetInstance(void* instance);
    // Opens the skin zip that every layout and image is read from.
    static bool SetResourceZip(const void* data, std::size_t size);

    void Init(HWND host) { m_host = host; }
    HWND GetPaintWindow() const { return m_host; }
    CControlUI* GetRoot() const { return m_root; }
    void AttachDialog(CControlUI* root);

    // The control with this name anywhere in the window, or null.
    CControlUI* FindControl(const CDuiString& name) const;
    // The control with this name below `parent`, or null.
    CControlUI* FindSubControlByName(CControlUI* parent, const CDuiString& name) const;
    std::vector<CControlUI*> FindControlsByGroup(const CDuiString& group) const;

    // Font table; the first definition of an id wins, so a sub-layout's own
    // fonts do not replace those of the window it is added to.
    void AddFont(int id, const QString& family, int pixelSize, bool bold, bool underline,
                 bool italic, bool isDefault);
    QFont GetFont(int id) const;
    QFont GetDefaultFont() const;
    bool HasFont(int id) const { return m_fonts.count(id) != 0; }

    // Defaults per control tag ("Default" elements).
    void AddDefaultAttributeList(const QString& tag, const QString& list);
    QString GetDefaultAttributeList(const QString& tag) const;

    // Images by reference file ('/'-path in the skin, or an absolute disk path).
    QImage GetImage(const QString& file);
    // A picture the program made (a thumbnail from a database) under a name
    // that image references then use like a file of the skin; removed again
    // when its control goes.
    void AddImage(const QString& name, const QImage& image);
    void RemoveImage(const QString& name);

    void AddNotifier(INotifyUI* notifier);
    void RemoveNotifier(INotifyUI* notifier);
    void SendNotify(CControlUI* sender, const CDuiString& type, WPARAM wParam = 0,
                    LPARAM lParam = 0);

    WindowAttributes& Window() { return m_window; }
    const WindowAttributes& Window() const { return m_window; }
    QSize GetInitSize() const { return m_window.size; }

    // Message filtering inside the program's own modal loops; Qt delivers
    // input itself, so nothing is taken here.
    bool TranslateMessage(void*) { return false; }

    // Maps a markup font family to one that is installed ("微软雅黑" and other
    // Windows families fall back to the CJK face).
    static QString ResolveFamily(const QString& family);

private:
    // A font's family is looked up in the font database when the font is
    // first used, not when the layout names it: most of a window's fonts are
    // never drawn with, and the first look-up loads the whole database.
    struct FontEntry {
        QFont font;
        bool isDefault = false;
        bool familyResolved = false;
    };
    const QFont& Resolved(FontEntry& entry) const;
    HWND m_host = nullptr;
    CControlUI* m_root = nullptr;
    mutable std::map<int, FontEntry> m_fonts;
    std::map<QString, QString> m_defaults;
    std::map<QString, QImage> m_images;
    std::vector<INotifyUI*> m_notifiers;
    WindowAttributes m_window;
};

class CRenderEngine {
public:
    // Extent of `text` drawn with font `fontIndex` of the window's table.
    static QSize GetTextSize(CPaintManagerUI* manager, const CDuiString& text, int fontIndex,
                             UINT style);
    // Draws an image reference ("file='..' source='..' dest='..' corner='..'")
    // into `rect`; false when the reference is invalid or the image is missing.
    static bool DrawImage(QPainter& p, CPaintManagerUI* manager, const QRect& rect,
                          const QString& reference);
};

}  // namespace kelsor::ui
