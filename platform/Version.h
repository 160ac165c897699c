// The program's version, in one place: the version resource (resources/vexo.rc), the log's
// header and the MSIs (scripts/msi.sh, whose ProductVersion is its first three fields) all
// take it from here. Plain macros, since the resource compiler reads this file too.
#pragma once

#define VEXO_VERSION_MAJOR 4
#define VEXO_VERSION_MINOR 0
#define VEXO_VERSION_PATCH 0
#define VEXO_VERSION_BUILD 0

#define VEXO_VERSION_STRING2(x) #x
#define VEXO_VERSION_STRING(x) VEXO_VERSION_STRING2(x)
// "4.0.0.0"
#define VEXO_VERSION_TEXT                                                                          \
    VEXO_VERSION_STRING(VEXO_VERSION_MAJOR)                                                        \
    "." VEXO_VERSION_STRING(VEXO_VERSION_MINOR) "." VEXO_VERSION_STRING(                           \
        VEXO_VERSION_PATCH) "." VEXO_VERSION_STRING(VEXO_VERSION_BUILD)
