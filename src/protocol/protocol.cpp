#include "protocol/protocol.h"

#include "search/engine.h"

void ProtocolListener::bind(Protocol& owner) {
    owner.engine.listener = this;
    engine = &owner.engine;
    protocol = &owner;
    host = &owner.host;
}
