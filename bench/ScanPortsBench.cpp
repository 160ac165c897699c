// Times port discovery on the simulated machine with 256 and with 5,000 spooler ports and
// prints the time per run and the growth from one to the other. Not a test: the benchmark
// script runs it.
#include "pages/InstallerState.h"
#include "pages/PortSelectPage.h"
#include "resources/ResourceIds.h"
#include "tests/sim/SimMachine.h"

#include <chrono>
#include <cstdio>

namespace {

double nanosecondsPerScan(int ports, int runs) {
    using namespace vexo;
    resetInstallerState();
    sim::SimMachine machine;
    machine.spooler.ports().clear();
    for (int i = 0; i < ports; ++i) {
        machine.spooler.addLocalPort((i % 7 == 0 ? "USB" : "NE") + std::to_string(i) + ":",
                                     "Local Port");
    }
    double result = 0;
    PortSelectPage page(machine.platform, InstallRequest{});
    machine.ui.onDialog(IDD_PORT_SELECT, [&](sim::DialogDriver& d) {
        page.scanPorts(); // warm up
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < runs; ++i) {
            page.scanPorts();
        }
        auto elapsed = std::chrono::steady_clock::now() - start;
        result = std::chrono::duration<double, std::nano>(elapsed).count() / runs;
        d.click(IDC_PS_CANCEL);
    });
    page.doModal();
    resetInstallerState();
    return result;
}

} // namespace

int main() {
    const int runs = 300;
    double small = nanosecondsPerScan(256, runs);
    double large = nanosecondsPerScan(5000, runs);
    std::printf("scanPorts, 256 ports:   %.1f us per run\n", small / 1000);
    std::printf("scanPorts, 5000 ports:  %.1f us per run\n", large / 1000);
    std::printf("growth 256 -> 5000 ports: %.2fx time for %.2fx ports (linear would be at most "
                "%.2fx)\n",
                large / small, 5000.0 / 256, 5000.0 / 256);
    return 0;
}
