#include "pages/ResultCopy.h"

#include <QClipboard>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QPauseAnimation>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>

namespace kelsor::jobs {
namespace {

// The confirmation stays readable, then fades.
constexpr int kTipHoldMs = 1200;
constexpr int kTipFadeMs = 600;

// Puts `text` on the desktop's clipboard with "\n" line ends.
void PutTextOnClipboard(const std::wstring& text) {
    QString plain = QString::fromStdWString(text);
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(plain, QClipboard::Clipboard);
}

}  // namespace

ResultCopy::ResultCopy(ui::CPaintManagerUI& pm)
    : m_textArea(pm.FindControl(L"ocrtextarea")),
      m_button(pm.FindControl(L"copytextbtn")),
      m_tip(pm.FindControl(L"copiedtip")) {
    if (m_button != nullptr)
        m_button->SetVisible(m_textArea != nullptr && m_textArea->IsVisible());
    if (m_tip != nullptr)
        m_tip->SetVisible(false);
    // The button follows the text area, whichever of the page's many state
    // changes shows or hides it.
    if (m_textArea != nullptr) {
        m_watched = m_textArea.data();
        m_textArea->installEventFilter(this);
    }
}

ResultCopy::~ResultCopy() {
    if (m_fade)
        m_fade->stop();
}

bool ResultCopy::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) &&
        watched == m_watched.data()) {
        const bool shown = event->type() == QEvent::ShowToParent;
        if (m_button != nullptr)
            m_button->SetVisible(shown);
        if (!shown && m_tip != nullptr) {
            if (m_fade)
                m_fade->stop();
            m_tip->SetVisible(false);
        }
    }
    return QObject::eventFilter(watched, event);
}

void ResultCopy::Copy() {
    if (m_textArea == nullptr || !m_textArea->IsVisible())
        return;
    PutTextOnClipboard(m_textArea->GetText());
    ShowTip();
}

void ResultCopy::ShowTip() {
    if (m_tip == nullptr)
        return;
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(m_tip->graphicsEffect());
    if (effect == nullptr) {
        effect = new QGraphicsOpacityEffect(m_tip);
        m_tip->setGraphicsEffect(effect);
    }
    if (m_fade)
        m_fade->stop();
    else {
        m_fade = new QSequentialAnimationGroup(this);
        m_fade->addPause(kTipHoldMs);
        auto* fade = new QPropertyAnimation(effect, "opacity", m_fade);
        fade->setDuration(kTipFadeMs);
        fade->setStartValue(1.0);
        fade->setEndValue(0.0);
        m_fade->addAnimation(fade);
        connect(m_fade, &QAbstractAnimation::finished, this, [this] {
            if (m_tip != nullptr)
                m_tip->SetVisible(false);
        });
    }
    effect->setOpacity(1.0);
    m_tip->SetVisible(true);
    m_fade->start();
}

}  // namespace kelsor::jobs
