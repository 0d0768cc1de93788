// One-shot reads and writes of a settings file by path, for tests and the fuzzer: the
// program itself goes through a ProfileFile and the key table.
#pragma once

#include "core/profile_file.h"

#include <string>
#include <string_view>

// Reads key of section from the file at path, as ProfileFile::read (the file is parsed for
// this one read).
std::string readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback = {});
// Writes key = value into the file at path, as ProfileFile::write.
int writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view value);
// Removes key from section of the file at path; 0 on success (also when it did not exist).
int deleteProfileKey(const std::string& path, std::string_view section, std::string_view key);
