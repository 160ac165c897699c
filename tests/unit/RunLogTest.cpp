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

// Every line of the file reads "<time>  <text>": a control character in a text, from the
// command line or elsewhere, is written as an escape, so no text can forge a line of its own.
TEST_F(RunLogTest, EachTextIsOneTimedLineWithItsControlCharactersEscaped) {
    RunLog log(machine.system);
    log.open(std::string("C:\\vexo.log"));
    ASSERT_TRUE(log.isOpen());
    log.line("Exit code 0");
    log.line("Office\r\nExit code 0\tx\a\x1b\x7f \u00e9\\n");
    EXPECT_EQ(contents(machine.host("C:\\vexo.log")),
              "2026-12-08 10:00:00.000  Exit code 0\r\n"
              "2026-12-08 10:00:00.000  Office\\r\\nExit code 0\\tx\\x07\\x1b\\x7f \u00e9\\n\r\n");
}

// What can never be a log file, whatever the disk holds: a device, a pipe, a stream.
TEST(NotADiskPath, RefusesDevicesPipesAndStreamsOnly) {
    const std::string device = "it names a device or a pipe, not a file on a disk";
    const std::string stream = "a colon in a file name names a stream or a device, not a file";
    struct Row {
        const char* path;
        std::string why;
    };
    for (const Row& r :
         {Row{"C:\\logs\\setup.log", ""}, Row{"setup.log", ""}, Row{"C:setup.log", ""},
          Row{"\\\\?\\C:\\logs\\setup.log", ""}, Row{"\\\\?\\UNC\\server\\share\\setup.log", ""},
          Row{"\\\\server\\share\\setup.log", ""}, Row{"\\\\.\\pipe\\vexo", device},
          Row{"//./pipe/vexo", device}, Row{"\\??\\C:\\setup.log", device},
          Row{"\\\\?\\GLOBALROOT\\Device\\Null", device}, Row{"C:\\logs\\setup.log:hidden", stream},
          Row{"C:\\logs\\NUL .log", "it names the device NUL, not a file"},
          Row{"con", "it names the device CON, not a file"},
          Row{"C:\\logs\\lpt1.txt", "it names the device lpt1, not a file"},
          Row{"C:\\logs\\COM9", "it names the device COM9, not a file"},
          Row{"C:\\logs\\COM10.log", ""}, Row{"C:\\logs\\COM%.log", ""},
          Row{"C:\\logs\\CONSOLE.log", ""}}) {
        EXPECT_EQ(notADiskPath(r.path), r.why) << r.path;
    }
}

} // namespace
} // namespace vexo::test
