#!/usr/bin/env bash
# Builds the Windows Installer packages of a release, one per model,
# VexoPrinter-MODEL-VERSION.msi: per machine, with its cabinet inside, each installs the program
# and the driver package into a folder of its own model, [ProgramFilesFolder]VEXO\Printer
# Setup\MODEL\, and runs the program's quiet installation from there with what the public
# properties say (PORT, IP, PORTNUMBER, LPR, SNMP, NAME, LOCATION, COMMENT, NODEFAULT); its
# removal runs the program's removal. scripts/release.sh calls it with the signed program.
#
# usage: scripts/msi.sh [--out DIR] [--program EXE] [--model MODEL]... [--version X.Y.Z]
#                       PACKAGE_DIR
#   PACKAGE_DIR   a checked driver package (scripts/release.sh --list)
#   --out DIR     where the MSIs go (default: the current folder)
#   --program EXE the program the MSIs carry (default: VexoSetup.exe in the package)
#   --model M     only this model's MSI (again for more; default: all eight)
#   --version V   the product version (default: the program's, platform/Version.h, in three
#                 fields: Windows Installer compares no fourth); the tests make other
#                 versions with it to upgrade and downgrade
#
# The same package and commit give the same bytes: every GUID is derived from the model's
# name (the UpgradeCode, which never changes), the model and version (the ProductCode) or the
# content (the package code); the summary's times and the cabinet's file times are the
# release's time (SOURCE_DATE_EPOCH, else the time of the commit the scripts are checked out
# at).
#
# wixl (msitools 0.101) writes some things wrong while it exits 0, and cannot write others;
# those are set afterwards with msibuild (fixes below), and any word wixl says fails the build:
#   - Execute="rollback" comes out immediate, and an EXE from the Binary table (BinaryKey with
#     ExeCommand) is refused: the rollback action and its Binary row are added here;
#   - every custom action comes out without impersonation: the property-setting ones are set
#     back to type 51;
#   - MajorUpgrade puts RemoveExistingProducts after InstallFinalize: it is given its place;
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
    echo "usage: $0 [--out DIR] [--program EXE] [--model MODEL]... [--version X.Y.Z] PACKAGE_DIR" >&2
    exit 2
}
die() {
    printf 'msi: %s\n' "$*" >&2
    exit 1
}

MODELS=(K20A K20AW K30A K30AN K30AL M41 M42 M43)
HELP_LINK=https://www.vexo.example/support
PROPERTIES=(PORT IP PORTNUMBER LPR SNMP NAME LOCATION COMMENT NODEFAULT)
# The switch each property gives, as /switch=value (a value after "=" never reads as a
# switch, whatever it begins with). NODEFAULT gives /nodefault when set to anything but 0.
declare -A SWITCH=([PORT]=port [IP]=ip [PORTNUMBER]=portnumber [LPR]=lpr [SNMP]=snmp
    [NAME]=name [LOCATION]=location [COMMENT]=comment)

out_dir=.
program=
package=
version=
models=()
while [ $# -gt 0 ]; do
    case $1 in
    --out | --program | --model | --version)
        [ $# -ge 2 ] || usage
        case $1 in
        --out) out_dir=$2 ;;
        --program) program=$2 ;;
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

# The custom actions and their place: the arguments built from the properties that are set
# (each conditioned action appends one switch), a property not given on the command line
# taken from the last installation, the rollback of the installation before it, the removal
# before the files go.
# VexoInstall and VexoRemove: 3090, 18 (an EXE installed with the product) + deferred + no
# impersonation, their exit code checked.
TYPE_SET_PROPERTY=51
TYPE_ROLLBACK=3394 # 2 (an EXE from the Binary table) + rollback + deferred + no impersonation
#                    + its result ignored, so that the rest is rolled back all the same
TYPE_COMMIT=3650   # the same, run at the commit of a transaction that succeeded
# The install action keeps its change record here, where only administrators can write; the
# rollback undoes exactly that record, and only when it carries this run's token (a record
# another run left is not touched); the commit spends it.
RECORD=VexoSetup.record
wxs() {
    local model=$1 product_name=$2 key="SOFTWARE\\VEXO\\Printer Setup\\$1" p seq
    cat <<EOF
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
<Product Id="$(guid "product $model $version")" UpgradeCode="$(guid "upgrade $model")"
  Name="$product_name" Version="$version" Manufacturer="VEXO" Language="1033">
<Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
  Description="$product_name" Comments="The VEXO $model printer, its driver and VexoSetup.exe"/>
<Media Id="1" Cabinet="vexo.cab" EmbedCab="yes"/>
<MajorUpgrade DowngradeErrorMessage="A newer version of the $product_name is installed. Remove it first to install this version."/>
<Property Id="ARPNOMODIFY" Value="1"/>
<Property Id="ARPNOREPAIR" Value="1"/>
<Property Id="ARPHELPLINK" Value="$HELP_LINK"/>
<Property Id="MsiHiddenProperties" Value="SNMP;VexoSavedSNMP;VexoInstallArgs"/>
EOF
    for p in "${PROPERTIES[@]}"; do
        printf '<Property Id="VexoSaved%s"><RegistrySearch Id="Saved%s" Root="HKLM" Key="%s" Name="%s" Type="raw"/></Property>\n' \
            "$p" "$p" "$(xml "$key")" "$p"
    done
    cat <<EOF
<Directory Id="TARGETDIR" Name="SourceDir"><Directory Id="ProgramFilesFolder">
<Directory Id="VexoFolder" Name="VEXO"><Directory Id="SetupFolder" Name="Printer Setup">
<Directory Id="INSTALLDIR" Name="$model">
<Component Id="Settings" Guid="$(guid "component $model settings")">
<RegistryValue Root="HKLM" Key="$(xml "$key")" Name="Folder" Type="string" Value="[INSTALLDIR]" KeyPath="yes"/>
EOF
    for p in "${PROPERTIES[@]}"; do
        printf '<RegistryValue Root="HKLM" Key="%s" Name="%s" Type="string" Value="[%s]"/>\n' \
            "$(xml "$key")" "$p" "$p"
    done
    echo '</Component>'
    directory_xml "$model" ""
    cat <<EOF
</Directory></Directory></Directory></Directory></Directory>
<Feature Id="Printer" Level="1" Title="$product_name">$(component_refs)</Feature>
<CustomAction Id="VexoToken" Property="VexoToken" Value="[Date] [Time] [ProductCode]"/>
<CustomAction Id="VexoInstallArgs" Property="VexoInstallArgs" Value="/quiet /model $model"/>
<CustomAction Id="VexoRecordArgs" Property="VexoRecordArgs" Value="&quot;[INSTALLDIR]$RECORD&quot; &quot;/token=[VexoToken]&quot;"/>
<CustomAction Id="VexoArgRecord" Property="VexoInstallArgs" Value="[VexoInstallArgs] &quot;/record=[INSTALLDIR]$RECORD&quot; &quot;/token=[VexoToken]&quot;"/>
<CustomAction Id="VexoRemoveArgs" Property="VexoRemoveArgs" Value="/quiet /uninstall /model $model"/>
<CustomAction Id="VexoRemoveArgName" Property="VexoRemoveArgs" Value="[VexoRemoveArgs] &quot;/name=[NAME]&quot;"/>
<CustomAction Id="VexoArgNODEFAULT" Property="VexoInstallArgs" Value="[VexoInstallArgs] /nodefault"/>
<CustomAction Id="VexoInstall" FileKey="f_VexoSetup.exe" ExeCommand="[VexoInstallArgs]" Execute="deferred" Return="check" Impersonate="no"/>
<CustomAction Id="VexoRemove" FileKey="f_VexoSetup.exe" ExeCommand="[VexoRemoveArgs]" Execute="deferred" Return="check" Impersonate="no"/>
EOF
    for p in "${PROPERTIES[@]}"; do
        printf '<CustomAction Id="VexoRestore%s" Property="%s" Value="[VexoSaved%s]"/>\n' "$p" "$p" "$p"
        if [ -n "${SWITCH[$p]:-}" ]; then
            printf '<CustomAction Id="VexoArg%s" Property="VexoInstallArgs" Value="[VexoInstallArgs] &quot;/%s=[%s]&quot;"/>\n' \
                "$p" "${SWITCH[$p]}" "$p"
        fi
    done
    echo '<InstallExecuteSequence>'
    echo '<AppSearch Sequence="50"/>'
    seq=401
    for p in "${PROPERTIES[@]}"; do
        printf '<Custom Action="VexoRestore%s" Sequence="%d">NOT %s AND VexoSaved%s</Custom>\n' "$p" $((seq++)) "$p" "$p"
    done
    seq=421
    echo "<Custom Action=\"VexoInstallArgs\" Sequence=\"$((seq++))\"/>"
    for p in "${PROPERTIES[@]}"; do
        if [ "$p" = NODEFAULT ]; then
            printf '<Custom Action="VexoArgNODEFAULT" Sequence="%d">NODEFAULT AND NODEFAULT&lt;&gt;"0"</Custom>\n' $((seq++))
        else
            printf '<Custom Action="VexoArg%s" Sequence="%d">%s</Custom>\n' "$p" $((seq++)) "$p"
        fi
    done
    cat <<EOF
<Custom Action="VexoToken" Sequence="1001"/>
<Custom Action="VexoRecordArgs" Sequence="1002"/>
<Custom Action="VexoArgRecord" Sequence="1003"/>
<Custom Action="VexoRemoveArgs" Sequence="441"/>
<Custom Action="VexoRemoveArgName" Sequence="442">NAME</Custom>
<RemoveExistingProducts Sequence="1450"/>
<Custom Action="VexoRemove" Sequence="1610">REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE</Custom>
<Custom Action="VexoInstall" Sequence="5901">NOT REMOVE~="ALL"</Custom>
</InstallExecuteSequence>
</Product>
</Wix>
EOF
}

# What wixl cannot write or writes wrong, as msibuild's SQL.
fixes() {
    cat <<EOF
UPDATE CustomAction SET Type = $TYPE_SET_PROPERTY WHERE Type = $((TYPE_SET_PROPERTY | 2048))
INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('VexoRollbackInstall', $TYPE_ROLLBACK, 'VexoSetup.exe', '/quiet /rollback [VexoRecordArgs]')
INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('VexoRollbackInstall', 'NOT REMOVE~="ALL"', 5900)
INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('VexoCommitInstall', $TYPE_COMMIT, 'VexoSetup.exe', '/quiet /commit [VexoRecordArgs]')
INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('VexoCommitInstall', 'NOT REMOVE~="ALL"', 5902)
INSERT INTO RemoveFile (FileKey, Component_, FileName, DirProperty, InstallMode) VALUES ('VexoRemoveRecord', 'Settings', '$RECORD', 'INSTALLDIR', 2)
INSERT INTO RemoveFile (FileKey, Component_, DirProperty, InstallMode) VALUES ('VexoRemoveSetupFolder', 'Settings', 'SetupFolder', 2)
INSERT INTO RemoveFile (FileKey, Component_, DirProperty, InstallMode) VALUES ('VexoRemoveVexoFolder', 'Settings', 'VexoFolder', 2)
UPDATE Property SET Value = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;$(IFS=';' && echo "${PROPERTIES[*]}")' WHERE Property = 'SecureCustomProperties'
EOF
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

    # The rollback runs a copy of the program from the Binary table: when it runs, the
    # installed files may be gone already (Wine rolls the files back first).
    cp ../files/VexoSetup.exe Binary/VexoSetup.exe.ibd &&
        printf 'Name\tData\r\ns72\tv0\r\nBinary\tName\r\nVexoSetup.exe\tVexoSetup.exe.ibd\r\n' >Binary.idt &&
        msibuild "$file" -i Binary.idt || die "cannot add the program to the Binary table of $model"
    while IFS= read -r q; do
        msibuild "$file" -q "$q" || die "msibuild -q \"$q\" failed on $model"
    done < <(fixes)

    # The package code is derived from the content: the bytes with a fixed one.
    summary "$file" "$name" "{00000000-0000-0000-0000-000000000000}" || die "cannot write the summary of $model"
    digest=$(sha256sum <"$file" | cut -d' ' -f1)
    summary "$file" "$name" "$(guid "package $digest")" || die "cannot write the summary of $model"
    mv "$file" "$out_dir/$file" || die "cannot write $out_dir/$file"
    echo "built $out_dir/$file"
}

for m in "${models[@]}"; do
    build "$m"
done
