/* The counter exercise that never sets up Timer 0: the interrupt is enabled, but the timer is
 * neither given its mode nor started, so the button is never sampled and the point never blinks.
 * Otherwise as right.c. */
#include <8051.h>

#define TICKS_PER_MS 4
#define DEBOUNCE_TICKS (20 * TICKS_PER_MS)
#define BLINK_TICKS (500 * TICKS_PER_MS)

static const unsigned char __code digits[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                                0x6D, 0x7D, 0x07, 0x7F, 0x6F};
static volatile unsigned char count;
static unsigned char accepted_down;
static unsigned char changing;
static unsigned int blink;
static unsigned char point;

void timer0_isr(void) __interrupt(TF0_VECTOR)
{
    unsigned char down = P3_2 ? 0 : 1;
    if (down == accepted_down) {
        changing = 0;
    } else if (++changing == DEBOUNCE_TICKS) {
        changing = 0;
        accepted_down = down;
        if (down && ++count == 10)
            count = 0;
    }
    if (++blink == BLINK_TICKS) {
        blink = 0;
        point ^= 0x80;
    }
    P1 = digits[count] | point;
}

void main(void)
{
    count = 0;
    P1 = digits[0];
    ET0 = 1;
    EA = 1;
    for (;;) {
    }
}
