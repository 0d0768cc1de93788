// Replays the seed corpora of the settings and language fuzzers as ordinary tests; the
// harnesses' own checks trap on a fault.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#define LLVMFuzzerTestOneInput fuzzSettingsOneInput
#include "fuzz/fuzz_settings.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput fuzzLanguageOneInput
#include "fuzz/fuzz_language.cpp"
#undef LLVMFuzzerTestOneInput

namespace {

void replay(const std::string& name, int (*harness)(const std::uint8_t*, std::size_t)) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(
             testsupport::sourceFolder() + "/fuzz/corpus/" + name, ec))
        if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "no corpus for " << name;
    for (const auto& f : files) {
        SCOPED_TRACE(f);
        std::string bytes = testsupport::readFile(f);
        harness(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
}

TEST(FuzzCorpus, Settings) { replay("fuzz_settings", fuzzSettingsOneInput); }

TEST(FuzzCorpus, Language) { replay("fuzz_language", fuzzLanguageOneInput); }

} // namespace
