/* Drives a latch and a 3-to-8 decoder on the external data bus. The latch sits at 0x8000: a write
 * (MOVX, WR strobe) stores the byte and a read (RD strobe) gives it back. The latch's low three
 * outputs select the decoder's output, bit 3 enables the decoder (active low) and the high four
 * show on LEDs. Every 200 ms the next number 0..7 is written and read back; a byte that does not
 * come back lights the error LED on P1.0 (active low). */
#include <8051.h>

#define RELOAD (65536u - 50000u)

__xdata __at(0x8000) volatile unsigned char latch;

static void wait_50ms(void)
{
    TH0 = RELOAD >> 8;
    TL0 = RELOAD & 0xFF;
    TF0 = 0;
    TR0 = 1;
    while (!TF0) {
    }
    TR0 = 0;
}

void main(void)
{
    unsigned char i = 0, k;
    TMOD = 0x01;
    for (;;) {
        unsigned char value = (unsigned char)(i | (i << 4));
        latch = value;
        if (latch != value)
            P1_0 = 0;
        i = (i + 1) & 7;
        for (k = 0; k < 4; ++k)
            wait_50ms();
    }
}
