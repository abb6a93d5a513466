/* Says "hello" on the serial port, then sends back every byte it receives and turns the LED on
 * P1.0 (active low) over for each. Mode 1 (8 data bits), Timer 1 in mode 2 as the baud-rate
 * generator: 4,800 baud at 12 MHz with SMOD set (9,600 at 11.0592 MHz with TH1 = 0xFD and SMOD
 * clear). */
#include <8051.h>

static void send(char c)
{
    SBUF = c;
    while (!TI) {
    }
    TI = 0;
}

void main(void)
{
    const char *text = "hello\r\n";
    SCON = 0x50; /* mode 1, receiver on */
    TMOD = 0x20; /* Timer 1, mode 2 (auto-reload) */
    TH1 = 0xF3;
    TL1 = 0xF3;
    PCON |= 0x80; /* SMOD: double baud rate */
    TR1 = 1;
    while (*text)
        send(*text++);
    for (;;) {
        char c;
        while (!RI) {
        }
        RI = 0;
        c = SBUF;
        P1_0 = !P1_0;
        send(c);
    }
}
