#include "protocol/protocol_detector.h"

#include <string>

#include "foundation/log.h"
#include "protocol/uci_protocol.h"
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

// Hands the engine from the detector to a new interpreter. The detector's
// listener must stop being the current one before the detector is deleted.
void retire(Engine& engine) {
    engine.listener = &engine.nullListener;
    delete engine.protocol;
    engine.protocol = nullptr;
}

}  // namespace

int ProtocolDetector::selectProtocol(Tokenizer& line) {
    Engine& owner = engine;
    const char* word = line.tokenStart;
    if (startsWith(word, "uci")) {
        retire(owner);  // deletes this object
        owner.protocolKind = 1;
        logger.log(LogInfo, "using protocol UCI");
        UciProtocol* uci = new UciProtocol(owner);
        owner.protocol = uci;
        uci->start();
        return 1;
    }
    if (startsWith(word, "xboard")) {
        // The XBoard interpreter is linked in only once it exists; until then
        // the command is an unknown first command.
        if (startXBoardProtocol(owner)) return 1;
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
