/* The counter exercise: presses of the button on P3.2 (to ground) count from 0 to 9 on the
 * common-cathode seven-segment display on P1 (segment a on bit 0 .. g on bit 6), and the decimal
 * point (bit 7) blinks once a second as a sign of life. Timer 0 ticks every 250 us at 12 MHz; the
 * button's level counts only once it has stayed the same for 20 ms, so a bouncing contact counts
 * once. */
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
    TMOD = (TMOD & 0xF0) | 0x02; /* timer 0: 8-bit auto-reload */
    TH0 = 256 - 250;
    TL0 = 256 - 250;
    ET0 = 1;
    TR0 = 1;
    EA = 1;
    for (;;) {
    }
}
