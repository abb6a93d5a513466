/* A fixture for the debugger: nested calls, a Timer 0 interrupt handler, variables of every kind
 * the debug information describes. P1 shows `shown`, so editing it changes the LEDs on P1. */
#include <8051.h>

struct point {
    int x;
    unsigned char y;
};

signed char sc = -5;
unsigned char uc = 200;
int si = -1234;
unsigned int ui = 54321;
long sl = -100000;
unsigned long ul = 3000000000;
unsigned char arr[4] = {1, 2, 3, 4};
struct point pt = {-7, 9};
__xdata unsigned int xvar = 0x1234;
__code const unsigned char table[3] = {10, 20, 30};
__bit flag = 1;
__data unsigned char *dptr = &uc;
__xdata unsigned int *xptr = &xvar;
__code const unsigned char *cptr = table;
unsigned char *gptr = &uc;
unsigned char shown = 0x5A;
volatile unsigned int ticks;

static unsigned char counter;

static void timer0_isr(void) __interrupt(1)
{
    ticks++;
}

static unsigned char add_one(unsigned char v)
{
    return v + 1;
}

static unsigned char twice_plus(unsigned char v)
{
    unsigned char w = add_one(v);
    return w + add_one(w);
}

static unsigned char sum3(unsigned char a)
{
    unsigned char parts[3];
    parts[0] = a;
    parts[1] = add_one(a);
    parts[2] = table[a & 1];
    return parts[0] + parts[1] + parts[2];
}

void main(void)
{
    static unsigned char local_fixed;
    TMOD = 0x02;
    TH0 = 0x00;
    TR0 = 1;
    ET0 = 1;
    EA = 1;
    for (;;) {
        local_fixed = twice_plus(counter);
        local_fixed += sum3(local_fixed);

        counter++;
        xvar = xvar + 1;
        P1 = shown;
        flag = !flag;
    }
}
