#include "foundation/config.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/regular_file.h"

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

// Reads one physical line, up to its line feed or the end of the file, into
// `line`: as much of it as fits, NUL terminated; the rest of an over-long
// line is dropped, so that its tail is never read as a line of its own. The
// line ends where the line feed is, whatever bytes (a NUL among them) stand
// before it. False at the end of the file, when no byte was left to read.
bool readPhysicalLine(FILE* file, char* line, size_t size) {
    size_t length = 0;
    bool any = false;
    int c;
    while ((c = fgetc(file)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        if (length < size - 1)
            line[length++] = char(c);
    }
    line[length] = '\0';
    return any;
}

}  // namespace

bool Config::readFile(const char* fileName) {
    FILE* file = openRegularFile(fileName);
    if (file == nullptr)
        return false;

    const size_t entriesBefore = entries.size();
    char line[lineBufferSize];
    while (readPhysicalLine(file, line, sizeof line)) {
        cutAtControlCharacter(line);
        if (strlen(line) <= 2 || line[0] == '#' || line[0] == ';')
            continue;
        const char* equals = strchr(line, '=');
        if (equals == nullptr)
            continue;
        entries.push_back(ConfigEntry{std::string(line, size_t(equals - line)), std::string(equals + 1)});
    }
    // A file that fails part way is not read: its first lines alone would
    // give settings nobody wrote.
    const bool complete = !ferror(file);
    fclose(file);
    if (!complete)
        entries.resize(entriesBefore);
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
