// Stands in for a TIFF library that does not provide _TIFFRewriteField, for
// the configure-time tests of how strip_probe reaches it.
extern "C" void tiff_probes_stub() {}
