// NoExport.lmp: a library that loads but lacks the decoder export.
extern "C" __attribute__((visibility("default"))) int NotTheDecoderExport()
{
    return 0;
}
