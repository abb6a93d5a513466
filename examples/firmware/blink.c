/* An LED on P1.0 (active low: Vcc - LED - pin) blinks once a second, driven by the Timer 0
 * interrupt. Timer 0 runs in mode 1 and overflows every 50 ms at 12 MHz (50,000 machine cycles);
 * every tenth overflow turns the LED over. */
#include <8051.h>

#define RELOAD (65536u - 50000u)

static volatile unsigned char ticks;

void timer0_isr(void) __interrupt(TF0_VECTOR)
{
    TH0 = RELOAD >> 8;
    TL0 = RELOAD & 0xFF;
    if (++ticks == 10) {
        ticks = 0;
        P1_0 = !P1_0;
    }
}

void main(void)
{
    TMOD = 0x01; /* Timer 0, mode 1 (16 bits) */
    TH0 = RELOAD >> 8;
    TL0 = RELOAD & 0xFF;
    ET0 = 1;
    EA = 1;
    TR0 = 1;
    for (;;) {
    }
}
