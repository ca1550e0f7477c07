#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <memory>

#include "platform/ui/Labels.h"

class QBuffer;
class QMovie;

// Picture controls: an animation from the skin and the round user picture.
namespace kelsor::ui {

// An animated GIF from the skin, playing while the control is shown.
class CGifAnimUI : public CControlUI {
public:
    CGifAnimUI();
    ~CGifAnimUI() override;
    QString GetClass() const override { return QStringLiteral("GifAnim"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;
    void SetVisible(bool visible = true) override;
    void PlayGif();
    void StopGif();
    bool IsPlaying() const;

protected:
    void PaintBkImage(QPainter& p) override;

private:
    void LoadMovie();
    std::unique_ptr<QMovie> m_movie;
    std::unique_ptr<QBuffer> m_buffer;
    QByteArray m_bytes;
    bool m_autoPlay = true;
};

// A round picture (the user's avatar): the background image clipped to a
// circle, with a default image while none is set.
class CHeadIconUI : public CButtonUI {
public:
    QString GetClass() const override { return QStringLiteral("HeadIcon"); }
    bool ApplyAttribute(const QString& name, const QString& value) override;

protected:
    void PaintBkImage(QPainter& p) override;
    void PaintStatusImage(QPainter&) override {}

private:
    QString m_defaultImage;
    bool m_autoPenColor = false;
    QColor m_penColor = QColor(0xE5, 0xE5, 0xE5);
};

}  // namespace kelsor::ui
