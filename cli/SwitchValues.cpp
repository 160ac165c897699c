#include "cli/SwitchValues.h"

#include "install/ModelTables.h"

#include <algorithm>

namespace vexo {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isAlnum(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether `text` is 1 to `most` characters, each a letter, a digit or one of `others`.
bool madeOf(std::string_view text, std::size_t most, std::string_view others) {
    return !text.empty() && text.size() <= most &&
           std::all_of(text.begin(), text.end(), [&](char c) {
               return isAlnum(c) || others.find(c) != std::string_view::npos;
           });
}

bool isIpv4(std::string_view text) {
    for (int part = 0; part < 4; ++part) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (digits < text.size() && isDigit(text[digits]) && digits < 3) {
            value = value * 10 + static_cast<unsigned>(text[digits++] - '0');
        }
        if (digits == 0 || value > 255) {
            return false;
        }
        text.remove_prefix(digits);
        if (part < 3) {
            if (text.empty() || text.front() != '.') {
                return false;
            }
            text.remove_prefix(1);
        }
    }
    return text.empty();
}

} // namespace

const char* hostProblem(std::string_view host) {
    // Only digits and dots: an address, or nothing.
    const bool numeric = host.find_first_not_of("0123456789.") == std::string_view::npos;
    if (numeric ? isIpv4(host) : madeOf(host, 48, ".-")) {
        return nullptr;
    }
    return ": not an IPv4 address (four numbers 0 to 255) or a host name (letters, digits, . "
           "and -, at most 48 characters)";
}

const char* queueProblem(std::string_view queue) {
    return madeOf(queue, 32, "-_.") ? nullptr
                                    : ": a queue is letters, digits, -, _ and ., at most 32 "
                                      "characters";
}

const char* communityProblem(std::string_view community) {
    const bool ok = !community.empty() && community.size() <= 32 &&
                    std::all_of(community.begin(), community.end(), [](char c) {
                        return c > ' ' && c <= '~' && c != '"' && c != '\\';
                    });
    return ok ? nullptr
              : ": an SNMP community is at most 32 letters, digits or punctuation, without "
                "blanks, quotes or \\";
}

const char* controlCharacterProblem(std::string_view text) {
    const bool any = std::any_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    return any ? ": a line break, a tab or another control character is not allowed in it"
               : nullptr;
}

const char* printerNameProblem(std::string_view name) {
    // Counted as Windows counts, in UTF-16 units: a character beyond U+FFFF takes two.
    std::size_t units = 0;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) == 0x80 ? 0 : byte >= 0xF0 ? 2 : 1;
    }
    if (units <= 220 && name.find_first_of("\\,") == std::string_view::npos) {
        return nullptr;
    }
    return ": a printer's name has at most 220 characters and no \\ or ,";
}

std::optional<std::uint32_t> portNumberOf(std::string_view text) {
    const std::optional<std::uint32_t> value = decimalOf(text, 65535);
    return value && *value >= 1 ? value : std::nullopt;
}

std::optional<std::int16_t> paperOf(std::string_view text, std::string& why) {
    if (!text.empty() && std::all_of(text.begin(), text.end(), isDigit)) {
        if (const std::optional<std::uint32_t> number = decimalOf(text, 32767); number >= 1u) {
            return static_cast<std::int16_t>(*number);
        }
        why = ": a paper number is 1 to 32767";
        return std::nullopt;
    }
    std::string several;
    for (const ValueName& paper : kPaperNames) {
        const std::string_view name = paper.name;
        if (equalsIgnoringAsciiCase(text, name)) {
            return paper.value;
        }
        if (name.size() > text.size() + 2 &&
            equalsIgnoringAsciiCase(text, name.substr(0, text.size())) &&
            name.substr(text.size(), 2) == " (") {
            several += cat({several.empty() ? "" : " or ", name});
        }
    }
    why = several.empty() ? ": not the name of a form Windows has (A4, Letter, Legal, A3, A5, B5 "
                            "(JIS), B5 (ISO), ...) or a paper number"
                          : cat({": that may be ", several, "; name one"});
    return std::nullopt;
}

std::optional<std::int16_t> valueOf(std::span<const ValueName> names, std::string_view text,
                                    std::string& why) {
    for (const ValueName& n : names) {
        if (equalsIgnoringAsciiCase(text, n.name)) {
            return n.value;
        }
    }
    why = cat({": not one of ", joined(names, &ValueName::name)});
    return std::nullopt;
}

std::string listModels() {
    return joined(modelCodes);
}

namespace {

template <std::size_t N>
std::optional<std::string> findCode(const std::array<SerialCode, N>& table,
                                    std::string_view field) {
    for (const SerialCode& entry : table) {
        if (equalsIgnoringAsciiCase(field, entry.code)) {
            return std::string(entry.code);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<int> findModel(std::string_view value) {
    for (std::size_t i = 0; i < modelCodes.size(); ++i) {
        if (equalsIgnoringAsciiCase(value, modelCodes[i])) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

// "COM3", "com3:" -> "COM3:"; nothing for a port that is not one of the serial ports.
std::optional<std::string> findComPort(std::string_view port) {
    if (!port.empty() && port.back() == ':') {
        port.remove_suffix(1);
    }
    for (std::size_t i = kLastParallelPort + 1; i < portCodes.size(); ++i) {
        if (equalsIgnoringAsciiCase(port, portCodes[i].label)) {
            return std::string(portCodes[i].code);
        }
    }
    return std::nullopt;
}

std::vector<std::string> commaFields(const std::string& value) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (;;) {
        std::size_t comma = value.find(',', from);
        fields.push_back(value.substr(from, comma - from));
        if (comma == std::string::npos) {
            return fields;
        }
        from = comma + 1;
    }
}

// The five fields of "/serial" as codes of the settings tables, or what is wrong with them.
// The flow's None code is a single space; an empty field means it too.
std::optional<SerialLine> parseSerial(const std::string& value, std::string& error) {
    std::vector<std::string> fields = commaFields(value);
    if (fields.size() != 5) {
        error = "expected BAUD,PARITY,DATA,STOP,FLOW";
        return std::nullopt;
    }
    SerialLine line;
    auto take = [&](std::optional<std::string> code, const char* what, const std::string& field,
                    const std::string& allowed, std::string& into) {
        if (code) {
            into = *code;
            return true;
        }
        error = cat({what, " '", field, "' is not one of ", allowed});
        return false;
    };
    std::optional<std::string> flow =
        fields[4].empty() ? findCode(flowCodes, " ") : findCode(flowCodes, fields[4]);
    if (take(findCode(baudCodes, fields[0]), "baud", fields[0], listCodes(baudCodes), line.baud) &&
        take(findCode(parityCodes, fields[1]), "parity", fields[1], listCodes(parityCodes),
             line.parity) &&
        take(findCode(dataBitsCodes, fields[2]), "data bits", fields[2], listCodes(dataBitsCodes),
             line.dataBits) &&
        take(findCode(stopBitsCodes, fields[3]), "stop bits", fields[3], listCodes(stopBitsCodes),
             line.stopBits) &&
        take(flow, "flow", fields[4], "x, p, or empty for none", line.flow)) {
        return line;
    }
    return std::nullopt;
}

} // namespace vexo
