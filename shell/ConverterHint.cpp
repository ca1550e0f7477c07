#include "shell/ConverterHint.h"

#include <QString>
#include <QToolTip>
#include <QWidget>

namespace kelsor::shell {
namespace {

// Long enough to read; the installing line stays until the install ends.
constexpr int kInstallingMs = 10 * 60 * 1000;
constexpr int kOutcomeMs = 8000;

}  // namespace

void ShowConverterHint(QWidget* button, ConverterHint hint) {
    if (button == nullptr || button->window() == nullptr || !button->window()->isVisible())
        return;
    QString text;
    int shownMs = kOutcomeMs;
    switch (hint) {
        case ConverterHint::kInstalling:
            text = QStringLiteral("正在下载并安装PDF转换器，请稍候…");
            shownMs = kInstallingMs;
            break;
        case ConverterHint::kInstalled:
            text = QStringLiteral("PDF转换器已安装，再次点击“PDF转换器”即可打开");
            break;
        case ConverterHint::kNotInstalled:
            text = QStringLiteral("PDF转换器未能安装，请稍后再次点击“PDF转换器”重试");
            break;
    }
    const QPoint below = button->mapToGlobal(QPoint(0, button->height() + 4));
    QToolTip::showText(below, text, button, QRect(), shownMs);
}

}  // namespace kelsor::shell
