#!/usr/bin/env bash
# Makes a release of a driver package: checks the folder against what the installer reads
# from it, puts the shipped VexoSetup.exe (the windows-x86 build, signed when signing is set
# up) into it, writes SHA256SUMS into it and zips it; beside the zip, one Windows Installer
# package per model (scripts/msi.sh, carrying the signed program; signed too) and a
# SHA256SUMS of the zip and the MSIs.
#
# usage: scripts/release.sh [--out DIR] [--signature-from EXE [--msi-signatures-from DIR]]
#                           PACKAGE_DIR
#   --out DIR   where the zip and the MSIs go (default: next to the package folder), the zip
#               as NAME.zip after the package folder's name
#   --signature-from EXE
#               gives the program the signature of EXE (a published VexoSetup.exe) instead
#               of signing it: how anyone makes a published release again without the
#               maker's key. Fails when that signature is not one of this build.
#   --msi-signatures-from DIR
#               with --signature-from: gives each MSI the signature of the published MSI of
#               the same name in DIR, under the same condition
#        scripts/release.sh --list
#               prints the files the package must hold, one a line
#        scripts/release.sh --list-optional
#               prints the files of the architectures a package may hold (ARM64, for Windows
#               on ARM): a package that has such a folder must hold them all
#
# Signing: set SIGN_PKCS12, or SIGN_CERT and SIGN_KEY, and SIGN_PASSWORD and
# SIGN_TIMESTAMP_URL as scripts/sign.sh describes; without them the program is not signed
# and the script says so.
#
# The check lists every file that is missing or empty, and every link or other thing that
# is neither a file nor a folder (a link could bring a file from outside the package into
# the zip), and then fails without changing the folder. A name in another letter case is
# fine on Windows, which finds files whatever their case, and is only pointed out.
#
# The same package from the same commit gives the same zip, byte for byte: every entry has
# the release's time (SOURCE_DATE_EPOCH when it is set, else the time of the commit the
# scripts are checked out at), the permissions 644 (files) and 755 (folders), and no extra
# attributes; the signature states the same time as its signing time. A time-stamp
# (SIGN_TIMESTAMP_URL) is the server's and differs every time: such a release is made
# again only with --signature-from.
#
# Exit status: 0 released, 1 the package or a step failed, 2 wrong usage.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
    echo "usage: $0 [--out DIR] [--signature-from EXE [--msi-signatures-from DIR]] PACKAGE_DIR" >&2
    exit 2
}
die() {
    printf 'release: %s\n' "$*" >&2
    exit 1
}

out_dir=
package=
list_only=0
signature_from=
msi_signatures_from=
while [ $# -gt 0 ]; do
    case $1 in
    --out)
        [ $# -ge 2 ] || usage
        out_dir=$2
        shift 2
        ;;
    --signature-from)
        [ $# -ge 2 ] || usage
        signature_from=$2
        shift 2
        ;;
    --msi-signatures-from)
        [ $# -ge 2 ] || usage
        msi_signatures_from=$2
        shift 2
        ;;
    --list)
        list_only=1
        shift
        ;;
    --list-optional)
        list_only=optional
        shift
        ;;
    -*) usage ;;
    *)
        [ -z "$package" ] || usage
        package=$1
        shift
        ;;
    esac
done
[ "$list_only" != 0 ] || [ -n "$package" ] || usage

# ---------------------------------------------------------------------------------------
# What the installer reads from the package, in the letter case it asks for: the printer
# driver files it copies for every model (install/ModelTables.h and the deployment in
# install/), in the folder of each architecture (read from install/Architecture.h's table
# below), and the USB driver installers the first page starts (the same table).
# tests/release/run.sh checks this list against the sources. Windows on ARM takes the ARM64
# folder, which a package may lack.

PRINTER_DRIVER_FILES=(
    TQ20Ev1.DLL TQ30Ev1.DLL TQ3XEv1.DLL
    TQ20P.GPD TQ20PW.GPD TQ30P.GPD M41.GPD M42.GPD M43.GPD
    uniDRVui.DLL uniDRV.DLL UNIDRV.HLP UNIRES.DLL TTFSUB.GPD STDNAMES.GPD
)
USB_DRIVER_FILES=(
    "USB Driver/x86/dpinstx86.exe"
    "USB Driver/x64/dpinstx64.exe"
    "USBdriver/x86/dpinst.exe"
)
# The driver folder of each architecture, read from the rows of install/Architecture.h's
# table (one row a line: {Machine::X86, {"Windows NT x86", "Printer Driver\\x86\\"}, ...}).
mapfile -t arch_rows < <(grep -E '^ *[{]Machine::[A-Za-z0-9]+, [{]"[^"]*", "Printer Driver' \
    "$root/install/Architecture.h")
[ ${#arch_rows[@]} -gt 0 ] || die "no architectures in install/Architecture.h"
required=()
optional=()
for row in "${arch_rows[@]}"; do
    arch=$(sed -E 's/.*"Printer Driver\\\\([^\\]+)\\\\".*/\1/' <<<"$row")
    for f in "${PRINTER_DRIVER_FILES[@]}"; do
        if [[ $row == *Machine::Arm64* ]]; then
            optional+=("Printer Driver/$arch/$f")
        else
            required+=("Printer Driver/$arch/$f")
        fi
    done
done
required+=("${USB_DRIVER_FILES[@]}")
if [ "$list_only" = 1 ]; then
    printf '%s\n' "${required[@]}"
    exit 0
elif [ "$list_only" = optional ]; then
    printf '%s\n' "${optional[@]}"
    exit 0
fi

if [ -n "$signature_from" ] && [ -n "${SIGN_PKCS12:-}${SIGN_CERT:-}${SIGN_KEY:-}" ]; then
    echo "release: --signature-from takes the signature of a published program; unset SIGN_PKCS12, SIGN_CERT and SIGN_KEY" >&2
    exit 2
fi
[ -d "$package" ] || die "$package is not a folder"
package=$(cd "$package" && pwd)
name=$(basename "$package")
[ -n "$out_dir" ] || out_dir=$(dirname "$package")
mkdir -p "$out_dir" || die "cannot make $out_dir"
out_dir=$(cd "$out_dir" && pwd)
case "$out_dir/" in
"$package"/*) die "the zip cannot go inside the package folder ($out_dir)" ;;
esac
[ -z "$msi_signatures_from" ] || [ -n "$signature_from" ] || usage
if [ -n "$signature_from" ]; then
    [ -f "$signature_from" ] || die "$signature_from: no such file"
    signature_from=$(cd "$(dirname "$signature_from")" && pwd)/$(basename "$signature_from")
fi

# The release's time, for every entry of the zip and the signature: the same for every
# release of one commit (https://reproducible-builds.org/specs/source-date-epoch/).
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    [[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] ||
        die "SOURCE_DATE_EPOCH ($SOURCE_DATE_EPOCH) is not a number of seconds since 1970"
    epoch=$SOURCE_DATE_EPOCH
    epoch_from="SOURCE_DATE_EPOCH"
else
    epoch=$(git -C "$root" log -1 --format=%ct 2>/dev/null)
    [ -n "$epoch" ] ||
        die "$root is not a git checkout: set SOURCE_DATE_EPOCH to the release's time (seconds since 1970)"
    epoch_from="the time of commit $(git -C "$root" rev-parse --short HEAD)"
    if [ -n "$(git -C "$root" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
        echo "note: $root has changes that are not committed: this release cannot be made again from a commit"
    fi
fi
echo "the release's time: $(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC') ($epoch_from)"

# Finds RELATIVE_PATH in the package as Windows would, whatever the case of each part.
# Sets FOUND to the path as it is on disk (empty when there is none) and AMBIGUOUS to the
# names of a part that differ only in case, when there are several.
FOUND=
AMBIGUOUS=
resolve() {
    local part entry dir=$package rel='' matches
    local -a parts
    FOUND=
    AMBIGUOUS=
    IFS=/ read -r -a parts <<<"$1"
    for part in "${parts[@]}"; do
        matches=()
        for entry in "$dir"/* "$dir"/.*; do
            [ -e "$entry" ] || [ -L "$entry" ] || continue # an unmatched pattern
            entry=${entry##*/}
            case $entry in . | ..) continue ;; esac
            [ "${entry,,}" = "${part,,}" ] && matches+=("$entry")
        done
        [ ${#matches[@]} -gt 0 ] || return 1
        if [ ${#matches[@]} -gt 1 ]; then
            AMBIGUOUS="${rel:+$rel/}{$(IFS=,; echo "${matches[*]}")}"
            return 1
        fi
        rel+=${rel:+/}${matches[0]}
        dir=$package/$rel
    done
    FOUND=$rel
}

# A package with an ARM64 folder must hold its every file.
if resolve "Printer Driver/ARM64" && [ -d "$package/$FOUND" ]; then
    required+=("${optional[@]}")
fi
echo "==> Checking $package against what the installer reads (${#required[@]} files)"
missing=()
empty=()
ambiguous=()
other_case=()
for path in "${required[@]}"; do
    if ! resolve "$path"; then
        if [ -n "$AMBIGUOUS" ]; then
            ambiguous+=("$path: the package holds $AMBIGUOUS, names that differ only in case, which one Windows folder cannot hold")
        else
            missing+=("$path")
        fi
    elif [ -L "$package/$FOUND" ]; then
        : # named with the links below
    elif [ ! -f "$package/$FOUND" ]; then
        missing+=("$path (is not a file)")
    elif [ ! -s "$package/$FOUND" ]; then
        empty+=("$FOUND")
    elif [ "$FOUND" != "$path" ]; then
        other_case+=("$FOUND (the installer asks for $path)")
    fi
done

for l in "${other_case[@]}"; do
    echo "note: other letter case: $l; Windows finds it all the same"
done
for l in "${missing[@]}"; do
    echo "missing: $l"
done
for l in "${empty[@]}"; do
    echo "empty: $l"
done
for l in "${ambiguous[@]}"; do
    echo "clash: $l"
done

# Only regular files and folders: a link would put what it points at, maybe a file from
# outside the package, into the zip under its own name.
foreign=()
while IFS= read -r -d '' l; do
    foreign+=("$l")
done < <(
    find "$package" -mindepth 1 -type l -printf 'link: %P -> %l\0'
    find "$package" -mindepth 1 ! -type l ! -type f ! -type d -printf 'not a file or folder: %P\0'
)
for l in "${foreign[@]}"; do
    echo "$l"
done

problems=$((${#missing[@]} + ${#empty[@]} + ${#ambiguous[@]}))
if [ "$problems" -gt 0 ] || [ ${#foreign[@]} -gt 0 ]; then
    what=()
    [ "$problems" -gt 0 ] &&
        what+=("is not complete (${#missing[@]} missing, ${#empty[@]} empty, ${#ambiguous[@]} clashing)")
    if [ ${#foreign[@]} -gt 0 ]; then
        plural=s
        [ ${#foreign[@]} = 1 ] && plural=
        what+=("holds ${#foreign[@]} link$plural or special file$plural (a release holds only regular files and folders)")
    fi
    die "the package ${what[0]}${what[1]:+ and ${what[1]}}; nothing was changed"
fi
echo "all ${#required[@]} files are there"

# ---------------------------------------------------------------------------------------
# The program

echo "==> Building the shipped program (windows-x86)"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$root/scripts/build.sh" windows-x86 >"$log" 2>&1 || {
    cat "$log" >&2
    die "building windows-x86 failed"
}
exe=$root/build/windows-x86/app/VexoSetup.exe
[ -f "$exe" ] || die "the build left no $exe"

staged=$(mktemp -d)
trap 'rm -f "$log"; rm -rf "$staged"' EXIT
cp "$exe" "$staged/VexoSetup.exe" || die "cannot copy $exe"

# take_signature PUBLISHED FILE: gives FILE the signature of PUBLISHED, the same file as
# published, when that signature was made over these very bytes.
take_signature() {
    local published=$1 file=$2 signed_digest own_digest
    command -v osslsigncode >/dev/null || die "osslsigncode is not installed (scripts/deps.sh installs it)"
    osslsigncode extract-signature -in "$published" -out "$staged/signature" >"$log" 2>&1 </dev/null || {
        sed 's/^/    /' "$log" >&2
        die "$published holds no signature; nothing was changed"
    }
    mv "$file" "$staged/unsigned"
    # attach-signature also checks the certificate chain against the machine's trusted
    # ones and fails when it does not reach one; what counts here is only whether the
    # signature was made over this very file, its digest.
    osslsigncode attach-signature -sigin "$staged/signature" -in "$staged/unsigned" \
        -out "$file" >"$log" 2>&1 </dev/null
    signed_digest=$(sed -n 's/^Current \(message digest\|DigitalSignature\) *: *\([0-9A-Fa-f]*\).*/\2/p' "$log" | head -n 1)
    own_digest=$(sed -n 's/^Calculated \(message digest\|DigitalSignature\) *: *\([0-9A-Fa-f]*\).*/\2/p' "$log" | head -n 1)
    rm -f "$staged/unsigned" "$staged/signature"
    if [ ! -s "$file" ] || [ -z "$signed_digest" ] || [ "$signed_digest" != "$own_digest" ]; then
        grep 'message digest *:\|DigitalSignature *:' "$log" | sed 's/^/    /' >&2
        die "the signature of $published was not made over this build of $(basename "$file") (another commit, or other tools?); nothing was changed"
    fi
}

if [ -n "$signature_from" ]; then
    echo "==> Giving VexoSetup.exe the signature of $signature_from"
    take_signature "$signature_from" "$staged/VexoSetup.exe"
elif [ -n "${SIGN_PKCS12:-}${SIGN_CERT:-}${SIGN_KEY:-}" ]; then
    echo "==> Signing VexoSetup.exe"
    SIGN_TIME=$epoch "$root/scripts/sign.sh" "$staged/VexoSetup.exe" || die "signing failed; nothing was changed"
    if [ -n "${SIGN_TIMESTAMP_URL:-}" ]; then
        echo "note: the time-stamp is the server's own and differs every time: this zip is made again only with --signature-from"
    fi
else
    echo "note: VexoSetup.exe is not signed (set SIGN_PKCS12, or SIGN_CERT and SIGN_KEY, to sign it)"
fi

# ---------------------------------------------------------------------------------------
# The MSIs, one per model, carrying the signed program, each signed like it; then checked:
# each holds the package's files and this very program.

echo "==> Building the MSIs"
msis=$staged/msi
SOURCE_DATE_EPOCH=$epoch "$root/scripts/msi.sh" --program "$staged/VexoSetup.exe" \
    --actions "$root/build/windows-x86/msica/VexoActions.dll" --out "$msis" "$package" >"$log" 2>&1 || {
    cat "$log" >&2
    die "building the MSIs failed; nothing was changed"
}
for msi in "$msis"/*.msi; do
    if [ -n "$msi_signatures_from" ]; then
        echo "==> Giving $(basename "$msi") the signature of $msi_signatures_from/$(basename "$msi")"
        [ -f "$msi_signatures_from/$(basename "$msi")" ] ||
            die "$msi_signatures_from holds no $(basename "$msi"); nothing was changed"
        take_signature "$msi_signatures_from/$(basename "$msi")" "$msi"
    elif [ -z "$signature_from" ] && [ -n "${SIGN_PKCS12:-}${SIGN_CERT:-}${SIGN_KEY:-}" ]; then
        SIGN_TIME=$epoch "$root/scripts/sign.sh" "$msi" >/dev/null || die "signing $(basename "$msi") failed; nothing was changed"
    fi
    rm -rf "$staged/extracted"
    mkdir -p "$staged/extracted"
    msiextract -C "$staged/extracted" "$msi" >/dev/null 2>&1 || die "$(basename "$msi") cannot be read back"
    model=${msi##*/VexoPrinter-}
    model=${model%%-*}
    installed=$staged/extracted/Program\ Files/VEXO/Printer\ Setup/$model
    cmp -s "$installed/VexoSetup.exe" "$staged/VexoSetup.exe" ||
        die "$(basename "$msi") does not carry this VexoSetup.exe"
    for path in "${required[@]}"; do
        resolve "$path" && cmp -s "$installed/$path" "$package/$FOUND" ||
            die "$(basename "$msi") does not carry $path as the package has it"
    done
done
if [ -n "$signature_from" ] && [ -z "$msi_signatures_from" ]; then
    echo "note: the MSIs are not signed (--msi-signatures-from gives them the published ones' signatures)"
elif [ -z "$signature_from" ] && [ -z "${SIGN_PKCS12:-}${SIGN_CERT:-}${SIGN_KEY:-}" ]; then
    echo "note: the MSIs are not signed"
fi
echo "built $(find "$msis" -name '*.msi' | wc -l) MSIs, each carrying this VexoSetup.exe and the package"

# Another copy of the program in another case would be a second file on Linux but the
# same one on Windows.
for entry in "$package"/*; do
    entry=${entry##*/}
    if [ "${entry,,}" = vexosetup.exe ] && [ "$entry" != VexoSetup.exe ]; then
        echo "note: replacing $entry by VexoSetup.exe"
        rm -f "${package:?}/$entry"
    fi
done
cp "$staged/VexoSetup.exe" "$package/VexoSetup.exe" || die "cannot write $package/VexoSetup.exe"
echo "put $package/VexoSetup.exe"

# ---------------------------------------------------------------------------------------
# The checksums and the zip, both made from a copy of the package, which gets the same
# times and permissions every time. SHA256SUMS lists every file of the copy but itself.

echo "==> Writing SHA256SUMS and $name.zip"
tree=$staged/tree
if ! mkdir -p "$tree/$name" || ! cp -R -- "$package/." "$tree/$name/"; then
    die "cannot copy $package to $tree"
fi
odd=$(find "$tree" ! -type f ! -type d -printf '%P\n')
[ -z "$odd" ] || die "the package changed while it was released: $odd is neither a file nor a folder"
(
    cd "$tree/$name" || exit 1
    find . -path ./SHA256SUMS -prune -o -type f -printf '%P\n' | LC_ALL=C sort | while IFS= read -r f; do
        sha256sum -- "$f"
    done >"$staged/SHA256SUMS" && mv "$staged/SHA256SUMS" SHA256SUMS
) || die "cannot write SHA256SUMS"
cp "$tree/$name/SHA256SUMS" "$package/SHA256SUMS" || die "cannot write $package/SHA256SUMS"

if ! find "$tree" -type d -exec chmod 755 {} + || ! find "$tree" -type f -exec chmod 644 {} + ||
    ! find "$tree" -exec touch -d "@$epoch" {} +; then
    die "cannot set the times and permissions in $tree"
fi

# -X leaves out the extra attributes (owner, the times besides the one of each entry). An
# entry's time is stored without a time zone, so it is written as UTC; the locale is fixed
# too, since zip reads file names by it.
zip_file=$out_dir/$name.zip
rm -f "$zip_file"
(
    cd "$tree" || exit 1
    find "$name" -print | LC_ALL=C sort | TZ=UTC LC_ALL=C.UTF-8 zip -q -X -@ "$zip_file"
) || die "cannot write $zip_file"
echo "wrote $zip_file"

# The MSIs beside the zip with their product and upgrade codes, and the list of them all.
for msi in "$msis"/*.msi "$msis"/*-product-codes.txt; do
    cp "$msi" "$out_dir/" || die "cannot write $out_dir/$(basename "$msi")"
    echo "wrote $out_dir/$(basename "$msi")"
done
(
    cd "$out_dir" || exit 1
    for f in "$name.zip" $(cd "$msis" && ls -- *.msi *-product-codes.txt | LC_ALL=C sort); do
        sha256sum -- "$f"
    done >"$staged/SHA256SUMS" && cp "$staged/SHA256SUMS" SHA256SUMS
) || die "cannot write $out_dir/SHA256SUMS"
echo "wrote $out_dir/SHA256SUMS"
cat "$out_dir/SHA256SUMS"
