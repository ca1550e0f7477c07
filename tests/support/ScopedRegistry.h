#pragma once

#include "TempFolder.h"

namespace kelsor::test {

// Points the registry layer at a folder of its own for the object's lifetime.
class ScopedRegistry {
public:
    ScopedRegistry();
    ~ScopedRegistry();
    const TempFolder& folder() const { return m_folder; }

private:
    TempFolder m_folder;
};

}  // namespace kelsor::test
