/* 1 kHz at 12 MHz: 500 us half periods are 500 machine cycles. */
#define RELOAD_CYCLES 250
#include "square_wave.h"
