/* 1 kHz at 11.0592 MHz: a 500 us half period is 460.8 machine cycles; 460 come nearest. */
#define RELOAD_CYCLES 230
#include "square_wave.h"
