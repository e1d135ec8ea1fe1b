// A message dump pasted from elsewhere (xxd, hexdump -C, od, Wireshark's hex dump, 0x lists,
// escaped strings, decimal lists), read by the command line's dump reader into the hexadecimal
// digits the message box takes in Hexa mode.
#pragma once

#include <string>

struct PastedDump {
    std::string hex;      // the first message's units as hexadecimal digits; empty when none
    int messages = 0;     // the messages read
    std::string problem;  // why the first message that could not be read was refused
};

PastedDump ReadPastedDump(const std::string& text);
