#include "tools/ToolContext.h"

#include "app/AppContext.h"
#include "app/Utilities.h"

namespace kelsor::tools {

void BuildToolContext(const std::wstring& ownName) {
    BuildAppContext(App(), StartupInputs::FromEnvironment());
    if (App().versionText.empty())
        App().versionText = GetFileVersionText(App().exeFolder + ownName);
}

std::wstring ApiBase() {
    return L"http://" + StartupInputs::FromEnvironment().apiHost;
}

}  // namespace kelsor::tools
