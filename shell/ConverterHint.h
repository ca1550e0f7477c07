#pragma once

class QWidget;

// A short line under the PDF转换器 button while the converter is fetched and
// installed, and once it is done, saying what to do next. Shown like a tool
// tip: it takes no click and keeps nothing from the user.
namespace kelsor::shell {

enum class ConverterHint { kInstalling, kInstalled, kNotInstalled };

// `button` is the control the line hangs under; nothing when it is null or
// not on the screen.
void ShowConverterHint(QWidget* button, ConverterHint hint);

}  // namespace kelsor::shell
