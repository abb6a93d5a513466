// Integer arithmetic of every width the compiler emits helpers for.
#include <stdint.h>

volatile uint32_t results[8];
volatile int16_t signedResults[4];

static uint32_t collatzSteps(uint32_t n) {
    uint32_t steps = 0;
    while (n != 1) {
        n = (n & 1) ? 3 * n + 1 : n / 2;
        ++steps;
    }
    return steps;
}

// Inputs the compiler cannot fold.
volatile uint32_t inA = 123456789UL, inB = 987654UL;
volatile uint16_t inX = 65000u, inY = 321u;
volatile int16_t inS = -12345, inT = 77;

void main(void) {
    uint32_t a = inA, b = inB;
    results[0] = a * 7 + b;
    results[1] = a / 1234;
    results[2] = a % 10007;
    results[3] = collatzSteps(27);
    uint16_t x = inX, y = inY;
    results[4] = (uint32_t)x * y;
    results[5] = x / y + x % y;
    int16_t s = inS, t = inT;
    signedResults[0] = s / t;
    signedResults[1] = s % t;
    signedResults[2] = (int16_t)(s * 3);
    signedResults[3] = (int16_t)(s >> 3);
    uint8_t bcd = 0;
    for (uint8_t i = 0; i < 200; ++i)
        bcd = (uint8_t)(bcd * 3 + i);
    results[6] = bcd;
    results[7] = 0xC0FFEE;
    for (;;) {
    }
}
