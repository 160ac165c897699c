#include "tests/sim/SimRegistry.h"

#include "platform/Text.h"
#include "tests/sim/Utf.h"

#include <algorithm>
#include <cctype>
#include <functional>

namespace vexo::sim {

namespace {

// Splits a key path at backslashes. False for an empty component (a leading, trailing
// doubled backslash), which Windows refuses.
bool splitPath(const std::string& path, std::vector<std::string>& parts) {
    parts.clear();
    if (path.empty()) {
        return true;
    }
    std::size_t start = 0;
    while (true) {
        std::size_t end = path.find('\\', start);
        std::string part = path.substr(start, end == std::string::npos ? end : end - start);
        if (part.empty()) {
            // a single trailing backslash is accepted by Windows
            return end == std::string::npos && !parts.empty();
        }
        parts.push_back(part);
        if (end == std::string::npos) {
            return true;
        }
        start = end + 1;
    }
}

constexpr const char* kHexDigits = "0123456789ABCDEF";

} // namespace

struct SimRegistry::Node {
    std::string name;
    bool isVolatile = false;
    Node* link = nullptr;                                  // a symbolic link: this key is `link`
    std::map<std::string, std::unique_ptr<Node>> children; // by lower-case name
    std::vector<std::pair<std::string, RegValue>> values;

    Node* resolve() {
        Node* n = this;
        while (n->link != nullptr) {
            n = n->link;
        }
        return n;
    }
    Node* child(const std::string& n) {
        auto it = children.find(lowerAscii(n));
        return it == children.end() ? nullptr : it->second->resolve();
    }
    Node* addChild(const std::string& n, bool vol) {
        auto node = std::make_unique<Node>();
        node->name = n;
        node->isVolatile = vol;
        Node* raw = node.get();
        children[lowerAscii(n)] = std::move(node);
        return raw;
    }
};

std::string formatValue(const RegValue& value) {
    static const std::map<std::uint32_t, const char*> names = {
        {reg::TypeNone, "REG_NONE"},          {reg::TypeSz, "REG_SZ"},
        {reg::TypeExpandSz, "REG_EXPAND_SZ"}, {reg::TypeBinary, "REG_BINARY"},
        {reg::TypeDword, "REG_DWORD"},        {reg::TypeMultiSz, "REG_MULTI_SZ"}};
    auto it = names.find(value.type);
    std::string out = it != names.end() ? it->second : "type " + std::to_string(value.type);
    if (value.type == reg::TypeSz || value.type == reg::TypeExpandSz ||
        value.type == reg::TypeMultiSz) {
        return out + " " +
               quotedBytes({reinterpret_cast<const char*>(value.data.data()), value.data.size()});
    }
    for (std::uint8_t b : value.data) {
        out += {' ', kHexDigits[b >> 4], kHexDigits[b & 15]};
    }
    return out;
}

std::string quotedBytes(std::string_view bytes) {
    std::string out = "\"";
    for (char c : bytes) {
        auto b = static_cast<std::uint8_t>(c);
        if (b == 0) {
            out += "\\0";
        } else if (b < 0x20 || b == 0x7F) {
            out += {'\\', 'x', kHexDigits[b >> 4], kHexDigits[b & 15]};
        } else {
            out += c;
        }
    }
    return out + "\"";
}

SimRegistry::SimRegistry(Faults& faults)
    : faults_(faults), hklm_(std::make_unique<Node>()), hkcu_(std::make_unique<Node>()),
      hkcr_(std::make_unique<Node>()), hku_(std::make_unique<Node>()) {
    // SYSTEM\CurrentControlSet is a link to SYSTEM\ControlSet001, and HKEY_CURRENT_CONFIG
    // is the current hardware profile, as on Windows.
    Node* system = hklm_->addChild("SYSTEM", false);
    Node* cs1 = system->addChild("ControlSet001", false);
    Node* current = system->addChild("CurrentControlSet", false);
    current->link = cs1;
    cs1->addChild("Hardware Profiles", false)->addChild("Current", false);
    hklm_->addChild("SOFTWARE", false);
    hklm_->addChild("HARDWARE", false);
    hkcu_->addChild("Software", false);
}

SimRegistry::~SimRegistry() = default;

SimRegistry::Node* SimRegistry::root(RegRoot r) const {
    switch (r) {
    case RegRoot::LocalMachine:
        return hklm_.get();
    case RegRoot::CurrentUser:
        return hkcu_.get();
    case RegRoot::ClassesRoot:
        return hkcr_.get();
    case RegRoot::Users:
        return hku_.get();
    case RegRoot::CurrentConfig: {
        Node* n = hklm_->child("SYSTEM");
        n = n != nullptr ? n->child("CurrentControlSet") : nullptr;
        n = n != nullptr ? n->child("Hardware Profiles") : nullptr;
        return n != nullptr ? n->child("Current") : nullptr;
    }
    }
    return nullptr;
}

std::string SimRegistry::describe(RegRoot r, const std::string& path) {
    return cat({rootName(r), path.empty() ? "" : "\\", path});
}

SimRegistry::Node* SimRegistry::find(RegRoot r, const std::string& path) const {
    std::vector<std::string> parts;
    if (!splitPath(path, parts)) {
        return nullptr;
    }
    Node* n = root(r);
    for (const std::string& p : parts) {
        if (n == nullptr) {
            return nullptr;
        }
        n = n->child(p);
    }
    return n;
}

WinError SimRegistry::walk(RegRoot r, const std::string& path, bool create, bool isVolatile,
                           Node*& out, bool& created, bool checkVolatile) {
    created = false;
    std::vector<std::string> parts;
    if (!splitPath(path, parts)) {
        return err::BadPathname;
    }
    Node* n = root(r);
    if (n == nullptr) {
        return err::FileNotFound;
    }
    for (const std::string& p : parts) {
        Node* next = n->child(p);
        if (next == nullptr) {
            if (!create) {
                return err::FileNotFound;
            }
            if (checkVolatile && n->isVolatile && !isVolatile) {
                return err::ChildMustBeVolatile;
            }
            next = n->addChild(p, isVolatile);
            created = true;
        }
        n = next;
    }
    out = n;
    return err::Success;
}

WinError SimRegistry::openKey(RegRoot r, const std::string& path, std::uint32_t access,
                              RegKey& key) {
    bool created = false;
    return open("RegOpenKeyEx", r, path, false, false, access, key, created);
}

WinError SimRegistry::open(const char* operation, RegRoot r, const std::string& path, bool create,
                           bool isVolatile, std::uint32_t access, RegKey& key, bool& created) {
    if (auto e = faults_.check(operation, describe(r, path))) {
        return faults_.deliver(*e);
    }
    Node* n = nullptr;
    WinError e = walk(r, path, create, isVolatile, n, created);
    faults_.record(e);
    if (e != err::Success) {
        return e;
    }
    std::uintptr_t h = nextHandle_++;
    handles_[h] = Handle{n, access, describe(r, path)};
    key = RegKey(h, {this});
    return err::Success;
}

WinError SimRegistry::createKey(RegRoot r, const std::string& path, std::uint32_t options,
                                std::uint32_t access, RegKey& key, std::uint32_t* disposition) {
    bool created = false;
    WinError e = open("RegCreateKeyEx", r, path, true, (options & reg::OptionVolatile) != 0, access,
                      key, created);
    if (e != err::Success) {
        return e;
    }
    if (disposition != nullptr) {
        *disposition = created ? reg::CreatedNewKey : reg::OpenedExistingKey;
    }
    return err::Success;
}

const SimRegistry::Handle* SimRegistry::handleOf(const RegKey& key) const {
    if (!key.isOpen()) {
        return nullptr;
    }
    auto it = handles_.find(key.get());
    return it == handles_.end() ? nullptr : &it->second;
}

WinError SimRegistry::begin(const char* operation, const RegKey& key, const std::string& what,
                            std::uint32_t access, const Handle*& handle) {
    handle = handleOf(key);
    std::string path = handle != nullptr ? handle->path : "?";
    if (auto e = faults_.check(operation, path + ":" + what, {path, what})) {
        return *e;
    }
    WinError e = handle == nullptr                ? err::InvalidHandle
                 : (handle->access & access) == 0 ? err::AccessDenied
                                                  : err::Success;
    faults_.record(e);
    return e;
}

WinError SimRegistry::setValue(const RegKey& key, const std::string& name, std::uint32_t type,
                               const std::vector<std::uint8_t>& data) {
    const Handle* h = nullptr;
    if (WinError e = begin("RegSetValueEx", key, name, reg::SetValue, h); e != err::Success) {
        return faults_.deliver(e);
    }
    RegValue v{type, data};
    for (auto& [n, value] : h->node->values) {
        if (equalsIgnoringCase(n, name)) {
            value = std::move(v);
            return err::Success;
        }
    }
    h->node->values.emplace_back(name, std::move(v));
    return err::Success;
}

WinError SimRegistry::deleteValue(const RegKey& key, const std::string& name) {
    const Handle* h = nullptr;
    if (WinError e = begin("RegDeleteValue", key, name, reg::SetValue, h); e != err::Success) {
        return faults_.deliver(e);
    }
    auto& values = h->node->values;
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const auto& v) { return equalsIgnoringCase(v.first, name); });
    if (it == values.end()) {
        return err::FileNotFound;
    }
    values.erase(it);
    return err::Success;
}

WinError SimRegistry::deleteKey(RegRoot r, const std::string& path) {
    if (auto e = faults_.check("RegDeleteKey", describe(r, path))) {
        return faults_.deliver(*e);
    }
    auto fail = [this](WinError e) {
        faults_.record(e);
        return e;
    };
    Node* n = find(r, path);
    if (n == nullptr) {
        return fail(err::FileNotFound);
    }
    if (!n->children.empty()) {
        return fail(err::AccessDenied);
    }
    removeKey(r, path);
    return err::Success;
}

WinError SimRegistry::queryValue(const RegKey& key, const std::string& name, RegValue& value) {
    const Handle* h = nullptr;
    if (WinError e = begin("RegQueryValueEx", key, name, reg::QueryValue, h); e != err::Success) {
        return faults_.deliver(e);
    }
    for (const auto& [n, v] : h->node->values) {
        if (equalsIgnoringCase(n, name)) {
            value = v;
            return err::Success;
        }
    }
    faults_.record(err::FileNotFound);
    return err::FileNotFound;
}

WinError SimRegistry::enumValue(const RegKey& key, std::uint32_t index, RegNamedValue& entry) {
    const Handle* h = nullptr;
    if (WinError e = begin("RegEnumValue", key, std::to_string(index), reg::QueryValue, h);
        e != err::Success) {
        return faults_.deliver(e);
    }
    if (index >= h->node->values.size()) {
        faults_.record(err::NoMoreItems);
        return err::NoMoreItems;
    }
    entry.name = h->node->values[index].first;
    entry.value = h->node->values[index].second;
    return err::Success;
}

std::vector<std::string> SimRegistry::dump() const {
    std::vector<std::string> lines;
    std::function<void(const Node&, const std::string&)> walkKey = [&](const Node& n,
                                                                       const std::string& path) {
        if (n.values.empty() && n.children.empty()) {
            lines.push_back(path + "\\");
        }
        for (const auto& [name, value] : n.values) {
            lines.push_back(path + ": " + (name.empty() ? "(default)" : name) + " = " +
                            formatValue(value));
        }
        for (const auto& entry : n.children) {
            if (entry.second->link == nullptr) {
                walkKey(*entry.second, path + "\\" + entry.second->name);
            }
        }
    };
    walkKey(*hklm_, "HKLM");
    walkKey(*hkcu_, "HKCU");
    walkKey(*hkcr_, "HKCR");
    walkKey(*hku_, "HKU");
    return lines;
}

void SimRegistry::closeKey(std::uintptr_t handle) {
    faults_.log("RegCloseKey", "");
    handles_.erase(handle);
}

void SimRegistry::put(RegRoot r, const std::string& path, const std::string& name, RegValue value) {
    makeKey(r, path);
    Node* n = find(r, path);
    for (auto& [nm, v] : n->values) {
        if (equalsIgnoringCase(nm, name)) {
            v = std::move(value);
            return;
        }
    }
    n->values.emplace_back(name, std::move(value));
}

void SimRegistry::makeKey(RegRoot r, const std::string& path) {
    Node* n = nullptr;
    bool created = false;
    (void)walk(r, path, true, false, n, created, false);
}

void SimRegistry::removeKey(RegRoot r, const std::string& path) {
    auto slash = path.find_last_of('\\');
    Node* parent = slash == std::string::npos ? root(r) : find(r, path.substr(0, slash));
    if (parent != nullptr) {
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        parent->resolve()->children.erase(lowerAscii(name));
    }
}

bool SimRegistry::keyExists(RegRoot r, const std::string& path) const {
    return find(r, path) != nullptr;
}

std::optional<RegValue> SimRegistry::get(RegRoot r, const std::string& path,
                                         const std::string& name) const {
    Node* n = find(r, path);
    if (n == nullptr) {
        return std::nullopt;
    }
    for (const auto& [nm, v] : n->values) {
        if (equalsIgnoringCase(nm, name)) {
            return v;
        }
    }
    return std::nullopt;
}

std::vector<SimRegistry::Write> SimRegistry::writes() const {
    std::vector<Write> out;
    for (const CallRecord& c : faults_.callsOf("RegSetValueEx")) {
        if (c.result == err::Success) {
            out.push_back(Write{c.args[0], c.args[1]});
        }
    }
    return out;
}

void SimRegistry::setVolatile(RegRoot r, const std::string& path) {
    makeKey(r, path);
    if (Node* n = find(r, path)) {
        n->isVolatile = true;
    }
}

} // namespace vexo::sim
