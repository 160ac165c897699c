// What the values of the command line's printer and network switches may be. Each check
// returns why a value is refused (": ..."), null when it may be used.
#pragma once

#include "install/PrintingDefaults.h"
#include "install/SerialLine.h"
#include "platform/Text.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vexo {

// An IPv4 address (four numbers 0 to 255) or a host name (letters, digits, "." and "-", at
// most 48 characters, the most the TCP/IP port monitor keeps).
[[nodiscard]] const char* hostProblem(std::string_view host);
// An LPR queue: letters, digits, "-", "_" and ".", at most 32 characters.
[[nodiscard]] const char* queueProblem(std::string_view queue);
// An SNMP community: at most 32 printable ASCII characters without blanks, quotes or "\", so
// that it stands as it was typed in the command line the log shows it hidden in.
[[nodiscard]] const char* communityProblem(std::string_view community);
// A text the printer keeps (its name, location or comment): no line break or other control
// character (0x00 to 0x1F, 0x7F), which would break the line it is shown or logged on.
[[nodiscard]] const char* controlCharacterProblem(std::string_view text);
// A printer's name: at most 220 characters, without "\" or ",", which Windows refuses.
[[nodiscard]] const char* printerNameProblem(std::string_view name);
// A TCP port number, 1 to 65535, in decimal digits.
[[nodiscard]] std::optional<std::uint32_t> portNumberOf(std::string_view text);

// A paper by the name Windows gives its form (in any case) or by its number, 1 to 32767; none,
// with why in `why`, for another text. A name that begins several forms' ("B5": "B5 (JIS)",
// "B5 (ISO)") is refused as one of them.
[[nodiscard]] std::optional<std::int16_t> paperOf(std::string_view text, std::string& why);
// The value that `text` names among `names` (in any case); none, with why in `why`, for another.
[[nodiscard]] std::optional<std::int16_t> valueOf(std::span<const ValueName> names,
                                                  std::string_view text, std::string& why);

// The models, for a message: "K20A, K20AW, ...".
[[nodiscard]] std::string listModels();

// A table's codes, for a message: "300, 1200, ...".
template <std::size_t N> std::string listCodes(const std::array<SerialCode, N>& table) {
    return joined(table, &SerialCode::code);
}

// The model of a name given in any case, as its index in the model tables.
[[nodiscard]] std::optional<int> findModel(std::string_view value);
// "COM3", "com3:" -> "COM3:"; nothing for a port that is not one of the serial ports.
[[nodiscard]] std::optional<std::string> findComPort(std::string_view port);
// The five fields of "/serial" as codes of the settings tables; nullopt, `error` saying what
// is wrong, when they are not.
[[nodiscard]] std::optional<SerialLine> parseSerial(const std::string& value, std::string& error);

} // namespace vexo
