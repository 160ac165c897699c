#include "cli/UnattendedFeedback.h"

#include "install/DriverDeployment.h"
#include "install/UsbPortBinding.h"
#include "platform/Text.h"

namespace vexo {

bool UnattendedFeedback::askRetryUsbPort() {
    if (quiet_) {
        log_.line(cat({"No USB port brought the printer on line. Nobody is at the screen to "
                       "answer \"",
                       kUsbRetryCaption,
                       "\", so the installation goes on as after Cancel: the printer stays "
                       "on the port discovery chose"}));
        return false;
    }
    const bool retry =
        platform_.ui.messageBox(0, kUsbRetryText, kUsbRetryCaption, mb::RetryCancel) == IdRetry;
    log_.line(cat({"No USB port brought the printer on line; the user answered ",
                   retry ? "Retry" : "Cancel"}));
    return retry;
}

void UnattendedFeedback::showRegistryError() {
    log_.line(cat({"Message: ", kRegistryErrorMessage}));
    if (!quiet_) {
        (void)platform_.ui.messageBox(0, kRegistryErrorMessage, platform_.system.programTitle(),
                                      mb::Ok | mb::IconExclamation);
    }
}

void UnattendedFeedback::recorded(const Change& change) {
    if (record_ == nullptr || !record_->isOpen()) {
        return;
    }
    if (WinError e = record_->add(change); e != err::Success) {
        log_.line(StepFailures::describe(platform_.system,
                                         cat({"Keep the change in the record: ", changeLine(change),
                                              "a rollback cannot undo it"}),
                                         e));
    }
}

} // namespace vexo
