#!/usr/bin/env bash
# Makes the pictures of the pages in docs/ again: runs the typical installation under Xvfb
# (scripts/run-installer.sh --headless --all-pages, which also lists the machine's ports
# and opens the port creation dialog on the way), and keeps each picture it took, cut to
# the windows, as a small palette PNG: os-page.png, settings-page.png, port-page.png,
# port-page-search.png, create-port.png, usb-retry.png and completed.png (or the boxes the
# run showed instead). The README's section "The pages" shows them.
#
# usage: scripts/make-docs.sh
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1

scripts/run-installer.sh --headless --all-pages || {
    echo "make-docs: the run failed; docs/ is unchanged" >&2
    exit 1
}

shots=build/run/screenshots
mapfile -t pictures < <(find "$shots" -maxdepth 1 -name '*.png' ! -name 'FAILED*' -printf '%f\n' | sort)
[ ${#pictures[@]} -gt 0 ] || {
    echo "make-docs: the run took no pictures (is ImageMagick's import installed?)" >&2
    exit 1
}

echo "==> Writing the pictures to docs/"
mkdir -p docs
# The pictures of an earlier run (only the names run-installer.sh gives its pictures).
for old in os-page settings-page port-page port-page-search create-port usb-retry completed \
    failure-report 'message-*'; do
    # shellcheck disable=SC2086 # message-* is a pattern
    rm -f docs/$old.png
done
for name in "${pictures[@]}"; do
    # Palette PNG without dithering (the pictures have a few dozen colours) and without the
    # time stamps, so that pictures that did not change stay the same file.
    convert "$shots/$name" -strip +dither -colors 256 \
        -define png:exclude-chunks=date,time PNG8:"docs/$name" || exit 1
    printf '    docs/%-22s %6d bytes\n' "$name" "$(stat -c %s "docs/$name")"
done

# The pictures the README shows and this run did not make.
missing=0
while IFS= read -r name; do
    if [ ! -f "$name" ]; then
        echo "note: README.md shows $name, which this run did not make"
        missing=1
    fi
done < <(grep -o 'docs/[A-Za-z0-9_-]*\.png' README.md | sort -u)
[ "$missing" = 0 ] || echo "(see build/run/report.txt for what the run did)"
