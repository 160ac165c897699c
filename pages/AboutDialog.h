// The About box: a plain modal dialog with no data and no handlers of its own.
#pragma once

#include "dialog/Dialog.h"
#include "resources/ResourceIds.h"

namespace vexo {

class AboutDialog final : public Dialog {
  public:
    explicit AboutDialog(Platform& platform) : Dialog(platform, IDD_ABOUT) {}
};

} // namespace vexo
