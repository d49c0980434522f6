#include "foundation/config.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/line_reader.h"
#include "foundation/regular_file.h"

namespace {

// What is kept of a line: a longer line keeps its head, and its tail is never
// read as a line of its own.
constexpr size_t lineLimit = 1023;

// Control characters and every byte from 0x80 up end a line: values are plain
// ASCII, and the tab starts a trailing comment.
void cutAtControlCharacter(char* line) {
    for (char* c = line; *c != '\0'; c++) {
        if (static_cast<signed char>(*c) <= 31) {
            *c = '\0';
            return;
        }
    }
}

}  // namespace

Config::Config(const std::vector<std::string>& keys) {
    for (const std::string& key : keys) wanted.emplace(key, false);
}

bool Config::readFile(const char* fileName) {
    FILE* file = openRegularFile(fileName);
    if (file == nullptr)
        return false;

    const size_t entriesBefore = entries.size();
    std::vector<std::string> keptHere;
    LineReader lines(file, lineLimit);
    std::string key;
    while (lines.next()) {
        char* line = lines.text();
        cutAtControlCharacter(line);
        if (strlen(line) <= 2 || line[0] == '#' || line[0] == ';')
            continue;
        const char* equals = strchr(line, '=');
        if (equals == nullptr)
            continue;
        key.assign(line, size_t(equals - line));
        auto known = wanted.find(key);
        // An unknown key, or one whose first line was kept already.
        if (known == wanted.end() || known->second)
            continue;
        known->second = true;
        keptHere.push_back(key);
        entries.push_back(ConfigEntry{key, std::string(equals + 1)});
    }
    // A file that fails part way is not read: its first lines alone would
    // give settings nobody wrote.
    const bool complete = !ferror(file);
    fclose(file);
    if (!complete) {
        entries.resize(entriesBefore);
        for (const std::string& dropped : keptHere) wanted[dropped] = false;
    }
    return complete;
}

const ConfigEntry* Config::find(const char* key) const {
    for (const ConfigEntry& entry : entries)
        if (entry.key == key)
            return &entry;
    return nullptr;
}

int Config::getInt(const char* key, int defaultValue) const {
    const ConfigEntry* entry = find(key);
    if (entry == nullptr)
        return defaultValue;
    long value = strtol(entry->value.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return int(value);
}

std::string Config::getString(const char* key, const std::string& defaultValue) const {
    const ConfigEntry* entry = find(key);
    return entry != nullptr ? entry->value : defaultValue;
}
