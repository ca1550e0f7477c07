#include "platform/ui/DialogBuilder.h"

#include <QRegularExpression>
#include <functional>
#include <map>

#include "platform/ui/Attributes.h"
#include "platform/ui/Containers.h"
#include "platform/ui/Controls.h"
#include "platform/ui/PaintManager.h"
#include "platform/ui/SkinArchive.h"
#include "platform/ui/UiLog.h"
#include "platform/ui/Widgets.h"

namespace kelsor::ui {

namespace {

using Factory = std::function<CControlUI*()>;

template <typename T>
Factory Make() {
    return [] { return new T; };
}

// The one table of supported control tags.
const std::map<QString, Factory>& TagTable() {
    static const std::map<QString, Factory> table = {
        {QStringLiteral("Control"), Make<CControlUI>()},
        {QStringLiteral("Container"), Make<CContainerUI>()},
        {QStringLiteral("VerticalLayout"), Make<CVerticalLayoutUI>()},
        {QStringLiteral("HorizontalLayout"), Make<CHorizontalLayoutUI>()},
        {QStringLiteral("TabLayout"), Make<CTabLayoutUI>()},
        {QStringLiteral("Label"), Make<CLabelUI>()},
        {QStringLiteral("Button"), Make<CButtonUI>()},
        {QStringLiteral("Option"), Make<COptionUI>()},
        {QStringLiteral("Progress"), Make<CProgressUI>()},
        {QStringLiteral("Edit"), Make<CEditUI>()},
        {QStringLiteral("RichEdit"), Make<CRichEditUI>()},
        {QStringLiteral("List"), Make<CListUI>()},
        {QStringLiteral("ListHeader"), Make<CListHeaderUI>()},
        {QStringLiteral("ListHeaderItem"), Make<CListHeaderItemUI>()},
        {QStringLiteral("ListContainerElement"), Make<CListContainerElementUI>()},
        {QStringLiteral("GifAnim"), Make<CGifAnimUI>()},
        {QStringLiteral("HeadIcon"), Make<CHeadIconUI>()},
    };
    return table;
}

constexpr int kMaxIncludeDepth = 8;

}  // namespace

bool CDialogBuilder::IsStructuralTag(const QString& tag) {
    return tag == QLatin1String("Window") || tag == QLatin1String("Include") ||
           tag == QLatin1String("Font") || tag == QLatin1String("Default");
}

static void Validate(const MarkupNode& node, QStringList& out) {
    if (!CDialogBuilder::IsStructuralTag(node.tag) && TagTable().count(node.tag) == 0)
        out << QStringLiteral("line %1: unknown tag %2").arg(node.line).arg(node.tag);
    for (const MarkupNode& child : node.children)
        Validate(child, out);
}

QStringList ValidateMarkup(const MarkupNode& root) {
    QStringList out;
    Validate(root, out);
    return out;
}

std::optional<MarkupNode> LoadLayout(const QString& file) {
    const QByteArray bytes = SkinArchive::Instance().Read(file);
    if (bytes.isEmpty()) {
        qCWarning(lcKelsorUi) << "layout not in the skin archive:" << file;
        return std::nullopt;
    }
    QString error;
    auto tree = ParseMarkup(bytes, &error);
    if (!tree)
        qCWarning(lcKelsorUi) << "layout" << file << "is malformed:" << error;
    return tree;
}

CControlUI* CDialogBuilder::Create(const CDuiString& xml, const CDuiString&,
                                   IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent) {
    m_manager = manager;
    m_callback = callback;
    const QString source = QString::fromStdWString(xml);
    std::optional<MarkupNode> tree;
    if (source.trimmed().startsWith(QLatin1Char('<'))) {
        m_file = QStringLiteral("<inline>");
        QString error;
        tree = ParseMarkup(source.toUtf8(), &error);
        if (!tree)
            qCWarning(lcKelsorUi) << "inline layout is malformed:" << error;
    } else {
        m_file = source;
        tree = LoadLayout(source);
    }
    if (!tree)
        return nullptr;
    auto* container = dynamic_cast<CContainerUI*>(parent);
    if (parent != nullptr && container == nullptr)
        qCWarning(lcKelsorUi) << m_file << ": parent" << parent->GetClass()
                              << "cannot hold controls";
    if (tree->tag == QLatin1String("Window")) {
        if (m_manager != nullptr && m_manager->GetRoot() == nullptr)
            ApplyWindowAttributes(*tree);
        return BuildChildren(*tree, container, 0);
    }
    return BuildNode(*tree, container, 0);
}

void CDialogBuilder::ApplyWindowAttributes(const MarkupNode& window) {
    using W = WindowAttributes;
    static const AttributeTable<W> kTable = {
        {QStringLiteral("size"), attr::Field(&W::size)},
        // The drag band's right and bottom are inside it.
        {QStringLiteral("caption"), attr::Parsed<QMargins>([](W& w, const QMargins& m) {
             w.caption = QRect(QPoint(m.left(), m.top()), QPoint(m.right(), m.bottom()));
         })},
        {QStringLiteral("roundcorner"), attr::Field(&W::roundCorner)},
        {QStringLiteral("mininfo"), attr::Field(&W::minInfo)},
        {QStringLiteral("showshadow"), attr::Field(&W::showShadow)},
        {QStringLiteral("shadowsize"), attr::Field(&W::shadowSize)},
        {QStringLiteral("shadowdarkness"), attr::Field(&W::shadowDarkness)},
        {QStringLiteral("shadowsharpness"), attr::Field(&W::shadowSharpness)},
        {QStringLiteral("shadowposition"), attr::Parsed<QSize>([](W& w, const QSize& s) {
             w.shadowOffset = QPoint(s.width(), s.height());
         })},
        {QStringLiteral("shadowcolor"), attr::Field(&W::shadowColor)},
        {QStringLiteral("bkcolor"), attr::Field(&W::bkColor)},
    };
    for (const auto& [name, value] : window.attributes) {
        if (!kTable.Apply(m_manager->Window(), name, value).value_or(false))
            qCWarning(lcKelsorUi) << m_file << "line" << window.line
                                  << ": unsupported Window attribute" << name << "=" << value;
    }
}

CControlUI* CDialogBuilder::BuildChildren(const MarkupNode& node, CContainerUI* parent, int depth) {
    CControlUI* first = nullptr;
    for (const MarkupNode& child : node.children) {
        if (child.tag == QLatin1String("Include")) {
            Include(child, parent, depth, &first);
            continue;
        }
        CControlUI* c = BuildNode(child, parent, depth);
        if (first == nullptr)
            first = c;
    }
    return first;
}

void CDialogBuilder::Include(const MarkupNode& node, CContainerUI* parent, int depth,
                             CControlUI** first) {
    const QString source = node.Attribute(QStringLiteral("source"));
    for (const auto& attr : node.attributes) {
        if (attr.first != QLatin1String("source") && attr.first != QLatin1String("count"))
            qCWarning(lcKelsorUi) << m_file << ": unsupported Include attribute" << attr.first;
    }
    if (depth >= kMaxIncludeDepth) {
        qCWarning(lcKelsorUi) << m_file << ": includes nested too deep at" << source;
        return;
    }
    auto tree = LoadLayout(source);
    if (!tree)
        return;
    const QString outer = m_file;
    m_file = source;
    CControlUI* c = tree->tag == QLatin1String("Window") ? BuildChildren(*tree, parent, depth + 1)
                                                         : BuildNode(*tree, parent, depth + 1);
    m_file = outer;
    if (*first == nullptr)
        *first = c;
}

static std::vector<std::pair<QString, QString>> ParseAttributeList(const QString& list) {
    static const QRegularExpression kPair(QStringLiteral(R"((\w+)\s*=\s*\"([^\"]*)\")"));
    std::vector<std::pair<QString, QString>> out;
    auto it = kPair.globalMatch(list);
    while (it.hasNext()) {
        const auto m = it.next();
        out.emplace_back(m.captured(1), m.captured(2));
    }
    return out;
}

CControlUI* CDialogBuilder::BuildNode(const MarkupNode& node, CContainerUI* parent, int depth) {
    if (node.tag == QLatin1String("Font")) {
        if (m_manager == nullptr)
            return nullptr;
        const auto id = ParseInt(node.Attribute(QStringLiteral("id"), QStringLiteral("-1")));
        const auto size = ParseInt(node.Attribute(QStringLiteral("size"), QStringLiteral("12")));
        if (!id || !size || *id < 0) {
            qCWarning(lcKelsorUi) << m_file << "line" << node.line << ": bad Font";
            return nullptr;
        }
        auto flag = [&](const char* name) {
            return ParseBool(node.Attribute(QLatin1String(name))).value_or(false);
        };
        for (const auto& attr : node.attributes) {
            static const QStringList known = {"id",        "name",   "size",    "bold",
                                              "underline", "italic", "default", "shared"};
            if (!known.contains(attr.first))
                qCWarning(lcKelsorUi) << m_file << ": unsupported Font attribute" << attr.first;
        }
        m_manager->AddFont(*id, node.Attribute(QStringLiteral("name")), *size, flag("bold"),
                           flag("underline"), flag("italic"), flag("default"));
        return nullptr;
    }
    if (node.tag == QLatin1String("Default")) {
        if (m_manager != nullptr)
            m_manager->AddDefaultAttributeList(node.Attribute(QStringLiteral("name")),
                                               node.Attribute(QStringLiteral("value")));
        return nullptr;
    }
    if (node.tag == QLatin1String("Include")) {
        CControlUI* first = nullptr;
        Include(node, parent, depth, &first);
        return first;
    }

    CControlUI* control = nullptr;
    const auto& table = TagTable();
    auto it = table.find(node.tag);
    if (it != table.end())
        control = it->second();
    else if (m_callback != nullptr)
        control = m_callback->CreateControl(node.tag.toStdWString());
    if (control == nullptr) {
        qCWarning(lcKelsorUi) << m_file << "line" << node.line << ": unknown tag" << node.tag;
        return nullptr;
    }
    control->SetManager(m_manager);

    auto* container = dynamic_cast<CContainerUI*>(control);
    if (!node.children.empty()) {
        if (container != nullptr)
            BuildChildren(node, container, depth);
        else
            qCWarning(lcKelsorUi) << m_file << "line" << node.line << ":" << node.tag
                                  << "cannot hold children";
    }
    if (parent != nullptr)
        parent->Add(control);

    auto apply = [&](const QString& name, const QString& value, const char* where) {
        if (!control->ApplyAttribute(name, value))
            qCWarning(lcKelsorUi) << m_file << "line" << node.line << ":" << where << "attribute"
                                  << name << "=" << value << "not supported on" << node.tag;
    };
    if (m_manager != nullptr) {
        const QString defaults = m_manager->GetDefaultAttributeList(node.tag);
        for (const auto& [name, value] : ParseAttributeList(defaults))
            apply(name, value, "default");
    }
    for (const auto& [name, value] : node.attributes)
        apply(name, value, "");
    return control;
}

}  // namespace kelsor::ui
