#include "foundation/config.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int lineBufferSize = 1024;

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

// Drops the rest of a physical line that did not fit into the buffer, so that
// its tail is never read as a line of its own.
void skipRestOfLine(FILE* file) {
    int c;
    do {
        c = fgetc(file);
    } while (c != '\n' && c != EOF);
}

}  // namespace

bool Config::readFile(const char* fileName) {
    FILE* file = fopen(fileName, "r");
    if (file == nullptr)
        return false;

    char line[lineBufferSize];
    while (fgets(line, sizeof line, file) != nullptr) {
        size_t length = strlen(line);
        if (length == sizeof line - 1 && line[length - 1] != '\n')
            skipRestOfLine(file);

        cutAtControlCharacter(line);
        if (strlen(line) <= 2 || line[0] == '#' || line[0] == ';')
            continue;
        const char* equals = strchr(line, '=');
        if (equals == nullptr)
            continue;
        entries.push_back(ConfigEntry{std::string(line, size_t(equals - line)), std::string(equals + 1)});
    }
    fclose(file);
    return true;
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
