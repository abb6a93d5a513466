/* A square wave on P1.0 from Timer 0: mode 2 (auto-reload) overflows every RELOAD_CYCLES machine
 * cycles and the interrupt turns P1.0 over every second overflow, so each half period is
 * 2 * RELOAD_CYCLES cycles. The core idles between interrupts, so each one is taken the same
 * number of cycles after its overflow. */
#include <8051.h>

static unsigned char overflows;

void timer0(void) __interrupt(1)
{
    if (++overflows == 2) {
        overflows = 0;
        P1_0 = !P1_0;
    }
}

void main(void)
{
    TMOD = 0x02; /* Timer 0, mode 2 */
    TH0 = 256 - RELOAD_CYCLES;
    TL0 = 256 - RELOAD_CYCLES;
    ET0 = 1;
    EA = 1;
    TR0 = 1;
    for (;;) {
        PCON |= 0x01; /* idle until the next interrupt */
    }
}
