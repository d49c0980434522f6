#include "search/reductions.h"

#include <cmath>

int32_t lmrTable[64][64];
int32_t lateMoveCount[16];

void initReductionTables() {
    for (int i = 0; i < 64; i++) {
        for (int m = 0; m < 64; m++) {
            if (i == 0 || m == 0) {
                lmrTable[i][m] = 0;
                continue;
            }
            int reduction = int(std::log(double(i)) * std::log(double(m)) * 0.4166666666666667);
            lmrTable[i][m] = reduction < 0 ? 0 : reduction > 10 ? 10 : reduction;
        }
    }
    static const int32_t counts[16] = {3, 5, 8, 14, 21, 30, 41, 53, 68, 84, 102, 122, 143, 167, 192, 219};
    for (int h = 0; h < 16; h++) lateMoveCount[h] = counts[h];
}
