// Calls through a table of function pointers and a callback.
#include <stdint.h>

typedef uint16_t (*Operation)(uint16_t, uint16_t) __reentrant;

static uint16_t add(uint16_t a, uint16_t b) __reentrant { return a + b; }
static uint16_t sub(uint16_t a, uint16_t b) __reentrant { return a - b; }
static uint16_t mul(uint16_t a, uint16_t b) __reentrant { return a * b; }
static uint16_t mix(uint16_t a, uint16_t b) __reentrant { return (a << 3) ^ (b >> 2); }

static const Operation operations[4] = {add, sub, mul, mix};
volatile uint16_t accumulator;
volatile uint8_t calls;

static void forEach(uint8_t count, void (*callback)(uint8_t)) {
    for (uint8_t i = 0; i < count; ++i)
        callback(i);
}

static void step(uint8_t i) {
    accumulator = operations[i & 3](accumulator, (uint16_t)(i * 31 + 7));
    ++calls;
}

void main(void) {
    accumulator = 1;
    forEach(120, step);
    for (;;) {
    }
}
