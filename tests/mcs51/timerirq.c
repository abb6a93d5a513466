// A Timer 0 interrupt counts ticks while the main loop works; the loop records the count it saw.
#include <8052.h>
#include <stdint.h>

volatile uint16_t ticks;
volatile uint16_t samples[16];
volatile uint8_t sampleCount;

void timer0(void) __interrupt(1) { ++ticks; }

void main(void) {
    TMOD = 0x02; // Timer 0 mode 2: 8-bit auto-reload
    TH0 = 0x38;  // 200 cycles per tick
    TL0 = 0x38;
    ET0 = 1;
    EA = 1;
    TR0 = 1;
    uint16_t work = 0;
    for (;;) {
        for (uint8_t i = 0; i < 50; ++i)
            work = work * 3 + i;
        samples[sampleCount & 15] = ticks ^ work;
        ++sampleCount;
    }
}
