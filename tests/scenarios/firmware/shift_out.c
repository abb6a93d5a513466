/* Sends one byte, 0xA5, through the serial port in mode 0 (shift register: data on RXD, the shift
 * clock on TXD, one bit a machine cycle), then idles. */
#include <8051.h>

void main(void)
{
    SCON = 0x00; /* mode 0 */
    SBUF = 0xA5;
    while (!TI) {
    }
    TI = 0;
    for (;;) {
        PCON |= 0x01; /* idle: nothing wakes it */
    }
}
