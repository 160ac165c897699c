// Windows numbers that the core needs, without <windows.h>: error codes, dialog result
// identifiers, message-box styles and the few control constants the pages name.
#pragma once

#include <cstdint>

namespace vexo {

// A Windows error code (what GetLastError or a registry function returns); 0 is success.
using WinError = std::uint32_t;

namespace err {
inline constexpr WinError Success = 0;
inline constexpr WinError FileNotFound = 2;
inline constexpr WinError PathNotFound = 3;
inline constexpr WinError AccessDenied = 5;
inline constexpr WinError InvalidHandle = 6;
inline constexpr WinError NotEnoughMemory = 8;
inline constexpr WinError InvalidData = 13;
inline constexpr WinError WriteProtect = 19;
inline constexpr WinError SharingViolation = 32;
inline constexpr WinError FileExists = 80;
inline constexpr WinError FileTooLarge = 223;
inline constexpr WinError InvalidParameter = 87;
inline constexpr WinError CallNotImplemented = 120;
inline constexpr WinError InsufficientBuffer = 122;
inline constexpr WinError InvalidName = 123;
inline constexpr WinError ProcNotFound = 127;
inline constexpr WinError AlreadyExists = 183;
inline constexpr WinError FilenameExcedRange = 206;
inline constexpr WinError MoreData = 234;
inline constexpr WinError NoMoreItems = 259;
inline constexpr WinError BadPathname = 161;
inline constexpr WinError CantOpenAnonymous = 1347;
inline constexpr WinError ResourceNameNotFound = 1814;
inline constexpr WinError InvalidPrinterName = 1801;
inline constexpr WinError PrinterAlreadyExists = 1802;
inline constexpr WinError UnknownPrinterDriver = 1797;
inline constexpr WinError InvalidEnvironment = 1805;
inline constexpr WinError UnknownPort = 1796;
inline constexpr WinError UnknownPrintMonitor = 3000;
inline constexpr WinError ChildMustBeVolatile = 1021;
inline constexpr WinError KeyDeleted = 1018;
inline constexpr WinError BadKey = 1010;
inline constexpr WinError RegistryIoFailed = 1016;
inline constexpr WinError Cancelled = 1223;
inline constexpr WinError ServiceNotActive = 1062;
inline constexpr WinError RpcServerUnavailable = 1722;
inline constexpr WinError PrinterDriverInUse = 3001;
inline constexpr WinError WaitTimeout = 258; // a wait that ended without the object
} // namespace err

// Dialog and message-box results.
inline constexpr std::intptr_t IdOk = 1;
inline constexpr std::intptr_t IdCancel = 2;
inline constexpr std::intptr_t IdAbort = 3;
inline constexpr std::intptr_t IdRetry = 4;
inline constexpr std::intptr_t IdIgnore = 5;
inline constexpr std::intptr_t IdYes = 6;
inline constexpr std::intptr_t IdNo = 7;

// Message-box styles.
namespace mb {
inline constexpr std::uint32_t Ok = 0x0;
inline constexpr std::uint32_t OkCancel = 0x1;
inline constexpr std::uint32_t YesNo = 0x4;
inline constexpr std::uint32_t RetryCancel = 0x5;
inline constexpr std::uint32_t TypeMask = 0xF;
inline constexpr std::uint32_t IconError = 0x10;
inline constexpr std::uint32_t IconQuestion = 0x20;
inline constexpr std::uint32_t IconExclamation = 0x30;
inline constexpr std::uint32_t IconInformation = 0x40;
inline constexpr std::uint32_t IconMask = 0xF0;
} // namespace mb

// Button check states.
inline constexpr int CheckUnchecked = 0;
inline constexpr int CheckChecked = 1;

// Notification codes the pages bind.
namespace notify {
inline constexpr int ButtonClicked = 0;      // BN_CLICKED
inline constexpr int ComboSelChange = 1;     // CBN_SELCHANGE
inline constexpr int ListClick = -2;         // NM_CLICK
inline constexpr int ListItemChanged = -101; // LVN_ITEMCHANGED
} // namespace notify

// List-view item states and extended styles.
namespace lv {
inline constexpr std::uint32_t StateFocused = 0x1;
inline constexpr std::uint32_t StateSelected = 0x2;
inline constexpr std::uint32_t ExGridLines = 0x01;
inline constexpr std::uint32_t ExTrackSelect = 0x08;
inline constexpr std::uint32_t ExFullRowSelect = 0x20;
inline constexpr int FormatLeft = 0;
} // namespace lv

// Registry: roots, access rights, value types, options.
enum class RegRoot { LocalMachine, CurrentUser, CurrentConfig, ClassesRoot, Users };

namespace reg {
inline constexpr std::uint32_t QueryValue = 0x0001;
inline constexpr std::uint32_t SetValue = 0x0002;
inline constexpr std::uint32_t CreateSubKey = 0x0004;
inline constexpr std::uint32_t EnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t Read = 0x20019;
inline constexpr std::uint32_t AllAccess = 0xF003F;
inline constexpr std::uint32_t OptionNonVolatile = 0x0;
inline constexpr std::uint32_t OptionVolatile = 0x1;
inline constexpr std::uint32_t TypeNone = 0;
inline constexpr std::uint32_t TypeSz = 1;
inline constexpr std::uint32_t TypeExpandSz = 2;
inline constexpr std::uint32_t TypeBinary = 3;
inline constexpr std::uint32_t TypeDword = 4;
inline constexpr std::uint32_t TypeMultiSz = 7;
inline constexpr std::uint32_t CreatedNewKey = 1;
inline constexpr std::uint32_t OpenedExistingKey = 2;
} // namespace reg

// Version query results.
inline constexpr std::uint32_t PlatformWin32s = 0;
inline constexpr std::uint32_t PlatformWindows = 1; // the 9x platform
inline constexpr std::uint32_t PlatformNt = 2;

// Spooler enumeration flags.
inline constexpr std::uint32_t PrinterEnumLocal = 0x2;
inline constexpr std::uint32_t PrinterEnumConnections = 0x4;

// A printer's access right for everything, changing its settings for every user included
// (PRINTER_ALL_ACCESS).
inline constexpr std::uint32_t PrinterAllAccess = 0xF000C;

// Device modes (DEVMODEW): the printer levels that hold one, the dmFields bits and values of
// the fields the installer sets, and the DeviceCapabilities questions about them.
namespace dm {
inline constexpr std::uint32_t EveryUserLevel = 8; // PRINTER_INFO_8: the global default
inline constexpr std::uint32_t ThisUserLevel = 9;  // PRINTER_INFO_9: the account's own
inline constexpr std::uint32_t Orientation = 0x1;
inline constexpr std::uint32_t PaperSize = 0x2;
inline constexpr std::uint32_t PaperLength = 0x4;
inline constexpr std::uint32_t PaperWidth = 0x8;
inline constexpr std::uint32_t Color = 0x800;
inline constexpr std::uint32_t Duplex = 0x1000;
inline constexpr std::uint32_t FormName = 0x10000;
inline constexpr std::int16_t Portrait = 1;        // DMORIENT_PORTRAIT
inline constexpr std::int16_t Landscape = 2;       // DMORIENT_LANDSCAPE
inline constexpr std::int16_t Simplex = 1;         // DMDUP_SIMPLEX
inline constexpr std::int16_t LongEdge = 2;        // DMDUP_VERTICAL
inline constexpr std::int16_t ShortEdge = 3;       // DMDUP_HORIZONTAL
inline constexpr std::int16_t Monochrome = 1;      // DMCOLOR_MONOCHROME
inline constexpr std::int16_t InColor = 2;         // DMCOLOR_COLOR
inline constexpr std::uint16_t DcPapers = 2;       // the paper numbers
inline constexpr std::uint16_t DcDuplex = 7;       // 1: prints on both sides
inline constexpr std::uint16_t DcOrientation = 17; // the degrees of landscape, 0: none
inline constexpr std::uint16_t DcColorDevice = 32; // 1: prints in colour
} // namespace dm

} // namespace vexo
