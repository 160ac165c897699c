#include "cli/RecordFile.h"

#include "cli/RunLog.h"

namespace vexo {

WinError RecordFile::open(const std::string& path, std::string& refusal) {
    return openLogFile(system_, path, false, file_, refusal);
}

WinError RecordFile::start(const std::string& token) {
    return system_.appendLog(file_, recordHeader(token));
}

WinError RecordFile::add(const Change& change) {
    return system_.appendLog(file_, changeLine(change));
}

WinError RecordFile::spend() {
    return system_.appendLog(file_, std::string(kRecordSpent) + "\n");
}

} // namespace vexo
