// The file system as the installer uses it: the package's folders, copies into the spooler's
// driver directory, and the log and change-record files it appends to. Paths are UTF-8 with
// backslashes, as on Windows; relative ones resolve against the current directory.
#pragma once

#include "platform/Security.h"
#include "platform/UniqueHandle.h"
#include "platform/Win32Constants.h"

#include <cstdint>
#include <string>

namespace vexo {

class FileSystem;

// An open folder that a log file is opened in, and an open log file: each closes itself.
struct FolderClose : ClosedByOwner<FileSystem> {};
struct LogFileClose : ClosedByOwner<FileSystem> {};
using OpenFolder = UniqueHandle<FolderClose>;
using LogFile = UniqueHandle<LogFileClose>;

// What an open file is, read from its handle.
struct OpenedFileFacts {
    bool folder = false;   // the name is a folder's (then nothing is opened)
    bool diskFile = false; // a file on a disk, not a pipe, a console or a device
    bool readable = false; // its attributes and link count could be read
    bool reparse = false;  // a link or another reparse point, opened as itself
    std::uint32_t links = 0;
    OwnerFact owner;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // The process's current directory, whole, without a trailing backslash unless it is a
    // drive root ("C:\").
    [[nodiscard]] virtual std::string currentDirectory() = 0;
    // Makes `path` the process's current directory (SetCurrentDirectory).
    [[nodiscard]] virtual WinError changeDirectory(const std::string& path) = 0;
    // The folder of the program file (GetModuleFileName), without a trailing backslash
    // unless it is a drive root; empty when it cannot be told.
    [[nodiscard]] virtual std::string programFolder() = 0;
    // The folder for temporary files (GetTempPath), without a trailing backslash.
    [[nodiscard]] virtual std::string tempFolder() = 0;

    // CopyFile.
    [[nodiscard]] virtual WinError copyFile(const std::string& source,
                                            const std::string& destination, bool failIfExists) = 0;
    // Deletes the file `path` (DeleteFile; a link goes, not what it leads to).
    [[nodiscard]] virtual WinError deleteFile(const std::string& path) = 0;
    // The whole content of the file `path`, without following a link at its end; at most
    // `limit` bytes, err::FileTooLarge past them. `content` is untouched on failure.
    [[nodiscard]] virtual WinError readFile(const std::string& path, std::size_t limit,
                                            std::string& content) = 0;
    // Whether `path` names an existing folder, or an existing file.
    [[nodiscard]] virtual bool directoryExists(const std::string& path) = 0;
    [[nodiscard]] virtual bool fileExists(const std::string& path) = 0;
    // Clears the read-only attribute of an existing file, which CopyFile carries over from
    // a read-only source and which would make the next copy onto it fail. Success when the
    // file is not read-only; err::FileNotFound when there is no such file.
    [[nodiscard]] virtual WinError clearReadOnly(const std::string& path) = 0;

    // A log file is opened in three steps, each reporting what it found, so that whoever
    // opens one can refuse it before anything is written:

    // `path` made absolute against the current directory (GetFullPathName); empty when it
    // cannot be.
    [[nodiscard]] virtual std::string fullPath(const std::string& path) = 0;
    // Opens the folder `folder` (absolute) to open a file in. `asked` is the folder with the
    // long names of its short ones, `reached` the final path of the folder opened, both
    // without "\\?\" and a trailing backslash but a drive root's; `reached` is empty when it
    // cannot be named. Nothing is created.
    [[nodiscard]] virtual WinError openFolder(const std::string& folder, OpenFolder& opened,
                                              std::string& asked, std::string& reached) = 0;
    // Opens or creates the file `name` in that very folder for appending, without following
    // a link at its end and without letting a pipe's server act as this program; `createNew`
    // only creates it, failing with err::FileExists when something bears the name already.
    // `facts` says what was opened; a folder of that name is not opened (err::AccessDenied,
    // `facts.folder`). Two runs may append to one file at once.
    [[nodiscard]] virtual WinError openFileIn(const OpenFolder& folder, const std::string& name,
                                              bool createNew, LogFile& file,
                                              OpenedFileFacts& facts) = 0;
    // Appends `bytes` to a log file, in one write.
    [[nodiscard]] virtual WinError appendLog(const LogFile& file, const std::string& bytes) = 0;

  protected:
    virtual WinError closeFile(std::uintptr_t handle) = 0;

  private:
    friend struct ClosedByOwner<FileSystem>;
    static WinError closeOwned(FileSystem& files, std::uintptr_t handle) {
        return files.closeFile(handle);
    }
};

} // namespace vexo
