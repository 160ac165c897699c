#!/usr/bin/env bash
# Creates a sample driver package in DIR: the printer driver files for both architectures and
# the USB driver installers, each a small placeholder file. Running it again rewrites the
# same files; files of its own that it no longer makes are left alone.
#
# usage: scripts/make-sample-package.sh DIR
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
    echo "usage: $0 DIR" >&2
    exit 2
fi
dir=$1

# The universal driver's files and the per-model files, with the letter case the installer
# copies them with.
printer_files=(
    TQ20Ev1.DLL TQ30Ev1.DLL TQ3XEv1.DLL
    TQ20P.GPD TQ20PW.GPD TQ30P.GPD M41.GPD M42.GPD M43.GPD
    uniDRVui.DLL uniDRV.DLL UNIDRV.HLP UNIRES.DLL TTFSUB.GPD STDNAMES.GPD
)

# Writes a file only when its content differs, so that a second run changes nothing.
put() {
    local path=$1 content=$2
    if [ -f "$path" ] && [ "$(cat "$path")" = "$content" ]; then
        return
    fi
    printf '%s\n' "$content" >"$path"
}

for arch in x86 x64 ARM64; do
    mkdir -p "$dir/Printer Driver/$arch"
    for name in "${printer_files[@]}"; do
        put "$dir/Printer Driver/$arch/$name" "placeholder for $name ($arch)"
    done
done

mkdir -p "$dir/USB Driver/x86" "$dir/USB Driver/x64" "$dir/USBdriver/x86"
put "$dir/USB Driver/x86/dpinstx86.exe" "placeholder for dpinstx86.exe (x86)"
put "$dir/USB Driver/x64/dpinstx64.exe" "placeholder for dpinstx64.exe (x64)"
put "$dir/USBdriver/x86/dpinst.exe" "placeholder for dpinst.exe (x86)"
