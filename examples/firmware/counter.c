/* A push button on P3.2 (INT0, to ground) counts presses from 0 to 9 on a common-cathode
 * seven-segment display on P1 (bit 0 is segment a, bit 6 segment g, bit 7 the point). INT0 is
 * edge-triggered, so holding the button counts once. */
#include <8051.h>

static const unsigned char __code digits[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                                0x6D, 0x7D, 0x07, 0x7F, 0x6F};
static volatile unsigned char count;

void int0_isr(void) __interrupt(IE0_VECTOR)
{
    if (++count == 10)
        count = 0;
    P1 = digits[count];
}

void main(void)
{
    count = 0;
    P1 = digits[0];
    IT0 = 1; /* falling edge */
    EX0 = 1;
    EA = 1;
    for (;;) {
    }
}
