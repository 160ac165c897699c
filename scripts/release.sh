#!/usr/bin/env bash
# Makes a release of a driver package: checks the folder against what the installer reads
# from it, puts the shipped VexoSetup.exe (the windows-x86 build, signed when signing is set
# up) into it, writes SHA256SUMS into it and zips it.
#
# usage: scripts/release.sh [--out DIR] PACKAGE_DIR
#   --out DIR   where the zip goes (default: next to the package folder), as NAME.zip after
#               the package folder's name
#        scripts/release.sh --list
#               prints the files the package must hold, one a line
#
# Signing: set SIGN_PKCS12, or SIGN_CERT and SIGN_KEY, and SIGN_PASSWORD and
# SIGN_TIMESTAMP_URL as scripts/sign.sh describes; without them the program is not signed
# and the script says so.
#
# The check lists every file that is missing or empty and then fails without changing the
# folder. A name in another letter case is fine on Windows, which finds files whatever
# their case, and is only pointed out.
#
# Exit status: 0 released, 1 the package or a step failed, 2 wrong usage.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
    echo "usage: $0 [--out DIR] PACKAGE_DIR" >&2
    exit 2
}
die() {
    printf 'release: %s\n' "$*" >&2
    exit 1
}

out_dir=
package=
list_only=0
while [ $# -gt 0 ]; do
    case $1 in
    --out)
        [ $# -ge 2 ] || usage
        out_dir=$2
        shift 2
        ;;
    --list)
        list_only=1
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
[ "$list_only" = 1 ] || [ -n "$package" ] || usage

# ---------------------------------------------------------------------------------------
# What the installer reads from the package, in the letter case it asks for: the printer
# driver files it copies for every model (install/ModelTables.h and the deployment in
# install/), for each architecture, and the USB driver installers the first page starts
# (pages/OsSelectPage.cpp). tests/release/run.sh checks this list against the sources.

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
required=()
for arch in x86 x64; do
    for f in "${PRINTER_DRIVER_FILES[@]}"; do
        required+=("Printer Driver/$arch/$f")
    done
done
required+=("${USB_DRIVER_FILES[@]}")
if [ "$list_only" = 1 ]; then
    printf '%s\n' "${required[@]}"
    exit 0
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
            [ -e "$entry" ] || continue # an unmatched pattern
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
problems=$((${#missing[@]} + ${#empty[@]} + ${#ambiguous[@]}))
if [ "$problems" -gt 0 ]; then
    die "the package is not complete (${#missing[@]} missing, ${#empty[@]} empty, ${#ambiguous[@]} clashing); nothing was changed"
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
if [ -n "${SIGN_PKCS12:-}${SIGN_CERT:-}${SIGN_KEY:-}" ]; then
    echo "==> Signing VexoSetup.exe"
    "$root/scripts/sign.sh" "$staged/VexoSetup.exe" || die "signing failed; nothing was changed"
else
    echo "note: VexoSetup.exe is not signed (set SIGN_PKCS12, or SIGN_CERT and SIGN_KEY, to sign it)"
fi

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
# The checksums and the zip

echo "==> Writing SHA256SUMS and $name.zip"
# (written outside the folder first, so that the list of its files does not catch it)
(
    cd "$package" || exit 1
    find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | while IFS= read -r f; do
        sha256sum -- "$f"
    done >"$staged/SHA256SUMS" && mv "$staged/SHA256SUMS" SHA256SUMS
) || die "cannot write $package/SHA256SUMS"

zip_file=$out_dir/$name.zip
rm -f "$zip_file"
(
    cd "$(dirname "$package")" || exit 1
    find "$name" -print | LC_ALL=C sort | zip -q -X -@ "$zip_file"
) || die "cannot write $zip_file"
echo "wrote $zip_file"
sha256sum "$zip_file" | sed "s|  .*|  $name.zip|"
