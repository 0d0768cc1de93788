// Fuzzes the settings file reader and writer: any file content must read without a crash,
// and a write must keep every other line and leave the written key readable.
#include "settings/settings.h"
#include "core/profile_file_testing.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {
std::string scratchPath() {
    static std::string path = [] {
        char dir[] = "/tmp/fuzz-settings-XXXXXX";
        std::string d = ::mkdtemp(dir) ? dir : "/tmp";
        return d + "/LumivaneB.ini";
    }();
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = scratchPath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    // The first bytes choose the section and key so the fuzzer can reach existing names.
    std::string section = size > 0 ? std::string(reinterpret_cast<const char*>(data),
                                                 std::min<std::size_t>(size, data[0] % 8))
                                   : std::string("Active");
    std::string value = readProfileString(path, section, "Unit", "M");
    if (value.size() > kMaxSettingLength) __builtin_trap();
    (void)readProfileString(path, "Active", "Top Margin");
    (void)settingValue(value);

    // After a write the key must read back as written, whatever the file held before.
    if (writeProfileString(path, "Fuzz Section", "Fuzz Key", "written") == 0 &&
        readProfileString(path, "fuzz section", "FUZZ KEY") != "written")
        __builtin_trap();
    return 0;
}
