#include "pages/RecognitionPage.h"

#include <QWidget>
#include <utility>

#include "app/AppContext.h"
#include "cloud/RecognizePictureText.h"
#include "jobs/ServicePicture.h"
#include "notices/CommonDlg.h"
#include "pages/PageButtons.h"
#include "pages/PageControls.h"
#include "pages/ResultCopy.h"
#include "pages/SingleOCRView.h"
#include "pages/UiThread.h"

namespace kelsor::jobs {
namespace {

constexpr ui::UINT kChildStyle =
    ui::WS_CHILD | ui::WS_VISIBLE | ui::WS_CLIPSIBLINGS | ui::WS_CLIPCHILDREN;

}  // namespace

RecognitionPage::RecognitionPage(int ownerCode, const wchar_t* emptyHint, PageMessages messages)
    : m_ownerCode(ownerCode),
      m_emptyHintName(emptyHint),
      m_messages(messages),
      m_liveness(std::make_shared<Liveness>(Liveness{this})) {}

RecognitionPage::~RecognitionPage() = default;

void RecognitionPage::OnFinalMessage(ui::HWND) {
    delete this;
}

void RecognitionPage::SetRecognizer(Recognizer recognizer) {
    m_recognizer = std::move(recognizer);
}

RecognitionPage::Recognizer RecognitionPage::CurrentRecognizer() const {
    if (m_recognizer) {
        return m_recognizer;
    }
    // The switch as it is when the run starts holds for the whole run.
    return ServiceTextRecognition(App().readCodes.load() != 0 ? CodeReading::On : CodeReading::Off);
}

void RecognitionPage::InitWindow() {
    ui::CPaintManagerUI& pm = m_PaintManager;
    m_emptyHint = pm.FindControl(m_emptyHintName);
    m_imageToolbar = pm.FindControl(L"imagetoolbar");
    m_moveButton = pm.FindControl(L"movebtn");
    m_cutButton = pm.FindControl(L"cutbtn");
    m_waitOcr = pm.FindControl(L"waitocr");
    m_convertingGif = pm.FindControl(L"covertinggif");
    m_textArea = pm.FindControl(L"ocrtextarea");
    m_copy = std::make_unique<ResultCopy>(pm);
    EnableControl(m_moveButton, false);
    EnableControl(m_cutButton, true);

    m_view = std::make_unique<SingleOCRView>();
    m_view->Create(GetHWND(), L"SingleOCRView", kChildStyle, 0);
    PlaceView();
    m_uploadButton = std::make_unique<UploadBtn>(m_ownerCode);
    m_uploadButton->Create(GetHWND(), L"UploadBtn", kChildStyle, 0);
    m_uploadButton->MoveWindow(363, 32, 92, 30);
    m_deleteButton = std::make_unique<DeleteBtn>(m_ownerCode);
    m_deleteButton->Create(GetHWND(), L"DeleteBtn", kChildStyle, 0);
    m_deleteButton->MoveWindow(465, 32, 72, 30);

    ShowWaiting();
    ShowPictureControls(false);
    m_cutMode = 0;
}

void RecognitionPage::PlaceView() {
    if (m_view) {
        m_view->MoveWindow(21, 23, 528, 451);
    }
}

ui::LRESULT RecognitionPage::HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    if (msg == ui::WM_SIZE) {
        PlaceView();
    }
    return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void RecognitionPage::OnClick(ui::TNotifyUI& msg) {
    if (msg.pSender == nullptr) {
        return;
    }
    const ui::CDuiString name = msg.pSender->GetName();
    if (m_copy->IsCopyButton(name)) {
        m_copy->Copy();
    } else if (name == L"adaptationbtn") {
        m_view->FitToWidth();
    } else if (name == L"movebtn") {
        SwitchToMoveMode();
    } else if (name == L"cutbtn") {
        SwitchToCutMode();
    } else if (name == L"zoominbtn") {
        m_view->ZoomIn();
    } else if (name == L"zoomoutbtn") {
        m_view->ZoomOut();
    } else {
        OnPageClick(name);
    }
}

void RecognitionPage::Tell(ui::UINT message) const {
    SendPageMessage(message);
}

void RecognitionPage::ShowPictureControls(bool shown) {
    m_view->ShowWindow(shown, false);
    ShowControl(m_emptyHint, !shown);
    ShowControl(m_imageToolbar, shown);
    m_uploadButton->ShowWindow(shown, false);
    m_deleteButton->ShowWindow(shown, false);
}

void RecognitionPage::ShowWaiting() {
    ShowControl(m_waitOcr, true);
    ShowControl(m_convertingGif, false);
    ShowControl(m_textArea, false);
}

void RecognitionPage::ShowNewPicture() {
    if (m_cutMode != 0) {
        SwitchToMoveMode();
    }
    ShowWaiting();
    ShowPictureControls(true);
    Tell(m_messages.ready);
}

void RecognitionPage::SwitchToMoveMode() {
    OnModeChange();
    ShowControl(m_waitOcr, true);
    ShowControl(m_textArea, false);
    EnableControl(m_moveButton, false);
    EnableControl(m_cutButton, true);
    m_cutMode = 0;
    m_view->SetMoveMode(true);
    m_view->PaintPicture();
    m_view->ClearCut();
    Tell(m_messages.ready);
}

void RecognitionPage::SwitchToCutMode() {
    OnModeChange();
    ShowControl(m_waitOcr, true);
    ShowControl(m_textArea, false);
    EnableControl(m_cutButton, false);
    EnableControl(m_moveButton, true);
    m_cutMode = 1;
    m_view->SetMoveMode(false);
    m_view->EnterCutMode();
    Tell(m_messages.ready);
}

void RecognitionPage::Reset() {
    DropPicture();
    ShowWaiting();
    ShowPictureControls(false);
    // A failed recognition ends here with the buttons still disabled; the
    // next picture must find them usable.
    SetPictureButtonsEnabled(true);
    SwitchToMoveMode();
    Tell(m_messages.noPicture);
}

bool RecognitionPage::IsMoveMode() const {
    return m_view == nullptr || m_view->IsMoveMode();
}

void RecognitionPage::ZoomAt(const QPoint& pointInPage, int wheelDelta) {
    if (m_view == nullptr || !m_view->IsMoveMode() || m_view->GetHWND() == nullptr) {
        return;
    }
    m_view->ZoomBy(m_view->GetHWND()->mapFrom(GetHWND(), pointInPage), wheelDelta);
}

void RecognitionPage::SetPictureButtonsEnabled(bool enabled) {
    EnableControl(m_uploadButton->Button(), enabled);
    EnableControl(m_deleteButton->Button(), enabled);
}

void RecognitionPage::ShowRecognising(const std::wstring& cutFile) {
    SetPictureButtonsEnabled(false);
    ShowControl(m_waitOcr, false);
    ShowControl(m_convertingGif, true);
    if (auto* gif = dynamic_cast<ui::CGifAnimUI*>(m_convertingGif)) {
        gif->PlayGif();
    }
    Tell(m_messages.recognising);
    m_view->SaveCut(cutFile);
}

void RecognitionPage::StopRecognising() {
    ShowControl(m_convertingGif, false);
    SetPictureButtonsEnabled(true);
}

void RecognitionPage::Deliver(const std::weak_ptr<Liveness>& liveness, unsigned run,
                              const std::wstring& text) {
    RunOnUiThread([&liveness, run, &text] {
        auto alive = liveness.lock();
        if (!alive || !alive->page->AcceptRun(run)) {
            return;
        }
        if (text.empty()) {
            alive->page->FailRecognition();
        } else {
            alive->page->ShowResult(text);
        }
    });
}

void RecognitionPage::FailRecognition() {
    Reset();
    notices::CommonDlg::ShowNotice(GetHWND(), notices::notice::kRecognitionFailed);
}

void RecognitionPage::ShowResult(const std::wstring& text) {
    if (m_textArea != nullptr) {
        m_textArea->SetText(text);
    }
    ShowControl(m_convertingGif, false);
    ShowControl(m_textArea, true);
    if (CopiesResult()) {
        m_copy->Copy();
    }
    SetPictureButtonsEnabled(true);
    Tell(m_messages.done);
}

}  // namespace kelsor::jobs
