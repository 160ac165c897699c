// The MSI's properties as the program's arguments: what a run asks for, what it keeps, what
// it refuses before anything changes, and that every value reaches the program byte for byte.
#include "cli/MsiRun.h"

#include <gtest/gtest.h>

namespace vexo {
namespace {

std::string joined(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& a : args) {
        text += (text.empty() ? "" : " ") + a;
    }
    return text;
}

TEST(MsiRunTest, PropertiesGiveTheArgumentsTheKeptValuesAndTheRefusals) {
    struct Row {
        const char* what;
        std::map<std::string, std::string> given, kept;
        bool repair;
        std::string args; // after "/quiet /model K20A /nodefault", before the log and record
        std::string keep; // NAME=value ...
        std::string error;
    };
    const Row rows[] = {
        {"nothing given, nothing kept: the automatic choice", {}, {}, false, "", "", ""},
        {"a connection given replaces the kept one whole",
         {{"IP", "10.0.0.21"}, {"PORTNUMBER", "9101"}, {"SNMP", "pub"}},
         {{"PORT", "LPT1:"}, {"NAME", "Front"}},
         false,
         "/ip=10.0.0.21 /name=Front /portnumber=9101 /snmp=pub",
         "IP=10.0.0.21 NAME=Front PORTNUMBER=9101 SNMP=pub",
         ""},
        {"none given: the kept connection comes back, its community from the locked key",
         {{"LOCATION", "2nd floor"}},
         {{"IP", "10.0.0.21"}, {"LPR", "lp1"}, {"LOCATION", "1st"}},
         false,
         "/ip=10.0.0.21 /location=2nd floor /lpr=lp1",
         "IP=10.0.0.21 LOCATION=2nd floor LPR=lp1",
         ""},
        {"a repair takes only the kept values",
         {{"IP", "10.9.9.9"}, {"NAME", "Mine"}},
         {{"PORT", "LPT1:"}},
         true,
         "/port=LPT1:",
         "PORT=LPT1:",
         ""},
        {"- clears a kept value, PORT=auto the kept connection",
         {{"PORT", "auto"}, {"COMMENT", "-"}},
         {{"IP", "10.0.0.21"}, {"COMMENT", "old"}, {"NAME", "Front"}},
         false,
         "/name=Front",
         "NAME=Front",
         ""},
        {"printing defaults pass and are kept one by one",
         {{"PAPER", "B5 (JIS)"}, {"COLOR", "mono"}},
         {{"DUPLEX", "long"}, {"ORIENTATION", "landscape"}},
         false,
         "/color=mono /duplex=long /orientation=landscape /paper=B5 (JIS)",
         "COLOR=mono DUPLEX=long ORIENTATION=landscape PAPER=B5 (JIS)",
         ""},
        {"values that begin with a switch's sign stay values",
         {{"NAME", "/uninstall"}, {"COMMENT", "-x"}},
         {},
         false,
         "/comment=-x /name=/uninstall",
         "COMMENT=-x NAME=/uninstall",
         ""},
        {"the program's own checks refuse before anything changes",
         {{"PORT", "LPT1:"}, {"IP", "10.0.0.20"}},
         {},
         false,
         "/ip=10.0.0.20 /port=LPT1:",
         "IP=10.0.0.20 PORT=LPT1:",
         "'/port=LPT1:' does not go with /ip"},
        {"a line break in a name",
         {{"NAME", "a\r\nb"}},
         {},
         false,
         "/name=a\r\nb",
         "NAME=a\r\nb",
         "'/name=a\r\nb': a line break, a tab or another control character is not allowed in "
         "it"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        MsiProperties p;
        p.model = "K20A";
        p.given = r.given;
        p.kept = r.kept;
        p.repair = r.repair;
        p.log = "C:\\Logs\\v.log";
        p.record = "C:\\P\\r";
        p.token = "T";
        const MsiInstall run = msiInstall(p);
        EXPECT_EQ(joined(run.args), "/quiet /model K20A /nodefault" +
                                        (r.args.empty() ? "" : " " + r.args) +
                                        " /log=C:\\Logs\\v.log /record=C:\\P\\r /token=T");
        std::string keep;
        for (const auto& [name, value] : run.keep) {
            keep += (keep.empty() ? "" : " ") + name + "=" + value;
        }
        EXPECT_EQ(keep, r.keep);
        EXPECT_EQ(run.error, r.error);
    }
}

TEST(MsiRunTest, EveryValueCrossesIntactAsCommandLineToArgvWReadsIt) {
    // Fields survive CustomActionData whatever Windows Installer's formatting would make of
    // brackets and braces.
    const std::vector<std::string> fields = {"a\tb", "[SNMP]", "{x}", "C:\\dir\\", "", "\r\n"};
    const std::string joinedFields = joinFields(fields);
    EXPECT_EQ(joinedFields.find_first_of("[]{}\n\r"), std::string::npos) << joinedFields;
    EXPECT_EQ(splitFields(joinedFields), fields);
    EXPECT_EQ(splitFields("a\\"), std::nullopt);
    EXPECT_EQ(splitFields("a\\q"), std::nullopt);

    const std::pair<std::string, std::string> quoted[] = {
        {"/port=LPT1:", "/port=LPT1:"},
        {"", "\"\""},
        {"/location=Room \"7\"", "\"/location=Room \\\"7\\\"\""},
        {"/comment=by the lift\\", "\"/comment=by the lift\\\\\""},
        {"/comment=a\\\\\"b", "\"/comment=a\\\\\\\\\\\"b\""},
        {"C:\\x y\\z", "\"C:\\x y\\z\""},
    };
    for (const auto& [arg, want] : quoted) {
        EXPECT_EQ(quotedArgument(arg), want) << arg;
    }
    EXPECT_EQ(commandLineOf("C:\\Program Files\\V\\VexoSetup.exe", {"/quiet", "/name=a b"}),
              "\"C:\\Program Files\\V\\VexoSetup.exe\" /quiet \"/name=a b\"");
}

} // namespace
} // namespace vexo
