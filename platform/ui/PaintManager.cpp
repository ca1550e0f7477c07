#include "platform/ui/PaintManager.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include "platform/ui/Controls.h"
#include "platform/ui/Markup.h"
#include "platform/ui/NotifyPump.h"
#include "platform/ui/SkinArchive.h"
#include "platform/ui/UiLog.h"

Q_LOGGING_CATEGORY(lcKelsorUi, "kelsor.ui")

namespace kelsor::ui {

namespace {
const QString kCjkFamily = QStringLiteral("Noto Sans CJK SC");
}

CPaintManagerUI::~CPaintManagerUI() = default;

void CPaintManagerUI::SetInstance(void*) {
    // Qt's own widgets (tool tips, edits) use the application font: give it
    // the CJK face so that Chinese is drawn with Simplified Chinese glyphs.
    if (qApp != nullptr) {
        QFont f(kCjkFamily);
        f.setPixelSize(12);
        QGuiApplication::setFont(f);
    }
}

bool CPaintManagerUI::SetResourceZip(const void* data, std::size_t size) {
    QString error;
    if (!SkinArchive::Instance().Open(data, size, &error)) {
        qCWarning(lcKelsorUi) << "skin archive unreadable:" << error;
        return false;
    }
    return true;
}

void CPaintManagerUI::AttachDialog(CControlUI* root) {
    m_root = root;
    if (root != nullptr)
        root->SetManager(this);
}

// The controls carry no Qt meta-object of their own, so qobject_cast (and
// findChildren<CControlUI*>) cannot tell them apart from plain widgets; look
// at every widget and cast with RTTI.
static bool Discarded(const QWidget* w, const QWidget* top) {
    for (; w != nullptr && w != top; w = w->parentWidget()) {
        if (w->property(kDiscardedProperty).toBool())
            return true;
    }
    return false;
}

static CControlUI* FirstByName(QWidget* parent, const QString& name) {
    for (QWidget* w : parent->findChildren<QWidget*>(name)) {
        auto* c = dynamic_cast<CControlUI*>(w);
        if (c != nullptr && !Discarded(w, parent))
            return c;
    }
    return nullptr;
}

static CControlUI* FindByName(CControlUI* from, const QString& name) {
    if (from == nullptr)
        return nullptr;
    if (from->objectName() == name)
        return from;
    return FirstByName(from, name);
}

CControlUI* CPaintManagerUI::FindControl(const CDuiString& name) const {
    if (name.empty())
        return nullptr;
    return FindByName(m_root, QString::fromStdWString(name));
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent,
                                                  const CDuiString& name) const {
    if (parent == nullptr || name.empty())
        return nullptr;
    return FirstByName(parent, QString::fromStdWString(name));
}

std::vector<CControlUI*> CPaintManagerUI::FindControlsByGroup(const CDuiString& group) const {
    std::vector<CControlUI*> out;
    if (m_root == nullptr)
        return out;
    for (QWidget* w : m_root->findChildren<QWidget*>()) {
        auto* o = dynamic_cast<COptionUI*>(w);
        if (o != nullptr && o->GetGroup() == group && !Discarded(w, m_root))
            out.push_back(o);
    }
    return out;
}

QString CPaintManagerUI::ResolveFamily(const QString& family) {
    if (family.isEmpty() || !QFontDatabase::hasFamily(family))
        return kCjkFamily;
    return family;
}

void CPaintManagerUI::AddFont(int id, const QString& family, int pixelSize, bool bold,
                              bool underline, bool italic, bool isDefault) {
    if (m_fonts.count(id) != 0)
        return;
    QFont f(family);
    f.setPixelSize(pixelSize > 0 ? pixelSize : 12);
    f.setBold(bold);
    f.setUnderline(underline);
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferFullHinting);
    m_fonts[id] = FontEntry{f, isDefault};
}

QFont CPaintManagerUI::GetFont(int id) const {
    auto it = m_fonts.find(id);
    if (it == m_fonts.end())
        return GetDefaultFont();
    return Resolved(it->second);
}

const QFont& CPaintManagerUI::Resolved(FontEntry& entry) const {
    if (!entry.familyResolved) {
        entry.font.setFamily(ResolveFamily(entry.font.family()));
        entry.familyResolved = true;
    }
    return entry.font;
}

QFont CPaintManagerUI::GetDefaultFont() const {
    for (auto& entry : m_fonts) {
        if (entry.second.isDefault)
            return Resolved(entry.second);
    }
    QFont f(kCjkFamily);
    f.setPixelSize(12);
    return f;
}

void CPaintManagerUI::AddDefaultAttributeList(const QString& tag, const QString& list) {
    m_defaults[tag] = list;
}

QString CPaintManagerUI::GetDefaultAttributeList(const QString& tag) const {
    auto it = m_defaults.find(tag);
    return it == m_defaults.end() ? QString() : it->second;
}

void CPaintManagerUI::AddImage(const QString& name, const QImage& image) {
    m_images[name] = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void CPaintManagerUI::RemoveImage(const QString& name) {
    m_images.erase(name);
}

QImage CPaintManagerUI::GetImage(const QString& file) {
    if (file.startsWith(QLatin1Char('/'))) {
        // A picture on disk (the downloaded avatar) is rewritten in place when
        // another user signs in: read it again whenever it changed.
        const QFileInfo info(file);
        const QString key = QStringLiteral("%1|%2|%3")
                                .arg(file)
                                .arg(info.lastModified().toMSecsSinceEpoch())
                                .arg(info.size());
        auto it = m_images.find(key);
        if (it != m_images.end())
            return it->second;
        QImage img(file);
        if (!img.isNull())
            img = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        m_images[key] = img;
        return img;
    }
    auto it = m_images.find(file);
    if (it != m_images.end())
        return it->second;
    QImage img;
    {
        const QByteArray bytes = SkinArchive::Instance().Read(file);
        if (bytes.isEmpty())
            qCWarning(lcKelsorUi) << "image not in the skin archive:" << file;
        else
            img.loadFromData(bytes);
    }
    if (!img.isNull())
        img = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_images[file] = img;
    return img;
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (std::find(m_notifiers.begin(), m_notifiers.end(), notifier) == m_notifiers.end())
        m_notifiers.push_back(notifier);
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    m_notifiers.erase(std::remove(m_notifiers.begin(), m_notifiers.end(), notifier),
                      m_notifiers.end());
}

void CPaintManagerUI::SendNotify(CControlUI* sender, const CDuiString& type, WPARAM wParam,
                                 LPARAM lParam) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = sender;
    msg.wParam = wParam;
    msg.lParam = lParam;
    if (sender != nullptr)
        msg.sVirtualWnd = sender->GetVirtualWnd();
    // A handler may close the window; work on a copy of the list.
    const std::vector<INotifyUI*> notifiers = m_notifiers;
    for (INotifyUI* n : notifiers)
        n->Notify(msg);
}

// ------------------------------------------------------------- CRenderEngine

QSize CRenderEngine::GetTextSize(CPaintManagerUI* manager, const CDuiString& text, int fontIndex,
                                 UINT style) {
    QFont f;
    if (manager != nullptr)
        f = fontIndex < 0 ? manager->GetDefaultFont() : manager->GetFont(fontIndex);
    const QFontMetrics fm(f);
    const QString t = QString::fromStdWString(text);
    if (style & DT_WORDBREAK)
        return fm.boundingRect(QRect(0, 0, 10000, 10000), Qt::TextWordWrap, t).size();
    return QSize(fm.horizontalAdvance(t), fm.height());
}

static void DrawNineSlice(QPainter& p, const QImage& img, const QRect& src, const QRect& dst,
                          const QMargins& c) {
    if (c.isNull()) {
        p.drawImage(dst, img, src);
        return;
    }
    const int sx[4] = {src.left(), src.left() + c.left(), src.right() + 1 - c.right(),
                       src.right() + 1};
    const int sy[4] = {src.top(), src.top() + c.top(), src.bottom() + 1 - c.bottom(),
                       src.bottom() + 1};
    const int dx[4] = {dst.left(), dst.left() + c.left(), dst.right() + 1 - c.right(),
                       dst.right() + 1};
    const int dy[4] = {dst.top(), dst.top() + c.top(), dst.bottom() + 1 - c.bottom(),
                       dst.bottom() + 1};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            const QRect s(QPoint(sx[x], sy[y]), QPoint(sx[x + 1] - 1, sy[y + 1] - 1));
            const QRect d(QPoint(dx[x], dy[y]), QPoint(dx[x + 1] - 1, dy[y + 1] - 1));
            if (s.isValid() && d.isValid())
                p.drawImage(d, img, s);
        }
    }
}

bool CRenderEngine::DrawImage(QPainter& p, CPaintManagerUI* manager, const QRect& rect,
                              const QString& reference) {
    const ImageRef ref = ParseImageRef(reference);
    if (!ref.valid || manager == nullptr)
        return false;
    const QImage img = manager->GetImage(ref.file);
    if (img.isNull())
        return false;
    QRect src = ref.source.value_or(img.rect());
    src = src.intersected(img.rect());
    if (src.isEmpty())
        return false;
    QRect dst = rect;
    if (ref.dest)
        dst = ref.dest->translated(rect.topLeft());
    p.save();
    if (ref.fade < 255)
        p.setOpacity(ref.fade / 255.0);
    DrawNineSlice(p, img, src, dst, ref.corner);
    p.restore();
    return true;
}

}  // namespace kelsor::ui
