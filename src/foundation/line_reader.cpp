#include "foundation/line_reader.h"

LineReader::LineReader(FILE* file, size_t limit) : file(file), limit(limit), buffer(limit + 2, '\0') {}

bool LineReader::next() {
    used = 0;
    overlong = false;
    bool any = false;
    int c;
    // The stream is this reader's alone while it reads.
    while ((c = getc_unlocked(file)) != EOF) {
        any = true;
        if (c == '\n') {
            buffer[used++] = '\n';
            break;
        }
        if (used < limit)
            buffer[used++] = char(c);
        else
            overlong = true;
    }
    buffer[used] = '\0';
    if (any) lineNumber++;
    return any;
}
