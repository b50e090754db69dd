#pragma once

#include <cstdint>

namespace orvanta::serial {

// Parity of the line; the letters are the ones the host stores and shows.
enum class Parity : char { None = 'N', Odd = 'O', Even = 'E', Mark = 'M', Space = 'S' };

// Upper-cases the letter; E, M, O and S select their parity, anything else none.
Parity ParityFromLetter(char letter);

// The line settings as the port computes them, decoded from the driver's flag words.
// A pseudo-terminal then keeps the baud but forces 8 bits without parity, so tests check
// what the port asked for here. Plain value; any thread.
struct LineParameters {
    std::uint32_t baud = 0;
    int dataBits = 0;
    Parity parity = Parity::None;
    int stopBits = 0;
    bool raw = false;          // no line editing, echo, signals or output processing
    bool hardwareFlow = false; // RTS/CTS handshake
    bool receiverOn = false;   // CREAD and CLOCAL

    bool operator==(const LineParameters&) const = default;
};

// Whether the driver took the settings asked for: the same data bits, parity, stop bits,
// raw mode, no handshake, receiver on, and a baud within 3 % (a driver may report the rate
// it really reached). A pseudo-terminal forces 8 bits without parity; only there is that
// difference accepted.
bool LineSettingsTaken(const LineParameters& asked, const LineParameters& inForce,
                       bool pseudoTerminal);

// Applies the port's fixed settings to a driver state full of leftovers and decodes the
// result: what OpenLink writes to the driver for this baud and parity letter.
LineParameters PreviewLineSettings(std::uint32_t baud, char parityLetter);

} // namespace orvanta::serial
