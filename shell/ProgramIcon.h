#pragma once

#include <QIcon>

namespace kelsor::shell {

// The program's own icon, the launcher's, drawn at the sizes panels, trays
// and window lists ask for. Never null: the picture is built in.
QIcon ProgramIcon();

}  // namespace kelsor::shell
