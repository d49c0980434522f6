#pragma once
// Reader for files of key=value lines: the configuration file and the
// personality files. Only the keys its user knows are kept, each from its
// first line in the file (a key repeated later is ignored), so what a file
// costs is bounded by those keys however many other lines it holds.

#include <string>
#include <unordered_map>
#include <vector>

struct ConfigEntry {
    std::string key;
    std::string value;
};

class Config {
public:
    // A reader that keeps the entries of these keys only; any other key
    // reads as missing.
    explicit Config(const std::vector<std::string>& keys);

    // The entries kept, in file order: at most one per key.
    std::vector<ConfigEntry> entries;

    // Appends the entries of the file; false (nothing added) when it cannot
    // be opened, is not a regular file, or fails to read.
    bool readFile(const char* fileName);

    // The value of the key's entry as a decimal number, clamped to the
    // 32-bit range; text without digits reads as 0.
    int getInt(const char* key, int defaultValue) const;
    std::string getString(const char* key, const std::string& defaultValue) const;

private:
    // The keys to keep, each with whether its entry has been kept.
    std::unordered_map<std::string, bool> wanted;

    const ConfigEntry* find(const char* key) const;
};
