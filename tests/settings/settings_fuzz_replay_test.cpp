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
    testsupport::replayCorpus(name, harness);
}

TEST(FuzzCorpus, Settings) {
    replay("fuzz_settings", fuzzSettingsOneInput);
}

TEST(FuzzCorpus, Language) {
    replay("fuzz_language", fuzzLanguageOneInput);
}

} // namespace
