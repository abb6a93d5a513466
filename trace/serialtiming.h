#pragma once

#include "host/mcs51.h"

// How the core's serial port is set up, read from its registers: machine cycles per bit of a
// frame, and the frame's length. Used to draw the TXD line of a transmitted byte and to give a
// UART decoder its baud rate.
struct TSerialTiming {
    int Mode = 0;         // SCON's SM0:SM1, 0..3
    double BitCycles = 0; // machine cycles per bit; 0: the set-up gives no rate
    int FrameBits = 10;   // start, data (8, or 9 in modes 2 and 3), stop
    bool Asynchronous() const { return Mode != 0; }
    // Bits per second at a crystal of `crystalHz`, or 0.
    double Baud(double crystalHz) const {
        return BitCycles > 0 ? crystalHz / 12.0 / BitCycles : 0.0;
    }
};

// The 8052 clocks transmitter and receiver apart (TCLK and RCLK of T2CON): `receiving` asks for
// the receiver's rate, which frames arriving on RXD follow.
TSerialTiming SerialTimingOf(const mcs51::Core& core, bool receiving = false);
