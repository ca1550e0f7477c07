#pragma once

#include "platform/ui/UiLib.h"

namespace kelsor::jobs {

class BatchList;

// The virtual window "BatchOCR_ListWnd" of the batch list: clicks on the
// buttons inside its rows arrive here and act on the row's item.
class CListUIExNotify : public ui::CNotifyPump {
public:
    explicit CListUIExNotify(BatchList& list) : m_list(list) {}

protected:
    void OnClick(ui::TNotifyUI& msg) override;

private:
    BatchList& m_list;
};

}  // namespace kelsor::jobs
