#pragma once

#include <QString>
#include <QStringList>

#include "platform/ui/Markup.h"
#include "platform/ui/UiTypes.h"

namespace kelsor::ui {

class CControlUI;
class CContainerUI;
class CPaintManagerUI;

// Lets a window supply controls for tags of its own.
class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    virtual CControlUI* CreateControl(const CDuiString& className) = 0;
};

// Builds a control tree from a layout of the skin archive: the XML is parsed
// into a MarkupNode tree first, then each element becomes a control through
// the one table of supported tags. An unknown tag or attribute is a logged
// warning and is skipped.
class CDialogBuilder {
public:
    // `xml` names a layout file of the archive (or holds markup starting with
    // '<'). With a manager whose window has no tree yet, the Window element's
    // attributes become the window's. The new tree is added to `parent` when
    // given. Returns the top control, or null when nothing could be built.
    CControlUI* Create(const CDuiString& xml, const CDuiString& type = CDuiString(),
                       IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);

    // Window, Include, Font and Default: the tags the builder handles itself
    // rather than through its table of controls.
    static bool IsStructuralTag(const QString& tag);

private:
    CControlUI* BuildChildren(const MarkupNode& node, CContainerUI* parent, int depth);
    CControlUI* BuildNode(const MarkupNode& node, CContainerUI* parent, int depth);
    void ApplyWindowAttributes(const MarkupNode& window);
    void Include(const MarkupNode& node, CContainerUI* parent, int depth, CControlUI** first);

    CPaintManagerUI* m_manager = nullptr;
    IDialogBuilderCallback* m_callback = nullptr;
    QString m_file;
};

// Checks a parsed layout without building widgets: every element must be a
// tag of the table or one the builder handles itself. Returns one message per
// unknown element.
QStringList ValidateMarkup(const MarkupNode& root);

// Reads and parses a layout file of the archive; logs and returns nothing on
// a missing file or malformed XML.
std::optional<MarkupNode> LoadLayout(const QString& file);

}  // namespace kelsor::ui
