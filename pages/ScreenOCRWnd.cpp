#include "pages/ScreenOCRWnd.h"

#include "pages/PageControls.h"

namespace kelsor::jobs {
namespace {

ScreenOCRWnd* g_screenPage = nullptr;

}  // namespace

ScreenOCRWnd::ScreenOCRWnd() {
    g_screenPage = this;
}

ScreenOCRWnd::~ScreenOCRWnd() {
    if (g_screenPage == this)
        g_screenPage = nullptr;
}

void ScreenOCRWnd::InitWindow() {
    // The no-picture state: the capture hint and the result placeholder.
    SetControlVisible(m_PaintManager, L"cutscreenocr", true);
    SetControlVisible(m_PaintManager, L"waitocr", true);
    SetControlVisible(m_PaintManager, L"imagetoolbar", false);
    SetControlVisible(m_PaintManager, L"covertinggif", false);
    SetControlVisible(m_PaintManager, L"ocrtextarea", false);
}

ScreenOCRWnd* GetScreenOCRPage() {
    return g_screenPage;
}

}  // namespace kelsor::jobs
