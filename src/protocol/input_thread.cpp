#include "protocol/input_thread.h"

#include "protocol/gui_io.h"
#include "search/engine.h"

void InputThread::run() {
    while (!engine.quitRequested.load()) {
        if (readAndDispatchInput(engine) == 0) {
            handleEndOfInput(engine);
            break;
        }
    }
}
