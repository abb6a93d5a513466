#include "platform/hostmessages.h"

int MillivoltsToVolts(int millivolts) {
    // Integer arithmetic keeps the tie rule exact (floating division can land just off .5).
    const long long mv = millivolts;
    long long q = mv / 1000;
    long long r = mv % 1000;
    if (r < 0) {
        r += 1000;
        --q;
    }
    if (r > 500 || (r == 500 && (q & 1) != 0)) ++q;
    return int(q);
}
