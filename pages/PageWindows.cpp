#include "pages/PageWindows.h"

namespace kelsor::jobs {
namespace {

BatchOCRWnd* g_batchPage = nullptr;
ScreenOCRWnd* g_screenPage = nullptr;

void SetVisible(ui::CPaintManagerUI& pm, const wchar_t* name, bool visible) {
    if (ui::CControlUI* c = pm.FindControl(name))
        c->SetVisible(visible);
}

}  // namespace

BatchOCRWnd::BatchOCRWnd() {
    g_batchPage = this;
}

BatchOCRWnd::~BatchOCRWnd() {
    if (g_batchPage == this)
        g_batchPage = nullptr;
}

void BatchOCRWnd::InitWindow() {
    // An empty list: only the big "add pictures" button.
    SetVisible(m_PaintManager, L"BatchOCR_List", false);
    SetVisible(m_PaintManager, L"batchselectpicbtn", true);
}

BatchOCRWnd* GetBatchOCRPage() {
    return g_batchPage;
}

ScreenOCRWnd::ScreenOCRWnd() {
    g_screenPage = this;
}

ScreenOCRWnd::~ScreenOCRWnd() {
    if (g_screenPage == this)
        g_screenPage = nullptr;
}

void ScreenOCRWnd::InitWindow() {
    // The no-picture state: the capture hint and the result placeholder.
    SetVisible(m_PaintManager, L"cutscreenocr", true);
    SetVisible(m_PaintManager, L"waitocr", true);
    SetVisible(m_PaintManager, L"imagetoolbar", false);
    SetVisible(m_PaintManager, L"covertinggif", false);
    SetVisible(m_PaintManager, L"ocrtextarea", false);
}

ScreenOCRWnd* GetScreenOCRPage() {
    return g_screenPage;
}

}  // namespace kelsor::jobs
