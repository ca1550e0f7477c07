#include "app/AppContext.h"

namespace kelsor {

AppContext& App() {
    static AppContext context;
    return context;
}

}  // namespace kelsor
