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
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(
             testsupport::sourceFolder() + "/fuzz/corpus/" + name, ec))
        if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 5u) << "no corpus for " << name;
    for (const auto& f : files) {
        SCOPED_TRACE(f);
        std::string bytes = testsupport::readFile(f);
        harness(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
}

TEST(FuzzCorpus, IllustratorImport) {
    replay("fuzz_ai_import", fuzzAiImportOneInput);
}

TEST(FuzzCorpus, ShapeLibrary) {
    replay("fuzz_shape_library", fuzzShapeLibraryOneInput);
}

} // namespace
