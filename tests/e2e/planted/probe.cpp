// The counter-check of the planted-DLL test: a program that imports winspool.drv the
// ordinary way, through its import table, as most programs do. Started from a folder that
// holds a planted winspool.drv, with the system letting a DLL beside the program win, it
// loads the planted one. Prints the default printer's name, or the error.
#include <windows.h>

#include <winspool.h>

#include <cstdio>
#include <string>

int main() {
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    std::wstring name(size + 1, L'\0');
    if (size > 0 && GetDefaultPrinterW(name.data(), &size)) {
        std::printf("default printer: %ls\n", name.c_str());
        return 0;
    }
    std::printf("no default printer (error %lu)\n", GetLastError());
    return 0;
}
