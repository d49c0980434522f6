#pragma once
// Reader for files of key=value lines: the configuration file and the
// personality files. Entries are kept in file order; the first one of a key wins.

#include <string>
#include <vector>

struct ConfigEntry {
    std::string key;
    std::string value;
};

class Config {
public:
    std::vector<ConfigEntry> entries;

    // Appends the entries of the file; false (nothing added) when it cannot
    // be opened, is not a regular file, or fails to read.
    bool readFile(const char* fileName);

    // The value of the first entry with this key as a decimal number, clamped
    // to the 32-bit range; text without digits reads as 0.
    int getInt(const char* key, int defaultValue) const;
    std::string getString(const char* key, const std::string& defaultValue) const;

private:
    const ConfigEntry* find(const char* key) const;
};
