#include "install/ChangeRecord.h"

#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <utility>

namespace vexo {

namespace {

constexpr std::string_view kHeader = "VexoSetup change record";
constexpr char kHex[] = "0123456789ABCDEF";

constexpr std::array<std::pair<ChangeKind, std::string_view>, 8> kKindNames = {{
    {ChangeKind::PortCreated, "port"},
    {ChangeKind::FileCopied, "file"},
    {ChangeKind::DriverRegistered, "driver"},
    {ChangeKind::PrinterAdded, "printer"},
    {ChangeKind::PrinterChanged, "printer-changed"},
    {ChangeKind::ValueWritten, "value"},
    {ChangeKind::KeyCreated, "key"},
    {ChangeKind::DevModeSet, "devmode"},
}};

constexpr std::array<std::pair<RegRoot, std::string_view>, 3> kRootNames = {{
    {RegRoot::LocalMachine, "HKLM"},
    {RegRoot::CurrentUser, "HKCU"},
    {RegRoot::CurrentConfig, "HKCC"},
}};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::vector<std::string_view> split(std::string_view line, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t from = 0;;) {
        const std::size_t at = line.find(separator, from);
        parts.push_back(line.substr(from, at - from));
        if (at == std::string_view::npos) {
            return parts;
        }
        from = at + 1;
    }
}

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
    std::string hex;
    for (std::uint8_t b : bytes) {
        hex += {kHex[b >> 4], kHex[b & 15]};
    }
    return hex;
}

std::optional<std::vector<std::uint8_t>> bytesOf(std::string_view hex) {
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexDigit(hex[i]), low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

// The change of one line; nullopt for a line that is none.
std::optional<Change> changeOf(std::string_view line) {
    const std::optional<std::vector<std::string>> fields = splitFields(line);
    if (!fields) {
        return std::nullopt;
    }
    const std::vector<std::string>& f = *fields;
    Change c;
    const auto kind = std::find_if(kKindNames.begin(), kKindNames.end(),
                                   [&](const auto& k) { return k.second == f[0]; });
    if (kind == kKindNames.end()) {
        return std::nullopt;
    }
    c.kind = kind->first;
    // The fields after the kind, by kind.
    constexpr std::array<std::size_t, 8> kFields = {1, 2, 3, 1, 4, 4, 2, 2};
    if (f.size() != kFields[static_cast<std::size_t>(c.kind)] + 1) {
        return std::nullopt;
    }
    auto root = [&](const std::string& name) {
        const auto r = std::find_if(kRootNames.begin(), kRootNames.end(),
                                    [&](const auto& k) { return k.second == name; });
        c.root = r == kRootNames.end() ? RegRoot::LocalMachine : r->first;
        return r != kRootNames.end();
    };
    switch (c.kind) {
    case ChangeKind::PortCreated:
    case ChangeKind::PrinterAdded:
        c.name = f[1];
        return c;
    case ChangeKind::FileCopied:
        c.environment = f[1];
        c.name = f[2];
        return c;
    case ChangeKind::DriverRegistered: {
        const std::optional<std::uint32_t> version = decimalOf(f[2], 999999999);
        c.environment = f[1];
        c.version = version.value_or(0);
        c.name = f[3];
        return version ? std::optional(c) : std::nullopt;
    }
    case ChangeKind::PrinterChanged:
        c.name = f[1];
        c.before = {f[2], f[3], f[4]};
        return c;
    case ChangeKind::ValueWritten: {
        c.name = f[2];
        c.valueName = f[3];
        if (f[4] != "none") {
            const std::string_view typed = f[4];
            const std::size_t colon = typed.find(':');
            const std::optional<std::uint32_t> type = decimalOf(typed.substr(0, colon), 999999999);
            std::optional<std::vector<std::uint8_t>> data =
                colon != std::string_view::npos ? bytesOf(typed.substr(colon + 1)) : std::nullopt;
            if (!type || !data) {
                return std::nullopt;
            }
            c.previous = RegValue{*type, std::move(*data)};
        }
        return root(f[1]) ? std::optional(c) : std::nullopt;
    }
    case ChangeKind::KeyCreated:
        c.name = f[2];
        return root(f[1]) ? std::optional(c) : std::nullopt;
    case ChangeKind::DevModeSet: {
        std::optional<std::vector<std::uint8_t>> bytes = bytesOf(f[2]);
        c.name = f[1];
        c.devMode = bytes.value_or(std::vector<std::uint8_t>());
        return bytes ? std::optional(c) : std::nullopt;
    }
    }
    return std::nullopt;
}

} // namespace

bool Change::operator==(const Change& o) const {
    const bool sameValue =
        previous.has_value() == o.previous.has_value() &&
        (!previous || (previous->type == o.previous->type && previous->data == o.previous->data));
    return kind == o.kind && name == o.name && environment == o.environment &&
           version == o.version && root == o.root && valueName == o.valueName && sameValue &&
           before.port == o.before.port && before.location == o.before.location &&
           before.comment == o.before.comment && devMode == o.devMode;
}

void ChangeLog::add(Change change) {
    if (!keeping_) {
        return;
    }
    feedback_.recorded(change);
    record_.push_back(std::move(change));
}

RegWrite writeRecorded(Registry& registry, ChangeLog& changes, RegRoot root,
                       const std::string& path, const std::string& name, std::uint32_t type,
                       const std::vector<std::uint8_t>& data) {
    RegWrite result;
    RegKey key;
    result.error = registry.openKey(
        root, path, changes.keeping() ? reg::QueryValue | reg::SetValue : reg::SetValue, key);
    if (result.error == err::Success) {
        result.opened = true;
        result.error = setRecorded(registry, changes, {key, root, path}, name, type, data);
    }
    return result;
}

WinError setRecorded(Registry& registry, ChangeLog& changes, const OpenKey& key,
                     const std::string& name, std::uint32_t type,
                     const std::vector<std::uint8_t>& data) {
    if (!changes.keeping()) {
        return registry.setValue(key.key, name, type, data);
    }
    Change change = Change::of(ChangeKind::ValueWritten, key.path);
    change.root = key.root;
    change.valueName = name;
    RegValue previous;
    // A value whose earlier state cannot be read could not be put back: it is not written.
    if (const WinError read = registry.queryValue(key.key, name, previous); read == err::Success) {
        change.previous = std::move(previous);
    } else if (read != err::FileNotFound) {
        return read;
    }
    const WinError e = registry.setValue(key.key, name, type, data);
    if (e == err::Success) {
        changes.add(std::move(change));
    }
    return e;
}

std::string recordHeader(std::string_view token) {
    return joinFields({std::string(kHeader), std::string(token)}) + "\n";
}

std::string changeLine(const Change& c) {
    const std::string kind(kKindNames[static_cast<std::size_t>(c.kind)].second);
    std::string root = "HKLM";
    for (const auto& [r, name] : kRootNames) {
        root = r == c.root ? std::string(name) : root;
    }
    std::vector<std::string> fields;
    switch (c.kind) {
    case ChangeKind::PortCreated:
    case ChangeKind::PrinterAdded:
        fields = {kind, c.name};
        break;
    case ChangeKind::FileCopied:
        fields = {kind, c.environment, c.name};
        break;
    case ChangeKind::DriverRegistered:
        fields = {kind, c.environment, std::string(Decimal(c.version)), c.name};
        break;
    case ChangeKind::PrinterChanged:
        fields = {kind, c.name, c.before.port, c.before.location, c.before.comment};
        break;
    case ChangeKind::ValueWritten:
        fields = {kind, root, c.name, c.valueName,
                  c.previous ? cat({Decimal(c.previous->type), ":", hexOf(c.previous->data)})
                             : "none"};
        break;
    case ChangeKind::KeyCreated:
        fields = {kind, root, c.name};
        break;
    case ChangeKind::DevModeSet:
        fields = {kind, c.name, hexOf(c.devMode)};
        break;
    }
    return joinFields(fields) + "\n";
}

ReadRecord readRecord(std::string_view text) {
    ReadRecord record;
    if (text.empty()) {
        return record;
    }
    std::vector<std::string_view> lines = split(text, '\n');
    if (lines.back().empty()) {
        lines.pop_back(); // the last line's end
    }
    // The last run's record: from the last header on.
    std::size_t first = lines.size() - 1;
    while (first > 0 && !lines[first].starts_with(kHeader)) {
        --first;
    }
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(first));
    const std::optional<std::vector<std::string>> header = splitFields(lines.front());
    if (!header || header->size() != 2 || (*header)[0] != kHeader) {
        record.fault = "its first line is not that of a record of this program";
        return record;
    }
    record.token = (*header)[1];
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i] == kRecordSpent && i + 1 == lines.size()) {
            record.spent = true;
            record.changes.clear();
            return record;
        }
        std::optional<Change> change = changeOf(lines[i]);
        if (!change) {
            record.fault =
                cat({"its line ", Decimal(first + i + 1), " is no change this program makes"});
            record.changes.clear();
            return record;
        }
        record.changes.push_back(std::move(*change));
    }
    return record;
}

} // namespace vexo
