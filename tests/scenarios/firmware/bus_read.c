/* Reads the external data bus: 0x9000 where a buffer on the board answers (its inputs are P2,
 * which is set to 0xA5 first), 0x9100 where nothing does (external RAM answers), and the pin
 * P1.3, which a switch on the board can hold low. */
#include <8051.h>

__xdata __at(0x9000) volatile unsigned char board_byte;
__xdata __at(0x9100) volatile unsigned char ram_byte;
__data __at(0x30) volatile unsigned char got_board;
__data __at(0x31) volatile unsigned char got_ram;
__data __at(0x32) volatile unsigned char got_pin;

void main(void)
{
    ram_byte = 0x5A;
    P2 = 0xA5;
    for (;;) {
        got_board = board_byte;
        got_ram = ram_byte;
        got_pin = P1_3;
    }
}
