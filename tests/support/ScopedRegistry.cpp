#include "ScopedRegistry.h"

#include <stdlib.h>

namespace kelsor::test {

ScopedRegistry::ScopedRegistry() {
    ::setenv("KELSOR_REGISTRY_DIR", m_folder.path().c_str(), 1);
}

ScopedRegistry::~ScopedRegistry() {
    ::unsetenv("KELSOR_REGISTRY_DIR");
}

}  // namespace kelsor::test
