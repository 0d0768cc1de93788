#include "actions/actions.h"
#include "actions/defaults.h"
#include "model/models.h"
#include "settings/settings.h"

#include "core/texts.h"
#include "settings/recent_files.h"
#include "tests/support/test_support.h"
#include "core/profile_file_testing.h"
#include "settings/settings_testing.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fcntl.h>
#include <sched.h>
#include <ctime>
#include <map>
#include <set>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testsupport;

namespace {

struct ReadCase {
    const char* name;
    const char* content;
    const char* section;
    const char* key;
    const char* fallback;
    const char* expected;
};

class ReadProfile : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadProfile, GivesValueOrFallback) {
    const ReadCase& c = GetParam();
    TempDir dir;
    writeFile(dir.file("s.ini"), c.content);
    EXPECT_EQ(readProfileString(dir.file("s.ini"), c.section, c.key, c.fallback), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadProfile,
    ::testing::Values(
        ReadCase{"plain", "[Active]\nUnit=C\n", "Active", "Unit", "M", "C"},
        ReadCase{"caseOfNames", "[ACTIVE]\nuNiT=I\n", "active", "UNIT", "M", "I"},
        ReadCase{"trimmed", "[Active]\n  Tray  =   AUTO  \r\n", "Active", "Tray", "", "AUTO"},
        ReadCase{"numberWithBlank", "[Active]\nTraySwitch= 0\n", "Active", "TraySwitch", "9", "0"},
        ReadCase{"missingKey", "[Active]\nUnit=C\n", "Active", "Display", "1", "1"},
        ReadCase{"missingSection", "[Other]\nUnit=C\n", "Active", "Unit", "M", "M"},
        ReadCase{"keyOfOtherSection", "[A]\nk=1\n[B]\nk=2\n", "B", "k", "", "2"},
        ReadCase{"firstKeyWins", "[A]\nk=1\nk=2\n", "A", "k", "", "1"},
        ReadCase{"firstSectionWins", "[A]\nj=1\n[B]\n[a]\nj=2\nk=3\n", "A", "k", "fb", "fb"},
        ReadCase{"noSections", "k=1\nx=2\n", "A", "k", "fb", "fb"},
        ReadCase{"emptyValue", "[A]\nk=\n", "A", "k", "fb", ""},
        ReadCase{"valueWithEquals", "[A]\nk=a=b\n", "A", "k", "", "a=b"},
        ReadCase{"crlfFile", "[A]\r\nk=v\r\n", "A", "k", "", "v"},
        ReadCase{"noFinalNewline", "[A]\nk=v", "A", "k", "", "v"},
        ReadCase{"garbage", "\x01\xff\xfe[\x00]\n=\n[[[\n", "A", "k", "fb", "fb"}),
    [](const auto& info) { return std::string(info.param.name); });

// The file is parsed once and read from memory until it changes: another program's write is
// seen at the next read, whether it replaces the file or rewrites it in place.
TEST(SettingsLayer, AnotherProgramsWriteIsSeenAtTheNextRead) {
    TempDir dir;
    const std::string path = dir.file("s.ini");
    writeFile(path, "[Active]\nUnit=C\nTray=AUTO\n");
    ProfileFile file(path);
    EXPECT_EQ(file.read("Active", "Unit"), "C");
    ASSERT_EQ(writeProfileString(path, "Active", "Unit", "I"), 0); // a new file, renamed
    EXPECT_EQ(file.read("Active", "Unit"), "I");
    // Rewritten in place, same size, a later modification time.
    writeFile(path, "[Active]\nUnit=M\nTray=AUTO\n");
    const timespec later[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + 5, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
    EXPECT_EQ(file.read("Active", "Unit"), "M");
    // Its own writes read back at once, and another writer's keys stay.
    ASSERT_EQ(file.write("Active", "Unit", "C"), 0);
    EXPECT_EQ(file.read("Active", "Unit"), "C");
    EXPECT_EQ(file.read("Active", "Tray"), "AUTO");
    std::filesystem::remove(path);
    EXPECT_EQ(file.read("Active", "Unit", "gone"), "gone");
}

// A command-line run's options: every change is read back, none reaches the file.
TEST(SettingsLayer, ChangesKeptInMemoryNeverReachTheFile) {
    TempDir dir;
    const std::string path = dir.file("s.ini");
    const std::string stored = "[Active]\r\nUnit=C\r\nTray=AUTO\r\n";
    writeFile(path, stored);
    ProfileFile file(path);
    file.keepChangesInMemory();
    EXPECT_EQ(file.write("Active", "Unit", "I"), 0);
    EXPECT_EQ(file.write("Papers", "Number", " 1"), 0);
    EXPECT_EQ(file.remove("Active", "Tray"), 0);
    EXPECT_EQ(file.read("Active", "Unit"), "I");
    EXPECT_EQ(file.read("Papers", "Number"), "1");
    EXPECT_EQ(file.read("Active", "Tray", "none"), "none");
    EXPECT_EQ(readFile(path), stored);
    // A name the file could not hold is refused in memory as on disk.
    EXPECT_EQ(file.write("Active", "A=B", "x"), EINVAL);

    // An oversized file is not read: the run starts from nothing and still works.
    writeFile(path, "[Active]\nUnit=C\n" + std::string(kMaxSettingsFileBytes, '#'));
    ProfileFile big(path);
    big.keepChangesInMemory();
    EXPECT_EQ(big.read("Active", "Unit", "M"), "M");
    EXPECT_EQ(big.write("Active", "Unit", "I"), 0);
    EXPECT_EQ(big.read("Active", "Unit"), "I");
}

// Each key is named once; spellings that differ only in case are the same key and agree on
// what it holds. A default is a value of the key's own type, inside its range.
TEST(SettingKeys, EachKeyOnceWithADefaultOfItsType) {
    std::set<std::string> exact;
    std::map<std::string, const SettingKey*> byName;
    for (const SettingKey* key : settingKeys()) {
        const std::string name = std::string(key->section) + "/" + std::string(key->name);
        EXPECT_TRUE(exact.insert(name).second) << name << " is in the table twice";
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const auto [it, fresh] = byName.emplace(lower, key);
        if (!fresh) {
            EXPECT_EQ(it->second->type, key->type) << name;
            EXPECT_EQ(it->second->fallback, key->fallback) << name;
        }
        EXPECT_TRUE(settingNameProblem(key->section, key->name).empty()) << name;
        const std::string fallback(key->fallback);
        if (key->type == SettingType::Flag) {
            EXPECT_TRUE(fallback.empty() || fallback == "0" || fallback == "1") << name;
        }
        if (key->type == SettingType::Number && key->minimum <= key->maximum) {
            EXPECT_GE(settingValue(fallback), key->minimum) << name;
            EXPECT_LE(settingValue(fallback), key->maximum) << name;
        }
    }
}

TEST(ReadProfileFile, MissingFileOrDirectoryGivesFallback) {
    TempDir dir;
    EXPECT_EQ(readProfileString(dir.file("none.ini"), "A", "k", "fb"), "fb");
    EXPECT_EQ(readProfileString(dir.path, "A", "k", "fb"), "fb");
}

TEST(ReadProfileFile, ValuesAreCutTo255) {
    TempDir dir;
    std::string value(300, 'x');
    for (int i = 0; i < 300; ++i)
        value[static_cast<std::size_t>(i)] = static_cast<char>('a' + i % 26);
    writeFile(dir.file("s.ini"), "[A]\nk=" + value + "\n");
    EXPECT_EQ(readProfileString(dir.file("s.ini"), "A", "k"), value.substr(0, 255));
}

TEST(ReadProfileFile, HugeLineDoesNotHideLaterKeys) {
    TempDir dir;
    writeFile(dir.file("s.ini"), "[A]\njunk=" + std::string(10 << 20, 'z') + "\nk=v\n");
    EXPECT_EQ(readProfileString(dir.file("s.ini"), "A", "k"), "v");
    EXPECT_EQ(readProfileString(dir.file("s.ini"), "A", "junk").size(), 255u);
}

struct WriteCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

class WriteProfile : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteProfile, RewritesOnlyWhatItMust) {
    const WriteCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("s.ini");
    if (c.before) writeFile(path, c.before);
    ASSERT_EQ(writeProfileString(path, c.section, c.key, c.value), 0);
    EXPECT_EQ(readFile(path), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteProfile,
    ::testing::Values(
        WriteCase{"newFile", nullptr, "Active", "Unit", "M", "[Active]\nUnit=M\n"},
        WriteCase{"updateKeepsOthers",
                  "; comment\n[Active]\nTray=AUTO\nUnit=M\n\n[KYMC]\nProfile=0\n", "active", "UNIT",
                  "C", "; comment\n[Active]\nTray=AUTO\nUnit=C\n\n[KYMC]\nProfile=0\n"},
        WriteCase{"newKeyEndsSection", "[Active]\nTray=AUTO\n\n[KYMC]\nProfile=0\n", "Active",
                  "Unit", "I", "[Active]\nTray=AUTO\nUnit=I\n\n[KYMC]\nProfile=0\n"},
        WriteCase{"newSectionAtEnd", "[Active]\nTray=AUTO\n", "Others", "LeftHand", "0",
                  "[Active]\nTray=AUTO\n[Others]\nLeftHand=0\n"},
        WriteCase{"keepsCrLf", "[A]\r\nk=1\r\n", "A", "j", "2", "[A]\r\nk=1\r\nj=2\r\n"},
        WriteCase{"noFinalNewline", "[A]\nk=1", "A", "j", "2", "[A]\nk=1\nj=2\n"},
        WriteCase{"numberBlank", "[A]\nk=1\n", "A", "k", " 0", "[A]\nk= 0\n"},
        WriteCase{"lineBreakInValue", "", "A", "k", "a\nb", "[A]\nk=a b\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WriteProfileFile, NumbersCarryLeadingBlankAndReadBack) {
    TestState t;
    ASSERT_TRUE(writeSettingNumber(t.state.settings, keys::kTraySwitch, 0));
    ASSERT_TRUE((t.state.settings.write("Active", "Offset", settingNumber(-5)) == 0));
    EXPECT_NE(readFile(t.state.locations.settingsPath).find("TraySwitch= 0\n"), std::string::npos);
    EXPECT_NE(readFile(t.state.locations.settingsPath).find("Offset=-5\n"), std::string::npos);
    EXPECT_EQ(settingValue(readSetting(t.state.settings, keys::kTraySwitch, "")), 0.0);
    EXPECT_EQ(settingValue(t.state.settings.read("Active", "Offset")), -5.0);
}

TEST(WriteProfileFile, ReplacesAtomicallyAndKeepsMode) {
    TempDir dir;
    const std::string path = dir.file("s.ini");
    writeFile(path, "[A]\nk=1\n");
    ::chmod(path.c_str(), 0640);
    struct stat before {};
    ::stat(path.c_str(), &before);
    ASSERT_EQ(writeProfileString(path, "A", "k", "2"), 0);
    struct stat after {};
    ::stat(path.c_str(), &after);
    EXPECT_NE(before.st_ino, after.st_ino) << "the file is replaced, not rewritten in place";
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    // No temporary file is left behind; the writers' lock file stays beside the file.
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"s.ini", ".settings.lock"}));
}

TEST(WriteProfileFile, LinkedFileIsUpdatedThroughTheLink) {
    TempDir dir;
    writeFile(dir.file("real.ini"), "[A]\nk=1\n");
    ASSERT_EQ(::symlink("real.ini", dir.file("link.ini").c_str()), 0);
    ASSERT_EQ(writeProfileString(dir.file("link.ini"), "A", "k", "2"), 0);
    EXPECT_EQ(readFile(dir.file("real.ini")), "[A]\nk=2\n");
    struct stat st {};
    ::lstat(dir.file("link.ini").c_str(), &st);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(WriteErrorText, ChosenFromErrno) {
    EXPECT_EQ(writeErrorText(ENOENT), "Error 2 - File not found");
    EXPECT_EQ(writeErrorText(ENOTDIR), "Error 3 - Path not found");
    EXPECT_EQ(writeErrorText(EACCES), "Error 5 - Access denied (read only?)");
    EXPECT_EQ(writeErrorText(EPERM), "Error 5 - Access denied (read only?)");
    EXPECT_EQ(writeErrorText(EROFS), "Error 19 - Write protected media");
    EXPECT_EQ(writeErrorText(ENOSPC), "Error " + std::to_string(ENOSPC));
}

// A failed write is reported with the file's path and leaves the file exactly as it was.
void expectRefused(TestState& t, const std::string& errorText) {
    const std::string before = readFile(t.state.locations.settingsPath);
    EXPECT_FALSE(writeSetting(t.state.settings, keys::kUnit, "I"));
    auto msgs = t.ui.messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].icon, MessageIcon::Error);
    EXPECT_EQ(msgs[0].caption, "Lumivane");
    EXPECT_EQ(msgs[0].text,
              "Failed to write to:- \r\n" + t.state.locations.settingsPath + "\r\n" + errorText);
    EXPECT_EQ(readFile(t.state.locations.settingsPath), before);
    EXPECT_EQ(readSetting(t.state.settings, keys::kUnit, ""), "C");
}

TEST(FailedWrite, FileWithoutWritePermissionIsReadOnlyEvenForRoot) {
    TestState t;
    writeSetting(t.state.settings, keys::kUnit, "C");
    ::chmod(t.state.locations.settingsPath.c_str(), 0444);
    expectRefused(t, "Error 5 - Access denied (read only?)");
}

TEST(FailedWrite, ImmutableFile) {
    TestState t;
    writeSetting(t.state.settings, keys::kUnit, "C");
    std::string cmd = "chattr +i '" + t.state.locations.settingsPath + "' 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << "chattr is needed for this case";
    expectRefused(t, "Error 5 - Access denied (read only?)");
    std::system(("chattr -i '" + t.state.locations.settingsPath + "'").c_str());
}

TEST(FailedWrite, ReadOnlyMount) {
    TempDir dir;
    const std::string mnt = dir.file("mnt");
    ::mkdir(mnt.c_str(), 0755);
    int rc = inChild([&] {
        if (::unshare(CLONE_NEWNS) != 0) return 90;
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return 91;
        if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, nullptr) != 0) return 92;
        const std::string path = mnt + "/LumivaneB.ini";
        if (writeProfileString(path, "Active", "Unit", "C") != 0) return 93;
        if (::mount(nullptr, mnt.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) return 94;
        if (writeProfileString(path, "Active", "Unit", "I") != EROFS) return 95;
        if (readProfileString(path, "Active", "Unit") != "C") return 96;
        return 0;
    });
    EXPECT_EQ(rc, 0);
}

TEST(FailedWrite, UnprivilegedUserInForeignFolder) {
    TempDir dir;
    const std::string folder = dir.file("cfg");
    ::mkdir(folder.c_str(), 0755); // owned by root, not writable by others
    ::chmod(dir.path.c_str(), 0755);
    const std::string path = folder + "/LumivaneB.ini";
    writeFile(path, "[Active]\nUnit=C\n");
    ::chmod(path.c_str(), 0666); // the file itself may be written, its folder not
    int rc = inChild([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 90;
        if (writeProfileString(path, "Active", "Unit", "I") != EACCES) return 91;
        if (writeProfileString(folder + "/missing/x.ini", "A", "k", "v") != ENOENT) return 92;
        return 0;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(readFile(path), "[Active]\nUnit=C\n");
}

TEST(FailedWrite, SettingsPathIsADirectory) {
    TestState t;
    std::filesystem::create_directories(t.state.locations.settingsPath);
    EXPECT_FALSE(writeSetting(t.state.settings, keys::kUnit, "I"));
    ASSERT_EQ(t.ui.messages().size(), 1u);
    EXPECT_NE(t.ui.messages()[0].text.find("Error " + std::to_string(EISDIR)), std::string::npos);
    EXPECT_EQ(readSetting(t.state.settings, keys::kUnit), "M");
}

TEST(ConcurrentWrites, NoUpdateIsLost) {
    TempDir dir;
    const std::string path = dir.file("s.ini");
    constexpr int kWriters = 4, kKeys = 40;
    std::vector<pid_t> pids;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            int failures = 0;
            for (int k = 0; k < kKeys; ++k)
                failures += writeProfileString(path, "Active",
                                               "k" + std::to_string(w) + "_" + std::to_string(k),
                                               std::to_string(k)) != 0;
            ::_exit(failures == 0 ? 0 : 1);
        }
        pids.push_back(pid);
    }
    // Reads while the writers run see whole files: the first key never goes missing.
    for (int i = 0; i < 200; ++i) {
        if (fileExists(path) && readProfileString(path, "Active", "k0_1", "") == "1") {
            EXPECT_NE(readProfileString(path, "Active", "k0_0", "gone"), "gone");
        }
    }
    for (const pid_t pid : pids) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int w = 0; w < kWriters; ++w)
        for (int k = 0; k < kKeys; ++k)
            EXPECT_EQ(readProfileString(path, "Active",
                                        "k" + std::to_string(w) + "_" + std::to_string(k)),
                      std::to_string(k))
                << w << " " << k;
}

TEST(StaleTemporaries, LeftoversOfKilledWritesAreRemovedOthersKept) {
    TempDir dir;
    const std::string path = dir.file("s.ini");
    writeFile(path, "[A]\nk=1\n");
    const std::string stale[] = {".settings-a1B2c3", ".settings-XXXXXX"};
    for (const auto& name : stale)
        writeFile(dir.file(name), std::string(4096, 'x'));
    // Not ours: other names, a folder of that name, and a file of another user.
    const std::string kept[] = {".settings-abc", "settings-a1B2c3", ".settings-a1B2c3.bak",
                                ".settings-other"};
    for (const auto& name : kept)
        writeFile(dir.file(name), "keep");
    ASSERT_EQ(::mkdir(dir.file(".settings-dir001").c_str(), 0700), 0);
    writeFile(dir.file(".settings-nobody"), "keep");
    ASSERT_EQ(::chown(dir.file(".settings-nobody").c_str(), 65534, 65534), 0);

    ASSERT_EQ(writeProfileString(path, "A", "k", "2"), 0);
    for (const auto& name : stale)
        EXPECT_FALSE(fileExists(dir.file(name))) << name;
    for (const auto& name : kept)
        EXPECT_TRUE(fileExists(dir.file(name))) << name;
    EXPECT_TRUE(std::filesystem::is_directory(dir.file(".settings-dir001")));
    EXPECT_TRUE(fileExists(dir.file(".settings-nobody")));
    EXPECT_EQ(readProfileString(path, "A", "k"), "2");
}

// Links and files that are not the writer's own are never written through or replaced.
TEST(ForeignFiles, LinksAndFilesOfOthersAreRefused) {
    TempDir dir;
    ::chmod(dir.path.c_str(), 0755);
    const std::string victim = dir.file("victim.ini");
    writeFile(victim, "[A]\nk=victim\n");
    ::chmod(victim.c_str(), 0666);
    const std::string own = dir.file("own");
    ::mkdir(own.c_str(), 0777);
    ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
    int rc = inChild([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 90;
        // A link planted beside our settings to another user's (writable) file.
        if (::symlink(victim.c_str(), (own + "/link.ini").c_str()) != 0) return 91;
        if (writeProfileString(own + "/link.ini", "A", "k", "x") != EACCES) return 92;
        // A dangling link is not followed either (it would create a file elsewhere).
        if (::symlink("/nonexistent-dir/x.ini", (own + "/dangling.ini").c_str()) != 0) return 93;
        if (writeProfileString(own + "/dangling.ini", "A", "k", "x") != EACCES) return 94;
        // A link to a file of our own is still followed.
        if (writeProfileString(own + "/real.ini", "A", "k", "1") != 0) return 95;
        if (::symlink("real.ini", (own + "/mine.ini").c_str()) != 0) return 96;
        if (writeProfileString(own + "/mine.ini", "A", "k", "2") != 0) return 97;
        if (readProfileString(own + "/real.ini", "A", "k") != "2") return 98;
        return 0;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(readFile(victim), "[A]\nk=victim\n");
    // A file of another user in our own folder (a hard link, say) is not replaced.
    writeFile(own + "/theirs.ini", "[A]\nk=1\n");
    ASSERT_EQ(::chown(own.c_str(), 0, 0), 0);
    ASSERT_EQ(::chown((own + "/theirs.ini").c_str(), 65534, 65534), 0);
    EXPECT_EQ(writeProfileString(own + "/theirs.ini", "A", "k", "2"), EACCES);
    EXPECT_EQ(readFile(own + "/theirs.ini"), "[A]\nk=1\n");
}

TEST(SettingNames, NamesThatWouldMakeLinesAreRefused) {
    struct Case {
        std::string section, key;
        bool ok;
    };
    const Case cases[] = {
        {"Active", "Unit", true},
        {"Active", "White Mask %", true},
        {"Active", "Foo\n[INI_INF]\nVersion", false},
        {"Active", "Foo\rVersion", false},
        {"Active", std::string("a\0b", 3), false},
        {"Active", "a=b", false},
        {"Active", "[INI_INF]", false},
        {"Act]ive", "k", false},
        {"[Active", "k", false},
        {"Active\n", "k", true}, // an edge line break is trimmed like a blank
        {"Act\nive", "k", false},
        {"", "k", false},
        {"Active", " ", false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = dir.file("s.ini");
        writeFile(path, "[INI_INF]\nVersion=1.0\n[Active]\nUnit=M\n");
        EXPECT_EQ(settingNameProblem(c.section, c.key).empty(), c.ok) << c.key;
        const int rc = writeProfileString(path, c.section, c.key, "0.1");
        EXPECT_EQ(rc == 0, c.ok) << c.key;
        if (!c.ok) {
            EXPECT_EQ(rc, EINVAL);
            EXPECT_EQ(readFile(path), "[INI_INF]\nVersion=1.0\n[Active]\nUnit=M\n");
        }
        EXPECT_EQ(readProfileString(path, "INI_INF", "Version"), "1.0");
    }
}

// A FIFO or device in place of a settings or recent-file record is not read (its open would
// block); an oversized recent-file record is reported once with its path and ignored.
TEST(NonRegularRecords, FifoAndDeviceAreNotRead) {
    TestState t;
    ASSERT_EQ(::mkfifo(t.state.locations.settingsPath.c_str(), 0600), 0);
    EXPECT_EQ(readSetting(t.state.settings, keys::kUnit), "M");
    EXPECT_EQ(writeProfileString(t.state.locations.settingsPath, "Active", "Unit", "C"), EINVAL);
    for (const std::string& record : {std::string("fifo"), std::string("/dev/zero")}) {
        AppState& s = t.state;
        s.locations.recentFilesPath = record == "fifo" ? t.dir.file("Lastfile.exini") : record;
        if (record == "fifo") {
            ASSERT_EQ(::mkfifo(s.locations.recentFilesPath.c_str(), 0600), 0);
        }
        s.recent.recentFiles[1] = "old";
        readRecentFiles(s.recent, s.locations.recentFilesPath, s.ui);
        EXPECT_EQ(s.recent.recentFiles[1], "") << record;
    }
    EXPECT_TRUE(t.ui.messages().empty());
}

// A settings file past the cap (a damaged one: the program writes small files) is reported
// once with its path, never read key by key and never rewritten; the program runs on the
// defaults.
TEST(OversizedSettings, ReportedOnceReadAsDefaultsLeftAlone) {
    TestState t;
    AppState& s = t.state;
    writeFile(s.locations.settingsPath,
              "[Active]\nUnit=C\n[X]\njunk=" + std::string(kMaxSettingsFileBytes, 'z'));
    const auto size = std::filesystem::file_size(s.locations.settingsPath);
    EXPECT_EQ(readSetting(s.settings, keys::kUnit), "M");
    ensureSettings(s);
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(writeSetting(s.settings, keys::kUnit, "I"));
    const auto m = t.ui.messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_NE(m[0].text.find(s.locations.settingsPath), std::string::npos) << m[0].text;
    EXPECT_NE(m[0].text.find("is larger than 16 MB"), std::string::npos) << m[0].text;
    EXPECT_EQ(std::filesystem::file_size(s.locations.settingsPath), size);
    EXPECT_EQ(s.record.whiteMaskPercent, 100) << "the record holds the defaults";
    EXPECT_EQ(writeErrorText(EFBIG), "Error 27 - File too large (over 16 MB)");
}

TEST(RecentFiles, OversizedRecordIsReportedOnceAndIgnored) {
    TestState t;
    AppState& s = t.state;
    writeFile(s.locations.recentFilesPath, "/a.png\r\n/b.png\r\n");
    readRecentFiles(s.recent, s.locations.recentFilesPath, s.ui);
    EXPECT_EQ(s.recent.recentFiles[1], "/a.png");
    EXPECT_EQ(s.recent.recentFiles[2], "/b.png");
    writeFile(s.locations.recentFilesPath, "/a.png\r\n" + std::string(kMaxRecentFileBytes, 'x'));
    readRecentFiles(s.recent, s.locations.recentFilesPath, s.ui);
    EXPECT_EQ(s.recent.recentFiles[1], "");
    ASSERT_EQ(t.ui.messages().size(), 1u);
    EXPECT_NE(t.ui.messages()[0].text.find(s.locations.recentFilesPath), std::string::npos);
}

// True once a process waits for the flock on the file with this inode (/proc/locks lists a
// waiter with "->").
bool someoneWaitsForLock(ino_t inode) {
    const std::string content = readFile("/proc/locks");
    std::size_t at = 0;
    const std::string tail = ":" + std::to_string(inode) + " ";
    while ((at = content.find("->", at)) != std::string::npos) {
        const std::size_t end = content.find('\n', at);
        if (content.substr(at, end - at).find(tail) != std::string::npos) return true;
        at = end;
    }
    return false;
}

// Remembering a file reads, changes and writes the record under the folder's write lock: a
// second program that writes the record while it waits is not undone.
TEST(RecentFiles, RememberingWaitsForAnotherWriterAndKeepsItsEntry) {
    TestState t;
    AppState& s = t.state;
    ASSERT_TRUE(rememberFile(s.recent, s.locations.recentFilesPath, s.ui, "/pictures/a.png"));
    const std::string lockPath =
        std::filesystem::path(s.locations.recentFilesPath).parent_path().string() +
        "/.settings.lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    struct stat st {};
    ASSERT_EQ(::fstat(lock, &st), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(lock); // the inherited descriptor would hold the lock for the child
        ::_exit(rememberFile(s.recent, s.locations.recentFilesPath, s.ui, "/pictures/c.png") ? 0
                                                                                             : 1);
    }
    bool waiting = false;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        waiting = someoneWaitsForLock(st.st_ino);
        if (waiting) break;
        ::usleep(1000);
    }
    ASSERT_TRUE(waiting) << "the remembering process did not wait for the lock";
    // The other program's write, made while it holds the lock.
    writeFile(s.locations.recentFilesPath, "/pictures/b.png\r\n/pictures/a.png\r\n \r\n \r\n \r\n"
                                           "/pictures/b.png\r\n");
    ::close(lock);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    readRecentFiles(s.recent, s.locations.recentFilesPath, s.ui);
    EXPECT_EQ(s.recent.recentFiles[1], "/pictures/c.png");
    EXPECT_EQ(s.recent.recentFiles[2], "/pictures/b.png");
    EXPECT_EQ(s.recent.recentFiles[3], "/pictures/a.png");
}

// A name with a line break would make lines of its own in the record (and plant an entry);
// it is not remembered and the list stays as it was.
TEST(RecentFiles, NameWithALineBreakIsNotRemembered) {
    TestState t;
    AppState& s = t.state;
    ASSERT_TRUE(rememberFile(s.recent, s.locations.recentFilesPath, s.ui, "/pictures/a.png"));
    const std::string before = readFile(s.locations.recentFilesPath);
    for (const char* name : {"/x.png\n/etc/passwd", "/x.png\r/y.png", "/x\r\n.png"}) {
        EXPECT_FALSE(rememberFile(s.recent, s.locations.recentFilesPath, s.ui, name));
        EXPECT_EQ(readFile(s.locations.recentFilesPath), before) << name;
    }
}

TEST(SettingValue, ReadsLeadingNumber) {
    EXPECT_EQ(settingValue(" 12"), 12.0);
    EXPECT_EQ(settingValue("1.0"), 1.0);
    EXPECT_EQ(settingValue("0.9"), 0.9);
    EXPECT_EQ(settingValue("-4.5x"), -4.5);
    EXPECT_EQ(settingValue("OKI C711"), 0.0);
    EXPECT_EQ(settingValue(""), 0.0);
}

TEST(DefaultSettings, FirstRunWritesEveryDefault) {
    TestState t;
    t.state.target.targetModel = "C844";
    createDefaultSettings(t.state);
    const struct {
        const char* section;
        const char* key;
        std::string value;
    } expected[] = {
        {"INI_INF", "Version", "1.0"},
        {"Active", "Tray", "AUTO"},
        {"Active", "PaperSize", "A4"},
        {"Active", "TraySwitch", "0"},
        {"Active", "White Mask %", "100"},
        {"Active", "White Overlay %", "2"},
        {"Active", "Mirror", "1"},
        {"Active", "Display", "1"},
        {"Active", "TonerOn", "1"},
        {"Active", "ICM Profile Out", t.state.locations.programFolder + "OKC833P2.ICM"},
        {"Active", "ICM Profile In", "sRGB.icm"},
        {"Active", "Unit", "M"},
        {"Active", "MPT Offset", "0"},
        {"Active", "Tray1 Offset", "0"},
        {"KYMC", "Profile", "FFFDA5A557560000FFFDA5A557560000FFFDA5A557560000"},
    };
    for (const auto& e : expected)
        EXPECT_EQ(t.state.settings.read(e.section, e.key), e.value) << e.section << "/" << e.key;
    EXPECT_TRUE(t.ui.messages().empty());
}

TEST(DefaultSettings, KeepsKeysOutsideTheDefaults) {
    TestState t;
    writeSetting(t.state.settings, keys::kTopMargin, "1500");
    writeSetting(t.state.settings, keys::kLanguage, "German.lan3");
    writeSetting(t.state.settings, keys::kUnit, "I");
    createDefaultSettings(t.state);
    EXPECT_EQ(readSetting(t.state.settings, keys::kTopMargin), "1500");
    EXPECT_EQ(readSetting(t.state.settings, keys::kLanguage), "German.lan3");
    EXPECT_EQ(readSetting(t.state.settings, keys::kUnit, ""), "M");
}

TEST(VersionRule, OldVersionIsRewrittenNewerKept) {
    for (const char* version : {"0.9", "1.0", "2.0", "OKI C711"}) {
        TestState t;
        writeSetting(t.state.settings, keys::kVersion, version);
        writeSetting(t.state.settings, keys::kTray, "Tray 1");
        ensureSettings(t.state);
        bool rewritten = std::string(version) == "0.9" || std::string(version) == "OKI C711";
        EXPECT_EQ(readSetting(t.state.settings, keys::kTray, ""), rewritten ? "AUTO" : "Tray 1")
            << version;
        EXPECT_FLOAT_EQ(t.state.record.settingsVersion, rewritten ? 1.0f : settingValue(version));
    }
}

TEST(SettingsRecord, FallbacksForMissingKeys) {
    TestState t;
    writeSetting(t.state.settings, keys::kVersion, "1.0");
    writeSetting(t.state.settings, keys::kWhiteMask, "40");
    readSettingsRecord(t.state.settings, t.state.record, t.state.colour, t.state.language);
    EXPECT_EQ(t.state.record.whiteMaskPercent, 40);
    EXPECT_EQ(t.state.record.whiteOverlayPercent, 2);
    EXPECT_EQ(t.state.record.displayWhite, 1);
    EXPECT_EQ(t.state.record.tonerOn, 1);
    EXPECT_FLOAT_EQ(t.state.record.settingsVersion, 1.0f);
}

TEST(LoadDefaults, WritesFamilyValuesAndProfiles) {
    const struct {
        const char* model;
        const char* profile;
        const char* margins[4];
    } cases[] = {
        {"C711WT", "OKC332P2.ICM", {"1296", "1296", "1296", "1307"}},
        {"C711", "OKC711P2.ICM", {"1296", "1296", "1296", "1307"}},
        {"C650", "OKC650P2.ICM", {"1301", "1301", "1301", "1296"}},
        {"C301W", "RCSPC11E1C.icm", {"1200", "1284", "1236", "1213"}},
    };
    for (const auto& c : cases) {
        TestState t;
        setTargetPrinter(t.state.target, c.model);
        t.state.layout.brightness = 40;
        setCopies(t.state, "7");
        loadDefaults(t.state);
        EXPECT_EQ(readSetting(t.state.settings, keys::kProfileOut),
                  t.state.locations.programFolder + c.profile)
            << c.model;
        EXPECT_EQ(readSetting(t.state.settings, keys::kProfileIn),
                  t.state.locations.programFolder + "sRGB.ICM");
        const char* keys[] = {"Top Margin", "Left Margin", "Right Margin", "Bottom Margin"};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(t.state.settings.read("Active", keys[i]), c.margins[i]) << c.model << keys[i];
        EXPECT_EQ(readSetting(t.state.settings, keys::kRightHand), "1");
        EXPECT_EQ(readSetting(t.state.settings, keys::kLeftHand), "0");
        EXPECT_EQ(t.state.layout.brightness, 0);
        EXPECT_EQ(t.state.window.copiesText, "1");
        EXPECT_EQ(t.state.layout.copies, 1);
    }
}

} // namespace
