#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPointer>
#include <QTest>
#include <atomic>
#include <thread>

#include "EventWaits.h"
#include "UiTestSupport.h"
#include "platform/sys/Messages.h"

using namespace kelsor::ui;
using kelsor::uitest::LayoutWindow;
using kelsor::uitest::Warnings;

namespace {

class UiControls : public ::testing::Test {
protected:
    void SetUp() override {
        kelsor::uitest::EnsureApp();
        Warnings().clear();
    }
    // A window built from inline markup.
    std::unique_ptr<LayoutWindow> Build(const char* xml) {
        auto w = std::make_unique<LayoutWindow>(QString::fromUtf8(xml).toStdWString());
        w->Create(nullptr, L"test", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
        w->GetHWND()->show();
        return w;
    }
};

}  // namespace

TEST_F(UiControls, OptionGroupSelectsOneAndReportsOnlyTheNewSelection) {
    auto w = Build(R"(<Window size="300,40"><HorizontalLayout>
        <Option name="a" group="g" selected="true"/><Option name="b" group="g"/>
        <Option name="c" group="other"/><Edit name="e"/><RichEdit name="r"/>
        </HorizontalLayout></Window>)");
    std::vector<std::wstring> changes;
    std::vector<std::wstring> clicks;
    w->onSelectChanged = [&](TNotifyUI& m) { changes.push_back(m.pSender->GetName()); };
    w->onClick = [&](TNotifyUI& m) { clicks.push_back(m.pSender->GetName()); };
    auto* a = dynamic_cast<COptionUI*>(w->PaintManager().FindControl(L"a"));
    auto* b = dynamic_cast<COptionUI*>(w->PaintManager().FindControl(L"b"));
    auto* c = dynamic_cast<COptionUI*>(w->PaintManager().FindControl(L"c"));
    ASSERT_TRUE(a && b && c);
    EXPECT_TRUE(a->IsSelected());

    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_FALSE(a->IsSelected());
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(c->IsSelected());
    EXPECT_EQ(clicks, std::vector<std::wstring>{L"b"});
    EXPECT_EQ(changes, std::vector<std::wstring>{L"b"});

    // Clicking the selected option of a group keeps it selected, no change.
    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_TRUE(b->IsSelected());
    EXPECT_EQ(changes.size(), 1u);

    // Selecting from code without the event.
    a->Selected(true, false);
    EXPECT_FALSE(b->IsSelected());
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_TRUE(Warnings().isEmpty()) << Warnings().join("\n").toStdString();
}

TEST_F(UiControls, TabLayoutShowsOnlyTheSelectedItem) {
    auto w = Build(R"(<Window size="100,100"><TabLayout name="t" selectedid="1">
        <Label name="p0"/><Label name="p1"/><Label name="p2"/></TabLayout></Window>)");
    auto* t = dynamic_cast<CTabLayoutUI*>(w->PaintManager().FindControl(L"t"));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetCurSel(), 1);
    EXPECT_FALSE(t->GetItemAt(0)->IsVisible());
    EXPECT_TRUE(t->GetItemAt(1)->IsVisible());
    EXPECT_TRUE(t->SelectItem(2));
    EXPECT_FALSE(t->GetItemAt(1)->IsVisible());
    EXPECT_TRUE(t->GetItemAt(2)->isVisible());
    EXPECT_EQ(t->GetItemAt(2)->geometry(), QRect(0, 0, 100, 100));
    EXPECT_FALSE(t->SelectItem(3));
    EXPECT_EQ(t->GetCurSel(), 2);
}

TEST_F(UiControls, ListAddRemoveAndCellsFollowTheHeader) {
    auto w = Build(R"(<Window size="400,300"><Include source="font.xml"/>
        <List name="l" virtualwnd="ListWnd"><ListHeader height="40">
          <ListHeaderItem text="id" width="0" visible="false"/>
          <ListHeaderItem text="a" width="100"/><ListHeaderItem text="b" width="150"/>
        </ListHeader></List></Window>)");
    auto* list = dynamic_cast<CListUI*>(w->PaintManager().FindControl(L"l"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetHeader()->GetCount(), 3);
    EXPECT_EQ(list->GetCount(), 0);

    std::vector<CListContainerElementUI*> rows;
    for (int i = 0; i < 3; ++i) {
        CDialogBuilder builder;
        auto* row = dynamic_cast<CListContainerElementUI*>(
            builder.Create(L"listItem.xml", L"", nullptr, &w->PaintManager()));
        ASSERT_NE(row, nullptr);
        for (int cell = 0; cell < 3; ++cell) {
            auto* layout = new CHorizontalLayoutUI;
            auto* label = new CLabelUI;
            label->SetName(cell == 0 ? L"file_id" : L"cell");
            label->SetText(std::to_wstring(i));
            layout->Add(label);
            row->Add(layout);
        }
        ASSERT_TRUE(list->AddAt(row, list->GetCount()));
        rows.push_back(row);
    }
    EXPECT_EQ(list->GetCount(), 3);
    EXPECT_EQ(list->GetItemAt(1), rows[1]);
    EXPECT_EQ(list->GetItemAt(3), nullptr);
    EXPECT_EQ(rows[0]->GetName(), L"new_node");
    EXPECT_EQ(rows[0]->GetFixedHeight(), 40);
    // Rows stack under each other, 40 high.
    EXPECT_EQ(rows[2]->geometry().top(), 80);
    // Cells take the header widths; the hidden id column takes none.
    EXPECT_EQ(rows[0]->GetItemAt(0)->geometry().width(), 0);
    EXPECT_EQ(rows[0]->GetItemAt(1)->geometry(), QRect(0, 0, 100, 40));
    EXPECT_EQ(rows[0]->GetItemAt(2)->geometry(), QRect(100, 0, 150, 40));
    // A label inside a row finds its row as the parent of its cell, and the
    // list's virtual window.
    CControlUI* id = w->PaintManager().FindSubControlByName(rows[1], L"file_id");
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->GetText(), L"1");
    EXPECT_EQ(id->GetParent()->GetParent(), rows[1]);
    EXPECT_EQ(id->GetVirtualWnd(), L"ListWnd");
    EXPECT_EQ(w->PaintManager().FindSubControlByName(rows[1], L"missing"), nullptr);

    EXPECT_TRUE(list->Remove(rows[0]));
    EXPECT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->GetItemAt(0), rows[1]);
    EXPECT_EQ(rows[1]->geometry().top(), 0);
    EXPECT_FALSE(list->Remove(rows[0]));  // already gone
    list->RemoveAll();
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_TRUE(Warnings().isEmpty()) << Warnings().join("\n").toStdString();
}

TEST_F(UiControls, UnknownTagsAndAttributesWarnButDoNotStopTheBuild) {
    auto w = Build(R"(<Window size="100,100" wobble="1"><VerticalLayout>
        <Gizmo name="g"><Label name="inner"/></Gizmo>
        <Label name="ok" sparkle="yes" width="abc"/></VerticalLayout></Window>)");
    EXPECT_NE(w->PaintManager().FindControl(L"ok"), nullptr);
    EXPECT_EQ(w->PaintManager().FindControl(L"g"), nullptr);
    EXPECT_EQ(w->PaintManager().FindControl(L"inner"), nullptr);
    const QString all = Warnings().join("\n");
    EXPECT_TRUE(all.contains("wobble"));
    EXPECT_TRUE(all.contains("Gizmo"));
    EXPECT_TRUE(all.contains("sparkle"));
    EXPECT_TRUE(all.contains("width"));

    Warnings().clear();
    w->PaintManager().FindControl(L"ok")->SetAttribute(L"nonsense", L"1");
    EXPECT_EQ(Warnings().size(), 1);

    Warnings().clear();
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create(L"no-such-layout.xml", L"", nullptr, &w->PaintManager()), nullptr);
    EXPECT_EQ(Warnings().size(), 1);
}

TEST_F(UiControls, AttributesByNameDriveTheControls) {
    auto w = Build(R"(<Window size="200,100"><Include source="font.xml"/><VerticalLayout>
        <Label name="l" text="识别结果" font="0" autocalcwidth="true" textpadding="4,0,6,0"/>
        <Progress name="p" height="7" value="0"/><Button name="b" text="x"/></VerticalLayout></Window>)");
    auto* label = dynamic_cast<CLabelUI*>(w->PaintManager().FindControl(L"l"));
    ASSERT_NE(label, nullptr);
    const QSize s = CRenderEngine::GetTextSize(&w->PaintManager(), L"识别结果", 0, 0);
    EXPECT_GT(s.width(), 30);
    EXPECT_EQ(label->GetFixedWidth(), s.width() + 10);
    EXPECT_EQ(label->GetQFont().family(), "Noto Sans CJK SC");
    EXPECT_EQ(label->GetQFont().pixelSize(), 12);

    auto* p = dynamic_cast<CProgressUI*>(w->PaintManager().FindControl(L"p"));
    ASSERT_NE(p, nullptr);
    p->SetValue(150);
    EXPECT_EQ(p->GetValue(), 100);
    p->SetAttribute(L"value", L"42");
    EXPECT_EQ(p->GetValue(), 42);

    CControlUI* b = w->PaintManager().FindControl(L"b");
    b->SetAttribute(L"visible", L"false");
    EXPECT_FALSE(b->IsVisible());
    b->SetAttribute(L"width", L"77");
    EXPECT_EQ(b->GetFixedWidth(), 77);
    EXPECT_TRUE(Warnings().isEmpty()) << Warnings().join("\n").toStdString();
}

TEST_F(UiControls, VirtualWindowsReceiveTheirControlsNotifications) {
    auto w = Build(R"(<Window size="200,100"><HorizontalLayout>
        <Button name="own"/><HorizontalLayout virtualwnd="Pane"><Button name="inside"/></HorizontalLayout>
        </HorizontalLayout></Window>)");
    struct Pane : CNotifyPump {
        std::vector<std::wstring> clicks;
        void OnClick(TNotifyUI& m) override { clicks.push_back(m.pSender->GetName()); }
    } pane;
    std::vector<std::wstring> own;
    w->onClick = [&](TNotifyUI& m) { own.push_back(m.pSender->GetName()); };
    EXPECT_TRUE(w->AddVirtualWnd(L"Pane", &pane));
    EXPECT_FALSE(w->AddVirtualWnd(L"Pane", &pane));
    EXPECT_TRUE(w->ClickControl(L"inside"));
    EXPECT_TRUE(w->ClickControl(L"own"));
    EXPECT_EQ(pane.clicks, std::vector<std::wstring>{L"inside"});
    EXPECT_EQ(own, std::vector<std::wstring>{L"own"});
    // A disabled control takes no click.
    w->PaintManager().FindControl(L"own")->SetEnabled(false);
    EXPECT_FALSE(w->ClickControl(L"own"));
    EXPECT_EQ(own.size(), 1u);
}

TEST_F(UiControls, SendMessageFromAWorkerRunsOnTheUiThreadAndWaits) {
    auto w = Build(R"(<Window size="10,10"><Control/></Window>)");
    std::atomic<bool> onUiThread{false};
    std::vector<unsigned> order;
    w->onMessage = [&](UINT msg) -> LRESULT {
        onUiThread = QThread::currentThread() == qApp->thread();
        order.push_back(msg);
        return msg == kelsor::WM_KSOCR_SINGLE_DONE ? 7 : 0;
    };
    std::atomic<LRESULT> result{-1};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        result = w->SendMessage(kelsor::WM_KSOCR_SINGLE_DONE);
        finished = true;
    });
    EXPECT_TRUE(kelsor::test::WaitFor([&] { return finished.load(); }));
    worker.join();
    EXPECT_TRUE(onUiThread);
    EXPECT_EQ(result, 7);

    // PostMessage is queued: nothing happens until the loop runs.
    order.clear();
    EXPECT_TRUE(w->PostMessage(kelsor::WM_KSOCR_BATCH_ENABLESTART));
    EXPECT_TRUE(order.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(order, std::vector<unsigned>{kelsor::WM_KSOCR_BATCH_ENABLESTART});
}

TEST_F(UiControls, ModalRunReturnsTheCloseCodeAndFinalMessageFollows) {
    kelsor::ui::ModalSeam::Enable();
    struct Dlg : LayoutWindow {
        using LayoutWindow::LayoutWindow;
        bool final = false;
        void OnFinalMessage(HWND) override { final = true; }
    };
    Dlg dlg(L"<Window size=\"50,30\"><Button name=\"ok\"/></Window>");
    dlg.onClick = [&](TNotifyUI&) { dlg.Close(5); };
    dlg.Create(nullptr, L"d", UI_WNDSTYLE_DIALOG, 0);
    kelsor::ui::ModalSeam::SetNextAnswer(L"ok");
    EXPECT_EQ(dlg.ShowModal(), 5);
    EXPECT_TRUE(dlg.final);
    EXPECT_EQ(dlg.GetHWND(), nullptr);
    EXPECT_EQ(kelsor::ui::ModalSeam::UnansweredCount(), 0);
    kelsor::ui::ModalSeam::Disable();
}

TEST_F(UiControls, PickersGoThroughTheSeam) {
    kelsor::ui::ModalSeam::Enable();
    FileDialog::SetNextFileNames({L"/p/b.png", L"/p/a.jpg"});
    std::vector<std::wstring> paths;
    EXPECT_TRUE(PickPictures(nullptr, paths));
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"/p/b.png", L"/p/a.jpg"}));
    EXPECT_EQ(FileDialog::LastRequest().title, L"选择文件");
    EXPECT_EQ(FileDialog::LastRequest().filterText,
              L"图片文件(*.png;*.jpg;*.jpeg;*.bmp;*.gif;*.tif;*.tiff;)");
    EXPECT_EQ(FileDialog::LastRequest().filterPattern,
              L"*.png;*.jpg;*.jpeg;*.bmp;*.gif;*.tif;*.tiff;");

    FileDialog::SetNextFileNames({L"/p/one.bmp"});
    EXPECT_EQ(PickOnePicture(nullptr), L"/p/one.bmp");
    EXPECT_EQ(FileDialog::LastRequest().title, L"请选择一个文件");

    FileDialog::SetNextFileNames({});  // cancelled
    EXPECT_EQ(PickOnePicture(nullptr), L"");
    std::wstring folder;
    FileDialog::SetNextFileNames({L"/data/pics"});
    EXPECT_TRUE(PickFolder(nullptr, folder));
    EXPECT_EQ(folder, L"/data/pics/");
    EXPECT_EQ(FileDialog::LastRequest().title, L"选择一个文件夹");
    FileDialog::SetNextFileNames({});
    EXPECT_FALSE(PickFolder(nullptr, folder));
    EXPECT_EQ(folder, L"/data/pics/");  // untouched on cancel
    // An unanswered picker never blocks a test; it counts as cancelled.
    EXPECT_FALSE(PickPictures(nullptr, paths));
    EXPECT_EQ(kelsor::ui::ModalSeam::UnansweredCount(), 1);
    kelsor::ui::ModalSeam::Disable();
}

TEST_F(UiControls, ARowRemovedByAClickInsideItGoesSafely) {
    auto w = Build(R"(<Window size="300,200"><List name="l"/></Window>)");
    auto* list = dynamic_cast<CListUI*>(w->PaintManager().FindControl(L"l"));
    ASSERT_NE(list, nullptr);
    auto* row = new CListContainerElementUI;
    row->SetFixedHeight(40);
    auto* del = new CButtonUI;
    del->SetName(L"file_del");
    row->Add(del);
    list->Add(row);
    QCoreApplication::processEvents();
    w->onClick = [&](TNotifyUI& m) {
        if (m.pSender->GetName() == L"file_del")
            list->Remove(m.pSender->GetParent());
    };
    QPointer<QWidget> gone = row;
    QTest::mouseClick(del, Qt::LeftButton);
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(w->PaintManager().FindControl(L"file_del"), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
}

TEST_F(UiControls, APictureOnDiskIsReadAgainWhenItChanges) {
    auto w = Build(R"(<Window size="40,40"><HeadIcon name="h"/></Window>)");
    const QString path = QDir::temp().filePath(QStringLiteral("kelsor-ui-avatar-test.png"));
    QImage a(2, 2, QImage::Format_ARGB32);
    a.fill(Qt::red);
    ASSERT_TRUE(a.save(path));
    EXPECT_EQ(w->PaintManager().GetImage(path).size(), QSize(2, 2));
    QImage b(3, 3, QImage::Format_ARGB32);
    b.fill(Qt::blue);
    ASSERT_TRUE(b.save(path));
    EXPECT_EQ(w->PaintManager().GetImage(path).size(), QSize(3, 3));
    // A missing picture is no warning: the head icon falls back to its default.
    QFile::remove(path);
    EXPECT_TRUE(w->PaintManager().GetImage(path).isNull());
    EXPECT_TRUE(Warnings().isEmpty()) << Warnings().join("\n").toStdString();
}

TEST_F(UiControls, DefaultsAndCustomTagsThroughTheBuilder) {
    struct Custom : CLabelUI {
        QString GetClass() const override { return QStringLiteral("Custom"); }
    };
    struct Window : LayoutWindow {
        using LayoutWindow::LayoutWindow;
        CControlUI* CreateControl(const CDuiString& cls) override {
            return cls == L"SingleOCRViewHolder" ? new Custom : nullptr;
        }
    };
    Window w(
        LR"(<Window size="200,60">
        <Default name="Button" value="textcolor=&quot;#FF4399FD&quot; width=&quot;50&quot;"/>
        <HorizontalLayout><Button name="b1"/><Button name="b2" width="70"/>
        <SingleOCRViewHolder name="holder" align="right" valign="bottom" endellipsis="true"/>
        </HorizontalLayout></Window>)");
    w.Create(nullptr, L"t", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE, 0);
    auto* b1 = dynamic_cast<CButtonUI*>(w.PaintManager().FindControl(L"b1"));
    auto* b2 = dynamic_cast<CButtonUI*>(w.PaintManager().FindControl(L"b2"));
    ASSERT_TRUE(b1 && b2);
    EXPECT_EQ(b1->GetFixedWidth(), 50);
    EXPECT_EQ(b1->GetTextColor(), QColor(0x43, 0x99, 0xFD));
    EXPECT_EQ(b2->GetFixedWidth(), 70);  // its own attribute wins over the default
    auto* holder = dynamic_cast<CLabelUI*>(w.PaintManager().FindControl(L"holder"));
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->GetClass(), "Custom");
    const UINT style = holder->GetTextStyle();
    EXPECT_TRUE(style & DT_RIGHT);
    EXPECT_TRUE(style & DT_BOTTOM);
    EXPECT_FALSE(style & DT_VCENTER);
    EXPECT_TRUE(style & DT_END_ELLIPSIS);
    EXPECT_TRUE(Warnings().isEmpty()) << Warnings().join("\n").toStdString();
}

TEST_F(UiControls, ImagesDrawTheirSourceRectangleIntoTheirDestination) {
    auto w = Build(R"(<Window size="20,20"><Control/></Window>)");
    // A strip of three 4x4 states: red, green, blue.
    const QString path = QDir::temp().filePath(QStringLiteral("kelsor-ui-strip-test.png"));
    QImage strip(12, 4, QImage::Format_ARGB32);
    strip.fill(Qt::red);
    for (int y = 0; y < 4; ++y) {
        for (int x = 4; x < 8; ++x)
            strip.setPixelColor(x, y, Qt::green);
        for (int x = 8; x < 12; ++x)
            strip.setPixelColor(x, y, Qt::blue);
    }
    ASSERT_TRUE(strip.save(path));
    QImage canvas(20, 20, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    {
        QPainter p(&canvas);
        const QString ref =
            QStringLiteral("file='%1' source='4,0,8,4' dest='10,10,18,18'").arg(path);
        EXPECT_TRUE(CRenderEngine::DrawImage(p, &w->PaintManager(), QRect(0, 0, 20, 20), ref));
        EXPECT_FALSE(CRenderEngine::DrawImage(p, &w->PaintManager(), QRect(0, 0, 20, 20),
                                              QStringLiteral("file='%1' source='4,0").arg(path)));
    }
    EXPECT_EQ(canvas.pixelColor(14, 14), QColor(Qt::green));
    EXPECT_EQ(canvas.pixelColor(9, 9), QColor(Qt::white));
    EXPECT_EQ(canvas.pixelColor(18, 18), QColor(Qt::white));

    // Corners keep their size when a frame is stretched (nine-slice).
    canvas.fill(Qt::white);
    QImage frame(6, 6, QImage::Format_ARGB32);
    frame.fill(Qt::black);
    frame.setPixelColor(0, 0, Qt::red);
    for (int y = 2; y < 4; ++y)
        for (int x = 2; x < 4; ++x)
            frame.setPixelColor(x, y, Qt::yellow);
    ASSERT_TRUE(frame.save(path));
    {
        QPainter p(&canvas);
        EXPECT_TRUE(
            CRenderEngine::DrawImage(p, &w->PaintManager(), QRect(0, 0, 20, 20),
                                     QStringLiteral("file='%1' corner='2,2,2,2'").arg(path)));
    }
    EXPECT_EQ(canvas.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(canvas.pixelColor(1, 1), QColor(Qt::black));  // corner not stretched
    EXPECT_EQ(canvas.pixelColor(10, 10), QColor(Qt::yellow));
    EXPECT_EQ(canvas.pixelColor(19, 10), QColor(Qt::black));
    QFile::remove(path);
}

TEST_F(UiControls, PositionsAreInTheControlsOwnWindow) {
    auto top = Build(R"(<Window size="400,300"><Control/></Window>)");
    LayoutWindow page(
        LR"(<Window size="300,200"><VerticalLayout inset="10,10,10,10">
        <Control height="20"/><Container name="area"><Button name="b" float="true" pos="5,5,45,25"/>
        </Container></VerticalLayout></Window>)");
    page.Create(top->GetHWND(), L"page", UI_WNDSTYLE_CHILD, 0);
    page.MoveWindow(50, 60, 300, 200);
    QCoreApplication::processEvents();
    CControlUI* b = page.PaintManager().FindControl(L"b");
    ASSERT_NE(b, nullptr);
    // Inside the page: inset 10, a 20-high row, then the float offset.
    EXPECT_EQ(b->GetPos(), QRect(15, 35, 40, 20));
    b->SetPos(QRect(100, 120, 40, 40));
    EXPECT_EQ(b->GetPos(), QRect(100, 120, 40, 40));
    EXPECT_EQ(b->GetFixedWidth(), 40);

    // Closing the parent takes the child window with it, children first.
    bool pageFinal = false;
    struct Child : LayoutWindow {
        using LayoutWindow::LayoutWindow;
        bool* flag = nullptr;
        void OnFinalMessage(HWND) override { *flag = true; }
    };
    auto* child = new Child(L"<Window size=\"10,10\"><Control/></Window>");
    child->flag = &pageFinal;
    child->Create(top->GetHWND(), L"c", UI_WNDSTYLE_CHILD, 0);
    top->Close(1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(pageFinal);
    EXPECT_EQ(child->GetHWND(), nullptr);
    EXPECT_EQ(page.GetHWND(), nullptr);
    delete child;
}
