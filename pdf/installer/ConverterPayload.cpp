// The converter program, embedded whole at build time: the installer writes
// these bytes out as KelsorPDFConver.
asm(R"(
    .section .rodata.kelsor_converter, "a"
    .balign 16
    .global kelsor_converter_payload
kelsor_converter_payload:
    .incbin ")" KELSOR_CONVERTER_PROGRAM R"("
    .global kelsor_converter_payload_end
kelsor_converter_payload_end:
    .previous
)");
