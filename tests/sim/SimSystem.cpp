#include "tests/sim/SimSystem.h"

#include "tests/sim/Utf.h"

#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

namespace vexo::sim {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> components(const std::string& path) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        std::string part = path.substr(start, end == std::string::npos ? end : end - start);
        if (!part.empty() && part != ".") {
            if (part == ".." && !out.empty()) {
                out.pop_back();
            } else if (part != "..") {
                out.push_back(part);
            }
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return out;
}

bool isReadOnly(const fs::path& p) {
    std::error_code ec;
    auto perms = fs::status(p, ec).permissions();
    return !ec && (perms & fs::perms::owner_write) == fs::perms::none;
}

// Whether the host path names a plain file, a link at its end not followed:
// err::AccessDenied for a folder (or a link to one), err::FileNotFound otherwise.
WinError fileItself(const std::optional<fs::path>& host) {
    std::error_code ec;
    if (host && fs::is_regular_file(fs::symlink_status(*host, ec))) {
        return err::Success;
    }
    return host && fs::is_directory(*host, ec) ? err::AccessDenied : err::FileNotFound;
}

} // namespace

SimSystem::SimSystem(Faults& faults) : faults_(faults) {}

bool SimSystem::getVersion(std::uint32_t recordSize, OsVersion& version) {
    if (auto e = faults_.check("GetVersionEx", std::to_string(recordSize))) {
        faults_.deliver(*e);
        return false;
    }
    bool ok = (recordSize == kOsVersionInfoExSize && acceptExtended_) ||
              (recordSize == kOsVersionInfoSize && acceptBasic_);
    if (ok) {
        version = version_;
    }
    return ok;
}

Architectures SimSystem::machineArchitectures() {
    Architectures a;
    if (nativeMachine_) {
        if (auto e = faults_.check("IsWow64Process2", "")) {
            faults_.deliver(*e);
        } else {
            a.native = machineOf(*nativeMachine_);
            return a;
        }
    }
    if (!wow64_) {
        return a;
    }
    if (auto e = faults_.check("IsWow64Process", "")) {
        faults_.deliver(*e);
        a.native = Machine::X86; // the call failed and left the flag as it was
        return a;
    }
    a.native = *wow64_ ? Machine::X64 : Machine::X86;
    return a;
}

WinError SimSystem::changeDirectory(const std::string& path) {
    if (auto e = faults_.check("SetCurrentDirectory", path)) {
        return faults_.deliver(*e);
    }
    if (!directoryExists(path)) {
        faults_.record(err::PathNotFound);
        return err::PathNotFound;
    }
    currentDirectory_ = absolutePath(path);
    return err::Success;
}

bool SimSystem::directoryExists(const std::string& path) {
    auto host = hostPath(path);
    std::error_code ec;
    return host && fs::is_directory(*host, ec);
}

bool SimSystem::fileExists(const std::string& path) {
    auto host = hostPath(path);
    std::error_code ec;
    return host && fs::is_regular_file(*host, ec);
}

WinError SimSystem::deleteFile(const std::string& path) {
    if (auto e = faults_.check("DeleteFile", path)) {
        return faults_.deliver(*e);
    }
    auto host = hostPath(path);
    std::error_code ec;
    WinError e = fileItself(host);
    if (e == err::Success && (isReadOnly(*host) || !fs::remove(*host, ec))) {
        e = err::AccessDenied;
    }
    faults_.record(e);
    return e;
}

WinError SimSystem::readFile(const std::string& path, std::size_t limit, std::string& content) {
    if (auto e = faults_.check("ReadFile", path)) {
        return faults_.deliver(*e);
    }
    auto host = hostPath(path);
    std::error_code ec;
    WinError e = fileItself(host);
    if (e == err::Success && fs::file_size(*host, ec) > limit) {
        e = err::FileTooLarge;
    } else if (e == err::Success) {
        std::ifstream in(*host, std::ios::binary);
        content.assign(std::istreambuf_iterator<char>(in), {});
    }
    faults_.record(e);
    return e;
}

WinError SimSystem::clearReadOnly(const std::string& path) {
    if (auto e = faults_.check("SetFileAttributes", path)) {
        return faults_.deliver(*e);
    }
    auto host = hostPath(path);
    std::error_code ec;
    if (!host || !fs::is_regular_file(*host, ec)) {
        faults_.record(err::FileNotFound);
        return err::FileNotFound;
    }
    fs::permissions(*host, fs::perms::owner_write, fs::perm_options::add, ec);
    return ec ? err::AccessDenied : err::Success;
}

void SimSystem::debugOutput(const std::string& text) {
    faults_.log("OutputDebugString", text);
}

void SimSystem::sleep(std::uint32_t milliseconds) {
    faults_.log("Sleep", std::to_string(milliseconds));
}

std::intptr_t SimSystem::shellOpen(const std::string& file) {
    if (auto e = faults_.check("ShellExecute", file)) {
        WinError failure = faults_.deliver(*e);
        return static_cast<std::intptr_t>(failure <= 32 ? failure : 2);
    }
    auto host = hostPath(file);
    std::error_code ec;
    if (!host || !fs::is_regular_file(*host, ec)) {
        return 2; // SE_ERR_FNF
    }
    return 42;
}

std::string SimSystem::errorText(WinError error) {
    switch (error) {
    case err::Success:
        return "The operation completed successfully.";
    case err::FileNotFound:
        return "The system cannot find the file specified.";
    case err::PathNotFound:
        return "The system cannot find the path specified.";
    case err::AccessDenied:
        return "Access is denied.";
    case err::InvalidHandle:
        return "The handle is invalid.";
    case err::NotEnoughMemory:
        return "Not enough memory resources are available to process this command.";
    case err::SharingViolation:
        return "The process cannot access the file because it is being used by another "
               "process.";
    case err::FileExists:
        return "The file exists.";
    case err::InvalidParameter:
        return "The parameter is incorrect.";
    case err::InsufficientBuffer:
        return "The data area passed to a system call is too small.";
    case err::MoreData:
        return "More data is available.";
    case err::InvalidPrinterName:
        return "The printer name is invalid.";
    case err::PrinterAlreadyExists:
        return "The printer already exists.";
    case err::UnknownPrinterDriver:
        return "The printer driver is unknown.";
    case err::UnknownPort:
        return "The specified port is unknown.";
    case err::InvalidEnvironment:
        return "The environment specified is invalid.";
    case err::ResourceNameNotFound:
        return "The specified resource name cannot be found in the image file.";
    case err::RpcServerUnavailable:
        return "The RPC server is unavailable.";
    default:
        return "Unknown error " + std::to_string(error) + ".";
    }
}

void SimSystem::mapDrive(char drive, fs::path hostFolder) {
    drives_[static_cast<char>(std::toupper(static_cast<unsigned char>(drive)))] =
        std::move(hostFolder);
}

std::string SimSystem::absolutePath(const std::string& p) const {
    bool hasDrive = p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':';
    if (hasDrive && p.size() >= 3 && (p[2] == '\\' || p[2] == '/')) {
        return p;
    }
    if (!p.empty() && (p[0] == '\\' || p[0] == '/')) {
        return currentDirectory_.substr(0, 2) + p; // the root of the current drive
    }
    std::string base = currentDirectory_;
    if (!base.empty() && base.back() != '\\') {
        base += '\\';
    }
    return base + (hasDrive ? p.substr(2) : p);
}

std::optional<fs::path> SimSystem::hostPath(const std::string& windowsPath) const {
    std::string abs = absolutePath(windowsPath);
    char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(abs[0])));
    auto it = drives_.find(drive);
    if (it == drives_.end()) {
        return std::nullopt;
    }
    fs::path host = it->second;
    bool exists = true;
    for (const std::string& part : components(abs.substr(2))) {
        std::error_code ec;
        fs::path next = host / part;
        if (exists && !fs::exists(next, ec) && fs::is_directory(host, ec)) {
            for (const auto& entry : fs::directory_iterator(host, ec)) {
                if (equalsIgnoringCase(entry.path().filename().string(), part)) {
                    next = entry.path();
                    break;
                }
            }
        }
        exists = fs::exists(next, ec);
        host = next;
    }
    return host;
}

WinError SimSystem::copyFile(const std::string& source, const std::string& destination,
                             bool failIfExists) {
    auto done = [&](WinError e) {
        faults_.record(e);
        return e;
    };
    if (auto e = faults_.check("CopyFile", source + " -> " + destination, {source, destination})) {
        return faults_.deliver(*e);
    }
    auto src = hostPath(source);
    auto dst = hostPath(destination);
    if (!src || !dst) {
        return done(err::PathNotFound);
    }
    std::error_code ec;
    if (!fs::exists(*src, ec)) {
        return done(fs::exists(src->parent_path(), ec) ? err::FileNotFound : err::PathNotFound);
    }
    if (fs::is_directory(*src, ec)) {
        return done(err::AccessDenied);
    }
    if (!fs::is_directory(dst->parent_path(), ec)) {
        return done(err::PathNotFound);
    }
    if (fs::exists(*dst, ec)) {
        if (failIfExists) {
            return done(err::FileExists);
        }
        if (fs::is_directory(*dst, ec) || isReadOnly(*dst)) {
            return done(err::AccessDenied);
        }
    }
    fs::copy_file(*src, *dst, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        return done(err::AccessDenied);
    }
    // CopyFile carries the file attributes over, read-only among them.
    fs::permissions(*dst, fs::status(*src).permissions(), ec);
    return done(err::Success);
}

std::vector<SimSystem::Copy> SimSystem::copies() const {
    std::vector<Copy> out;
    for (const CallRecord& c : faults_.callsOf("CopyFile")) {
        out.push_back(Copy{c.args[0], c.args[1], c.result});
    }
    return out;
}

} // namespace vexo::sim

namespace vexo::sim {

namespace {

std::string lowerText(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

} // namespace

std::string SimSystem::windowsPathOf(const fs::path& host) const {
    std::error_code ec;
    for (const auto& [drive, root] : drives_) {
        const fs::path base = fs::weakly_canonical(root, ec);
        const fs::path relative = host.lexically_relative(base);
        if (ec || relative.empty() || *relative.begin() == "..") {
            continue;
        }
        std::string path = std::string(1, drive) + ":";
        for (const fs::path& part : relative) {
            if (part != ".") {
                path += "\\" + part.string();
            }
        }
        return path.size() == 2 ? path + "\\" : path;
    }
    return "";
}

WinError SimSystem::openFolder(const std::string& folder, OpenFolder& opened, std::string& asked,
                               std::string& reached) {
    auto host = hostPath(folder);
    std::error_code ec;
    if (!host || !fs::is_directory(*host, ec)) {
        return err::PathNotFound;
    }
    asked = absolutePath(folder);
    while (asked.size() > 3 && asked.back() == '\\') {
        asked.pop_back();
    }
    // A link among the folders on the way leads where the host's own links lead.
    const fs::path real = fs::canonical(*host, ec);
    reached = ec ? std::string() : windowsPathOf(real);
    const std::uintptr_t handle = nextHandle_++;
    folders_[handle] = {asked, ec ? *host : real};
    opened = OpenFolder(handle, {{this}});
    return err::Success;
}

WinError SimSystem::openFileIn(const OpenFolder& folder, const std::string& name, bool createNew,
                               LogFile& file, OpenedFileFacts& facts) {
    auto place = folders_.find(folder.get());
    if (place == folders_.end()) {
        return err::InvalidHandle;
    }
    const std::string path = inFolder(place->second.windowsPath, name);
    if (auto e = faults_.check("CreateFile", path, {createNew ? "CREATE_NEW" : "OPEN_ALWAYS"})) {
        return faults_.deliver(*e);
    }
    fs::path host = place->second.host / name;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(place->second.host, ec)) {
        if (equalsIgnoringCase(entry.path().filename().string(), name)) {
            host = entry.path();
        }
    }
    const fs::file_status status = fs::symlink_status(host, ec);
    if (createNew && fs::exists(status)) {
        faults_.record(err::FileExists);
        return err::FileExists; // whatever is there, a link included
    }
    if (fs::is_directory(status)) {
        facts.folder = true;
        faults_.record(err::AccessDenied);
        return err::AccessDenied;
    }
    facts.diskFile = true;
    facts.readable = true;
    facts.reparse = fs::is_symlink(status);
    facts.links = 1;
    if (!fs::exists(status)) {
        std::ofstream(host, std::ios::binary).flush();
    } else if (!facts.reparse) {
        facts.links = static_cast<std::uint32_t>(fs::hard_link_count(host, ec));
    }
    auto owner = owners_.find(lowerText(path));
    facts.owner = owner != owners_.end() ? owner->second : accountSid();
    faults_.record(err::Success);
    const std::uintptr_t handle = nextHandle_++;
    logs_[handle] = host;
    file = LogFile(handle, {{this}});
    return err::Success;
}

WinError SimSystem::appendLog(const LogFile& file, const std::string& bytes) {
    auto it = logs_.find(file.get());
    if (auto e =
            faults_.check("WriteFile", it == logs_.end() ? std::string() : it->second.string())) {
        return faults_.deliver(*e);
    }
    if (it == logs_.end()) {
        faults_.record(err::InvalidHandle);
        return err::InvalidHandle;
    }
    std::ofstream(it->second, std::ios::binary | std::ios::app) << bytes;
    return err::Success;
}

MutexFacts SimSystem::openInstallMutex(const std::string& name, bool administratorsOwn,
                                       InstallMutex& mutex) {
    MutexFacts facts;
    facts.name = privateNamespaces_ ? name + "\\" + name : "Global\\" + name;
    facts.privateNamespace = privateNamespaces_;
    if (auto e = faults_.check("CreateMutex", facts.name,
                               {administratorsOwn ? "O:BA" : "O:(this account)"})) {
        facts.error = faults_.deliver(*e);
        return facts;
    }
    const std::string key = lowerText(facts.name);
    auto found = objects_.find(key);
    if (found != objects_.end()) {
        const NamedObject& object = found->second;
        facts.existed = true;
        facts.owner = object.owner;
        if (!object.mutex || object.deniesAccess) {
            facts.opened =
                object.mutex ? MutexFacts::Opened::Denied : MutexFacts::Opened::OtherKind;
            faults_.record(object.mutex ? err::AccessDenied : err::InvalidHandle);
            return facts;
        }
    }
    facts.opened = MutexFacts::Opened::Mutex;
    faults_.record(err::Success);
    const std::uintptr_t handle = nextHandle_++;
    mutexes_[handle] = {key, false};
    mutex = InstallMutex(handle, {{this}});
    return facts;
}

MutexWait SimSystem::takeMutex(const InstallMutex& mutex, WinError& error) {
    auto it = mutexes_.find(mutex.get());
    if (it == mutexes_.end()) {
        error = err::InvalidHandle;
        return MutexWait::Failed;
    }
    auto object = objects_.find(it->second.name);
    bool held = object != objects_.end() && object->second.held;
    for (const auto& [handle, other] : mutexes_) {
        held = held || (other.held && other.name == it->second.name); // a second take in this
        // process would succeed on Windows; the program never does it
    }
    if (held) {
        faults_.record(err::WaitTimeout);
        return MutexWait::Busy;
    }
    it->second.held = true;
    if (object != objects_.end() && object->second.abandoned) {
        object->second.abandoned = false;
        return MutexWait::Abandoned;
    }
    return MutexWait::Taken;
}

void SimSystem::plantObject(const std::string& name, NamedObject object) {
    objects_[lowerText(name)] = std::move(object);
}

void SimSystem::setMutexHeldElsewhere(const std::string& name, bool held) {
    objects_[lowerText(name)].held = held;
}

void SimSystem::setOwner(const std::string& windowsPath, std::string ownerSid) {
    owners_[lowerText(absolutePath(windowsPath))] = std::move(ownerSid);
}

bool SimSystem::writeToParentConsole(const std::string& text) {
    if (!parentConsole_) {
        return false;
    }
    faults_.log("WriteConsole", text);
    return true;
}

WinError SimSystem::closeFile(std::uintptr_t handle) {
    return logs_.erase(handle) != 0 || folders_.erase(handle) != 0 ? err::Success
                                                                   : err::InvalidHandle;
}

WinError SimSystem::closeMutex(std::uintptr_t handle) {
    return mutexes_.erase(handle) != 0 ? err::Success : err::InvalidHandle;
}

ObjectSecurity SimSystem::defaultSecurity() {
    return ObjectSecurity{accountSid(),
                          true,
                          {{ace::Allowed, 0, rights::FileAllAccess, sids::LocalSystem},
                           {ace::Allowed, 0, rights::FileAllAccess, accountSid()},
                           {ace::Allowed, 0, rights::FileReadAndExecute, sids::Everyone}}};
}

void SimSystem::setSecurity(const std::string& path, ObjectSecurity security) {
    security_[lowerText(absolutePath(path))] = std::move(security);
}

WinError SimSystem::readSecurity(const std::string& path, ObjectSecurity& security) {
    if (auto e = faults_.check("GetNamedSecurityInfo", path)) {
        return faults_.deliver(*e);
    }
    auto host = hostPath(path);
    std::error_code ec;
    if (!host || !fs::exists(*host, ec)) {
        const bool folder = host && fs::is_directory(host->parent_path(), ec);
        faults_.record(folder ? err::FileNotFound : err::PathNotFound);
        return folder ? err::FileNotFound : err::PathNotFound;
    }
    auto it = security_.find(lowerText(absolutePath(path)));
    security = it != security_.end() ? it->second : defaultSecurity();
    return err::Success;
}

std::string SimSystem::accountNameOf(const std::string& sid) {
    static const std::map<std::string, std::string> names = {
        {sids::Everyone, "Everyone"},
        {sids::Users, "BUILTIN\\Users"},
        {sids::Administrators, "BUILTIN\\Administrators"},
        {sids::LocalSystem, "NT AUTHORITY\\SYSTEM"},
        {kOtherUserSid, "VEXO-PC\\mallory"}};
    if (auto named = accountNames_.find(sid); named != accountNames_.end()) {
        return named->second;
    }
    if (sid == kUserSid) {
        return account_;
    }
    auto it = names.find(sid);
    return it == names.end() ? std::string() : it->second;
}

} // namespace vexo::sim
