#!/usr/bin/env bash
# Builds the Windows Installer packages of a release, one per model,
# VexoPrinter-MODEL-VERSION.msi: per machine, with its cabinet inside, each installs the program
# and the driver package into a folder of its own model, [ProgramFilesFolder]VEXO\Printer
# Setup\MODEL\, and runs the program's quiet installation from there with what the public
# properties say (those of the switches in cli/Switches.h: PORT, IP, NAME, ...; and LOG),
# through the custom actions of msica/ (VexoActions.dll in the Binary table); its removal runs the
# program's removal. Beside the MSIs, VexoPrinter-VERSION-product-codes.txt names each
# model's product code and upgrade code. scripts/release.sh calls it with the signed program.
#
# usage: scripts/msi.sh [--out DIR] [--program EXE] [--actions DLL] [--model MODEL]...
#                       [--version X.Y.Z] PACKAGE_DIR
#   PACKAGE_DIR   a checked driver package (scripts/release.sh --list)
#   --out DIR     where the MSIs go (default: the current folder)
#   --program EXE the program the MSIs carry (default: VexoSetup.exe in the package)
#   --actions DLL the custom actions (default: build/windows-x86/msica/VexoActions.dll)
#   --model M     only this model's MSI (again for more; default: all eight)
#   --version V   the product version (default: the program's, platform/Version.h, in three
#                 fields: Windows Installer compares no fourth); the tests make other
#                 versions with it to upgrade and downgrade
#
# The same package and commit give the same bytes: every GUID is derived from the model's
# name (the UpgradeCode, which never changes), the model, version and the bytes it installs
# (the ProductCode: a new driver package with the same program is a new product, which
# upgrades the previous one, the same version included) or the MSI's content (the package
# code); the summary's times and the cabinet's file times are the
# release's time (SOURCE_DATE_EPOCH, else the time of the commit the scripts are checked out
# at).
#
# wixl (msitools 0.101) writes some things wrong while it exits 0, and cannot write others;
# those are set afterwards with msibuild (fixes below), and any word wixl says fails the build:
#   - Execute="rollback" comes out immediate, and it writes no hidden-target bit: the custom
#     actions, their Binary row and their places are added here;
#   - MajorUpgrade puts RemoveExistingProducts after InstallFinalize: it is given its place,
#     after InstallInitialize, so that a failed upgrade puts the previous version back;
#   - MajorUpgrade's upper bound leaves the same version out: builds of one version (a new
#     driver package) upgrade each other;
#   - it ignores Package/@Id (the package code is random) and writes the build time into the
#     summary whatever SOURCE_DATE_EPOCH says: the summary is imported anew;
#   - RemoveFolder takes no Directory, and a second SecureCustomProperties (MajorUpgrade
#     makes one) fails the build: both are set here;
#   - conditions are taken as written, blanks and line breaks included: each is one line;
#   - its After=/Before= placement is unreliable: every action has its Sequence.
#
# Exit status: 0 built, 1 a step failed, 2 wrong usage.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
    echo "usage: $0 [--out DIR] [--program EXE] [--actions DLL] [--model MODEL]... [--version X.Y.Z] PACKAGE_DIR" >&2
    exit 2
}
die() {
    printf 'msi: %s\n' "$*" >&2
    exit 1
}

MODELS=(K20A K20AW K30A K30AN K30AL M41 M42 M43)
HELP_LINK=https://www.vexo.example/support

out_dir=.
program=
actions=$root/build/windows-x86/msica/VexoActions.dll
package=
version=
models=()
while [ $# -gt 0 ]; do
    case $1 in
    --out | --program | --actions | --model | --version)
        [ $# -ge 2 ] || usage
        case $1 in
        --out) out_dir=$2 ;;
        --program) program=$2 ;;
        --actions) actions=$2 ;;
        --model) models+=("${2^^}") ;;
        --version) version=$2 ;;
        esac
        shift 2
        ;;
    -*) usage ;;
    *)
        [ -z "$package" ] || usage
        package=$1
        shift
        ;;
    esac
done
[ -n "$package" ] || usage
[ ${#models[@]} -gt 0 ] || models=("${MODELS[@]}")
for m in "${models[@]}"; do
    [[ " ${MODELS[*]} " == *" $m "* ]] || die "unknown model $m (${MODELS[*]})"
done
for tool in wixl msibuild msiinfo sha1sum sha256sum; do
    command -v "$tool" >/dev/null || die "$tool is not installed (scripts/deps.sh installs msitools and wixl)"
done

if [ -z "$version" ]; then
    version=$(sed -n 's/^#define VEXO_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\)$/\2/p' \
        "$root/platform/Version.h" | paste -sd.)
fi
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "the version \"$version\" is not three numbers"

if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    [[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || die "SOURCE_DATE_EPOCH ($SOURCE_DATE_EPOCH) is not a number"
    epoch=$SOURCE_DATE_EPOCH
else
    epoch=$(git -C "$root" log -1 --format=%ct 2>/dev/null)
    [ -n "$epoch" ] || die "$root is not a git checkout: set SOURCE_DATE_EPOCH"
fi

[ -d "$package" ] || die "$package is not a folder"
package=$(cd "$package" && pwd)
mkdir -p "$out_dir" || die "cannot make $out_dir"
out_dir=$(cd "$out_dir" && pwd)

# A GUID derived from a text (the form of a name-based UUID, from SHA-1).
guid() {
    local h
    h=$(printf 'VEXO Printer Setup\n%s' "$1" | sha1sum | cut -c1-32)
    h=${h:0:12}5${h:13:3}$(printf '%x' $(((0x${h:16:1} & 3) | 8)))${h:17:15}
    h=${h^^}
    printf '{%s-%s-%s-%s-%s}' "${h:0:8}" "${h:8:4}" "${h:12:4}" "${h:16:4}" "${h:20:12}"
}
xml() {
    local s=$1
    s=${s//&/&amp;}
    s=${s//</&lt;}
    s=${s//>/&gt;}
    s=${s//\"/&quot;}
    printf '%s' "$s"
}
# An identifier for a path: letters, digits, "_" and "." only.
ident() {
    local s=${1//[^A-Za-z0-9_.]/_}
    printf '%s%s' "$2" "$s"
}

# The files: the program and what the package check lists, each found whatever its letter
# case, copied with the release's time and fixed permissions (the cabinet keeps times).
stage=$(mktemp -d); [ -z "${MSI_KEEP:-}" ] || echo "work in $stage"
trap '[ -n "${MSI_KEEP:-}" ] || rm -rf "$stage"' EXIT
mapfile -t files < <("$root/scripts/release.sh" --list)
# The ARM64 driver, for Windows on ARM, when the package has it.
while IFS= read -r f; do
    [ -n "$(cd "$package" && find . -ipath "./$f" -type f -print -quit)" ] && files+=("$f")
done < <("$root/scripts/release.sh" --list-optional)
files=(VexoSetup.exe "${files[@]}")
for f in "${files[@]}"; do
    if [ "$f" = VexoSetup.exe ] && [ -n "$program" ]; then
        found=$program
    else
        found=$(cd "$package" && find . -ipath "./$f" -type f -print -quit)
        [ -z "$found" ] || found=$package/${found#./}
    fi
    [ -n "$found" ] || die "the package has no $f"
    mkdir -p "$stage/files/$(dirname "$f")"
    cp "$found" "$stage/files/$f" || die "cannot copy $found"
done
find "$stage/files" -type d -exec chmod 755 {} + && find "$stage/files" -type f -exec chmod 644 {} + &&
    find "$stage/files" -exec touch -d "@$epoch" {} + || die "cannot set the files' times"

# The folders below the model's folder, with their files, as nested <Directory> elements.
# Prints the components' elements of FOLDER (a path relative to the package, "" for the top)
# for MODEL.
directory_xml() {
    local model=$1 folder=$2 f rest sub subs
    local -A subfolders=()
    for f in "${files[@]}"; do
        if [ -z "$folder" ]; then
            rest=$f
        else
            [[ $f == "$folder/"* ]] || continue
            rest=${f#"$folder/"}
        fi
        if [[ $rest == */* ]]; then
            subfolders[${rest%%/*}]=1
            continue
        fi
        printf '<Component Id="%s" Guid="%s"><File Id="%s" Name="%s" Source="%s" KeyPath="yes"/></Component>\n' \
            "$(ident "$f" c_)" "$(guid "component $model $f")" "$(ident "$f" f_)" \
            "$(xml "$rest")" "$(xml "../files/$f")"
    done
    [ ${#subfolders[@]} -gt 0 ] || return 0
    mapfile -t subs < <(printf '%s\n' "${!subfolders[@]}" | LC_ALL=C sort)
    for sub in "${subs[@]}"; do
        printf '<Directory Id="%s" Name="%s">\n' "$(ident "${folder:+$folder/}$sub" d_)" "$(xml "$sub")"
        directory_xml "$model" "${folder:+$folder/}$sub"
        printf '</Directory>\n'
    done
}

component_refs() {
    local f
    for f in "${files[@]}"; do
        printf '<ComponentRef Id="%s"/>' "$(ident "$f" c_)"
    done
    printf '<ComponentRef Id="Settings"/>\n'
}

# The custom actions, all in our DLL in the Binary table (msica/): VexoPrepare, immediate,
# turns the properties into the program's arguments (its own parser refuses bad values
# before anything changes; a repair takes only the kept values) and hands them to the
# deferred actions as their CustomActionData, escaped, never formatted into a command line;
# VexoInstall and VexoRemove start the installed program with them, quoted as Windows reads
# them, as SYSTEM, their exit code checked, and keep (or forget) the values of a run that
# ended 0; VexoRollback undoes exactly the install action's change record, VexoCommit drops
# it, both in process (the installed program may be gone). Every deferred one hides its
# target and data from the log (SNMP).
TYPE_PREPARE=1      # a DLL from the Binary table, immediate, its result checked
TYPE_DEFERRED=11265 # + deferred (1024) + no impersonation (2048) + hidden target (8192)
TYPE_ROLLBACK=11585 # + rollback (256) + its result ignored (64), so the rest rolls back too
TYPE_COMMIT=11841   # + commit (512) + its result ignored
# The kept properties the next run reads back: the switches' MSI properties, in the order of
# their rows in cli/Switches.h (each row from "{Switch::" on), but a secret's (the community
# is kept where only Administrators and SYSTEM can read it, by the deferred action itself).
mapfile -t KEPT < <(awk -v RS='[{]Switch::' '!/Switch::Secret/ && match($0, /[{]"[A-Z]+", MsiGroup::/) {
    split(substr($0, RSTART), field, "\""); print field[2] }' "$root/cli/Switches.h")
[ ${#KEPT[@]} -gt 0 ] || die "no MSI properties in cli/Switches.h"
wxs() {
    local model=$1 product_name=$2 key="SOFTWARE\\VEXO\\Printer Setup\\$1" p
    cat <<EOF
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
<Product Id="$(guid "product $model $version $content")" UpgradeCode="$(guid "upgrade $model")"
  Name="$product_name" Version="$version" Manufacturer="VEXO" Language="1033">
<Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
  Description="$product_name" Comments="The VEXO $model printer, its driver and VexoSetup.exe"/>
<Media Id="1" Cabinet="vexo.cab" EmbedCab="yes"/>
<MajorUpgrade DowngradeErrorMessage="A newer version of the $product_name is installed. Remove it first to install this version."/>
<Property Id="ARPNOMODIFY" Value="1"/>
<Property Id="ARPNOREPAIR" Value="1"/>
<Property Id="ARPHELPLINK" Value="$HELP_LINK"/>
<Property Id="VexoModel" Value="$model"/>
<Property Id="MsiHiddenProperties" Value="SNMP;VexoInstall;VexoRemove;VexoRollback;VexoCommit"/>
EOF
    for p in "${KEPT[@]}"; do
        printf '<Property Id="VexoSaved%s"><RegistrySearch Id="Saved%s" Root="HKLM" Key="%s" Name="%s" Type="raw"/></Property>\n' \
            "$p" "$p" "$(xml "$key")" "$p"
    done
    cat <<EOF
<Directory Id="TARGETDIR" Name="SourceDir"><Directory Id="ProgramFilesFolder">
<Directory Id="VexoFolder" Name="VEXO"><Directory Id="SetupFolder" Name="Printer Setup">
<Directory Id="INSTALLDIR" Name="$model">
<Component Id="Settings" Guid="$(guid "component $model settings")">
<RegistryValue Root="HKLM" Key="$(xml "$key")" Name="Folder" Type="string" Value="[INSTALLDIR]" KeyPath="yes"/>
</Component>
EOF
    directory_xml "$model" ""
    cat <<EOF
</Directory></Directory></Directory></Directory></Directory>
<Feature Id="Printer" Level="1" Title="$product_name">$(component_refs)</Feature>
<InstallExecuteSequence>
<AppSearch Sequence="50"/>
<RemoveExistingProducts Sequence="1501"/>
</InstallExecuteSequence>
</Product>
</Wix>
EOF
}

# What wixl cannot write or writes wrong, as msibuild's SQL. Builds of the same version upgrade
# each other: the upgrade row takes the version itself (VersionMaxInclusive, 512, beside
# MigrateFeatures, 1), and only a higher one is a downgrade (its VersionMin is exclusive).
fixes() {
    cat <<EOF
INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('VexoPrepare', 1001)
INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('VexoRemove', 'REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE', 1610)
INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('VexoRollback', 'NOT REMOVE~="ALL"', 5900)
INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('VexoInstall', 'NOT REMOVE~="ALL"', 5901)
INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('VexoCommit', 'NOT REMOVE~="ALL"', 5902)
INSERT INTO RemoveFile (FileKey, Component_, FileName, DirProperty, InstallMode) VALUES ('VexoRemoveRecord', 'Settings', 'VexoSetup.record', 'INSTALLDIR', 2)
INSERT INTO RemoveFile (FileKey, Component_, DirProperty, InstallMode) VALUES ('VexoRemoveSetupFolder', 'Settings', 'SetupFolder', 2)
INSERT INTO RemoveFile (FileKey, Component_, DirProperty, InstallMode) VALUES ('VexoRemoveVexoFolder', 'Settings', 'VexoFolder', 2)
UPDATE Property SET Value = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' WHERE Property = 'SecureCustomProperties'
DELETE FROM Upgrade WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'
INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('$(guid "upgrade $model")', '$version', 513, 'WIX_UPGRADE_DETECTED')
EOF
}

# The custom actions' table, as msibuild imports it.
custom_actions() {
    printf 'Action\tType\tSource\tTarget\r\ns72\ti2\tS72\tS255\r\nCustomAction\tAction\r\n'
    printf '%s\t%s\tVexoActions\t%s\r\n' VexoPrepare $TYPE_PREPARE VexoPrepare \
        VexoInstall $TYPE_DEFERRED VexoInstall VexoRemove $TYPE_DEFERRED VexoRemove \
        VexoRollback $TYPE_ROLLBACK VexoRollback VexoCommit $TYPE_COMMIT VexoCommit
}

# summary FILE NAME PACKAGE_CODE: the summary of FILE (in the current folder) with the
# release's time.
summary() {
    local when
    when=$(TZ=UTC date -d "@$epoch" '+%Y/%m/%d %H:%M:%S')
    msiinfo export "$1" _SummaryInformation | sed -e "s|^3\t.*|3\t$2\r|" -e "s|^9\t.*|9\t$3\r|" \
        -e "s|^12\t.*|12\t$when\r|" -e "s|^13\t.*|13\t$when\r|" >_SummaryInformation.idt &&
        TZ=UTC msibuild "$1" -i _SummaryInformation.idt
}

# build MODEL: the model's MSI in the out folder.
build() {
    local model=$1 name="VEXO $1 printer driver" said digest q
    local file="VexoPrinter-$model-$version.msi" work=$stage/$model
    mkdir -p "$work/Binary"
    cd "$work" || die "cannot work in $work"
    wxs "$model" "$name" >product.wxs
    if ! said=$(wixl -a x86 -o "$file" product.wxs 2>&1) || [ -n "$said" ]; then
        die "wixl failed or warned on $model:"$'\n'"$said"
    fi

    cp "$actions" Binary/VexoActions.ibd &&
        printf 'Name\tData\r\ns72\tv0\r\nBinary\tName\r\nVexoActions\tVexoActions.ibd\r\n' >Binary.idt &&
        custom_actions >CustomAction.idt &&
        msibuild "$file" -i Binary.idt && msibuild "$file" -i CustomAction.idt ||
        die "cannot add the custom actions to $model"
    while IFS= read -r q; do
        msibuild "$file" -q "$q" || die "msibuild -q \"$q\" failed on $model"
    done < <(fixes)

    # The package code is derived from the content: the bytes with a fixed one.
    summary "$file" "$name" "{00000000-0000-0000-0000-000000000000}" || die "cannot write the summary of $model"
    digest=$(sha256sum <"$file" | cut -d' ' -f1)
    summary "$file" "$name" "$(guid "package $digest")" || die "cannot write the summary of $model"
    mv "$file" "$out_dir/$file" || die "cannot write $out_dir/$file"
    printf '%s\t%s\t%s\t%s\n' "$model" "$(guid "product $model $version $content")" \
        "$(guid "upgrade $model")" "$file" >>"$codes"
    echo "built $out_dir/$file"
}

[ -f "$actions" ] || die "no custom actions at $actions (scripts/build.sh windows-x86 builds them)"
# What the MSIs install, by name and bytes: the ProductCode's content.
content=$(cd "$stage/files" && find . -type f -printf '%P\n' | LC_ALL=C sort | xargs -d '\n' sha256sum | sha256sum | cut -c1-64)
codes=$stage/product-codes.txt
printf 'model\tProductCode\tUpgradeCode\tpackage\n' >"$codes"
for m in "${models[@]}"; do
    build "$m"
done
cp "$codes" "$out_dir/VexoPrinter-$version-product-codes.txt" || die "cannot write the product codes"
echo "built $out_dir/VexoPrinter-$version-product-codes.txt"
