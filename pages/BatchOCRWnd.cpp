#include "pages/BatchOCRWnd.h"

#include "pages/PageControls.h"

namespace kelsor::jobs {
namespace {

BatchOCRWnd* g_batchPage = nullptr;

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
    SetControlVisible(m_PaintManager, L"BatchOCR_List", false);
    SetControlVisible(m_PaintManager, L"batchselectpicbtn", true);
}

BatchOCRWnd* GetBatchOCRPage() {
    return g_batchPage;
}

}  // namespace kelsor::jobs
