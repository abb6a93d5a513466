// Arrays in external RAM: fill, sort, search and checksum.
#include <stdint.h>

__xdata uint16_t table[200];
__xdata uint8_t bytes[300];
volatile uint16_t checksum;
volatile int16_t found;

void main(void) {
    uint16_t seed = 12345;
    for (uint16_t i = 0; i < 200; ++i) {
        seed = seed * 25173 + 13849;
        table[i] = seed;
    }
    for (uint16_t i = 0; i < 300; ++i)
        bytes[i] = (uint8_t)(i * 7);
    // Insertion sort.
    for (uint16_t i = 1; i < 200; ++i) {
        uint16_t v = table[i];
        int16_t j = (int16_t)i - 1;
        while (j >= 0 && table[j] > v) {
            table[j + 1] = table[j];
            --j;
        }
        table[j + 1] = v;
    }
    uint16_t sum = 0;
    for (uint16_t i = 0; i < 200; ++i)
        sum += table[i] ^ bytes[i];
    checksum = sum;
    found = -1;
    for (uint16_t i = 0; i < 300; ++i)
        if (bytes[i] == 0x77) {
            found = (int16_t)i;
            break;
        }
    for (;;) {
    }
}
