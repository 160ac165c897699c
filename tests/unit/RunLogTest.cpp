#include "cli/RunLog.h"
#include "Fixture.h"

#include <fstream>
#include <sstream>

namespace vexo::test {
namespace {

using RunLogTest = MachineTest;

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Every line of the file reads "<time>  <text>", a report of several lines included, so
// that a reader (or a search for a step) never meets a line without its time.
TEST_F(RunLogTest, ATextOfSeveralLinesBecomesThatManyTimedLines) {
    RunLog log(machine.system);
    log.open(std::string("C:\\vexo.log"));
    ASSERT_TRUE(log.isOpen());
    log.line("Exit code 0");
    log.line("The removal did not complete. These steps failed:\r\n- one\r\n\r\n- two\nlast");
    EXPECT_EQ(contents(machine.host("C:\\vexo.log")),
              "2026-12-08 10:00:00.000  Exit code 0\r\n"
              "2026-12-08 10:00:00.000  The removal did not complete. These steps failed:\r\n"
              "2026-12-08 10:00:00.000  - one\r\n"
              "2026-12-08 10:00:00.000  - two\r\n"
              "2026-12-08 10:00:00.000  last\r\n");
}

} // namespace
} // namespace vexo::test
