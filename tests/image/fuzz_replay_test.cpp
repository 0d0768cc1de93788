// Replays the seed corpora of the probe and loader fuzzers as ordinary tests (the harnesses'
// own checks trap on a fault), and the inputs that crash the decoding child as a test of the
// walls around it.
#include "image/decode_testing.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#define PRINTCONV_FUZZ_DATA_DIR PRINTCONV_BINARY_DIR "/share/lumivane-basic/"
#define LLVMFuzzerTestOneInput fuzzProbesOneInput
#include "fuzz/fuzz_probes.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput fuzzLoaderOneInput
#include "fuzz/fuzz_loader.cpp"
#undef LLVMFuzzerTestOneInput

namespace {

std::vector<std::string> corpus(const std::string& name) {
    std::vector<std::string> files;
    std::string folder = testsupport::sourceFolder() + "/fuzz/corpus/" + name;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

void replay(const std::string& name, int (*harness)(const std::uint8_t*, std::size_t)) {
    auto files = corpus(name);
    ASSERT_FALSE(files.empty()) << "no corpus for " << name;
    for (const auto& f : files) {
        SCOPED_TRACE(f);
        std::string bytes = testsupport::readFile(f);
        harness(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
}

TEST(FuzzCorpus, Probes) {
    replay("fuzz_probes", fuzzProbesOneInput);
}

TEST(FuzzCorpus, Loader) {
    replay("fuzz_loader", fuzzLoaderOneInput);
}

// Files that pass the first two walls but crash or hang DevIL: the child must take the
// fall, the caller gets an unsuitable file and carries on.
TEST(FuzzCorpus, ChildCrashesAreContained) {
    auto files = corpus("decoder_child_crashes");
    ASSERT_FALSE(files.empty());
    DecodeLimits saved = decodeLimits();
    decodeLimits() = DecodeLimits{}; // the program's own limits (the loader harness narrows them)
    decodeLimits().wallMilliseconds = 3000;
    for (const auto& f : files) {
        DecodeOutcome o = decodeImageFile(f, false);
        EXPECT_EQ(o.status, DecodeStatus::ChildFailed) << f;
        EXPECT_TRUE(o.pixels.empty()) << f;
    }
    decodeLimits() = saved;
}

} // namespace
