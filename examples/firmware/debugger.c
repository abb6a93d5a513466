/* A firmware to try the debugger on: the push button on P3.2 (INT0, to ground) counts presses,
 * shown 0 to 9 on the seven-segment display on P1; Timer 0 ticks every 10 ms (at 12 MHz) and
 * blinks the display's point twice a second. Set a breakpoint in the Timer 0 handler, step over
 * and into show_digit, watch the variables change in the Variables and Memory views. */
#include <8051.h>

#define TICK_RELOAD (65536u - 10000u)

struct stats {
    unsigned char presses;
    unsigned int last_press; /* the tick of the last press */
};

static const unsigned char __code digits[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                                0x6D, 0x7D, 0x07, 0x7F, 0x6F};
volatile unsigned int ticks;
volatile __bit half_second;
struct stats stats;
__xdata unsigned int press_times[4];
__xdata unsigned long uptime_ms;
signed char trend = -1;
__xdata unsigned int *last_time = press_times;

void timer0_isr(void) __interrupt(TF0_VECTOR)
{
    TH0 = TICK_RELOAD >> 8;
    TL0 = TICK_RELOAD & 0xFF;
    ticks++;
    if (ticks % 50 == 0)
        half_second = 1;
}

void int0_isr(void) __interrupt(IE0_VECTOR)
{
    stats.presses++;
    stats.last_press = ticks;
    press_times[stats.presses & 3] = ticks;
    last_time = &press_times[stats.presses & 3];
}

static unsigned char show_digit(unsigned char n, __bit point)
{
    unsigned char pattern = digits[n % 10];
    if (point)
        pattern |= 0x80;
    P1 = pattern;
    return pattern;
}

void main(void)
{
    __bit point = 0;
    unsigned char shown = 0xFF;
    TMOD = 0x01; /* Timer 0: 16 bits */
    TH0 = TICK_RELOAD >> 8;
    TL0 = TICK_RELOAD & 0xFF;
    IT0 = 1; /* INT0 on the falling edge */
    EX0 = 1;
    ET0 = 1;
    TR0 = 1;
    EA = 1;
    for (;;) {
        if (half_second) {
            half_second = 0;
            point = !point;
            uptime_ms += 500;
            trend = -trend;
            shown = show_digit(stats.presses, point);
        } else if ((shown & 0x7F) != digits[stats.presses % 10]) {
            shown = show_digit(stats.presses, point);
        }
    }
}
