#pragma once

#include <string>
#include <vector>

namespace kelsor::tools {

// KelsorOCRUpdate. Without a switch (the client's start) it checks quietly
// and shows its window only for a newer version; with "-KSOCRMAINMENU" (the
// main menu's "检查更新") it always answers in its window. One instance at a
// time: a second start brings the first one's window to the front and ends.
// Exit codes: 0, or 2 for an unknown switch.
int RunUpdater(int argc, char** argv);

// Whether the arguments ask for an answer in every case; false with
// `known` cleared for anything but no switch or "-KSOCRMAINMENU".
bool UpdaterAlwaysAnswers(const std::vector<std::wstring>& arguments, bool& known);

}  // namespace kelsor::tools
