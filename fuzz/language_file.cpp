// Language files of arbitrary bytes, read through the file manager and checked against a plain reading of
// the same bytes.
#include "fuzz/LanguageFileFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzing::fuzzLanguageFile(data, size);
}
