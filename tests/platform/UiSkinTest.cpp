#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMovie>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <map>

#include "MouseEvents.h"
#include "UiTestSupport.h"
#include "platform/ui/SkinArchive.h"

using namespace kelsor::ui;
using kelsor::uitest::LayoutWindow;
using kelsor::uitest::Warnings;

namespace {

struct Expected {
    const char* name;
    const char* kind;  // GetClass() of the control
    int width = 0;     // fixed size the windows rely on (0: not checked)
    int height = 0;
};

struct LayoutSpec {
    const wchar_t* file;
    QSize size;
    std::vector<Expected> controls;
};

const std::vector<Expected> kPageControls = {
    {"imagetoolbar", "HorizontalLayout", 530, 48},
    {"adaptationbtn", "Button"},
    {"movebtn", "Button"},
    {"cutbtn", "Button"},
    {"zoominbtn", "Button"},
    {"zoomoutbtn", "Button"},
    {"waitocr", "Control"},
    {"covertinggif", "GifAnim"},
    {"ocrtextarea", "RichEdit"},
    {"copytextbtn", "Button", 68, 28},
    {"copiedtip", "Label", 70, 24},
};

std::vector<Expected> With(std::vector<Expected> base, std::vector<Expected> more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

const std::vector<Expected> kAccount = {{"closebtn", "Button", 9, 9}};

const std::vector<LayoutSpec>& Layouts() {
    static const std::vector<LayoutSpec> layouts = {
        {L"mainwnd.xml",
         {1120, 720},
         {{"OCRTabModule", "TabLayout"}, {"ConvertTabModule", "TabLayout"},
          {"singleocropt", "Option"},    {"batchocropt", "Option"},
          {"screenocropt", "Option"},    {"pdfconvertbtn", "Button"},
          {"pdfconvertgif", "GifAnim"},  {"loginicobtn", "Button"},
          {"loginbtn", "Button"},        {"userhead", "HeadIcon"},
          {"userheadbtn", "Button"},     {"nickname", "Button"},
          {"sourcedirradio", "Option"},  {"customdirradio", "Option"},
          {"ocrdirpath", "Edit"},        {"changedirpathbtn", "Button"},
          {"opendirpathbtn", "Button"},  {"formatradio", "Option"},
          {"editradio", "Option"},       {"singleconvertbtn", "Button"},
          {"singleconverting", "Label"}, {"singleconvertedbtn", "Button"},
          {"batchconvertbtn", "Button"}, {"screenconvertbtn", "Button"},
          {"screenconverting", "Label"}, {"screenconvertedbtn", "Button"},
          {"menubtn", "Button"},         {"minibtn", "Button"},
          {"closebtn", "Button"}}},
        {L"singleocrwnd.xml",
         {1120, 535},
         With(kPageControls, {{"singleselectpicbtn", "Button", 460, 310}})},
        {L"screenocrwnd.xml",
         {1120, 535},
         With(kPageControls, {{"cutscreenocr", "Control", 460, 310}})},
        {L"singleocrview.xml", {528, 451}, {}},
        {L"batchocrwnd.xml",
         {1120, 535},
         {{"addfilebtn", "Button", 110, 30},
          {"addfolderbtn", "Button", 110, 30},
          {"clearlistbtn", "Button", 110, 30},
          {"batchselectpicbtn", "Button", 460, 310},
          {"BatchOCR_List", "List"}}},
        {L"listItem.xml", {360, 71}, {{"new_node", "ListContainerElement", 0, 40}}},
        {L"screenshottoolwnd.xml",
         {84, 24},
         {{"sstclosebtn", "Button", 26, 24}, {"sstfinishbtn", "Button", 58, 24}}},
        {L"uploadbtn.xml", {92, 30}, {{"uploadbtn", "Button", 92, 30}}},
        {L"deletebtn.xml", {72, 30}, {{"deletebtn", "Button", 72, 30}}},
        {L"commondlg.xml",
         {400, 180},
         {{"commondlgTabModule", "TabLayout"},
          {"msgtitle", "Label"},
          {"msgtext", "Label"},
          {"msgconfirmbtn", "Button", 90, 36},
          {"msgyntitle", "Label"},
          {"msgyntext", "Label"},
          {"msgyncancelbtn", "Button", 90, 36},
          {"msgynconfirmbtn", "Button", 90, 36}}},
        {L"mainmenuwnd.xml",
         {150, 265},
         {{"checkupdatebtn", "Button", 138, 22},
          {"officialsitebtn", "Button", 138, 22},
          {"aboutusbtn", "Button", 138, 22},
          {"hotkeybtn", "Button", 138, 22},
          {"autocopyopt", "Option", 138, 22},
          {"readcodesopt", "Option", 138, 22},
          {"historybtn", "Button", 138, 22},
          {"historyopt", "Option", 138, 22}}},
        {L"historywnd.xml",
         {900, 600},
         {{"historysearch", "Edit", 300, 32},
          {"historylist", "List"},
          {"historyempty", "Label"},
          {"historymorebtn", "Button"},
          {"historytext", "RichEdit"},
          {"historycopybtn", "Button", 80, 32},
          {"historyopenfilebtn", "Button", 80, 32},
          {"historyopenpicbtn", "Button", 80, 32},
          {"historydeletebtn", "Button", 80, 32},
          {"historyclearbtn", "Button"},
          {"historyclosebtn", "Button", 9, 9}}},
        {L"historyitem.xml", {378, 64}, {{"historyrow", "ListContainerElement", 0, 64}}},
        {L"hotkeywnd.xml",
         {400, 216},
         {{"hotkeyfield", "Label", 260, 36},
          {"hotkeytip", "Label"},
          {"hotkeyconfirmbtn", "Button", 90, 36},
          {"hotkeycancelbtn", "Button", 90, 36},
          {"hotkeyclosebtn", "Button", 9, 9}}},
        {L"updatewnd.xml",
         {400, 180},
         {{"updatetext", "Label"},
          {"updatenowbtn", "Button", 90, 36},
          {"laterbtn", "Button", 90, 36},
          {"updateclosebtn", "Button", 9, 9}}},
        {L"usercenterinfownd.xml",
         {260, 144},
         {{"userhead", "HeadIcon", 36, 36},
          {"nickname", "Label", 203},
          {"logoutbtn", "Button", 70, 28}}},
        {L"registerloginwnd.xml", {322, 471}, With(kAccount, {{"loading", "GifAnim", 60, 60}})},
        {L"wechatloginwnd.xml", {322, 471}, kAccount},
        {L"bindcellphonewnd.xml", {322, 471}, kAccount},
        {L"qqloginwnd.xml", {670, 440}, kAccount},
    };
    return layouts;
}

class UiSkin : public ::testing::Test {
protected:
    void SetUp() override {
        kelsor::uitest::EnsureApp();
        Warnings().clear();
    }
};

// Every image reference of a markup tree, with the element's line.
void CollectImages(const MarkupNode& node, std::vector<std::pair<QString, qint64>>& out) {
    static const QStringList kImageAttrs = {
        "bkimage",   "normalimage",   "hotimage",     "pushedimage",      "disabledimage",
        "foreimage", "selectedimage", "hotforeimage", "selectedhotimage", "defaultimage"};
    for (const auto& [name, value] : node.attributes) {
        if (kImageAttrs.contains(name))
            out.emplace_back(value, node.line);
    }
    for (const auto& child : node.children)
        CollectImages(child, out);
}

}  // namespace

TEST_F(UiSkin, EveryLayoutLoadsWithoutWarningsAndHoldsItsControls) {
    for (const LayoutSpec& layout : Layouts()) {
        SCOPED_TRACE(QString::fromWCharArray(layout.file).toStdString());
        Warnings().clear();
        LayoutWindow w(layout.file);
        w.Create(nullptr, L"t", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
        ASSERT_NE(w.GetHWND(), nullptr);
        w.GetHWND()->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(w.PaintManager().GetInitSize(), layout.size);
        EXPECT_EQ(w.GetHWND()->size(), layout.size);
        ASSERT_NE(w.PaintManager().GetRoot(), nullptr);
        for (const Expected& e : layout.controls) {
            SCOPED_TRACE(e.name);
            CControlUI* c = w.PaintManager().FindControl(QString::fromUtf8(e.name).toStdWString());
            ASSERT_NE(c, nullptr);
            EXPECT_EQ(c->GetClass(), QString::fromUtf8(e.kind));
            if (e.width > 0) {
                EXPECT_EQ(c->GetFixedWidth(), e.width);
            }
            if (e.height > 0) {
                EXPECT_EQ(c->GetFixedHeight(), e.height);
            }
        }
        // Paint once: a missing image shows up as a warning while drawing.
        w.GetHWND()->grab();
        EXPECT_TRUE(Warnings().isEmpty()) << Warnings().join("\n").toStdString();
    }
}

TEST_F(UiSkin, EveryImageReferenceIsInTheArchiveAndInsideItsPicture) {
    const SkinArchive& archive = SkinArchive::Instance();
    int checked = 0;
    for (const QString& name : archive.Names()) {
        if (!name.endsWith(".xml"))
            continue;
        SCOPED_TRACE(name.toStdString());
        QString error;
        auto tree = ParseMarkup(archive.Read(name), &error);
        ASSERT_TRUE(tree) << error.toStdString();
        std::vector<std::pair<QString, qint64>> refs;
        CollectImages(*tree, refs);
        for (const auto& [value, line] : refs) {
            SCOPED_TRACE(QString("%1 line %2").arg(value).arg(line).toStdString());
            const ImageRef ref = ParseImageRef(value);
            ASSERT_TRUE(ref.valid);
            ASSERT_TRUE(archive.Contains(ref.file));
            QImage img;
            ASSERT_TRUE(img.loadFromData(archive.Read(ref.file)));
            if (ref.source) {
                EXPECT_TRUE(img.rect().contains(*ref.source));
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
}

TEST_F(UiSkin, TheArchiveHasItsFoldersFontsAndAnimations) {
    const SkinArchive& archive = SkinArchive::Instance();
    for (const char* file :
         {"batchocr/ocrunknow.png", "batchocr/ocrwait.png", "batchocr/ocrsuccess.png",
          "batchocr/ocrfail.png", "batchocr/picview.png", "global/progress_bk.png",
          "global/progress_fg.png", "global/dlgcloseBtn.png", "global/infoSign.png",
          "global/confirmBtn.png", "global/cancelBtn.png", "global/mainmenuwndBtn.png",
          "global/sstcloseBtn.png", "global/sstfinishBtn.png", "global/vscrollbar.png",
          "singleocr/uploadBtn.png", "singleocr/deleteBtn.png", "main/singleorc.png"})
        EXPECT_TRUE(archive.Contains(file)) << file;
    // Three-state strips are three equal states wide.
    QImage confirm;
    confirm.loadFromData(archive.Read("global/confirmBtn.png"));
    EXPECT_EQ(confirm.size(), QSize(270, 36));
    QImage picview;
    picview.loadFromData(archive.Read("batchocr/picview.png"));
    EXPECT_EQ(picview.size(), QSize(48, 16));
    for (const char* gif :
         {"singleocr/coverting.gif", "global/loading.gif", "main/pdfconverting.gif"}) {
        QByteArray bytes = archive.Read(gif);
        QBuffer buffer(&bytes);
        QMovie movie(&buffer, "gif");
        EXPECT_TRUE(movie.isValid()) << gif;
        EXPECT_GT(movie.frameCount(), 5) << gif;
    }
    // The layouts' fonts: "微软雅黑" 12 and 14 (default), drawn with the CJK face.
    LayoutWindow w(L"commondlg.xml");
    w.Create(nullptr, L"t", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
    EXPECT_EQ(w.PaintManager().GetFont(0).pixelSize(), 12);
    EXPECT_EQ(w.PaintManager().GetFont(1).pixelSize(), 14);
    EXPECT_EQ(w.PaintManager().GetDefaultFont().pixelSize(), 14);
    EXPECT_EQ(w.PaintManager().GetFont(1).family(), "Noto Sans CJK SC");
}

TEST_F(UiSkin, WindowAttributesOfTheLayouts) {
    LayoutWindow main(L"mainwnd.xml");
    main.Create(nullptr, L"t", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
    const WindowAttributes& m = main.PaintManager().Window();
    EXPECT_EQ(m.caption.bottom(), 94);
    EXPECT_TRUE(m.showShadow);
    EXPECT_EQ(m.shadowSize, 5);

    LayoutWindow dlg(L"commondlg.xml");
    dlg.Create(nullptr, L"t", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
    const WindowAttributes& d = dlg.PaintManager().Window();
    EXPECT_EQ(d.caption.bottom(), 180);  // the whole dialog drags
    EXPECT_EQ(d.roundCorner, QSize(2, 2));
    EXPECT_EQ(d.shadowSize, 5);
    EXPECT_EQ(d.shadowDarkness, 70);
    EXPECT_EQ(d.shadowColor, QColor(0x33, 0x33, 0x33));
    EXPECT_EQ(d.bkColor, QColor(Qt::white));

    LayoutWindow menu(L"mainmenuwnd.xml");
    menu.Create(nullptr, L"t", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
    EXPECT_EQ(menu.PaintManager().Window().shadowSize, 3);
    EXPECT_EQ(menu.PaintManager().Window().shadowOffset, QPoint(1, 3));
    EXPECT_TRUE(menu.PaintManager().Window().caption.isNull());  // no drag band

    LayoutWindow qq(L"qqloginwnd.xml");
    qq.Create(nullptr, L"t", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
    EXPECT_EQ(qq.PaintManager().Window().caption.bottom(), 35);
}

TEST_F(UiSkin, ControlsBehaveAsTheWindowsExpect) {
    LayoutWindow main(L"mainwnd.xml");
    main.Create(nullptr, L"t", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
    main.GetHWND()->show();
    auto& pm = main.PaintManager();
    auto* dir = dynamic_cast<CEditUI*>(pm.FindControl(L"ocrdirpath"));
    ASSERT_NE(dir, nullptr);
    EXPECT_TRUE(dir->IsReadOnly());
    // The path draws itself until a click makes the editor, which takes over
    // the text and the read-only state and puts its cursor where clicked.
    dir->SetText(L"/home/甲/桌面/");
    EXPECT_FALSE(dir->HasEditor());
    const QImage drawn = dir->grab().toImage();
    kelsor::test::PressAt(dir, QPoint(dir->width() - 20, dir->height() / 2));
    ASSERT_TRUE(dir->HasEditor());
    EXPECT_EQ(dir->Editor()->text(), QStringLiteral("/home/甲/桌面/"));
    EXPECT_TRUE(dir->Editor()->isReadOnly());
    EXPECT_EQ(dir->Editor()->cursorPosition(), dir->Editor()->text().size());
    EXPECT_EQ(dir->GetText(), L"/home/甲/桌面/");
    EXPECT_EQ(dir->grab().toImage(), drawn);  // no jump when the editor comes
    // That first press drags a selection like any later one.
    kelsor::test::MoveTo(dir, QPoint(1, dir->height() / 2));
    kelsor::test::ReleaseAt(dir, QPoint(1, dir->height() / 2));
    EXPECT_EQ(dir->Editor()->selectedText(), QStringLiteral("/home/甲/桌面/"));
    EXPECT_TRUE(dynamic_cast<COptionUI*>(pm.FindControl(L"singleocropt"))->IsSelected());
    EXPECT_TRUE(dynamic_cast<COptionUI*>(pm.FindControl(L"sourcedirradio"))->IsSelected());
    EXPECT_TRUE(dynamic_cast<COptionUI*>(pm.FindControl(L"formatradio"))->IsSelected());
    EXPECT_FALSE(pm.FindControl(L"pdfconvertgif")->IsVisible());
    EXPECT_FALSE(pm.FindControl(L"userhead")->IsVisible());
    EXPECT_EQ(pm.FindControl(L"loginbtn")->GetText(), L"请登录");
    // The page area sits under the 94-pixel caption band, 535 high.
    EXPECT_EQ(pm.FindControl(L"OCRTabModule")->GetPos(), QRect(0, 94, 1120, 535));

    // The animation plays while shown and stops when hidden.
    auto* gif = dynamic_cast<CGifAnimUI*>(pm.FindControl(L"pdfconvertgif"));
    ASSERT_NE(gif, nullptr);
    EXPECT_FALSE(gif->IsPlaying());
    gif->SetVisible(true);
    EXPECT_TRUE(gif->IsPlaying());
    gif->SetVisible(false);
    EXPECT_FALSE(gif->IsPlaying());

    // The head icon draws its picture inside a circle.
    auto* head = dynamic_cast<CHeadIconUI*>(pm.FindControl(L"userhead"));
    const QString path = QDir::temp().filePath(QStringLiteral("kelsor-ui-head-test.png"));
    QImage red(40, 40, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(path));
    head->SetAttribute(L"bkimage", path.toStdWString());
    head->SetVisible(true);
    const QImage shot = head->grab().toImage();
    EXPECT_EQ(shot.pixelColor(20, 20), QColor(Qt::red));
    EXPECT_NE(shot.pixelColor(1, 1), QColor(Qt::red));
    QFile::remove(path);

    // The result text area: multi-line, read-only, CR LF shown as line breaks.
    LayoutWindow page(L"singleocrwnd.xml");
    page.Create(nullptr, L"t", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
    auto* text = dynamic_cast<CRichEditUI*>(page.PaintManager().FindControl(L"ocrtextarea"));
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->IsReadOnly());
    text->SetText(L"第一行\r\n第二行\r\n");
    EXPECT_EQ(text->GetText(), L"第一行\n第二行\n");
    // Hidden, it has no editor yet; shown, it has one with the text.
    EXPECT_EQ(text->findChild<QPlainTextEdit*>(), nullptr);
    page.GetHWND()->show();
    text->SetVisible(true);
    ASSERT_NE(text->findChild<QPlainTextEdit*>(), nullptr);
    EXPECT_EQ(text->Editor()->document()->blockCount(), 3);
    EXPECT_TRUE(text->Editor()->isReadOnly());
    EXPECT_EQ(text->GetText(), L"第一行\n第二行\n");
    EXPECT_TRUE(Warnings().isEmpty()) << Warnings().join("\n").toStdString();
}

TEST_F(UiSkin, LayoutsCarryTheirOwnTextsGroupsAndListHeader) {
    const SkinArchive& archive = SkinArchive::Instance();
    QString all;
    for (const QString& name : archive.Names()) {
        if (name.endsWith(".xml"))
            all += QString::fromUtf8(archive.Read(name));
    }
    for (const char* text :
         {"序列",     "文件ID",    "文件名",     "大小",     "尺寸",     "查看",
          "状态",     "操作",      "识别结果",   "拖动",     "放大",     "缩小",
          "裁剪",     "适应窗口",  "完成截图",   "退出截图", "温馨提示", "确定",
          "请登录",   "输出目录:", "源文件夹",   "自定义",   "更改",     "打开文件夹目录",
          "编辑优先", "格式优先",  "开始识别",   "正在识别", "查看文件", "菜单",
          "最小化",   "关闭",      "Kelsor官网", "检查更新", "关于我们", "退出登录",
          "QQ登陆"})
        EXPECT_TRUE(all.contains(QStringLiteral("\"%1\"").arg(QString::fromUtf8(text)))) << text;

    LayoutWindow main(L"mainwnd.xml");
    main.Create(nullptr, L"t", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
    auto group = [&](const wchar_t* name) {
        auto* o = dynamic_cast<COptionUI*>(main.PaintManager().FindControl(name));
        return o ? o->GetGroup() : L"<none>";
    };
    for (const wchar_t* o : {L"singleocropt", L"batchocropt", L"screenocropt"})
        EXPECT_EQ(group(o), L"quickbar");
    EXPECT_EQ(group(L"sourcedirradio"), L"ocrdir");
    EXPECT_EQ(group(L"customdirradio"), L"ocrdir");
    EXPECT_EQ(group(L"formatradio"), L"ocrstyle");
    EXPECT_EQ(group(L"editradio"), L"ocrstyle");

    LayoutWindow batch(L"batchocrwnd.xml");
    batch.Create(nullptr, L"t", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
    auto* list = dynamic_cast<CListUI*>(batch.PaintManager().FindControl(L"BatchOCR_List"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetVirtualWnd(), L"BatchOCR_ListWnd");
    EXPECT_EQ(list->HeaderWidths(), (std::vector<int>{0, 100, 270, 120, 140, 80, 170, 106, 96}));
    EXPECT_EQ(list->GetHeader()->GetFixedHeight(), 40);
    EXPECT_EQ(list->GetHeader()->GetBkColor(), QColor(0xF7, 0xFA, 0xFC));
    EXPECT_EQ(list->ItemLineColor(), QColor(0xF9, 0xF9, 0xFA));
    auto* first = dynamic_cast<CLabelUI*>(list->GetHeader()->GetItemAt(1));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetText(), L"序列");
    EXPECT_EQ(first->GetTextColor(), QColor(0x99, 0x99, 0x99));
}
