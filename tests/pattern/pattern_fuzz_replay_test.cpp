// Replays the seed corpora of the Illustrator importer and shape library fuzzers as ordinary
// tests; the harnesses' own checks trap on a fault.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#define LLVMFuzzerTestOneInput fuzzAiImportOneInput
#include "fuzz/fuzz_ai_import.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput fuzzShapeLibraryOneInput
#include "fuzz/fuzz_shape_library.cpp"
#undef LLVMFuzzerTestOneInput

namespace {

void replay(const std::string& name, int (*harness)(const std::uint8_t*, std::size_t)) {
    testsupport::replayCorpus(name, harness, 5);
}

TEST(FuzzCorpus, IllustratorImport) {
    replay("fuzz_ai_import", fuzzAiImportOneInput);
}

TEST(FuzzCorpus, ShapeLibrary) {
    replay("fuzz_shape_library", fuzzShapeLibraryOneInput);
}

} // namespace
