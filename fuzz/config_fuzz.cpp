// key=value files: the reader itself, the configuration keys with their
// clamps, and a personality file loaded and then used by the evaluation on a
// few positions of different kinds (the weights it sets are taken as they
// stand, so the arithmetic that uses them must hold for any value).

#include <memory>

#include "app/startup.h"
#include "board/fen.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "foundation/config.h"
#include "fuzz_support.h"
#include "search/engine.h"

namespace {

const char* const positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 9",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1",
    "6k1/5ppp/8/8/8/8/1B3PPP/1B4K1 b - - 0 1",
    "4k3/8/8/8/8/8/8/RN2K3 w - - 0 1",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::initOnce();
    if (size > 65536) return -1;
    static const std::string path = fuzz::scratchPath("config");
    if (!fuzz::writeScratch(path, data, size)) return 0;

    Config config({"Hash", "BookFile", "", " ", "a"});
    if (config.readFile(path.c_str())) {
        (void)config.getInt("Hash", 32);
        (void)config.getString("BookFile", "none");
        for (const ConfigEntry& entry : config.entries) (void)config.getInt(entry.key.c_str(), 0);
    }

    EngineSettings settings;
    (void)readConfiguration(settings, path.c_str());

    static EvalParams params{};
    static std::unique_ptr<PawnHashTable> pawnHash(new PawnHashTable());
    params.ownColour = White;
    params.reducedStrength = (size & 1) != 0;
    params.elo = 1200;
    if (params.loadPersonality(path)) {
        pawnHash->clearIfStale();
        for (const char* fen : positions) {
            FenFields fields;
            if (!parseFen(fen, fields)) __builtin_trap();
            Position position;
            position.clear();
            setupFromFen(position, fields);
            (void)evaluate(params, position, *pawnHash, -32000, 32000);
            (void)evaluate(params, position, *pawnHash, -50, 50);
        }
    }
    params.loadPersonality("");
    return 0;
}
