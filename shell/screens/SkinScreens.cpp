// Renders every window layout of the skin offscreen to PNG files, in the
// states the program shows them, so that the skin can be looked at without
// running the program:
//
//   cmake --build build --target screenshots     (writes build/screenshots/)
//   kelsor_skin_screens <output folder>
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <utility>
#include <vector>

#include "jobs/BatchFileItem.h"
#include "pages/BatchListRow.h"
#include "platform/ui/UiLib.h"
#include "skin/SkinData.h"

using namespace kelsor::ui;
using kelsor::jobs::BatchRowControls;
using kelsor::jobs::RowState;

namespace {

class Shot : public WindowImplBase {
public:
    Shot(std::wstring file, std::wstring cls) : m_file(std::move(file)), m_class(std::move(cls)) {}
    CControlUI* Find(const wchar_t* name) { return m_PaintManager.FindControl(name); }
    template <typename T>
    T* As(const wchar_t* name) {
        return dynamic_cast<T*>(Find(name));
    }

protected:
    CDuiString GetWindowClassName() const override { return m_class; }
    CDuiString GetSkinFolder() override { return L""; }
    CDuiString GetSkinFile() override { return m_file; }

private:
    std::wstring m_file, m_class;
};

int g_failures = 0;

// Draws the window's drop shadow (size, darkness, offset, colour of its
// layout) around its picture, as a compositor would.
QImage WithShadow(const QImage& window, const WindowAttributes& a) {
    if (!a.showShadow || a.shadowSize <= 0)
        return window;
    const int m = a.shadowSize * 3 + 4;
    QImage out(window.width() + 2 * m, window.height() + 2 * m,
               QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(0xEE, 0xF1, 0xF5));
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor base = a.shadowColor.isValid() ? a.shadowColor : QColor(0x33, 0x33, 0x33);
    const QRectF r(m + a.shadowOffset.x(), m + a.shadowOffset.y(), window.width(), window.height());
    const int steps = a.shadowSize * 2;
    for (int i = steps; i > 0; --i) {
        QColor c = base;
        c.setAlphaF(a.shadowDarkness / 255.0 * 0.35 / steps * (steps - i + 1) / steps * 2);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(r.adjusted(-i * 0.5, -i * 0.5, i * 0.5, i * 0.5), 2 + i * 0.5,
                          2 + i * 0.5);
    }
    QPainterPath clip;
    clip.addRoundedRect(QRectF(m, m, window.width(), window.height()), a.roundCorner.width(),
                        a.roundCorner.height());
    p.setClipPath(clip);
    p.drawImage(m, m, window);
    return out;
}

void Save(Shot& w, const QString& dir, const QString& name, bool shadow = true) {
    QCoreApplication::processEvents();
    QImage img = w.GetHWND()->grab().toImage();
    if (shadow)
        img = WithShadow(img, w.PaintManager().Window());
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!img.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        ++g_failures;
    } else {
        std::printf("%s\n", qPrintable(path));
    }
}

std::unique_ptr<Shot> Open(const wchar_t* file, HWND parent = nullptr,
                           UINT style = UI_WNDSTYLE_DIALOG) {
    auto w = std::make_unique<Shot>(file, L"Shot");
    w->Create(parent, file, style & ~WS_VISIBLE, 0);
    // Top-level windows away from the pointer, which rests at the origin,
    // so that no control is drawn hot.
    if ((style & WS_CHILD) == 0)
        w->GetHWND()->move(400, 300);
    w->GetHWND()->show();
    return w;
}

// One batch row, built by the list's own row code.
void AddRow(CListUI* list, int id, const wchar_t* name, RowState state, int progress) {
    kelsor::BatchFileItem item;
    item.id = id;
    item.fileName = name;
    item.sizeText = L"1.25MB";
    item.dimensionsText = L"1920*1080";
    CListContainerElementUI* row = kelsor::jobs::MakeBatchRow();
    list->AddAt(row, list->GetCount());
    const BatchRowControls controls = kelsor::jobs::FillBatchRow(row, item, id);
    kelsor::jobs::ShowRowState(controls, state);
    controls.progress->SetValue(progress);
}

// A sample picture the size of the view, as the picture canvas shows one;
// its path.
QString SamplePicture() {
    QImage pic(528, 451, QImage::Format_RGB32);
    pic.fill(QColor(0xE9, 0xEC, 0xF0));
    QPainter p(&pic);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::white);
    p.setPen(QColor(0xD5, 0xDA, 0xE1));
    p.drawRect(64, 24, 400, 403);
    QFont f(QStringLiteral("Noto Serif CJK SC"));
    f.setPixelSize(20);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x33, 0x33, 0x33));
    p.drawText(QRect(64, 48, 400, 30), Qt::AlignCenter, QStringLiteral("会议纪要"));
    f.setPixelSize(13);
    f.setBold(false);
    p.setFont(f);
    for (int i = 0; i < 14; ++i)
        p.drawText(QPoint(96, 110 + i * 22),
                   QStringLiteral("%1. KelsorOCR 将图片中的文字识别为可编辑的文本。").arg(i + 1));
    p.end();
    const QString path = QDir::temp().filePath(QStringLiteral("kelsor-screens-sample.png"));
    pic.save(path);
    return path;
}

// The single page: no picture, signed in with a result, recognising.
void SinglePageShots(Shot& main, const QString& dir) {
    // The real composition: the single page over the page area, its view and
    // buttons over the page.
    auto single = Open(L"singleocrwnd.xml", main.GetHWND(), UI_WNDSTYLE_CHILD);
    single->MoveWindow(1, 94, 1118, 535);
    single->As<CControlUI>(L"imagetoolbar")->SetVisible(false);
    Save(main, dir, QStringLiteral("main_single_nopicture"));

    // Signed in, a picture recognised.
    main.Find(L"loginicobtn")->SetVisible(false);
    main.Find(L"loginbtn")->SetVisible(false);
    main.Find(L"userhead")->SetVisible(true);
    auto* nick = main.As<CButtonUI>(L"nickname");
    nick->SetText(L"林小雨");
    const QSize ns = CRenderEngine::GetTextSize(&main.PaintManager(), nick->GetText(),
                                                nick->GetFont(), nick->GetTextStyle());
    nick->SetAttribute(L"width", std::to_wstring(ns.width() + 8));
    nick->SetVisible(true);
    main.As<CEditUI>(L"ocrdirpath")->SetText(L"/home/lin/Documents/识别结果/");
    main.As<COptionUI>(L"customdirradio")->Selected(true, false);
    main.Find(L"singleconvertbtn")->SetVisible(false);
    main.Find(L"singleconvertedbtn")->SetVisible(true);
    single->Find(L"singleselectpicbtn")->SetVisible(false);
    single->Find(L"imagetoolbar")->SetVisible(true);
    single->Find(L"movebtn")->SetEnabled(false);
    single->Find(L"waitocr")->SetVisible(false);
    auto* text = single->As<CRichEditUI>(L"ocrtextarea");
    std::wstring sample;
    for (int i = 1; i <= 30; ++i)
        sample +=
            L"第" + std::to_wstring(i) + L"行：KelsorOCR 将图片中的文字识别为可编辑的文本。\r\n";
    text->SetText(sample);
    text->SetVisible(true);
    auto view = Open(L"singleocrview.xml", single->GetHWND(), UI_WNDSTYLE_CHILD);
    view->MoveWindow(21, 23, 528, 451);
    view->PaintManager().GetRoot()->SetAttribute(L"bkimage", SamplePicture().toStdWString());
    auto upload = Open(L"uploadbtn.xml", single->GetHWND(), UI_WNDSTYLE_CHILD);
    upload->MoveWindow(363, 32, 92, 30);
    auto del = Open(L"deletebtn.xml", single->GetHWND(), UI_WNDSTYLE_CHILD);
    del->MoveWindow(465, 32, 72, 30);
    Save(main, dir, QStringLiteral("main_single_result"));

    // Recognising.
    main.Find(L"singleconvertedbtn")->SetVisible(false);
    main.Find(L"singleconverting")->SetVisible(true);
    text->SetVisible(false);
    single->Find(L"covertinggif")->SetVisible(true);
    Save(main, dir, QStringLiteral("main_single_recognising"));
    single->ShowWindow(false);
}

// The main window's tab of page `index` selected, as its option would.
void SelectPage(Shot& main, const wchar_t* option, int index) {
    main.As<COptionUI>(option)->Selected(true, false);
    main.As<CTabLayoutUI>(L"OCRTabModule")->SelectItem(index);
    main.As<CTabLayoutUI>(L"ConvertTabModule")->SelectItem(index);
}

// The batch page with rows in every state.
void BatchPageShots(Shot& main, const QString& dir) {
    SelectPage(main, L"batchocropt", 1);
    main.Find(L"batchconvertbtn")->SetEnabled(true);
    auto batch = Open(L"batchocrwnd.xml", main.GetHWND(), UI_WNDSTYLE_CHILD);
    batch->MoveWindow(1, 94, 1118, 535);
    auto* list = batch->As<CListUI>(L"BatchOCR_List");
    batch->Find(L"batchselectpicbtn")->SetVisible(false);
    const wchar_t* names[] = {L"发票扫描件_2024.png",
                              L"合同第一页.jpg",
                              L"会议白板.jpeg",
                              L"身份证复印件（正反面合并）以及补充说明材料.bmp",
                              L"截图 2024-03-05.png",
                              L"菜单.tif",
                              L"说明书第12页.gif",
                              L"报表.png",
                              L"手写笔记.jpg",
                              L"名片.png",
                              L"海报.jpg",
                              L"收据.png"};
    const int states[] = {4, 4, 3, 2, 2, 0, 1, 1, 1, 1, 1, 1};
    for (int i = 0; i < 12; ++i)
        AddRow(list, i + 1, names[i], static_cast<RowState>(states[i]), 64);
    Save(main, dir, QStringLiteral("main_batch_list"));
    batch->ShowWindow(false);
}

// The screen page, nothing captured yet.
void ScreenPageShots(Shot& main, const QString& dir) {
    SelectPage(main, L"screenocropt", 2);
    auto screen = Open(L"screenocrwnd.xml", main.GetHWND(), UI_WNDSTYLE_CHILD);
    screen->MoveWindow(1, 94, 1118, 535);
    screen->Find(L"imagetoolbar")->SetVisible(false);
    main.Find(L"pdfconvertbtn")->SetVisible(false);
    main.Find(L"pdfconvertgif")->SetVisible(true);
    Save(main, dir, QStringLiteral("main_screen_converterdownload"));
}

void MainWindowShots(const QString& dir) {
    auto main = Open(L"mainwnd.xml");
    Save(*main, dir, QStringLiteral("mainwnd"));
    SinglePageShots(*main, dir);
    BatchPageShots(*main, dir);
    ScreenPageShots(*main, dir);
}

// Each page alone, without the controls it shows only with a picture.
void PageShots(const QString& dir) {
    struct Page {
        const wchar_t* file;
        const wchar_t* hidden;  // null: nothing hidden
        const char* shot;
    };
    const Page pages[] = {
        {L"singleocrwnd.xml", L"imagetoolbar", "singleocrwnd"},
        {L"screenocrwnd.xml", L"imagetoolbar", "screenocrwnd"},
        {L"batchocrwnd.xml", L"BatchOCR_List", "batchocrwnd_empty"},
        {L"singleocrview.xml", nullptr, "singleocrview"},
    };
    for (const Page& page : pages) {
        auto w = Open(page.file);
        if (page.hidden != nullptr)
            w->Find(page.hidden)->SetVisible(false);
        Save(*w, dir, QString::fromLatin1(page.shot), false);
    }
}

void SmallWindowShots(const QString& dir) {
    {
        auto w = Open(L"commondlg.xml");
        w->As<CLabelUI>(L"msgtext")->SetText(L"您添加的文件已超过上限，最多可添加100张！");
        Save(*w, dir, QStringLiteral("commondlg_information"));
        w->As<CTabLayoutUI>(L"commondlgTabModule")->SelectItem(1);
        w->As<CLabelUI>(L"msgyntext")->SetText(L"确定要退出当前账号吗？");
        w->As<CButtonUI>(L"msgyncancelbtn")->SetText(L"取消");
        w->As<CButtonUI>(L"msgynconfirmbtn")->SetText(L"确定");
        Save(*w, dir, QStringLiteral("commondlg_question"));
    }
    // The small windows with their texts; the shot is named after the file.
    struct Small {
        const wchar_t* file;
        std::vector<std::pair<const wchar_t*, const wchar_t*>> texts;
    };
    const Small windows[] = {
        {L"updatewnd.xml", {{L"updatetext", L"发现新版本 1.2.0.0"}}},
        {L"mainmenuwnd.xml", {}},
        // The capture key window after a refused key: the key in use stays.
        {L"hotkeywnd.xml",
         {{L"hotkeyfield", L"ctrl + 2"}, {L"hotkeytip", L"ctrl + alt + a 被占用！"}}},
        {L"usercenterinfownd.xml", {{L"nickname", L"林小雨 138****5678"}}},
        {L"screenshottoolwnd.xml", {}},
        {L"uploadbtn.xml", {}},
        {L"deletebtn.xml", {}},
    };
    for (const Small& small : windows) {
        auto w = Open(small.file);
        for (const auto& [name, text] : small.texts)
            w->Find(name)->SetText(text);
        Save(*w, dir, QString::fromWCharArray(small.file).chopped(4));
    }
    for (const wchar_t* f : {L"registerloginwnd.xml", L"wechatloginwnd.xml",
                             L"bindcellphonewnd.xml", L"qqloginwnd.xml"}) {
        auto w = Open(f);
        if (CControlUI* loading = w->Find(L"loading")) {
            const QRect c = w->GetClientRect();
            loading->SetPadding(QMargins(c.width() / 2 - 30, c.height() / 2 - 30, 0, 0));
            loading->SetVisible(true);
        }
        Save(*w, dir, QString::fromWCharArray(f).chopped(4));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(dir);
    CPaintManagerUI::SetInstance(nullptr);
    if (!kelsor::skin::Install()) {
        std::fprintf(stderr, "skin archive unreadable\n");
        return 1;
    }
    MainWindowShots(dir);
    PageShots(dir);
    SmallWindowShots(dir);
    return g_failures == 0 ? 0 : 1;
}
