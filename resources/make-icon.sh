#!/bin/sh
# Draws the program icon (a small printer) at 32x32 and 16x16 and writes vexo.ico.
# Needs ImageMagick 6 (convert). Run from anywhere: ./resources/make-icon.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# No timestamps or other chunks that change between runs.
png="-define png:exclude-chunks=date,time,tEXt,zTXt,iTXt +set date:create +set date:modify"

# 32x32: a sheet in the feed slot, the body with its paper slot and a green lamp, and the
# printed sheet coming out at the front.
convert -size 32x32 xc:none \
    -stroke '#505050' -strokewidth 1 -fill '#ffffff' -draw 'rectangle 9,1 22,12' \
    -stroke none -fill '#9a9a9a' -draw 'rectangle 11,4 20,4' -draw 'rectangle 11,7 18,7' \
    -stroke '#2b3a55' -fill '#5b7bb0' -draw 'roundrectangle 2,10 29,24 3,3' \
    -stroke none -fill '#8fa9d6' -draw 'rectangle 4,12 27,13' \
    -fill '#1c2638' -draw 'rectangle 6,19 25,20' \
    -fill '#3fd24a' -draw 'rectangle 24,14 26,15' \
    -stroke '#505050' -fill '#ffffff' -draw 'rectangle 8,20 23,30' \
    -stroke none -fill '#303030' -draw 'rectangle 10,23 21,23' -draw 'rectangle 10,26 18,26' \
    $png -depth 8 "PNG32:$tmp/p32.png"

# 16x16: the same printer with fewer details.
convert -size 16x16 xc:none +antialias \
    -stroke '#505050' -strokewidth 1 -fill '#ffffff' -draw 'rectangle 4,0 11,6' \
    -stroke '#2b3a55' -fill '#5b7bb0' -draw 'rectangle 1,5 14,12' \
    -stroke none -fill '#1c2638' -draw 'rectangle 3,9 12,10' \
    -fill '#3fd24a' -draw 'point 12,7' \
    -stroke '#505050' -fill '#ffffff' -draw 'rectangle 4,10 11,15' \
    -stroke none -fill '#303030' -draw 'rectangle 6,12 9,12' \
    $png -depth 8 "PNG32:$tmp/p16.png"

convert "$tmp/p32.png" "$tmp/p16.png" "$here/vexo.ico"
