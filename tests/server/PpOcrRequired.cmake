# Runs the engine's parts check on NPM_DIR with KELSOR_REQUIRE_PPOCR as given.
include(${PARTS})
kelsor_ppocr_parts("${NPM_DIR}")
kelsor_ppocr_require_or_note("${KELSOR_PPOCR_MISSING}")
