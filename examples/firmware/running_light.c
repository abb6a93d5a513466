/* A running light over eight LEDs on P2 (active low: Vcc - LED - pin): one LED after the other
 * lights for 100 ms, timed by polling Timer 0 (mode 1, 50 ms at 12 MHz). */
#include <8051.h>

#define RELOAD (65536u - 50000u)

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
    unsigned char i = 0;
    TMOD = 0x01;
    for (;;) {
        P2 = ~(unsigned char)(1u << i);
        i = (i + 1) & 7;
        wait_50ms();
        wait_50ms();
    }
}
