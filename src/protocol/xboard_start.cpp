// The first command "xboard" hands the engine from the protocol detector to
// the XBoard interpreter.

#include "foundation/log.h"
#include "protocol/protocol_detector.h"
#include "protocol/xboard_protocol.h"
#include "search/engine.h"

bool startXBoardProtocol(Engine& engine) {
    // The detector's listener must stop being the current one before the
    // detector goes.
    engine.listener = &engine.nullListener;
    delete engine.protocol;
    engine.protocol = nullptr;
    engine.protocolKind = 2;
    logger.log(LogInfo, "using protocol XBoard");
    XBoardProtocol* xboard = new XBoardProtocol(engine);
    engine.protocol = xboard;
    xboard->start();
    return true;
}
