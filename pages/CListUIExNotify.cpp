#include "pages/CListUIExNotify.h"

#include "pages/BatchList.h"

namespace kelsor::jobs {

void CListUIExNotify::OnClick(ui::TNotifyUI& msg) {
    if (msg.pSender == nullptr) {
        return;
    }
    const int id = m_list.IdOfRowControl(msg.pSender);
    if (id == 0) {
        return;
    }
    const ui::CDuiString name = msg.pSender->GetName();
    if (name == L"file_start" || name == L"file_retry") {
        m_list.StartOne(id);
    } else if (name == L"pic_view") {
        m_list.OpenPicture(id);
    } else if (name == L"file_open") {
        m_list.OpenResult(id);
    } else if (name == L"file_del") {
        m_list.Remove(id);
    }
}

}  // namespace kelsor::jobs
