// What a person would have seen and answered, written to the log instead; without "/quiet"
// the message boxes still appear. Each change goes into the record file, when there is one,
// as it is made (for the MSI's rollback).
#pragma once

#include "cli/RecordFile.h"
#include "cli/RunLog.h"
#include "install/InstallFeedback.h"
#include "platform/Platform.h"

#include <string>

namespace vexo {

class UnattendedFeedback final : public InstallFeedback {
  public:
    UnattendedFeedback(Platform& platform, RunLog& log, bool quiet, RecordFile* record = nullptr)
        : platform_(platform), log_(log), quiet_(quiet), record_(record) {}

    void progress(int) override {}
    bool askRetryUsbPort() override;
    void showRegistryError() override;
    void showDiscovery(const PortGroups&) override {}
    void note(const std::string& line) override { log_.line(line); }
    void recorded(const Change& change) override;

  private:
    Platform& platform_;
    RunLog& log_;
    bool quiet_;
    RecordFile* record_;
};

} // namespace vexo
