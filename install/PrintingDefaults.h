// The printing defaults of a printer for every user of the PC: the paper, orientation,
// two-sided printing and colour of its global device mode (printer level 8), which every user
// who has not chosen their own (level 9) prints with.
#pragma once

#include "install/ChangeRecord.h"
#include "install/InstallReport.h"
#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vexo {

struct PrintingDefaults {
    std::optional<std::int16_t> paper;       // a DMPAPER_ number
    std::optional<std::int16_t> orientation; // dm::Portrait, dm::Landscape
    std::optional<std::int16_t> duplex;      // dm::Simplex, dm::LongEdge, dm::ShortEdge
    std::optional<std::int16_t> color;       // dm::Monochrome, dm::InColor
    [[nodiscard]] bool any() const { return paper || orientation || duplex || color; }
};

// A value as the command line and the log name it.
struct ValueName {
    std::int16_t value;
    const char* name;
};

// The forms Windows names, with their paper numbers. B5 (ISO), 176 x 250 mm, has no sheet of
// its own among Windows' forms: it is the number of the form of that size, Envelope B5.
inline constexpr ValueName kPaperNames[] = {{1, "Letter"},
                                            {2, "Letter Small"},
                                            {3, "Tabloid"},
                                            {4, "Ledger"},
                                            {5, "Legal"},
                                            {6, "Statement"},
                                            {7, "Executive"},
                                            {8, "A3"},
                                            {9, "A4"},
                                            {10, "A4 Small"},
                                            {11, "A5"},
                                            {12, "B4 (JIS)"},
                                            {13, "B5 (JIS)"},
                                            {14, "Folio"},
                                            {15, "Quarto"},
                                            {16, "10x14"},
                                            {17, "11x17"},
                                            {18, "Note"},
                                            {19, "Envelope #9"},
                                            {20, "Envelope #10"},
                                            {21, "Envelope #11"},
                                            {22, "Envelope #12"},
                                            {23, "Envelope #14"},
                                            {27, "Envelope DL"},
                                            {28, "Envelope C5"},
                                            {29, "Envelope C3"},
                                            {30, "Envelope C4"},
                                            {31, "Envelope C6"},
                                            {32, "Envelope C65"},
                                            {33, "Envelope B4"},
                                            {34, "Envelope B5"},
                                            {35, "Envelope B6"},
                                            {37, "Envelope Monarch"},
                                            {42, "B4 (ISO)"},
                                            {43, "Japanese Postcard"},
                                            {66, "A2"},
                                            {70, "A6"},
                                            {88, "B6 (JIS)"},
                                            {34, "B5 (ISO)"}};
// The values of /orientation, /duplex and /color; the first of each every driver offers.
inline constexpr ValueName kOrientationNames[] = {{dm::Portrait, "portrait"},
                                                  {dm::Landscape, "landscape"}};
inline constexpr ValueName kDuplexNames[] = {
    {dm::Simplex, "none"}, {dm::LongEdge, "long"}, {dm::ShortEdge, "short"}};
inline constexpr ValueName kColorNames[] = {{dm::Monochrome, "mono"}, {dm::InColor, "color"}};

// A paper as the log names it: "A4 (9)", or its number alone.
[[nodiscard]] std::string paperText(std::int32_t number);

// After the printer `printer` was added or settled: asks its driver whether it offers each
// value asked, starts from the printer's device mode for every user (else its driver's), sets
// the values asked, has the driver merge and check them, stores the result for every user and
// reads it back. The device mode before is kept in `changes`; a value the driver does not
// offer, a failed call and a read-back that differs from what was asked each fail the step.
void setPrintingDefaults(Platform& platform, const std::string& printer,
                         const PrintingDefaults& asked, StepLog& steps, ChangeLog& changes);

} // namespace vexo
