// The serial line of a COM port as the settings page offers it: one table per setting, each
// item's label as the page's list shows it beside the code that the installation writes.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace vexo {

struct SerialCode {
    const char* label; // the item of the settings page's list
    const char* code;  // what goes into the port's line settings
};

inline constexpr std::array<SerialCode, 7> portCodes = {{{"LPT1", "LPT1:"},
                                                         {"LPT2", "LPT2:"},
                                                         {"LPT3", "LPT3:"},
                                                         {"COM1", "COM1:"},
                                                         {"COM2", "COM2:"},
                                                         {"COM3", "COM3:"},
                                                         {"COM4", "COM4:"}}};
inline constexpr std::array<SerialCode, 9> baudCodes = {{{"300", "300"},
                                                         {"1200", "1200"},
                                                         {"2400", "2400"},
                                                         {"4800", "4800"},
                                                         {"9600", "9600"},
                                                         {"19200", "19200"},
                                                         {"38400", "38400"},
                                                         {"57600", "57600"},
                                                         {"115200", "115200"}}};
inline constexpr std::array<SerialCode, 4> dataBitsCodes = {
    {{"5", "5"}, {"6", "6"}, {"7", "7"}, {"8", "8"}}};
inline constexpr std::array<SerialCode, 3> stopBitsCodes = {
    {{"1", "1"}, {"1.5", "1.5"}, {"2", "2"}}};
inline constexpr std::array<SerialCode, 5> parityCodes = {
    {{"Even", "E"}, {"Mark", "M"}, {"None", "N"}, {"Odd", "O"}, {"Space", "S"}}};
inline constexpr std::array<SerialCode, 3> flowCodes = {
    {{"None", " "}, {"XonXoff", "x"}, {"Hardware", "p"}}};

// Rows 0 to 2 of the port list are parallel ports; a row above is a serial (COM) port,
// whose line settings the installation writes.
inline constexpr int kLastParallelPort = 2;

// The code at `index` of `table`; empty for an index outside it (a list without a selection).
template <std::size_t N> std::string codeAt(const std::array<SerialCode, N>& table, int index) {
    return index >= 0 && index < static_cast<int>(N) ? table[static_cast<std::size_t>(index)].code
                                                     : "";
}

// The line settings of one COM port, as codes.
struct SerialLine {
    std::string portCode; // "COM1:" ...
    std::string baud, parity, dataBits, stopBits, flow;

    // Every setting has a code.
    [[nodiscard]] bool complete() const {
        return !portCode.empty() && !baud.empty() && !parity.empty() && !dataBits.empty() &&
               !stopBits.empty() && !flow.empty();
    }
    // The port's value under "Ports": "baud,parity,data bits,stop bits,flow".
    [[nodiscard]] std::string text() const {
        return baud + "," + parity + "," + dataBits + "," + stopBits + "," + flow;
    }
};

} // namespace vexo
