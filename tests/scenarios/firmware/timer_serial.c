/* Timer 0 ticks in mode 2 (reload 0x00: one overflow every 256 machine cycles) and stops itself
 * after ten ticks; the serial port listens in mode 3 with SM2 set, as a node on a multiprocessor
 * line: only frames whose ninth bit is 1 (addresses) reach it. Each one is kept with its RB8. */
#include <8051.h>

__data __at(0x30) volatile unsigned char ticks;
__data __at(0x31) volatile unsigned char last_byte;
__data __at(0x32) volatile unsigned char last_rb8;
__data __at(0x33) volatile unsigned char received;

void timer0(void) __interrupt(1)
{
    if (++ticks == 10)
        TR0 = 0;
}

void serial(void) __interrupt(4)
{
    if (RI) {
        last_byte = SBUF;
        last_rb8 = RB8;
        ++received;
        RI = 0;
    }
}

void main(void)
{
    TMOD = 0x22;  /* both timers in mode 2 */
    TH1 = 0xFD;   /* baud rate: an overflow every 3 cycles */
    TL1 = 0xFD;
    TH0 = 0x00;
    TL0 = 0x00;
    SCON = 0xF0;  /* mode 3, SM2, REN */
    IE = 0x92;    /* EA, ES, ET0 */
    TCON = 0x50;  /* TR1, TR0 */
    for (;;)
        ;
}
