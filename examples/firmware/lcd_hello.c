/* A 16 x 2 character LCD on an 8-bit bus: data lines on P1, RS on P2.0, R/W on P2.1 and E on
 * P2.2. After the power-on initialisation the first line greets, the second counts tenths of a
 * second. Delays come from polling Timer 0 (mode 1, 1 ms at 12 MHz); the module is never read,
 * so every command waits out its longest execution time instead of the busy flag. */
#include <8051.h>

#define RS P2_0
#define RW P2_1
#define EN P2_2

#define RELOAD_1MS (65536u - 1000u)

static void wait_ms(unsigned char ms)
{
    while (ms--) {
        TH0 = RELOAD_1MS >> 8;
        TL0 = RELOAD_1MS & 0xFF;
        TF0 = 0;
        TR0 = 1;
        while (!TF0) {
        }
        TR0 = 0;
    }
}

/* One transfer: the byte and the register select stand before E rises; the module takes them
 * when E falls. */
static void lcd_write(unsigned char rs, unsigned char value)
{
    RS = rs;
    RW = 0;
    P1 = value;
    EN = 1;
    EN = 0;
}

static void lcd_command(unsigned char command)
{
    lcd_write(0, command);
    wait_ms(command <= 0x03 ? 2 : 1); /* clear and home take longest */
}

static void lcd_text(const char *text)
{
    while (*text)
        lcd_write(1, *text++);
}

static void lcd_init(void)
{
    P2 = 0;
    wait_ms(20);
    /* Function set three times, whatever mode the module woke up in. */
    lcd_write(0, 0x30);
    wait_ms(5);
    lcd_write(0, 0x30);
    wait_ms(1);
    lcd_write(0, 0x30);
    wait_ms(1);
    lcd_command(0x38); /* 8-bit bus, two lines, 5 x 8 dots */
    lcd_command(0x0C); /* display on, no cursor */
    lcd_command(0x06); /* move right after each character */
    lcd_command(0x01); /* clear */
}

void main(void)
{
    unsigned int count = 0;
    char digits[5];
    TMOD = 0x01;
    lcd_init();
    lcd_command(0x80); /* line 1, column 0 */
    lcd_text("Hello, 8051!");
    for (;;) {
        unsigned int n = count;
        signed char i;
        for (i = 3; i >= 0; --i) {
            digits[i] = '0' + n % 10;
            n /= 10;
        }
        digits[4] = 0;
        lcd_command(0xC0); /* line 2, column 0 */
        lcd_text("Count ");
        lcd_text(digits);
        count = count == 9999 ? 0 : count + 1;
        wait_ms(100);
    }
}
