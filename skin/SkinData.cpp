#include "skin/SkinData.h"

#include "platform/ui/PaintManager.h"

// The zip is assembled into read-only data at build time.
asm(".section .rodata\n"
    ".balign 16\n"
    ".global kelsor_skin_zip_begin\n"
    "kelsor_skin_zip_begin:\n"
    ".incbin \"" KELSOR_SKIN_ZIP_PATH
    "\"\n"
    ".global kelsor_skin_zip_end\n"
    "kelsor_skin_zip_end:\n"
    ".previous\n");

extern "C" const unsigned char kelsor_skin_zip_begin[];
extern "C" const unsigned char kelsor_skin_zip_end[];

namespace kelsor::skin {

const unsigned char* ArchiveData() {
    return kelsor_skin_zip_begin;
}

std::size_t ArchiveSize() {
    return static_cast<std::size_t>(kelsor_skin_zip_end - kelsor_skin_zip_begin);
}

bool Install() {
    return ui::CPaintManagerUI::SetResourceZip(ArchiveData(), ArchiveSize());
}

}  // namespace kelsor::skin
