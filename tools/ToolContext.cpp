#include "tools/ToolContext.h"

#include "app/AppContext.h"
#include "app/Utilities.h"

namespace kelsor::tools {

void BuildToolContext() {
    StartupInputs inputs = StartupInputs::FromEnvironment();
    inputs.fallbackVersion = GetFileVersionText(L"/proc/self/exe");
    BuildAppContext(App(), inputs);
}

std::wstring ApiBase() {
    return L"http://" + StartupInputs::FromEnvironment().apiHost;
}

}  // namespace kelsor::tools
