#include "protocol/protocol_detector.h"

#include <string>

#include "foundation/log.h"
#include "protocol/uci_protocol.h"
#include "protocol/xboard_protocol.h"
#include "search/engine.h"

void ProtocolDetector::start() { console.bind(*this); }

int ProtocolDetector::handleLine(Tokenizer& line) {
    if (!line.next()) return 1;
    return selectProtocol(line);
}

namespace {

std::string currentWord(const Tokenizer& line) {
    std::string word(line.tokenStart, size_t(line.cursor - line.tokenStart));
    if (word.size() > 255) word.resize(255);
    return word;
}

// Hands the engine from the detector to a new interpreter and starts it. The
// detector's listener must stop being the current one before the detector is
// deleted.
template <class Interpreter>
void handOver(Engine& engine, int kind, const char* name) {
    engine.listener = &engine.nullListener;
    delete engine.protocol;
    engine.protocol = nullptr;
    engine.protocolKind = kind;
    logger.log(LogInfo, "using protocol %s", name);
    Interpreter* interpreter = new Interpreter(engine);
    engine.protocol = interpreter;
    interpreter->start();
}

}  // namespace

int ProtocolDetector::selectProtocol(Tokenizer& line) {
    Engine& owner = engine;
    const char* word = line.tokenStart;
    // Both hand-overs delete this object.
    if (startsWith(word, "uci")) {
        handOver<UciProtocol>(owner, 1, "UCI");
        return 1;
    }
    if (startsWith(word, "xboard")) {
        handOver<XBoardProtocol>(owner, 2, "XBoard");
        return 1;
    }
    if (startsWith(word, "setvalue")) {
        line.next();
        line.next();
        return 1;
    }
    if (startsWith(word, "quit")) return 0;
    logger.log(LogError, "unknown protocol '%s'", currentWord(line).c_str());
    return 0;
}
