// The UI robot of the end-to-end tests: a console program that finds the windows of other
// processes by title and their controls by id, reads their state and drives them the way a
// user would. It never blocks on a modal loop that one of its actions starts: every action
// that may open a dialog is posted, and every query is sent with a timeout.
//
// Usage: robot.exe COMMAND ARGS...   runs one command
//        robot.exe [serve]           reads commands line by line from stdin
//
// A command line is words separated by blanks; a word may be quoted with "..." and uses the
// escapes \" \\ \n \r \t \xNN (UTF-8 bytes). Every answer is zero or more data lines that
// start with "- ", then one line "OK[ value]" or "ERR message". Texts in answers use the
// same escapes, so an answer never spans lines. All text is UTF-8.

#include "platform/TwoCallEnumeration.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <commctrl.h>
#include <sddl.h>
#include <tlhelp32.h>
#include <winspool.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------
// Text: UTF-8 inside, converted at the Windows calls as the program does.

using vexo::win32::narrow;
using vexo::win32::widen;

std::string escape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

std::string quote(const std::string& s) {
    return "\"" + escape(s) + "\"";
}

// A data line of an answer: its texts are quoted already; only line breaks are escaped.
std::string oneLine(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string hexHandle(const void* h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(h)));
    return buf;
}

// Splits a command line into words (see the comment at the top for the syntax).
std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    const size_t n = line.size();
    auto hexDigit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    while (true) {
        while (i < n && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i >= n)
            break;
        std::string word;
        bool quoted = false;
        while (i < n) {
            char c = line[i];
            if (!quoted && (c == ' ' || c == '\t' || c == '\r'))
                break;
            ++i;
            if (c == '"') {
                quoted = !quoted;
            } else if (c == '\\' && i < n) {
                char e = line[i++];
                switch (e) {
                case 'n':
                    word += '\n';
                    break;
                case 'r':
                    word += '\r';
                    break;
                case 't':
                    word += '\t';
                    break;
                case 'x':
                    if (i + 1 < n && hexDigit(line[i]) >= 0 && hexDigit(line[i + 1]) >= 0) {
                        word += static_cast<char>(hexDigit(line[i]) * 16 + hexDigit(line[i + 1]));
                        i += 2;
                    } else {
                        word += 'x';
                    }
                    break;
                default:
                    word += e;
                }
            } else {
                word += c;
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

// ---------------------------------------------------------------------------------------
// Answers

// A failed command: its message and the lines that show what the robot saw.
struct Failure : std::runtime_error {
    Failure(const std::string& message, std::vector<std::string> seen = {})
        : std::runtime_error(message), lines(std::move(seen)) {}
    std::vector<std::string> lines;
};

struct Reply {
    std::string value;
    std::vector<std::string> lines;
};

void writeOut(const std::string& s) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    size_t done = 0;
    while (done < s.size()) {
        DWORD wrote = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(s.size() - done, 1 << 16));
        if (!WriteFile(out, s.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            return;
        done += wrote;
    }
}

std::string winError(DWORD code) {
    return "error " + std::to_string(code);
}

int toInt(const std::string& s, const char* what) {
    try {
        size_t used = 0;
        long long v = std::stoll(s, &used, 0);
        if (used != s.size())
            throw std::invalid_argument(s);
        return static_cast<int>(v);
    } catch (const std::exception&) {
        throw Failure(std::string("bad ") + what + ": " + quote(s));
    }
}

// ---------------------------------------------------------------------------------------
// Windows

const DWORD kTimeoutMs = 20000;   // how long the waiting commands wait by default
const UINT kSendTimeoutMs = 5000; // how long a window may take to answer a query
DWORD gPollMs = 20;               // how often the waiting commands look (the poll command sets it)

struct TopWindow {
    HWND hwnd;
    DWORD pid;
    std::string title;
    std::string cls;
    bool visible;
    bool enabled;
};

std::string className(HWND h) {
    std::wstring buf(256, L'\0');
    int n = GetClassNameW(h, buf.data(), static_cast<int>(buf.size()));
    buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return narrow(buf);
}

// Whether a window is of the class `name`, which Windows compares without regard to case.
bool isClass(HWND h, const wchar_t* name) {
    return CompareStringOrdinal(widen(className(h)).c_str(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

// The caption of a top-level window; the system keeps it, so no message is sent.
std::string windowTitle(HWND h) {
    int len = GetWindowTextLengthW(h);
    if (len <= 0)
        return {};
    std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
    int n = GetWindowTextW(h, buf.data(), len + 1);
    buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return narrow(buf);
}

// The enumeration callback that collects every window into a vector of handles. A function
// of its own, not a lambda: a callback must have the WINAPI calling convention, which a
// lambda's function pointer lacks in a 32-bit program.
BOOL CALLBACK collectWindow(HWND h, LPARAM handles) {
    reinterpret_cast<std::vector<HWND>*>(handles)->push_back(h);
    return TRUE;
}

std::vector<TopWindow> topWindows() {
    std::vector<HWND> handles;
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&handles));
    std::vector<TopWindow> result;
    for (HWND h : handles) {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        result.push_back({h, pid, windowTitle(h), className(h), IsWindowVisible(h) != FALSE,
                          IsWindowEnabled(h) != FALSE});
    }
    return result;
}

std::string describe(const TopWindow& w) {
    return "hwnd=" + hexHandle(w.hwnd) + " pid=" + std::to_string(w.pid) +
           " visible=" + (w.visible ? "1" : "0") + " enabled=" + (w.enabled ? "1" : "0") +
           " class=" + quote(w.cls) + " title=" + quote(w.title);
}

// What a failure shows: the visible top-level windows, and how many hidden ones there are.
std::vector<std::string> seenWindows() {
    std::vector<std::string> lines;
    int hidden = 0;
    for (const auto& w : topWindows()) {
        if (w.visible)
            lines.push_back("window " + describe(w));
        else
            ++hidden;
    }
    if (lines.empty())
        lines.push_back("no visible top-level windows");
    lines.push_back(std::to_string(hidden) + " hidden top-level windows");
    return lines;
}

LRESULT sendQuery(HWND h, UINT msg, WPARAM w, LPARAM l) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(h, msg, w, l, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
        DWORD e = GetLastError();
        char buf[96];
        std::snprintf(buf, sizeof buf, "window %s did not answer message 0x%x (%s)",
                      hexHandle(h).c_str(), msg, winError(e).c_str());
        throw Failure(buf);
    }
    return static_cast<LRESULT>(result);
}

void post(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (!PostMessageW(h, msg, w, l))
        throw Failure("cannot post to window " + hexHandle(h) + " (" + winError(GetLastError()) +
                      ")");
}

// The text of a control, asked of the control itself (edit controls keep their own).
std::string controlText(HWND h) {
    LRESULT len = sendQuery(h, WM_GETTEXTLENGTH, 0, 0);
    if (len <= 0)
        return {};
    std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
    LRESULT got = sendQuery(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(got > 0 ? std::min(static_cast<size_t>(got), buf.size()) : 0);
    return narrow(buf);
}

// Asks `done` every poll interval until it answers true (then true) or `timeoutMs` have
// passed (then false). It is asked at least once.
template <class Done> bool waitFor(DWORD timeoutMs, Done done) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= end)
            return false;
        Sleep(gPollMs);
    }
    return true;
}

template <class Pred> HWND pollTop(Pred pred, DWORD timeoutMs) {
    HWND found = nullptr;
    waitFor(timeoutMs, [&] {
        HWND anyMatch = nullptr;
        for (const auto& w : topWindows()) {
            if (!w.visible || !pred(w))
                continue;
            // Of several matches the enabled one is the top of a modal stack.
            if (w.enabled) {
                found = w.hwnd;
                return true;
            }
            if (!anyMatch)
                anyMatch = w.hwnd;
        }
        found = anyMatch;
        return found != nullptr;
    });
    return found;
}

// A window named on a command line: "hwnd:0x..." or the exact title of a visible top-level
// window, which is waited for.
HWND needWindow(const std::string& target, DWORD timeoutMs) {
    if (target.rfind("hwnd:", 0) == 0) {
        auto h = reinterpret_cast<HWND>(
            static_cast<std::uintptr_t>(std::stoull(target.substr(5), nullptr, 0)));
        if (!IsWindow(h))
            throw Failure("no window " + target, seenWindows());
        return h;
    }
    HWND h = pollTop([&](const TopWindow& w) { return w.title == target; }, timeoutMs);
    if (!h)
        throw Failure("no visible window titled " + quote(target) + " after " +
                          std::to_string(timeoutMs) + " ms",
                      seenWindows());
    return h;
}

std::string describeControl(HWND c) {
    std::string text;
    try {
        text = controlText(c);
    } catch (const Failure&) {
        text = "?";
    }
    std::string checked;
    if (isClass(c, L"Button")) {
        DWORD_PTR state = 0;
        if (SendMessageTimeoutW(c, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state))
            checked = " checked=" + std::to_string(state);
    }
    return "id=" + std::to_string(GetDlgCtrlID(c)) + " class=" + quote(className(c)) +
           " visible=" + (IsWindowVisible(c) ? "1" : "0") +
           " enabled=" + (IsWindowEnabled(c) ? "1" : "0") + checked + " text=" + quote(text);
}

std::vector<HWND> childWindows(HWND top) {
    std::vector<HWND> handles;
    EnumChildWindows(top, collectWindow, reinterpret_cast<LPARAM>(&handles));
    return handles;
}

std::vector<std::string> seenControls(HWND top) {
    std::vector<std::string> lines;
    lines.push_back("in window " + hexHandle(top) + " " + quote(windowTitle(top)) + ":");
    for (HWND c : childWindows(top))
        if (GetParent(c) == top)
            lines.push_back("control " + describeControl(c));
    return lines;
}

HWND needControl(HWND top, const std::string& idText) {
    int id = toInt(idText, "control id");
    HWND c = GetDlgItem(top, id);
    if (!c)
        throw Failure("window " + quote(windowTitle(top)) + " has no control " + idText,
                      seenControls(top));
    return c;
}

DWORD timeoutArg(const std::vector<std::string>& a, size_t i) {
    return i < a.size() ? static_cast<DWORD>(toInt(a[i], "timeout")) : kTimeoutMs;
}

void needArgs(const std::vector<std::string>& a, size_t n, const char* usage) {
    if (a.size() < n)
        throw Failure(std::string("usage: ") + usage);
}

// ---------------------------------------------------------------------------------------
// Another process's memory, for the list-view messages that carry a structure

class RemoteBuffer {
  public:
    RemoteBuffer(HWND owner, size_t size) : size_(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(owner, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                   PROCESS_QUERY_INFORMATION,
                               FALSE, pid);
        if (!process_)
            throw Failure("cannot open process " + std::to_string(pid) + " (" +
                          winError(GetLastError()) + ")");
        address_ =
            VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!address_) {
            DWORD e = GetLastError();
            CloseHandle(process_);
            throw Failure("cannot allocate memory in process " + std::to_string(pid) + " (" +
                          winError(e) + ")");
        }
    }
    ~RemoteBuffer() {
        VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    char* address() const { return static_cast<char*>(address_); }
    void write(size_t offset, const void* data, size_t n) {
        SIZE_T done = 0;
        if (offset + n > size_ ||
            !WriteProcessMemory(process_, address() + offset, data, n, &done) || done != n)
            throw Failure("cannot write to the other process (" + winError(GetLastError()) + ")");
    }
    void read(size_t offset, void* data, size_t n) {
        SIZE_T done = 0;
        if (offset + n > size_ ||
            !ReadProcessMemory(process_, address() + offset, data, n, &done) || done != n)
            throw Failure("cannot read the other process (" + winError(GetLastError()) + ")");
    }

  private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    size_t size_;
};

std::string listViewText(HWND lv, int row, int column) {
    for (size_t capacity = 256; capacity <= (1u << 16); capacity *= 4) {
        RemoteBuffer remote(lv, sizeof(LVITEMW) + capacity * sizeof(wchar_t));
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = column;
        item.pszText = reinterpret_cast<LPWSTR>(remote.address() + sizeof(LVITEMW));
        item.cchTextMax = static_cast<int>(capacity);
        remote.write(0, &item, sizeof item);
        wchar_t nul = 0;
        remote.write(sizeof(LVITEMW), &nul, sizeof nul);
        LRESULT len = sendQuery(lv, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                reinterpret_cast<LPARAM>(remote.address()));
        if (len < 0)
            len = 0;
        if (static_cast<size_t>(len) + 1 < capacity) {
            std::wstring text(static_cast<size_t>(len), L'\0');
            if (len > 0)
                remote.read(sizeof(LVITEMW), text.data(), text.size() * sizeof(wchar_t));
            return narrow(text);
        }
    }
    throw Failure("list-view text too long");
}

void listViewSetState(HWND lv, int row, UINT state, UINT mask) {
    RemoteBuffer remote(lv, sizeof(LVITEMW));
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    remote.write(0, &item, sizeof item);
    if (!sendQuery(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(remote.address())))
        throw Failure("the list view refused the state of row " + std::to_string(row));
}

// "1" when the row is selected, else "0".
std::string selected(HWND lv, int row) {
    return sendQuery(lv, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED
               ? "1"
               : "0";
}

int listViewColumns(HWND lv) {
    auto header = reinterpret_cast<HWND>(sendQuery(lv, LVM_GETHEADER, 0, 0));
    if (!header)
        return 1;
    LRESULT n = sendQuery(header, HDM_GETITEMCOUNT, 0, 0);
    return n > 0 ? static_cast<int>(n) : 1;
}

// ---------------------------------------------------------------------------------------
// Properties that the waiting and reading commands share

std::string property(HWND c, const std::string& name) {
    if (name == "text")
        return controlText(c);
    if (name == "checked")
        return std::to_string(sendQuery(c, BM_GETCHECK, 0, 0));
    if (name == "visible")
        return IsWindowVisible(c) ? "1" : "0";
    if (name == "enabled")
        return IsWindowEnabled(c) ? "1" : "0";
    if (name == "class")
        return className(c);
    if (name == "cursel")
        return std::to_string(sendQuery(c, CB_GETCURSEL, 0, 0));
    if (name == "rows")
        return std::to_string(sendQuery(c, LVM_GETITEMCOUNT, 0, 0));
    if (name == "focused") {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        DWORD tid = GetWindowThreadProcessId(c, nullptr);
        return GetGUIThreadInfo(tid, &info) && info.hwndFocus == c ? "1" : "0";
    }
    throw Failure("unknown property " + quote(name) +
                  " (text, checked, visible, enabled, class, cursel, rows, focused)");
}

// ---------------------------------------------------------------------------------------
// Keys

UINT virtualKey(const std::string& name) {
    static const std::map<std::string, UINT> keys = {
        {"esc", VK_ESCAPE}, {"escape", VK_ESCAPE}, {"enter", VK_RETURN}, {"return", VK_RETURN},
        {"tab", VK_TAB},    {"space", VK_SPACE},   {"up", VK_UP},        {"down", VK_DOWN},
        {"left", VK_LEFT},  {"right", VK_RIGHT},   {"f1", VK_F1}};
    auto it = keys.find(name);
    if (it != keys.end())
        return it->second;
    return static_cast<UINT>(toInt(name, "key"));
}

// The control that has the keyboard focus in the window's thread, or the window itself.
HWND focusTarget(HWND top) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    DWORD tid = GetWindowThreadProcessId(top, nullptr);
    if (GetGUIThreadInfo(tid, &info) && info.hwndFocus &&
        (info.hwndFocus == top || IsChild(top, info.hwndFocus)))
        return info.hwndFocus;
    return top;
}

// Posts the key to the focused control, so that the window's own message loop (and the
// dialog manager in it) handles it as a key typed by the user.
void pressKey(HWND target, UINT vk) {
    UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
    post(target, WM_KEYDOWN, vk, down);
    post(target, WM_KEYUP, vk, up);
}

// ---------------------------------------------------------------------------------------
// Processes

std::vector<std::pair<DWORD, std::string>> processes() {
    std::vector<std::pair<DWORD, std::string>> list;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return list;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snap, &entry); ok; ok = Process32NextW(snap, &entry))
        list.emplace_back(entry.th32ProcessID, narrow(entry.szExeFile));
    CloseHandle(snap);
    return list;
}

// ---------------------------------------------------------------------------------------
// Registry

struct KeyPath {
    HKEY root;
    std::wstring subkey;
};

KeyPath parseKey(const std::string& path) {
    static const std::vector<std::pair<std::string, HKEY>> roots = {
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKCU", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKLM", HKEY_LOCAL_MACHINE},
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKCR", HKEY_CLASSES_ROOT},
        {"HKEY_USERS", HKEY_USERS},
        {"HKU", HKEY_USERS},
        {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
        {"HKCC", HKEY_CURRENT_CONFIG}};
    size_t slash = path.find('\\');
    std::string rootName = path.substr(0, slash);
    for (auto& c : rootName)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    for (const auto& [name, root] : roots)
        if (name == rootName)
            return {root, slash == std::string::npos ? L"" : widen(path.substr(slash + 1))};
    throw Failure("unknown registry root in " + quote(path));
}

class Key {
  public:
    Key(const std::string& path, REGSAM access, bool create) {
        KeyPath p = parseKey(path);
        LSTATUS s = create ? RegCreateKeyExW(p.root, p.subkey.c_str(), 0, nullptr, 0, access,
                                             nullptr, &key_, nullptr)
                           : RegOpenKeyExW(p.root, p.subkey.c_str(), 0, access, &key_);
        // Under a volatile key (HKLM\HARDWARE, for one) only volatile keys can be created.
        if (create && s == ERROR_CHILD_MUST_BE_VOLATILE)
            s = RegCreateKeyExW(p.root, p.subkey.c_str(), 0, nullptr, REG_OPTION_VOLATILE, access,
                                nullptr, &key_, nullptr);
        if (s != ERROR_SUCCESS) {
            key_ = nullptr;
            status_ = s;
        }
    }
    ~Key() {
        if (key_)
            RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }
    LSTATUS status() const { return status_; }

  private:
    HKEY key_ = nullptr;
    LSTATUS status_ = ERROR_SUCCESS;
};

std::string typeName(DWORD type) {
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_QWORD:
        return "REG_QWORD";
    default:
        return "type " + std::to_string(type);
    }
}

// ---------------------------------------------------------------------------------------
// Spooler

// A spooler enumeration through the program's two-call sizing: the records' buffer, and
// their number in `count`.
template <class Call> std::vector<std::byte> twoCalls(Call call, std::uint32_t& count) {
    std::vector<std::byte> buf;
    auto sized = [&](std::byte* data, std::uint32_t size, std::uint32_t* needed,
                     std::uint32_t* returned) {
        DWORD n = 0, c = 0;
        BOOL ok = call(reinterpret_cast<LPBYTE>(data), static_cast<DWORD>(size), &n, &c);
        *needed = n;
        *returned = c;
        return ok ? vexo::err::Success : static_cast<vexo::WinError>(GetLastError());
    };
    if (vexo::WinError e = vexo::enumerateTwoCalls(sized, buf, count); e != vexo::err::Success)
        throw Failure("spooler enumeration failed (" + winError(e) + ")");
    return buf;
}

// ---------------------------------------------------------------------------------------
// Commands

using Args = std::vector<std::string>;
using Command = std::function<Reply(const Args&)>;

// The control that a command's WINDOW and ID arguments name.
HWND needControlArg(const Args& a) {
    return needControl(needWindow(a[1], kTimeoutMs), a[2]);
}

Reply cmdWindows(const Args& a) {
    bool all = a.size() > 1 && a[1] == "all";
    Reply r;
    int n = 0;
    for (const auto& w : topWindows()) {
        if (!all && !w.visible)
            continue;
        r.lines.push_back(describe(w));
        ++n;
    }
    r.value = std::to_string(n);
    return r;
}

Reply cmdWaitResult(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    return {"hwnd=" + hexHandle(h) + " pid=" + std::to_string(pid), {}};
}

// Waits for a visible window with the title; given the pid of the program that should show
// it, stops waiting as soon as that program has ended.
Reply cmdWait(const Args& a) {
    needArgs(a, 2, "wait TITLE [MS] [PID]");
    DWORD timeout = timeoutArg(a, 2);
    if (a.size() < 4)
        return cmdWaitResult(needWindow(a[1], timeout));
    DWORD pid = static_cast<DWORD>(toInt(a[3], "pid"));
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    HWND found = nullptr;
    bool ended = false;
    waitFor(timeout, [&] {
        found = pollTop([&](const TopWindow& w) { return w.title == a[1]; }, 0);
        ended = !found && (!process || WaitForSingleObject(process, 0) != WAIT_TIMEOUT);
        return found || ended;
    });
    DWORD code = 0;
    std::string how = ended && process && GetExitCodeProcess(process, &code)
                          ? " (exit code " + std::to_string(code) + ")"
                          : "";
    if (process)
        CloseHandle(process);
    if (found)
        return cmdWaitResult(found);
    if (ended)
        throw Failure("process " + a[3] + " ended" + how + " before a window titled " +
                          quote(a[1]) + " appeared",
                      seenWindows());
    throw Failure("no visible window titled " + quote(a[1]) + " after " + std::to_string(timeout) +
                      " ms",
                  seenWindows());
}

Reply cmdWaitGone(const Args& a) {
    needArgs(a, 2, "waitgone TITLE [MS]");
    DWORD timeout = timeoutArg(a, 2);
    auto gone = [&] { return !pollTop([&](const TopWindow& w) { return w.title == a[1]; }, 0); };
    if (!waitFor(timeout, gone))
        throw Failure("window " + quote(a[1]) + " still there after " + std::to_string(timeout) +
                          " ms",
                      seenWindows());
    return {};
}

// Whether the window or one of its visible descendants still has a part to paint.
bool needsPaint(HWND top) {
    if (GetUpdateRect(top, nullptr, FALSE))
        return true;
    for (HWND child : childWindows(top))
        if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE))
            return true;
    return false;
}

// Waits until the window and its controls have painted completely: no part of any of them
// is left to paint, and the window's thread has answered twice, so it went idle in between
// (when Wine hands what it painted to the X server) and a picture shows the whole page.
Reply cmdPainted(const Args& a) {
    needArgs(a, 2, "painted TITLE [MS]");
    DWORD timeout = timeoutArg(a, 2);
    HWND top = needWindow(a[1], timeout);
    int quiet = 0;
    bool painted = waitFor(timeout, [&] {
        RedrawWindow(top, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        DWORD_PTR ignored = 0;
        bool answered =
            SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
        quiet = answered && !needsPaint(top) ? quiet + 1 : 0;
        return quiet == 2;
    });
    if (!painted)
        throw Failure("window " + quote(a[1]) + " still painting after " + std::to_string(timeout) +
                      " ms");
    return {};
}

// Handles to the processes that pidof found, kept open so that waitexit still gets the exit
// code of one that has ended meanwhile (a process's object lives while a handle is open).
std::map<DWORD, HANDLE>& watchedProcesses() {
    static std::map<DWORD, HANDLE> handles;
    return handles;
}

// Takes the handle that pidof kept for the process, or opens one; null when it has gone.
HANDLE takeProcessHandle(DWORD pid) {
    auto& kept = watchedProcesses();
    if (auto it = kept.find(pid); it != kept.end()) {
        HANDLE h = it->second;
        kept.erase(it);
        return h;
    }
    return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
}

Reply cmdPidOf(const Args& a) {
    needArgs(a, 2, "pidof EXENAME [MS]");
    std::wstring want = widen(a[1]);
    DWORD found = 0;
    auto running = [&] {
        for (const auto& [pid, name] : processes())
            if (CompareStringOrdinal(widen(name).c_str(), -1, want.c_str(), -1, TRUE) ==
                CSTR_EQUAL) {
                found = pid;
                return true;
            }
        return false;
    };
    if (waitFor(timeoutArg(a, 2), running)) {
        HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, found);
        auto& kept = watchedProcesses();
        if (auto it = kept.find(found); it != kept.end()) {
            CloseHandle(it->second);
            kept.erase(it);
        }
        if (h)
            kept[found] = h;
        return {std::to_string(found), {}};
    }
    std::vector<std::string> lines;
    for (const auto& [pid, name] : processes())
        lines.push_back("process " + std::to_string(pid) + " " + quote(name));
    throw Failure("no process " + quote(a[1]), lines);
}

// The visible top-level windows of the moment; those of a watch count from here on.
std::map<HWND, bool> windowsOfOthers(DWORD pid) {
    std::map<HWND, bool> known;
    for (const auto& w : topWindows())
        if (w.pid != pid && w.visible)
            known[w.hwnd] = true;
    return known;
}

// Watches a process until it ends or `timeoutMs` have passed, and reports every visible
// top-level window that it showed meanwhile ("seen") and every new one of another process
// ("other"), with "code=N" as the value. Closes `process`. On the time limit the process is
// ended when `endOnTimeout` (it is one that the robot started) and the watch fails.
Reply watchUntilExit(HANDLE process, DWORD pid, std::map<HWND, bool> known, DWORD timeoutMs,
                     bool endOnTimeout) {
    std::vector<std::string> order;
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    DWORD wait = WAIT_TIMEOUT;
    while (true) {
        for (const auto& w : topWindows()) {
            if (!w.visible || !known.emplace(w.hwnd, true).second)
                continue;
            if (w.pid == pid)
                order.push_back("seen hwnd=" + hexHandle(w.hwnd) + " class=" + quote(w.cls) +
                                " title=" + quote(w.title));
            else
                order.push_back("other hwnd=" + hexHandle(w.hwnd) +
                                " pid=" + std::to_string(w.pid) + " class=" + quote(w.cls) +
                                " title=" + quote(w.title));
        }
        wait = WaitForSingleObject(process, gPollMs);
        if (wait != WAIT_TIMEOUT || GetTickCount64() >= end)
            break;
    }
    if (wait == WAIT_TIMEOUT) {
        auto lines = order;
        for (auto& l : seenWindows())
            lines.push_back(l);
        if (endOnTimeout) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, kTimeoutMs);
            lines.push_back("the robot ended process " + std::to_string(pid));
        }
        CloseHandle(process);
        throw Failure("process " + std::to_string(pid) + " still running after " +
                          std::to_string(timeoutMs) + " ms",
                      lines);
    }
    DWORD code = 0;
    bool haveCode = GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return {"code=" + (haveCode ? std::to_string(code) : std::string("?")), order};
}

// Waits for a process to end and reports every visible top-level window that it showed
// meanwhile ("seen"), and every one that another process opened ("other").
Reply cmdWaitExit(const Args& a) {
    needArgs(a, 2, "waitexit PID [MS]");
    DWORD pid = static_cast<DWORD>(toInt(a[1], "pid"));
    HANDLE process = takeProcessHandle(pid);
    if (!process)
        return {"gone", {}};
    // Windows of other processes that were there before do not count; new ones do (a
    // program that the watched one started, for example).
    return watchUntilExit(process, pid, windowsOfOthers(pid), timeoutArg(a, 2), false);
}

// One argument quoted for a command line as CommandLineToArgvW reads it back: in quotes
// when it is empty or holds a blank or a quote, with the backslashes before a quote doubled.
std::wstring commandLineWord(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// Starts a program with arguments in a folder and watches it until it ends, as waitexit
// does. The program starts suspended and runs once the windows of the moment are known, so
// that even one that ends at once is watched from its first instruction; one still running
// after MS is ended.
Reply cmdRunWait(const Args& a) {
    needArgs(a, 4, "runwait FOLDER MS EXE [ARGS...]");
    DWORD timeout = static_cast<DWORD>(toInt(a[2], "timeout"));
    std::wstring exe = widen(a[3]);
    std::wstring line = commandLineWord(exe);
    for (size_t i = 4; i < a.size(); ++i)
        line += L" " + commandLineWord(widen(a[i]));
    std::wstring folder = widen(a[1]);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, folder.c_str(), &si, &pi))
        throw Failure("cannot start " + quote(a[3]) + " in " + quote(a[1]) + " (" +
                      winError(GetLastError()) + ")");
    std::map<HWND, bool> known = windowsOfOthers(pi.dwProcessId);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    Reply r = watchUntilExit(pi.hProcess, pi.dwProcessId, std::move(known), timeout, true);
    r.lines.insert(r.lines.begin(),
                   "pid=" + std::to_string(pi.dwProcessId) + " command=" + quote(narrow(line)));
    return r;
}

// Holds a named mutex, the way another run of a program would, until the file UNTILFILE
// exists (or MS have passed, which fails); made with the security descriptor SDDL when one
// is given, else with the default one. The line "- holding NAME" goes out as soon as the
// mutex is held, before the answer, so that a test can wait for it.
Reply cmdHoldMutex(const Args& a) {
    needArgs(a, 3, "holdmutex NAME UNTILFILE [MS] [SDDL]");
    DWORD timeout = timeoutArg(a, 3);
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
    if (a.size() > 4 &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(
            widen(a[4]).c_str(), SDDL_REVISION_1, &security.lpSecurityDescriptor, nullptr))
        throw Failure("not a security descriptor: " + quote(a[4]) + " (" +
                      winError(GetLastError()) + ")");
    HANDLE mutex = CreateMutexW(a.size() > 4 ? &security : nullptr, TRUE, widen(a[1]).c_str());
    LocalFree(security.lpSecurityDescriptor);
    if (!mutex)
        throw Failure("cannot create the mutex " + quote(a[1]) + " (" + winError(GetLastError()) +
                      ")");
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        throw Failure("the mutex " + quote(a[1]) + " exists already");
    }
    writeOut("- holding " + quote(a[1]) + "\n");
    std::wstring file = widen(a[2]);
    bool released = waitFor(
        timeout, [&] { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; });
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    if (!released)
        throw Failure("no file " + quote(a[2]) + " after " + std::to_string(timeout) +
                      " ms; the mutex was released");
    return {"released", {}};
}

// Waits until a control's property has the given value.
Reply cmdWaitProp(const Args& a) {
    needArgs(a, 5, "waitprop WINDOW ID PROPERTY VALUE [MS]");
    DWORD timeout = timeoutArg(a, 5);
    HWND top = needWindow(a[1], timeout);
    HWND c = needControl(top, a[2]);
    std::string now;
    if (waitFor(timeout, [&] { return (now = property(c, a[3])) == a[4]; }))
        return {now, {}};
    throw Failure("control " + a[2] + " " + a[3] + " is " + quote(now) + ", not " + quote(a[4]) +
                      " after " + std::to_string(timeout) + " ms",
                  seenControls(top));
}

// A user's click: only on a visible, enabled control; posted, so a modal loop that the
// click opens does not hold the robot.
Reply cmdClick(const Args& a) {
    needArgs(a, 3, "click WINDOW ID");
    HWND top = needWindow(a[1], kTimeoutMs);
    HWND c = needControl(top, a[2]);
    if (!IsWindowVisible(c) || !IsWindowEnabled(c))
        throw Failure("control " + a[2] + " cannot be clicked: " + describeControl(c),
                      seenControls(top));
    if (!IsWindowEnabled(top))
        throw Failure("window " + quote(windowTitle(top)) +
                          " is disabled (a modal window is "
                          "above it)",
                      seenWindows());
    post(c, BM_CLICK, 0, 0);
    return {};
}

// WM_COMMAND from a control, whatever its state (what a program could send itself).
Reply cmdCommand(const Args& a) {
    needArgs(a, 3, "command WINDOW ID [NOTIFICATION]");
    HWND top = needWindow(a[1], kTimeoutMs);
    int id = toInt(a[2], "command id");
    int code = a.size() > 3 ? toInt(a[3], "notification") : BN_CLICKED;
    HWND c = GetDlgItem(top, id);
    post(top, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(c));
    return {};
}

Reply cmdSetText(const Args& a) {
    needArgs(a, 4, "settext WINDOW ID TEXT");
    HWND c = needControlArg(a);
    std::wstring text = widen(a[3]);
    if (!sendQuery(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())))
        throw Failure("control " + a[2] + " refused the text");
    return {};
}

// Types text as characters into a control (after the text it already has).
Reply cmdType(const Args& a) {
    needArgs(a, 4, "type WINDOW ID TEXT");
    HWND c = needControlArg(a);
    LRESULT end = sendQuery(c, WM_GETTEXTLENGTH, 0, 0);
    post(c, EM_SETSEL, static_cast<WPARAM>(end), end);
    for (wchar_t ch : widen(a[3]))
        post(c, WM_CHAR, ch, 1);
    return {};
}

Reply cmdCombo(const Args& a) {
    needArgs(a, 3, "combo WINDOW ID");
    HWND c = needControlArg(a);
    Reply r;
    LRESULT count = sendQuery(c, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT len = sendQuery(c, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring buf(len > 0 ? static_cast<size_t>(len) + 1 : 1, L'\0');
        LRESULT got = sendQuery(c, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                reinterpret_cast<LPARAM>(buf.data()));
        buf.resize(got > 0 ? std::min(static_cast<size_t>(got), buf.size()) : 0);
        r.lines.push_back(quote(narrow(buf)));
    }
    r.value = "count=" + std::to_string(count) +
              " sel=" + std::to_string(sendQuery(c, CB_GETCURSEL, 0, 0));
    return r;
}

// Selects a combo item by index or, as "=TEXT", by its exact text, and tells the parent as
// the combo box would.
Reply cmdComboSelect(const Args& a) {
    needArgs(a, 4, "comboselect WINDOW ID INDEX|=TEXT");
    HWND c = needControlArg(a);
    if (!IsWindowVisible(c) || !IsWindowEnabled(c))
        throw Failure("combo box " + a[2] + " cannot be used: " + describeControl(c));
    LRESULT index;
    if (!a[3].empty() && a[3][0] == '=') {
        std::wstring text = widen(a[3].substr(1));
        index = sendQuery(c, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(text.c_str()));
        if (index == CB_ERR)
            throw Failure("combo box " + a[2] + " has no item " + quote(a[3].substr(1)));
    } else {
        index = toInt(a[3], "index");
    }
    if (sendQuery(c, CB_SETCURSEL, static_cast<WPARAM>(index), 0) != index)
        throw Failure("combo box " + a[2] + " has no item " + std::to_string(index));
    int id = GetDlgCtrlID(c);
    post(GetParent(c), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(c));
    return {std::to_string(index), {}};
}

Reply cmdLvRows(const Args& a) {
    needArgs(a, 3, "lvrows WINDOW ID");
    HWND lv = needControlArg(a);
    LRESULT rows = sendQuery(lv, LVM_GETITEMCOUNT, 0, 0);
    int columns = listViewColumns(lv);
    Reply r;
    for (int row = 0; row < rows; ++row) {
        std::string line = "row=" + std::to_string(row) + " selected=" + selected(lv, row);
        for (int col = 0; col < columns; ++col)
            line += " " + quote(listViewText(lv, row, col));
        r.lines.push_back(line);
    }
    r.value = std::to_string(rows);
    return r;
}

Reply cmdLvText(const Args& a) {
    needArgs(a, 5, "lvtext WINDOW ID ROW COLUMN");
    HWND lv = needControlArg(a);
    int row = toInt(a[3], "row");
    LRESULT rows = sendQuery(lv, LVM_GETITEMCOUNT, 0, 0);
    if (row < 0 || row >= rows)
        throw Failure("list view " + a[2] + " has " + std::to_string(rows) + " rows, no row " +
                      a[3]);
    return {listViewText(lv, row, toInt(a[4], "column")), {}};
}

Reply cmdLvSelected(const Args& a) {
    needArgs(a, 4, "lvselected WINDOW ID ROW");
    HWND lv = needControlArg(a);
    return {selected(lv, toInt(a[3], "row")), {}};
}

// Selects one row as a click would: the others lose the selection, the row gets selection
// and focus.
Reply cmdLvSelect(const Args& a) {
    needArgs(a, 4, "lvselect WINDOW ID ROW");
    HWND lv = needControlArg(a);
    int row = toInt(a[3], "row");
    LRESULT rows = sendQuery(lv, LVM_GETITEMCOUNT, 0, 0);
    if (row < 0 || row >= rows)
        throw Failure("list view " + a[2] + " has " + std::to_string(rows) + " rows, no row " +
                      a[3]);
    for (int other = 0; other < rows; ++other)
        if (other != row && selected(lv, other) == "1")
            listViewSetState(lv, other, 0, LVIS_SELECTED);
    listViewSetState(lv, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    return {};
}

Reply cmdKey(const Args& a) {
    needArgs(a, 3, "key WINDOW esc|enter|tab|space|VK");
    const UINT vk = virtualKey(a[2]);
    const DWORD start = GetTickCount();
    for (;;) {
        HWND top = needWindow(a[1], kTimeoutMs);
        HWND target = focusTarget(top);
        std::string to = target == top ? std::string("window") : describeControl(target);
        try {
            pressKey(target, vk);
            return {"to " + to, {}};
        } catch (const Failure&) {
            // The focused window went away while a page was still settling (its focus moves
            // as it opens, under load slowly): ask again for the one that has it now.
            if (IsWindow(target) || GetTickCount() - start > kTimeoutMs)
                throw;
            Sleep(50);
        }
    }
}

Reply cmdClose(const Args& a) {
    needArgs(a, 2, "close WINDOW");
    post(needWindow(a[1], kTimeoutMs), WM_SYSCOMMAND, SC_CLOSE, 0);
    return {};
}

// A message box: a dialog of class "#32770" with the caption and, when given, the text.
struct MessageBoxSeen {
    HWND hwnd = nullptr;
    std::string text;
    std::vector<std::string> buttons;
};

MessageBoxSeen readMessageBox(HWND box) {
    MessageBoxSeen seen;
    seen.hwnd = box;
    for (HWND c : childWindows(box)) {
        std::string text = controlText(c);
        if (isClass(c, L"Static")) {
            if (!text.empty())
                seen.text += (seen.text.empty() ? "" : "\n") + text;
        } else if (isClass(c, L"Button") && IsWindowVisible(c)) {
            seen.buttons.push_back("button id=" + std::to_string(GetDlgCtrlID(c)) +
                                   " text=" + quote(text));
        }
    }
    return seen;
}

MessageBoxSeen needMessageBox(const std::string& caption, const std::string& text,
                              DWORD timeoutMs) {
    MessageBoxSeen seen;
    std::vector<std::string> others;
    auto shown = [&] {
        others.clear();
        for (const auto& w : topWindows()) {
            if (!w.visible || w.cls != "#32770" || w.title != caption)
                continue;
            seen = readMessageBox(w.hwnd);
            if (text.empty() || seen.text == text)
                return true;
            others.push_back("box " + hexHandle(w.hwnd) + " says " + quote(seen.text));
        }
        return false;
    };
    if (waitFor(timeoutMs, shown))
        return seen;
    for (auto& l : seenWindows())
        others.push_back(l);
    throw Failure("no message box " + quote(caption) +
                      (text.empty() ? std::string() : " saying " + quote(text)) + " after " +
                      std::to_string(timeoutMs) + " ms",
                  others);
}

Reply cmdMsgBox(const Args& a) {
    needArgs(a, 2, "msgbox CAPTION [TEXT] [MS]");
    MessageBoxSeen seen =
        needMessageBox(a[1], a.size() > 2 ? a[2] : std::string(), timeoutArg(a, 3));
    Reply r{seen.text, seen.buttons};
    r.lines.insert(r.lines.begin(), "hwnd=" + hexHandle(seen.hwnd));
    return r;
}

// Answers a message box with one of its buttons and waits until the box has gone.
Reply cmdAnswer(const Args& a) {
    needArgs(a, 3, "answer CAPTION BUTTONID [TEXT] [MS]");
    DWORD timeout = timeoutArg(a, 4);
    MessageBoxSeen seen = needMessageBox(a[1], a.size() > 3 ? a[3] : std::string(), timeout);
    HWND button = needControl(seen.hwnd, a[2]);
    post(button, BM_CLICK, 0, 0);
    if (!waitFor(timeout, [&] { return !IsWindow(seen.hwnd) || !IsWindowVisible(seen.hwnd); }))
        throw Failure("message box " + quote(a[1]) + " stayed after button " + a[2], seenWindows());
    return {seen.text, {}};
}

Reply cmdRegGet(const Args& a) {
    needArgs(a, 3, "regget KEY VALUE");
    Key key(a[1], KEY_QUERY_VALUE, false);
    if (!key.get())
        throw Failure("cannot open " + quote(a[1]) + " (" + winError(key.status()) + ")");
    std::wstring name = widen(a[2]);
    DWORD type = 0, size = 0;
    LSTATUS s = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> data(size + 4, 0);
    if (s == ERROR_SUCCESS)
        s = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, data.data(), &size);
    if (s != ERROR_SUCCESS)
        throw Failure("no value " + quote(a[2]) + " in " + quote(a[1]) + " (" + winError(s) + ")");
    data.resize(size);
    Reply r;
    r.lines.push_back("type=" + typeName(type) + " bytes=" + std::to_string(size));
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        std::wstring w(data.size() / sizeof(wchar_t), L'\0');
        std::copy(data.begin(), data.begin() + static_cast<long>(w.size() * sizeof(wchar_t)),
                  reinterpret_cast<BYTE*>(w.data()));
        if (type != REG_MULTI_SZ)
            while (!w.empty() && w.back() == L'\0')
                w.pop_back();
        r.value = narrow(w);
    } else if (type == REG_DWORD && size == 4) {
        DWORD v;
        std::copy(data.begin(), data.end(), reinterpret_cast<BYTE*>(&v));
        r.value = std::to_string(v);
    } else {
        for (BYTE b : data) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02x", b);
            r.value += hex;
        }
    }
    return r;
}

Reply cmdRegSet(const Args& a) {
    needArgs(a, 5, "regset KEY VALUE sz|expand_sz|multi_sz|dword DATA...");
    Key key(a[1], KEY_SET_VALUE, true);
    if (!key.get())
        throw Failure("cannot create " + quote(a[1]) + " (" + winError(key.status()) + ")");
    std::wstring name = widen(a[2]);
    const std::string& type = a[3];
    LSTATUS s;
    if (type == "dword") {
        DWORD v = static_cast<DWORD>(std::stoul(a[4], nullptr, 0));
        s = RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                           sizeof v);
    } else if (type == "sz" || type == "expand_sz" || type == "multi_sz") {
        std::wstring data;
        if (type == "multi_sz") {
            for (size_t i = 4; i < a.size(); ++i)
                data += widen(a[i]) + L'\0';
            data += L'\0';
        } else {
            data = widen(a[4]) + L'\0';
        }
        DWORD kind = type == "sz" ? REG_SZ : type == "expand_sz" ? REG_EXPAND_SZ : REG_MULTI_SZ;
        s = RegSetValueExW(key.get(), name.c_str(), 0, kind,
                           reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    } else {
        throw Failure("unknown value type " + quote(type));
    }
    if (s != ERROR_SUCCESS)
        throw Failure("cannot set " + quote(a[2]) + " (" + winError(s) + ")");
    return {};
}

// Deletes a value, or with no value name the key and everything under it. Deleting what is
// not there succeeds.
Reply cmdRegDel(const Args& a) {
    needArgs(a, 2, "regdel KEY [VALUE]");
    LSTATUS s;
    if (a.size() > 2) {
        Key key(a[1], KEY_SET_VALUE, false);
        if (!key.get())
            return {"absent", {}};
        s = RegDeleteValueW(key.get(), widen(a[2]).c_str());
    } else {
        KeyPath p = parseKey(a[1]);
        if (p.subkey.empty())
            throw Failure("will not delete a registry root");
        s = RegDeleteTreeW(p.root, p.subkey.c_str());
    }
    if (s == ERROR_FILE_NOT_FOUND)
        return {"absent", {}};
    if (s != ERROR_SUCCESS)
        throw Failure("cannot delete (" + winError(s) + ")");
    return {"deleted", {}};
}

// Creates a key (and the keys above it) without setting a value.
Reply cmdRegKey(const Args& a) {
    needArgs(a, 2, "regkey KEY");
    Key key(a[1], KEY_QUERY_VALUE, true);
    if (!key.get())
        throw Failure("cannot create " + quote(a[1]) + " (" + winError(key.status()) + ")");
    return {};
}

Reply cmdRegList(const Args& a) {
    needArgs(a, 2, "regls KEY");
    Key key(a[1], KEY_READ, false);
    if (!key.get())
        throw Failure("cannot open " + quote(a[1]) + " (" + winError(key.status()) + ")");
    Reply r;
    for (DWORD i = 0;; ++i) {
        std::wstring name(256, L'\0');
        DWORD len = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key.get(), i, name.data(), &len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        name.resize(len);
        r.lines.push_back("key " + quote(narrow(name)));
    }
    for (DWORD i = 0;; ++i) {
        std::wstring name(16384, L'\0');
        DWORD len = static_cast<DWORD>(name.size());
        DWORD type = 0;
        if (RegEnumValueW(key.get(), i, name.data(), &len, nullptr, &type, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        name.resize(len);
        r.lines.push_back("value " + quote(narrow(name)) + " " + typeName(type));
    }
    r.value = std::to_string(r.lines.size());
    return r;
}

Reply cmdPrinters(const Args&) {
    std::uint32_t count = 0;
    auto buf = twoCalls(
        [](LPBYTE b, DWORD size, DWORD* needed, DWORD* n) {
            return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, b, size, needed, n);
        },
        count);
    Reply r;
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buf.data());
    for (std::uint32_t i = 0; i < count; ++i) {
        // The location and comment only when the printer has them.
        std::string place;
        if (info[i].pLocation != nullptr && *info[i].pLocation != L'\0')
            place += " location=" + quote(narrow(info[i].pLocation));
        if (info[i].pComment != nullptr && *info[i].pComment != L'\0')
            place += " comment=" + quote(narrow(info[i].pComment));
        r.lines.push_back("name=" + quote(narrow(info[i].pPrinterName)) +
                          " port=" + quote(narrow(info[i].pPortName)) +
                          " driver=" + quote(narrow(info[i].pDriverName)) +
                          " processor=" + quote(narrow(info[i].pPrintProcessor)) +
                          " datatype=" + quote(narrow(info[i].pDatatype)) + place);
    }
    r.value = std::to_string(count);
    return r;
}

Reply cmdDrivers(const Args& a) {
    std::wstring env = a.size() > 1 ? widen(a[1]) : L"";
    std::uint32_t count = 0;
    auto buf = twoCalls(
        [&](LPBYTE b, DWORD size, DWORD* needed, DWORD* n) {
            return EnumPrinterDriversW(nullptr, env.empty() ? nullptr : env.data(), 3, b, size,
                                       needed, n);
        },
        count);
    Reply r;
    auto* info = reinterpret_cast<DRIVER_INFO_3W*>(buf.data());
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string deps;
        for (const wchar_t* d = info[i].pDependentFiles; d && *d; d += wcslen(d) + 1)
            deps += (deps.empty() ? "" : "|") + narrow(d);
        r.lines.push_back("name=" + quote(narrow(info[i].pName)) +
                          " version=" + std::to_string(info[i].cVersion) +
                          " env=" + quote(narrow(info[i].pEnvironment)) +
                          " driver=" + quote(narrow(info[i].pDriverPath)) +
                          " data=" + quote(narrow(info[i].pDataFile)) +
                          " config=" + quote(narrow(info[i].pConfigFile)) +
                          " help=" + quote(narrow(info[i].pHelpFile)) + " depends=" + quote(deps));
    }
    r.value = std::to_string(count);
    return r;
}

// The printer's device mode for every user (GetPrinter level 8): its fields, and the text at
// the start of its driver's private part.
Reply cmdDevMode(const Args& a) {
    needArgs(a, 2, "devmode PRINTER");
    std::wstring name = widen(a[1]);
    std::vector<std::uint64_t> buf(0x8000); // 256 KB, more than any device mode
    HANDLE printer = nullptr;
    DWORD needed = 0;
    const BOOL ok = OpenPrinterW(name.data(), &printer, nullptr) &&
                    GetPrinterW(printer, 8, reinterpret_cast<LPBYTE>(buf.data()),
                                static_cast<DWORD>(buf.size() * 8), &needed);
    const DWORD e = GetLastError();
    if (printer != nullptr)
        ClosePrinter(printer);
    if (!ok)
        throw Failure("cannot read the device mode of " + quote(a[1]) + " (" + winError(e) + ")");
    const DEVMODEW* d = reinterpret_cast<const PRINTER_INFO_8W*>(buf.data())->pDevMode;
    if (d == nullptr)
        return {"none", {}};
    auto text = [](const WCHAR* f) { return quote(narrow(std::wstring(f, wcsnlen(f, 32)))); };
    const char* own = reinterpret_cast<const char*>(d) + d->dmSize;
    char fields[128];
    std::snprintf(fields, sizeof fields, " fields=0x%lX paper=%d orientation=%d duplex=%d color=%d",
                  static_cast<unsigned long>(d->dmFields), d->dmPaperSize, d->dmOrientation,
                  d->dmDuplex, d->dmColor);
    return {"device=" + text(d->dmDeviceName) + " form=" + text(d->dmFormName) + fields +
                " size=" + std::to_string(d->dmSize) +
                " private=" + quote(std::string(own, strnlen(own, d->dmDriverExtra))),
            {}};
}

// Deletes a printer of the local spooler; deleting one that is not there succeeds.
Reply cmdDelPrinter(const Args& a) {
    needArgs(a, 2, "delprinter NAME");
    std::wstring name = widen(a[1]);
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name.data(), &printer, &defaults)) {
        DWORD e = GetLastError();
        if (e == ERROR_INVALID_PRINTER_NAME)
            return {"absent", {}};
        throw Failure("cannot open the printer " + quote(a[1]) + " (" + winError(e) + ")");
    }
    BOOL deleted = DeletePrinter(printer);
    DWORD e = GetLastError();
    ClosePrinter(printer);
    if (!deleted)
        throw Failure("cannot delete the printer " + quote(a[1]) + " (" + winError(e) + ")");
    return {"deleted", {}};
}

// Deletes a printer driver of an environment; deleting one that is not there succeeds.
Reply cmdDelDriver(const Args& a) {
    needArgs(a, 3, "deldriver NAME ENVIRONMENT");
    std::wstring name = widen(a[1]);
    std::wstring env = widen(a[2]);
    if (!DeletePrinterDriverW(nullptr, env.data(), name.data())) {
        DWORD e = GetLastError();
        // Wine answers an unknown driver with ERROR_INVALID_PRINTER_NAME.
        if (e == ERROR_UNKNOWN_PRINTER_DRIVER || e == ERROR_INVALID_PRINTER_NAME)
            return {"absent", {}};
        throw Failure("cannot delete the driver " + quote(a[1]) + " (" + winError(e) + ")");
    }
    return {"deleted", {}};
}

Reply cmdPorts(const Args&) {
    std::uint32_t count = 0;
    auto buf = twoCalls([](LPBYTE b, DWORD size, DWORD* needed,
                           DWORD* n) { return EnumPortsW(nullptr, 2, b, size, needed, n); },
                        count);
    Reply r;
    auto* info = reinterpret_cast<PORT_INFO_2W*>(buf.data());
    for (std::uint32_t i = 0; i < count; ++i)
        r.lines.push_back("name=" + quote(narrow(info[i].pPortName)) +
                          " monitor=" + quote(narrow(info[i].pMonitorName)) +
                          " description=" + quote(narrow(info[i].pDescription)));
    r.value = std::to_string(count);
    return r;
}

Reply cmdDriverDir(const Args& a) {
    needArgs(a, 2, "driverdir ENVIRONMENT");
    std::wstring env = widen(a[1]);
    DWORD needed = 0;
    GetPrinterDriverDirectoryW(nullptr, env.data(), 1, nullptr, 0, &needed);
    std::vector<BYTE> buf(needed + sizeof(wchar_t), 0);
    if (!GetPrinterDriverDirectoryW(nullptr, env.data(), 1, buf.data(),
                                    static_cast<DWORD>(buf.size()), &needed))
        throw Failure("no driver directory for " + quote(a[1]) + " (" + winError(GetLastError()) +
                      ")");
    return {narrow(reinterpret_cast<const wchar_t*>(buf.data())), {}};
}

// How often the waiting commands look, in milliseconds (1 to 1000; 20 at the start). The
// benchmark polls more often, so that what it times is the program and not the robot.
Reply cmdPoll(const Args& a) {
    needArgs(a, 2, "poll MS");
    int ms = toInt(a[1], "poll interval");
    if (ms < 1 || ms > 1000)
        throw Failure("poll interval out of range (1 to 1000 ms): " + a[1]);
    gPollMs = static_cast<DWORD>(ms);
    return {};
}

const std::map<std::string, Command>& commands() {
    static const std::map<std::string, Command> table = {
        {"ping",
         [](const Args&) {
             return Reply{"robot", {}};
         }},
        {"poll", cmdPoll},
        {"windows", cmdWindows},
        {"wait", cmdWait},
        {"waitgone", cmdWaitGone},
        {"painted", cmdPainted},
        {"pidof", cmdPidOf},
        {"waitexit", cmdWaitExit},
        {"runwait", cmdRunWait},
        {"holdmutex", cmdHoldMutex},
        {"waitprop", cmdWaitProp},
        {"click", cmdClick},
        {"command", cmdCommand},
        {"settext", cmdSetText},
        {"type", cmdType},
        {"combo", cmdCombo},
        {"comboselect", cmdComboSelect},
        {"lvcount",
         [](const Args& a) {
             needArgs(a, 3, "lvcount WINDOW ID");
             return Reply{property(needControlArg(a), "rows"), {}};
         }},
        {"lvrows", cmdLvRows},
        {"lvtext", cmdLvText},
        {"lvselect", cmdLvSelect},
        {"lvselected", cmdLvSelected},
        {"key", cmdKey},
        {"close", cmdClose},
        {"msgbox", cmdMsgBox},
        {"answer", cmdAnswer},
        {"regget", cmdRegGet},
        {"regset", cmdRegSet},
        {"regdel", cmdRegDel},
        {"regls", cmdRegList},
        {"regkey", cmdRegKey},
        {"printers", cmdPrinters},
        {"devmode", cmdDevMode},
        {"drivers", cmdDrivers},
        {"ports", cmdPorts},
        {"delprinter", cmdDelPrinter},
        {"deldriver", cmdDelDriver},
        {"driverdir", cmdDriverDir},
    };
    return table;
}

// Runs one command and writes its answer; false when it failed.
bool run(const Args& args) {
    std::string out;
    bool ok = false;
    try {
        auto it = commands().find(args[0]);
        if (it == commands().end()) {
            std::string names;
            for (const auto& [name, cmd] : commands())
                names += " " + name;
            throw Failure("unknown command " + quote(args[0]) + "; commands:" + names);
        }
        Reply r = it->second(args);
        for (const auto& l : r.lines)
            out += "- " + oneLine(l) + "\n";
        out += r.value.empty() ? "OK\n" : "OK " + escape(r.value) + "\n";
        ok = true;
    } catch (const Failure& f) {
        for (const auto& l : f.lines)
            out += "- " + oneLine(l) + "\n";
        out += "ERR " + escape(f.what()) + "\n";
    } catch (const std::exception& e) {
        out += "ERR " + escape(e.what()) + "\n";
    }
    writeOut(out);
    return ok;
}

// Reads commands from stdin, one a line, until "quit" or the end of the input.
int serve() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buf[4096];
    while (true) {
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            Args args = splitWords(line);
            if (args.empty())
                continue;
            if (args[0] == "quit") {
                writeOut("OK bye\n");
                return 0;
            }
            run(args);
        }
        DWORD got = 0;
        if (!ReadFile(in, buf, sizeof buf, &got, nullptr) || got == 0)
            return 0;
        pending.append(buf, got);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2 || std::wstring(argv[1]) == L"serve")
        return serve();
    Args args;
    for (int i = 1; i < argc; ++i)
        args.push_back(narrow(argv[i]));
    return run(args) ? 0 : 1;
}
