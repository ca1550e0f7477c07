#pragma once

#include <QString>

#include "platform/ui/UiTypes.h"

namespace kelsor::ui {

// The title window lists and task bars show for a window created under
// `name`: the program's windows are created under their internal names,
// which say nothing to a user, so those get a Chinese title saying what the
// window is. Any other name is its own title.
QString WindowTitleFor(const CDuiString& name);

}  // namespace kelsor::ui
