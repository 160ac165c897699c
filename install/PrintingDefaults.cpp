#include "install/PrintingDefaults.h"

#include "platform/Text.h"

#include <algorithm>
#include <span>

namespace vexo {

namespace {

// A field of the device mode that the installer sets, with what the driver is asked of it.
struct Field {
    const char* label;
    std::uint32_t bit;
    std::int16_t DevMode::*value;
    std::optional<std::int16_t> PrintingDefaults::*asked;
    std::span<const ValueName> names; // none for the paper, which has its own text
    std::uint16_t question;
};

const Field kFields[] = {
    {"paper", dm::PaperSize, &DevMode::paperSize, &PrintingDefaults::paper, {}, dm::DcPapers},
    {"orientation", dm::Orientation, &DevMode::orientation, &PrintingDefaults::orientation,
     kOrientationNames, dm::DcOrientation},
    {"duplex", dm::Duplex, &DevMode::duplex, &PrintingDefaults::duplex, kDuplexNames, dm::DcDuplex},
    {"color", dm::Color, &DevMode::color, &PrintingDefaults::color, kColorNames, dm::DcColorDevice},
};

// "paper A4 (9)", "duplex long", "color 7".
std::string valueText(const Field& f, std::int32_t value) {
    if (f.names.empty()) {
        return cat({f.label, " ", paperText(value)});
    }
    const auto named = std::find_if(f.names.begin(), f.names.end(),
                                    [&](const ValueName& n) { return n.value == value; });
    return cat({f.label, " ",
                named == f.names.end() ? std::string_view(Decimal(value < 0 ? 0 : value))
                                       : std::string_view(named->name)});
}

// Each field as `devMode` has it: "paper A4 (9), orientation portrait, duplex long, color mono".
std::string fieldsText(const DevMode& devMode) {
    std::string text;
    for (const Field& f : kFields) {
        text += cat({text.empty() ? "" : ", ", (devMode.fields & f.bit) != 0
                                                   ? valueText(f, devMode.*f.value)
                                                   : cat({f.label, " not set"})});
    }
    return text;
}

// Whether the driver offers every value asked; false, the step failed, when it does not.
bool offered(Spooler& spooler, const std::string& printer, const PrintingDefaults& asked,
             const std::string& step, StepLog& steps) {
    for (const Field& f : kFields) {
        const std::optional<std::int16_t>& value = asked.*f.asked;
        // Portrait, one-sided and black and white need no question.
        if (!value || (!f.names.empty() && *value == f.names.front().value)) {
            continue;
        }
        std::vector<std::int32_t> answer;
        if (WinError e = spooler.deviceCapabilities(printer, f.question, answer);
            e != err::Success) {
            steps.failed(cat({step, ": ask the driver which ", f.label, " it offers"}), e);
            return false;
        }
        const bool offers = f.names.empty() ? std::count(answer.begin(), answer.end(), *value) != 0
                                            : !answer.empty() && answer.front() != 0;
        if (!offers) {
            const std::string only = !f.names.empty() ? valueText(f, f.names.front().value)
                                     : answer.empty() ? "no paper"
                                                      : cat({"paper ", joined(answer, paperText)});
            steps.failedWithoutCode(cat({step, ": the driver does not offer ", valueText(f, *value),
                                         "; it offers ", only, "; nothing was changed"}));
            return false;
        }
    }
    return true;
}

} // namespace

std::string paperText(std::int32_t number) {
    const auto named = std::find_if(std::begin(kPaperNames), std::end(kPaperNames),
                                    [&](const ValueName& n) { return n.value == number; });
    const std::string digits(Decimal(number < 0 ? 0 : static_cast<std::uint64_t>(number)));
    return named == std::end(kPaperNames) ? digits : cat({named->name, " (", digits, ")"});
}

void setPrintingDefaults(Platform& platform, const std::string& printer,
                         const PrintingDefaults& asked, StepLog& steps, ChangeLog& changes) {
    const std::string step =
        cat({"Set the printing defaults of ", quoted(printer), " for every user"});
    Spooler& spooler = platform.spooler;
    if (!offered(spooler, printer, asked, step, steps)) {
        return;
    }
    // Where the printer has no device mode for every user, its driver's is the one before.
    std::optional<DevMode> global;
    DevMode before;
    WinError e = spooler.getPrinterDevMode(printer, dm::EveryUserLevel, global);
    if (e != err::Success) {
        steps.failed(cat({step, ": read its device mode for every user"}), e);
        return;
    }
    if (global) {
        before = std::move(*global);
    } else if (e = spooler.driverDevMode(printer, nullptr, before); e != err::Success) {
        steps.failed(cat({step, ": it has no device mode for every user; ask its driver for one"}),
                     e);
        return;
    }
    DevMode wanted = before;
    for (const Field& f : kFields) {
        if (const std::optional<std::int16_t>& value = asked.*f.asked) {
            wanted.*f.value = *value;
            wanted.fields |= f.bit;
        }
    }
    if (asked.paper) {
        // A form name or a paper length or width would win over the paper's number.
        wanted.fields &= ~(dm::FormName | dm::PaperLength | dm::PaperWidth);
    }
    DevMode merged;
    if (e = spooler.driverDevMode(printer, &wanted, merged); e != err::Success) {
        steps.failed(cat({step, ": have the driver check the device mode"}), e);
        return;
    }
    if (e = spooler.setPrinterDevMode(printer, PrinterAllAccess, dm::EveryUserLevel, merged.bytes);
        e != err::Success) {
        steps.failed(cat({step, ": store the device mode for every user"}), e);
        return;
    }
    Change change = Change::of(ChangeKind::DevModeSet, printer);
    change.devMode = std::move(before.bytes);
    changes.add(std::move(change));
    std::optional<DevMode> now;
    if (e = spooler.getPrinterDevMode(printer, dm::EveryUserLevel, now);
        e != err::Success || !now) {
        steps.failed(cat({step, ": read the device mode for every user back"}),
                     e != err::Success ? e : err::InvalidData);
        return;
    }
    std::string differs;
    for (const Field& f : kFields) {
        const std::optional<std::int16_t>& value = asked.*f.asked;
        if (value && ((now->fields & f.bit) == 0 || (*now).*f.value != *value)) {
            differs += cat({differs.empty() ? ": " : ", ", "not ", valueText(f, *value)});
        }
    }
    const std::string has = cat({"the spooler now has ", fieldsText(*now)});
    if (differs.empty()) {
        steps.note(cat({step, ": done; ", has}));
    } else {
        steps.failedWithoutCode(cat({step, ": ", has, differs, " as asked"}));
    }
}

} // namespace vexo
