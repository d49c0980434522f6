// The command-line switches that run a tool instead of the protocol loop.

#include <cstdio>
#include <cstdlib>

#include "app/perft.h"
#include "app/startup.h"
#include "foundation/log.h"
#include "search/engine.h"

namespace {

int numberArgument(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > 2147483647L) value = 2147483647L;
    if (value < -2147483647L - 1) value = -2147483647L - 1;
    return int(value);
}

}  // namespace

bool runCommandLineTool(Engine& engine, const std::vector<std::string>& args, int& status,
                        bool& orderly) {
    if (args.empty()) return false;
    const std::string& name = args[0];
    void (*tool)(Engine&, int) = nullptr;
    if (name == "-perftd") tool = runPerftDetailed;
    else if (name == "-perft") tool = runPerft;
    else if (name == "-divide") tool = runDivide;
    if (tool == nullptr) {
        logger.log(LogWarning, "Unknown command line parameter '%s'", name.c_str());
        return false;
    }
    const size_t n = args.size();
    // A known switch with arguments it does not take serves a GUI instead.
    if (!(n == 2 || (n == 4 && args[2] == "-fen"))) return false;

    const int depth = numberArgument(args[1]);
    engine.init(engine.settings.hashMb);
    engine.newGame();
    engine.bestMoveOwed = 0;
    if (n == 4 && !engine.setFen(args[3].c_str())) {
        std::printf("Bad FEN string !\n");
        std::fflush(stdout);
        engine.quitRequested = true;
        status = 1;
        orderly = false;
        return true;
    }
    tool(engine, depth);
    engine.release();
    status = 0;
    orderly = true;
    return true;
}
