// "Create Port": lists the machine's port monitors and lets the selected one add a port
// through its own dialog. Stays open until closed, so several ports can be added.
#pragma once

#include "dialog/Dialog.h"

namespace vexo {

class CreatePortDialog final : public Dialog {
  public:
    explicit CreatePortDialog(Platform& platform);

    ListView monitorList;

  protected:
    bool onInitDialog() override;

  private:
    void onNewPort();
};

} // namespace vexo
