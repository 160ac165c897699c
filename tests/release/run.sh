#!/usr/bin/env bash
# Tests of what goes out to a printer maker: the package check and zip (scripts/release.sh),
# the signature (scripts/sign.sh, with a throwaway certificate), the signed program under
# Wine, the MSIs' tables (scripts/msi.sh), and reproducible builds of both Windows presets.
#
# usage: tests/release/run.sh [NAME_PART...]
#   NAME_PART   run only the tests whose names contain one of these texts
#
# Prints PASS or FAIL (with what was seen) per test and ends with "N passed, N failed".
# Works in build/release-test/ (the Wine prefix of its own in build/release-test/e2e).
set -u

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root" || exit 2
# shellcheck source=scripts/deps.sh
source "$root/scripts/deps.sh" # vexo_32bit_refusal
OUT=$root/build/release-test
WORK=$OUT/work
ONLY=("$@")

passed=0
failed=0
PROBLEMS=

problem() { PROBLEMS+="  $*"$'\n'; }

# test NAME FUNCTION: runs one test in a fresh work folder.
test_case() {
    local name=$1 fn=$2 part
    if [ ${#ONLY[@]} -gt 0 ]; then
        local wanted=0
        for part in "${ONLY[@]}"; do
            [[ $name == *"$part"* ]] && wanted=1
        done
        [ "$wanted" = 1 ] || return 0
    fi
    PROBLEMS=
    rm -rf "$WORK"
    mkdir -p "$WORK"
    "$fn"
    local rc=$?
    [ $rc -ne 0 ] && [ -z "$PROBLEMS" ] && problem "ended with status $rc"
    if [ -z "$PROBLEMS" ]; then
        passed=$((passed + 1))
        echo "PASS $name"
    else
        failed=$((failed + 1))
        echo "FAIL $name"
        printf '%s' "$PROBLEMS"
    fi
}

# run COMMAND...: runs a command, keeping its status in RC and its output (both streams) in
# OUTPUT.
RC=0
OUTPUT=
run() {
    OUTPUT=$("$@" 2>&1)
    RC=$?
}

# expect_status WHAT STATUS: the last command ended with STATUS.
expect_status() {
    [ "$RC" = "$2" ] && return 0
    problem "$1: expected status $2, got $RC; the output was:"
    PROBLEMS+=$(sed 's/^/      /' <<<"$OUTPUT")$'\n'
    return 1
}

# expect_output WHAT TEXT: the last command's output holds the line TEXT (a fixed string).
expect_output() {
    grep -qxF -- "$2" <<<"$OUTPUT" && return 0
    problem "$1: no line \"$2\" in the output:"
    PROBLEMS+=$(sed 's/^/      /' <<<"$OUTPUT")$'\n'
    return 1
}

# expect_no_output WHAT TEXT: no line of the last command's output holds TEXT.
expect_no_output() {
    grep -qF -- "$2" <<<"$OUTPUT" || return 0
    problem "$1: the output says \"$2\":"
    PROBLEMS+=$(sed 's/^/      /' <<<"$OUTPUT")$'\n'
    return 1
}

# ---------------------------------------------------------------------------------------
# The throwaway certificate: a self-signed code-signing certificate, its key (encrypted)
# and both in a PKCS#12 file, all with the password below.

CERTS=$OUT/certs
PASSWORD='correct horse, battery & staple'
make_certificate() {
    [ -f "$CERTS/maker.p12" ] && return 0
    rm -rf "$CERTS"
    mkdir -p "$CERTS"
    export VEXO_TEST_PASSWORD=$PASSWORD
    openssl req -x509 -newkey rsa:2048 -sha256 -days 30 -subj "/CN=VEXO test maker" \
        -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
        -keyout "$CERTS/key.pem" -out "$CERTS/cert.pem" -passout env:VEXO_TEST_PASSWORD >"$CERTS/openssl.log" 2>&1 &&
        openssl pkcs12 -export -in "$CERTS/cert.pem" -inkey "$CERTS/key.pem" -passin env:VEXO_TEST_PASSWORD \
            -passout env:VEXO_TEST_PASSWORD -out "$CERTS/maker.p12" >>"$CERTS/openssl.log" 2>&1 || {
        cat "$CERTS/openssl.log"
        rm -f "$CERTS/maker.p12"
        return 1
    }
}

use_pkcs12() {
    export SIGN_PKCS12=$CERTS/maker.p12 SIGN_PASSWORD=$PASSWORD
    unset SIGN_CERT SIGN_KEY SIGN_TIMESTAMP_URL
}
use_pem() {
    export SIGN_CERT=$CERTS/cert.pem SIGN_KEY=$CERTS/key.pem SIGN_PASSWORD=$PASSWORD
    unset SIGN_PKCS12 SIGN_TIMESTAMP_URL
}
no_signing() { unset SIGN_PKCS12 SIGN_CERT SIGN_KEY SIGN_PASSWORD SIGN_TIMESTAMP_URL; }

# verify FILE: osslsigncode verifies the signature against the throwaway certificate.
verify() {
    run osslsigncode verify -CAfile "$CERTS/cert.pem" -in "$1"
}
expect_verified() {
    verify "$1"
    expect_status "osslsigncode verify $(basename "$1")" 0 || return 1
    expect_output "the signature of $(basename "$1")" "Signature verification: ok"
    grep -qE '^Message digest algorithm +: SHA256' <<<"$OUTPUT" || problem "$(basename "$1") is not signed with SHA-256"
    grep -qF "Subject: /CN=VEXO test maker" <<<"$OUTPUT" ||
        problem "$(basename "$1") is not signed by the test certificate"
}

X64_EXE=$root/build/windows-x64/app/VexoSetup.exe
X86_EXE=$root/build/windows-x86/app/VexoSetup.exe

# ---------------------------------------------------------------------------------------
# Signing

# An osslsigncode in front of the real one that writes down its command lines.
wrap_osslsigncode() {
    local real
    real=$(command -v osslsigncode) || return 1
    mkdir -p "$WORK/bin"
    cat >"$WORK/bin/osslsigncode" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"$WORK/osslsigncode-args"
exec "$real" "\$@"
EOF
    chmod +x "$WORK/bin/osslsigncode"
}

sign_with_pkcs12() {
    cp "$X64_EXE" "$WORK/VexoSetup.exe"
    wrap_osslsigncode || return 1
    use_pkcs12
    run env PATH="$WORK/bin:$PATH" scripts/sign.sh "$WORK/VexoSetup.exe"
    expect_status "sign.sh" 0 || return
    expect_verified "$WORK/VexoSetup.exe"
    [ -s "$WORK/osslsigncode-args" ] || problem "sign.sh did not run osslsigncode from PATH"
    if grep -qF -- "$PASSWORD" "$WORK/osslsigncode-args"; then
        problem "the password was on osslsigncode's command line: $(cat "$WORK/osslsigncode-args")"
    fi
    grep -q -- '-readpass' "$WORK/osslsigncode-args" || problem "the password was not handed over with -readpass"
    # Nothing is left next to the program.
    [ "$(find "$WORK" -maxdepth 1 -name '.sign.*' | wc -l)" = 0 ] || problem "sign.sh left a temporary file"
}

sign_with_pem_files() {
    cp "$X64_EXE" "$WORK/VexoSetup.exe"
    use_pem
    run scripts/sign.sh "$WORK/VexoSetup.exe"
    expect_status "sign.sh" 0 || return
    expect_verified "$WORK/VexoSetup.exe"
}

changed_byte_breaks_signature() {
    cp "$X64_EXE" "$WORK/VexoSetup.exe"
    use_pkcs12
    run scripts/sign.sh "$WORK/VexoSetup.exe"
    expect_status "sign.sh" 0 || return
    # One byte of the code (in the first section, past the headers) turned round.
    local offset=4096 byte
    byte=$(od -An -tu1 -j $offset -N 1 "$WORK/VexoSetup.exe" | tr -d ' ')
    # shellcheck disable=SC2059 # the format is the byte, as an octal escape
    printf "$(printf '\\%03o' $((255 - byte)))" |
        dd of="$WORK/VexoSetup.exe" bs=1 seek=$offset conv=notrunc status=none
    verify "$WORK/VexoSetup.exe"
    [ "$RC" != 0 ] || problem "osslsigncode verify accepted the changed program:"$'\n'"$OUTPUT"
    expect_no_output "the changed program" "Signature verification: ok"
}

sign_refuses_bad_input() {
    use_pkcs12
    run scripts/sign.sh "$WORK/absent.exe"
    expect_status "a missing file" 1
    expect_output "a missing file" "sign: $WORK/absent.exe: no such file"

    printf 'MZ but nothing else\n' >"$WORK/text.exe"
    run scripts/sign.sh "$WORK/text.exe"
    expect_status "a file that is not a PE file" 1
    expect_output "a file that is not a PE file" \
        "sign: $WORK/text.exe is neither a Windows program (no PE header) nor a Windows Installer package: nothing was signed"

    cp "$X64_EXE" "$WORK/VexoSetup.exe"
    export SIGN_PASSWORD="not the password"
    run scripts/sign.sh "$WORK/VexoSetup.exe"
    expect_status "a wrong password" 1
    grep -qF "the password (SIGN_PASSWORD) does not open the certificate or its key" <<<"$OUTPUT" ||
        problem "a wrong password: no clear message:"$'\n'"$OUTPUT"
    cmp -s "$X64_EXE" "$WORK/VexoSetup.exe" || problem "a wrong password changed the program"

    use_pem
    unset SIGN_PASSWORD
    run scripts/sign.sh "$WORK/VexoSetup.exe"
    expect_status "an encrypted key without a password" 1
    grep -qF "needs a password: SIGN_PASSWORD is not set" <<<"$OUTPUT" ||
        problem "an encrypted key without a password: no clear message:"$'\n'"$OUTPUT"

    no_signing
    run scripts/sign.sh "$WORK/VexoSetup.exe"
    expect_status "no certificate" 1
    expect_output "no certificate" \
        "sign: no certificate: set SIGN_PKCS12 (a PKCS#12 file), or SIGN_CERT and SIGN_KEY (PEM files)"
    cmp -s "$X64_EXE" "$WORK/VexoSetup.exe" || problem "a failed signing changed the program"
}

# The signed program under Wine, to its first page. The shipped program is the 32-bit one;
# on a machine that cannot run 32-bit code the 64-bit build of the same sources stands in.
signed_program_starts_under_wine() {
    local exe=$X86_EXE target=x86 why
    why=$(vexo_32bit_refusal)
    if [ -n "$why" ]; then
        echo "    note: the shipped program cannot run here ($why): the signed windows-x64 build stands in for the windows-x86 one"
        exe=$X64_EXE
        target=x64
    fi
    cp "$exe" "$WORK/VexoSetup.exe"
    use_pkcs12
    run scripts/sign.sh "$WORK/VexoSetup.exe"
    expect_status "sign.sh" 0 || return
    run bash -c '
        export E2E_OUT=$1 E2E_TARGET=$4
        source tests/e2e/lib.sh
        E2E_ROBOT_EXE=$2
        E2E_INSTALLER_EXE=$3
        e2e_init >/dev/null
        e2e_start_program "$E2E_INSTALLER_EXE" || { echo "not started: $ROBOT_ERROR"; exit 1; }
        robot wait "Select OS (x86/x64)" 60000 "$E2E_APP_WINPID" ||
            { echo "no first page: $ROBOT_ERROR"; robot_lines; exit 1; }
        echo "first page: Select OS (x86/x64)"
        robot click "Select OS (x86/x64)" 1010 || { echo "Exit: $ROBOT_ERROR"; exit 1; }
        e2e_wait_exit 30 || { echo "did not end: $ROBOT_ERROR"; exit 1; }
        echo "ended with exit code $E2E_APP_CODE"
    ' release-wine "$OUT/e2e" "$root/build/windows-$target/tests/e2e/robot.exe" "$WORK/VexoSetup.exe" "$target"
    expect_status "the signed program under Wine (logs in build/release-test/e2e/artifacts)" 0 || return
    expect_output "the signed program under Wine" "first page: Select OS (x86/x64)"
    # Exit on the first page: the user left before installing.
    expect_output "the signed program under Wine" "ended with exit code 1602"
}

# ---------------------------------------------------------------------------------------
# The release

SAMPLE="$WORK/Vexo Driver"
sample_package() { scripts/make-sample-package.sh "$SAMPLE" || problem "make-sample-package.sh failed"; }

# The files the check asks for are those the installer reads: the model tables' GPD and
# model library names, the names the deployment copies, and the USB driver installers the
# first page starts, for both architectures.
package_list_matches_sources() {
    local tables=install/ModelTables.h codes names=() want have
    run scripts/release.sh --list
    expect_status "release.sh --list" 0 || return
    have=$(tr '[:upper:]' '[:lower:]' <<<"$OUTPUT" | LC_ALL=C sort)

    codes=$(tr '\n' ' ' <"$tables" | grep -o 'gpdCodes = {[^}]*}' | grep -o '"[^"]*"' | tr -d '"')
    [ -n "$codes" ] || problem "no gpdCodes table in $tables"
    for c in $codes; do names+=("$c.GPD"); done
    codes=$(tr '\n' ' ' <"$tables" | grep -o 'modelDllCodes = {[^}]*}' | grep -o '"[^"]*"' | tr -d '"')
    [ -n "$codes" ] || problem "no modelDllCodes table in $tables"
    for c in $codes; do names+=("$c.DLL"); done
    mapfile -t -O ${#names[@]} names < <(grep -ohiE '"[A-Za-z0-9_]+\.(dll|gpd|hlp)"' install/*.cpp install/*.h | tr -d '"')
    local usb
    usb=$(grep -ohiE '"USB[^"]*\.exe"' pages/*.cpp install/*.h | tr -d '"' | sed 's/\\\\/\//g')
    [ -n "$usb" ] || problem "no USB driver installer named in pages/ or install/"
    want=$({
        for n in "${names[@]}"; do
            echo "printer driver/x86/$n"
            echo "printer driver/x64/$n"
        done
        printf '%s\n' "$usb"
    } | tr '[:upper:]' '[:lower:]' | LC_ALL=C sort -u)
    if [ "$want" != "$have" ]; then
        problem "release.sh's list of package files differs from what the sources read (< sources, > release.sh):"
        PROBLEMS+=$(diff <(echo "$want") <(echo "$have") | grep '^[<>]' | sed 's/^/      /')$'\n'
    fi
}

release_of_the_sample_package() {
    sample_package
    # A file of the maker's that happens to have the name of the list, deeper down, is a
    # file like any other.
    printf 'an older list\n' >"$SAMPLE/USB Driver/SHA256SUMS"
    no_signing
    run scripts/release.sh --out "$WORK/out" "$SAMPLE"
    expect_status "release.sh on the sample package" 0 || return
    expect_output "release.sh" "all 48 files are there"
    expect_output "release.sh" "note: VexoSetup.exe is not signed (set SIGN_PKCS12, or SIGN_CERT and SIGN_KEY, to sign it)"
    expect_output "release.sh" "note: the MSIs are not signed"
    expect_output "release.sh" "built 8 MSIs, each carrying this VexoSetup.exe and the package"
    cmp -s "$X86_EXE" "$SAMPLE/VexoSetup.exe" || problem "the package's VexoSetup.exe is not the windows-x86 build"
    local zip="$WORK/out/Vexo Driver.zip"
    [ -f "$zip" ] || {
        problem "no zip $zip"
        return
    }
    mkdir -p "$WORK/unzipped"
    (cd "$WORK/unzipped" && unzip -q "$zip") || problem "unzip failed"
    local dir="$WORK/unzipped/Vexo Driver"
    [ -f "$dir/SHA256SUMS" ] || {
        problem "the zip holds no SHA256SUMS"
        return
    }
    run bash -c 'cd "$1" && sha256sum --strict -c SHA256SUMS' sums "$dir"
    expect_status "sha256sum -c SHA256SUMS in the unzipped package" 0
    expect_output "SHA256SUMS" "VexoSetup.exe: OK"
    expect_output "SHA256SUMS" "Printer Driver/x64/uniDRV.DLL: OK"
    # The zip holds only files and folders, and SHA256SUMS lists every file in it but itself.
    local entries files sums
    entries=$(zipinfo "$zip" | grep -v '^Archive:\|^Zip file size:\|files, .* bytes uncompressed')
    grep -v '^[-d]' <<<"$entries" && problem "the zip holds entries that are neither files nor folders"
    files=$(zipinfo -1 "$zip" | grep -v '/$' | grep -vxF 'Vexo Driver/SHA256SUMS' | sed 's|^Vexo Driver/||' | LC_ALL=C sort)
    sums=$(sed 's/^[0-9a-f]*  //' "$dir/SHA256SUMS")
    if [ "$files" != "$sums" ]; then
        problem "SHA256SUMS does not list exactly the zip's files (< zip, > SHA256SUMS):"
        PROBLEMS+=$(diff <(echo "$files") <(echo "$sums") | grep '^[<>]' | sed 's/^/      /')$'\n'
    fi
    [ "$(wc -l <<<"$files")" = 50 ] || problem "the zip holds $(wc -l <<<"$files") files besides SHA256SUMS, not 50"
    # Beside the zip, an MSI per model, and the SHA256SUMS of both.
    run bash -c 'cd "$1" && sha256sum --strict -c SHA256SUMS' sums "$WORK/out"
    expect_status "sha256sum -c SHA256SUMS beside the zip" 0
    expect_output "SHA256SUMS beside the zip" "Vexo Driver.zip: OK"
    [ "$(grep -c '^VexoPrinter-[A-Z0-9]*-[0-9]*\.[0-9]*\.[0-9]*\.msi: OK$' <<<"$OUTPUT")" = 8 ] ||
        problem "SHA256SUMS beside the zip does not list 8 MSIs:"$'\n'"$OUTPUT"
    grep -q '^VexoPrinter-[0-9.]*-product-codes.txt: OK$' <<<"$OUTPUT" ||
        problem "SHA256SUMS beside the zip does not list the product-code file:"$'\n'"$OUTPUT"
}

# listing DIR: every entry under DIR with its type, size, time and permissions, to see
# whether anything changed.
listing() { find "$1" -printf '%P %y %s %T@ %m\n' | LC_ALL=C sort; }

# A link, to a file or a folder, inside the package or out of it, would bring its target
# into the zip under its own name; a named pipe cannot be zipped. Each is named and
# nothing is changed.
release_refuses_links() {
    sample_package
    printf 'not for anyone\n' >"$WORK/private.txt"
    mkdir -p "$WORK/elsewhere"
    printf 'neither\n' >"$WORK/elsewhere/more.txt"
    ln -s "$WORK/private.txt" "$SAMPLE/notes.txt"
    ln -s "$WORK/elsewhere" "$SAMPLE/Printer Driver/extra"
    rm "$SAMPLE/Printer Driver/x64/M41.GPD"
    ln -s ../x86/M41.GPD "$SAMPLE/Printer Driver/x64/M41.GPD"
    mkfifo "$SAMPLE/USB Driver/pipe"
    local before
    before=$(listing "$SAMPLE")
    no_signing
    run scripts/release.sh --out "$WORK/out" "$SAMPLE"
    echo "$OUTPUT" | grep '^link\|^not a file\|^release:' | sed 's/^/    seen: /'
    expect_status "release.sh with links in the package" 1
    expect_output "a link to a file outside" "link: notes.txt -> $WORK/private.txt"
    expect_output "a link to a folder outside" "link: Printer Driver/extra -> $WORK/elsewhere"
    expect_output "a required file that is a link" "link: Printer Driver/x64/M41.GPD -> ../x86/M41.GPD"
    expect_output "a named pipe" "not a file or folder: USB Driver/pipe"
    expect_no_output "a required file that is a link" "missing: Printer Driver/x64/M41.GPD"
    expect_output "the summary" \
        "release: the package holds 4 links or special files (a release holds only regular files and folders); nothing was changed"
    [ "$(listing "$SAMPLE")" = "$before" ] || problem "the package changed:"$'\n'"$(diff <(echo "$before") <(listing "$SAMPLE"))"
    [ ! -e "$WORK/out/Vexo Driver.zip" ] || problem "a package with links was zipped"

    # With a missing file as well, both are told.
    rm "$SAMPLE/notes.txt" "$SAMPLE/Printer Driver/extra" "$SAMPLE/USB Driver/pipe" "$SAMPLE/Printer Driver/x86/M42.GPD"
    run scripts/release.sh --out "$WORK/out" "$SAMPLE"
    expect_status "release.sh with a link and a missing file" 1
    expect_output "the summary" \
        "release: the package is not complete (1 missing, 0 empty, 0 clashing) and holds 1 link or special file (a release holds only regular files and folders); nothing was changed"
}

# Two releases of the same package from the same commit are the same bytes, signed, even
# when the files' times and permissions, the umask and the time zone differ in between.
# The times in the zip and the signature are the commit's, or SOURCE_DATE_EPOCH.
release_is_reproducible() {
    sample_package
    use_pkcs12
    unset SOURCE_DATE_EPOCH
    run scripts/release.sh --out "$WORK/first" "$SAMPLE"
    expect_status "the first release" 0 || return
    find "$SAMPLE" -exec touch -d '2001-02-03 04:05:06' {} +
    chmod 600 "$SAMPLE/USB Driver/x86/dpinstx86.exe"
    chmod 700 "$SAMPLE/Printer Driver"
    run bash -c 'umask 077 && TZ=XYZ-5 LC_ALL=C exec scripts/release.sh --out "$1" "$2"' release "$WORK/second" "$SAMPLE"
    expect_status "the second release" 0 || return
    local first="$WORK/first/Vexo Driver.zip" second="$WORK/second/Vexo Driver.zip" a b
    a=$(sha256sum <"$first" | cut -d' ' -f1)
    b=$(sha256sum <"$second" | cut -d' ' -f1)
    echo "    the two zips: $a and $b"
    [ "$a" = "$b" ] || problem "two releases differ: $(cmp "$first" "$second"); zipinfo of both:"$'\n'"$(diff <(zipinfo -v "$first") <(zipinfo -v "$second") | head -20)"
    # The signed MSIs too.
    echo "    the two releases' SHA256SUMS of the zip and the MSIs: $(sha256sum <"$WORK/first/SHA256SUMS" | cut -d' ' -f1) and $(sha256sum <"$WORK/second/SHA256SUMS" | cut -d' ' -f1)"
    cmp -s "$WORK/first/SHA256SUMS" "$WORK/second/SHA256SUMS" ||
        problem "the two releases' MSIs differ:"$'\n'"$(diff "$WORK/first/SHA256SUMS" "$WORK/second/SHA256SUMS")"

    # Every entry has the commit's time (zip keeps even seconds) and fixed permissions.
    local commit_time expected
    commit_time=$(git log -1 --format=%ct)
    expected=$(TZ=UTC date -d "@$(((commit_time + 1) / 2 * 2))" +%Y%m%d.%H%M%S)
    expect_entries "$first" "$expected"
    mkdir -p "$WORK/unzipped"
    (cd "$WORK/unzipped" && unzip -q "$first") || problem "unzip failed"
    verify "$WORK/unzipped/Vexo Driver/VexoSetup.exe"
    expect_output "the signing time" "	Signing time: $(TZ=UTC date -d "@$commit_time" '+%b %e %H:%M:%S %Y GMT')"

    run env SOURCE_DATE_EPOCH=1234567890 scripts/release.sh --out "$WORK/third" "$SAMPLE"
    expect_status "a release with SOURCE_DATE_EPOCH" 0 || return
    expect_output "a release with SOURCE_DATE_EPOCH" "the release's time: 2009-02-13 23:31:30 UTC (SOURCE_DATE_EPOCH)"
    expect_entries "$WORK/third/Vexo Driver.zip" 20090213.233130
    rm -rf "$WORK/unzipped" && mkdir -p "$WORK/unzipped"
    (cd "$WORK/unzipped" && unzip -q "$WORK/third/Vexo Driver.zip") || problem "unzip failed"
    verify "$WORK/unzipped/Vexo Driver/VexoSetup.exe"
    expect_output "the signing time" "	Signing time: Feb 13 23:31:30 2009 GMT"
}

# expect_entries ZIP TIME: every entry of ZIP has TIME (yyyymmdd.hhmmss, UTC), the
# permissions 755 (folders) or 644 (files) and no extra field (owner, more times).
expect_entries() {
    local odd
    odd=$(TZ=UTC zipinfo -T "$1" | grep '^[-d]' |
        grep -v "^drwxr-xr-x .* $2 .*/\$\|^-rw-r--r-- .* $2 .*[^/]\$")
    [ -z "$odd" ] || problem "$(basename "$1"): entries without the time $2 or the permissions 644/755:"$'\n'"$odd"
    odd=$(zipinfo -v "$1" | grep 'length of extra field:' | grep -vc ' 0 bytes$')
    [ "$odd" = 0 ] || problem "$(basename "$1"): $odd entries have extra fields"
}

# Anyone can make a published release again without the maker's key: the package from
# the zip and the signature from its program give the same zip. A signature over another
# program is refused.
release_made_again_from_the_published_zip() {
    sample_package
    use_pkcs12
    run scripts/release.sh --out "$WORK/published" "$SAMPLE"
    expect_status "the published release" 0 || return
    no_signing
    mkdir -p "$WORK/check"
    (cd "$WORK/check" && unzip -q "$WORK/published/Vexo Driver.zip") || problem "unzip failed"
    local exe="$WORK/check/Vexo Driver/VexoSetup.exe"
    run scripts/release.sh --signature-from "$exe" --msi-signatures-from "$WORK/published" \
        --out "$WORK/remade" "$WORK/check/Vexo Driver"
    expect_status "release.sh --signature-from" 0 || return
    # The published SHA256SUMS holds for what was made again: the zip and the signed MSIs.
    run bash -c 'cd "$1" && sha256sum --strict -c "$2"' sums "$WORK/remade" "$WORK/published/SHA256SUMS"
    expect_status "the published SHA256SUMS on the remade release" 0

    cp "$X64_EXE" "$WORK/other.exe"
    use_pkcs12
    run scripts/sign.sh "$WORK/other.exe"
    expect_status "signing another program" 0 || return
    no_signing
    local before
    before=$(listing "$WORK/check")
    run scripts/release.sh --signature-from "$WORK/other.exe" --out "$WORK/wrong" "$WORK/check/Vexo Driver"
    expect_status "release.sh --signature-from another program" 1
    expect_output "release.sh --signature-from another program" \
        "release: the signature of $WORK/other.exe was not made over this build of VexoSetup.exe (another commit, or other tools?); nothing was changed"
    [ "$(listing "$WORK/check")" = "$before" ] || problem "a refused signature changed the package"
    [ ! -e "$WORK/wrong/Vexo Driver.zip" ] || problem "a refused signature still made a zip"
}

release_with_missing_files() {
    sample_package
    rm "$SAMPLE/Printer Driver/x64/TQ30P.GPD" "$SAMPLE/USB Driver/x86/dpinstx86.exe"
    rm -r "$SAMPLE/USBdriver"
    no_signing
    run scripts/release.sh --out "$WORK/out" "$SAMPLE"
    expect_status "release.sh with missing files" 1
    expect_output "a missing file" "missing: Printer Driver/x64/TQ30P.GPD"
    expect_output "a missing file" "missing: USB Driver/x86/dpinstx86.exe"
    expect_output "a missing folder" "missing: USBdriver/x86/dpinst.exe"
    expect_output "the summary" "release: the package is not complete (3 missing, 0 empty, 0 clashing); nothing was changed"
    [ ! -e "$SAMPLE/VexoSetup.exe" ] || problem "the program was put into an incomplete package"
    [ ! -e "$WORK/out/Vexo Driver.zip" ] || problem "an incomplete package was zipped"
}

release_with_other_letter_case() {
    sample_package
    mv "$SAMPLE/Printer Driver/x86/uniDRV.DLL" "$SAMPLE/Printer Driver/x86/UNIDRV.DLL"
    mv "$SAMPLE/USB Driver" "$SAMPLE/usb driver"
    no_signing
    run scripts/release.sh --out "$WORK/out" "$SAMPLE"
    expect_status "release.sh with names in another case" 0
    expect_output "a file name in another case" \
        "note: other letter case: Printer Driver/x86/UNIDRV.DLL (the installer asks for Printer Driver/x86/uniDRV.DLL); Windows finds it all the same"
    expect_output "a folder name in another case" \
        "note: other letter case: usb driver/x64/dpinstx64.exe (the installer asks for USB Driver/x64/dpinstx64.exe); Windows finds it all the same"
    [ -f "$WORK/out/Vexo Driver.zip" ] || problem "no zip"

    # Two names that differ only in case cannot both be in one Windows folder.
    rm -rf "$WORK/out"
    cp "$SAMPLE/Printer Driver/x86/UNIDRV.DLL" "$SAMPLE/Printer Driver/x86/uniDRV.DLL"
    run scripts/release.sh --out "$WORK/out" "$SAMPLE"
    expect_status "release.sh with names that clash" 1
    grep -qF "clash: Printer Driver/x86/uniDRV.DLL: the package holds Printer Driver/x86/{" <<<"$OUTPUT" ||
        problem "the clash of UNIDRV.DLL and uniDRV.DLL is not reported:"$'\n'"$OUTPUT"
}

release_with_an_empty_file() {
    sample_package
    : >"$SAMPLE/Printer Driver/x86/TQ20P.GPD"
    no_signing
    run scripts/release.sh --out "$WORK/out" "$SAMPLE"
    expect_status "release.sh with an empty file" 1
    expect_output "an empty file" "empty: Printer Driver/x86/TQ20P.GPD"
    [ ! -e "$WORK/out/Vexo Driver.zip" ] || problem "a package with an empty file was zipped"
}

signed_release() {
    sample_package
    use_pkcs12
    run scripts/release.sh --out "$WORK/out" "$SAMPLE"
    expect_status "release.sh with signing set up" 0 || return
    expect_no_output "release.sh with signing set up" "not signed"
    mkdir -p "$WORK/unzipped"
    (cd "$WORK/unzipped" && unzip -q "$WORK/out/Vexo Driver.zip") || problem "unzip failed"
    expect_verified "$WORK/unzipped/Vexo Driver/VexoSetup.exe"
    cmp -s "$X86_EXE" "$SAMPLE/VexoSetup.exe" && problem "the shipped program is the unsigned build"
    local msi
    for msi in "$WORK/out"/VexoPrinter-*.msi; do
        expect_verified "$msi"
    done

    # A failed signing stops the release.
    rm -rf "$SAMPLE/VexoSetup.exe" "$WORK/out"
    export SIGN_PASSWORD=wrong
    run scripts/release.sh --out "$WORK/out" "$SAMPLE"
    expect_status "release.sh with a wrong password" 1
    [ ! -e "$SAMPLE/VexoSetup.exe" ] || problem "a failed signing still put the program into the package"
}

# ---------------------------------------------------------------------------------------
# The MSIs' tables, as Windows Installer reads them (wixl writes some of them wrong while it
# exits 0, so what it wrote is read back here).

# table MSI TABLE: the table's rows (without its three header lines), tab-separated.
table() { msiinfo export "$1" "$2" | tail -n +4 | tr -d '\r'; }
# sequence_of MSI ACTION: the action's place in the InstallExecuteSequence.
sequence_of() { table "$1" InstallExecuteSequence | awk -F'\t' -v a="$2" '$1 == a { print $3 }'; }

# expect_order MSI ACTION...: the actions run in this order.
expect_order() {
    local msi=$1 previous='' p_seq=0 a seq
    shift
    for a in "$@"; do
        seq=$(sequence_of "$msi" "$a")
        if [ -z "$seq" ]; then
            problem "$(basename "$msi"): no action $a in the InstallExecuteSequence"
        elif [ -n "$previous" ] && [ "$seq" -le "$p_seq" ]; then
            problem "$(basename "$msi"): $a ($seq) does not come after $previous ($p_seq)"
        fi
        previous=$a p_seq=${seq:-0}
    done
}

msi_tables() {
    sample_package
    cp "$X86_EXE" "$SAMPLE/VexoSetup.exe"
    local version
    version=$(sed -n 's/^#define VEXO_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\)$/\2/p' platform/Version.h | paste -sd.)
    run env SOURCE_DATE_EPOCH=1234567890 scripts/msi.sh --out "$WORK/msi" "$SAMPLE"
    expect_status "msi.sh" 0 || return
    # Nothing but its own lines: a word of wixl's fails the build.
    [ "$(grep -cv '^built ' <<<"$OUTPUT")" = 0 ] || problem "msi.sh said more than it built:"$'\n'"$OUTPUT"
    run env SOURCE_DATE_EPOCH=1234567890 scripts/msi.sh --out "$WORK/next" --model K20A --version 9.8.7 "$SAMPLE"
    expect_status "msi.sh --version 9.8.7" 0 || return

    local model msi expected got registry locators p codes=()
    for model in K20A K20AW K30A K30AN K30AL M41 M42 M43; do
        msi=$WORK/msi/VexoPrinter-$model-$version.msi
        [ -f "$msi" ] || {
            problem "no $msi"
            continue
        }
        # Every custom action is a function of our DLL in the Binary table: no property is
        # formatted into a command line. The deferred ones run as SYSTEM (no impersonation)
        # with their target hidden; the rollback and the commit ignore their result.
        expected=$(
            cat <<ROWS
VexoCommit	11841	VexoActions	VexoCommit
VexoInstall	11265	VexoActions	VexoInstall
VexoPrepare	1	VexoActions	VexoPrepare
VexoRemove	11265	VexoActions	VexoRemove
VexoRollback	11585	VexoActions	VexoRollback
ROWS
        )
        got=$(table "$msi" CustomAction | sed 's/\t$//' | LC_ALL=C sort)
        [ "$got" = "$expected" ] || problem "$model: the custom actions differ (< expected, > the MSI):"$'\n'"$(diff <(echo "$expected") <(echo "$got") | grep '^[<>]')"
        table "$msi" CustomAction | cut -f4 | grep -q '\[' && problem "$model: a property is formatted into an action's target"
        msiinfo streams "$msi" | grep -qx Binary.VexoActions || problem "$model: no custom actions in the Binary table"
        # The arguments are decided (and refused) before the transaction; the previous version
        # goes inside it, so that a failed upgrade puts it back.
        expect_order "$msi" AppSearch CostFinalize VexoPrepare InstallValidate InstallInitialize \
            RemoveExistingProducts VexoRemove RemoveFiles InstallFiles VexoRollback VexoInstall \
            VexoCommit InstallFinalize
        table "$msi" RemoveFile | grep -qP '^VexoRemoveRecord\tSettings\tVexoSetup.record\tINSTALLDIR\t2$' ||
            problem "$model: the removal does not delete a change record left behind"
        got=$(table "$msi" InstallExecuteSequence | awk -F'\t' '$1 ~ /^Vexo/ { print $1 "\t" $2 }' | LC_ALL=C sort)
        expected=$(
            cat <<'ROWS'
VexoCommit	NOT REMOVE~="ALL"
VexoInstall	NOT REMOVE~="ALL"
VexoPrepare	
VexoRemove	REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE
VexoRollback	NOT REMOVE~="ALL"
ROWS
        )
        [ "$got" = "$expected" ] || problem "$model: the conditions differ (< expected, > the MSI):"$'\n'"$(diff <(echo "$expected") <(echo "$got") | grep '^[<>]')"
        # The values kept by the last run are read back, and nothing else: the community is in
        # no table.
        locators=$(table "$msi" RegLocator)
        for p in PORT IP PORTNUMBER LPR NAME LOCATION COMMENT PAPER ORIENTATION DUPLEX COLOR; do
            grep -qP "^Saved$p\t2\tSOFTWARE\\\\VEXO\\\\Printer Setup\\\\$model\t$p\t2$" <<<"$locators" ||
                problem "$model: $p is not read back"
        done
        [ "$(wc -l <<<"$locators")" = 11 ] || problem "$model: more is read back than the kept values:"$'\n'"$locators"
        registry=$(table "$msi" Registry)
        [ "$(cut -f4 <<<"$registry")" = Folder ] || problem "$model: the Registry table holds more than the folder:"$'\n'"$registry"
        [ "$(table "$msi" Property | grep '^MsiHiddenProperties' | cut -f2)" = "SNMP;VexoInstall;VexoRemove;VexoRollback;VexoCommit" ] ||
            problem "$model: the community and the actions' data are not hidden from the log"
        grep -qP "^\{[^\t]*\}\t\t$version\t\t513\t\tWIX_UPGRADE_DETECTED$" <<<"$(table "$msi" Upgrade)" ||
            problem "$model: builds of one version do not upgrade each other: $(table "$msi" Upgrade)"
        grep -qP "^$model\t$(table "$msi" Property | grep '^ProductCode' | cut -f2)\t$(table "$msi" Property | grep '^UpgradeCode' | cut -f2)\tVexoPrinter-$model-$version.msi$" \
            "$WORK/msi/VexoPrinter-$version-product-codes.txt" ||
            problem "$model: its codes are not in the product-code file"
        got=$(table "$msi" Property | grep -E '^(ALLUSERS|ARPNOMODIFY|ARPNOREPAIR|Manufacturer|ProductVersion|SecureCustomProperties)	' | LC_ALL=C sort)
        expected=$(printf '%s\n' "ALLUSERS	1" "ARPNOMODIFY	1" "ARPNOREPAIR	1" "Manufacturer	VEXO" "ProductVersion	$version" \
            "SecureCustomProperties	WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED")
        [ "$got" = "$expected" ] || problem "$model: the properties differ:"$'\n'"$(diff <(echo "$expected") <(echo "$got") | grep '^[<>]')"
        table "$msi" Property | grep -q '^ARPHELPLINK	https://' || problem "$model: no help link"
        [ "$(table "$msi" LaunchCondition | cut -f1)" = "NOT WIX_DOWNGRADE_DETECTED" ] || problem "$model: a downgrade is not refused"
        [ "$(table "$msi" Directory | grep -P '^INSTALLDIR\t' | cut -f2,3)" = "SetupFolder	$model" ] ||
            problem "$model: not installed into a folder of its own: $(table "$msi" Directory)"
        [ "$(table "$msi" Media | cut -f4)" = "#vexo.cab" ] || problem "$model: the cabinet is not inside"
        run msiinfo suminfo "$msi"
        expect_output "$model: the summary's time" "Created: Fri Feb 13 23:31:30 2009"
        expect_output "$model: the summary's time" "Last saved: Fri Feb 13 23:31:30 2009"
        codes+=("$(table "$msi" Property | grep -E '^(ProductCode|UpgradeCode)	' | LC_ALL=C sort | tr '\n' ' ')$(grep '^Revision' <<<"$OUTPUT")")
    done
    # Codes of their own for each model; the next version keeps the UpgradeCode only.
    [ "$(printf '%s\n' "${codes[@]}" | tr ' ' '\n' | grep '{' | sort | uniq -d)" = "" ] ||
        problem "models share codes:"$'\n'"$(printf '%s\n' "${codes[@]}")"
    local next=$WORK/next/VexoPrinter-K20A-9.8.7.msi
    [ "$(table "$next" Property | grep '^UpgradeCode')" = "$(table "$WORK/msi/VexoPrinter-K20A-$version.msi" Property | grep '^UpgradeCode')" ] ||
        problem "the next version of K20A has another UpgradeCode"
    [ "$(table "$next" Property | grep '^ProductCode')" != "$(table "$WORK/msi/VexoPrinter-K20A-$version.msi" Property | grep '^ProductCode')" ] ||
        problem "the next version of K20A has the same ProductCode"
}

# ---------------------------------------------------------------------------------------
# Reproducible builds: the sources as committed (with the working tree's changes) in two
# folders of different names and depths, each built clean, give the same program.

reproducible_builds() {
    local a=$OUT/repro/a/src b=$OUT/repro/a-longer-folder/second/src preset dir sums=()
    rm -rf "$OUT/repro"
    for dir in "$a" "$b"; do
        mkdir -p "$dir"
        git -C "$root" ls-files -z | (cd "$root" && tar --null -T - -cf -) | tar -x -C "$dir" ||
            problem "copying the sources to $dir failed"
    done
    for preset in windows-x86 windows-x64; do
        sums=()
        for dir in "$a" "$b"; do
            if ! (cd "$dir" && cmake --preset "$preset" >"$OUT/repro/configure.log" 2>&1 &&
                cmake --build "build/$preset" -j2 --target VexoSetup >"$OUT/repro/build.log" 2>&1); then
                problem "building $preset in $dir failed:"
                PROBLEMS+=$(tail -20 "$OUT/repro/configure.log" "$OUT/repro/build.log" | sed 's/^/      /')$'\n'
                return 1
            fi
            sums+=("$(sha256sum <"$dir/build/$preset/app/VexoSetup.exe" | cut -d' ' -f1)")
            if grep -qaF "$OUT/repro" "$dir/build/$preset/app/VexoSetup.exe"; then
                problem "$preset: the program holds its build path ($(grep -aoF "$OUT/repro" "$dir/build/$preset/app/VexoSetup.exe" | head -1))"
            fi
        done
        echo "    $preset: ${sums[0]} and ${sums[1]}"
        [ "${sums[0]}" = "${sums[1]}" ] ||
            problem "$preset: the two builds differ (kept in $OUT/repro; compare with cmp -l)"
    done
    [ -z "$PROBLEMS" ] && rm -rf "$OUT/repro"
}

# ---------------------------------------------------------------------------------------

for tool in osslsigncode openssl zip unzip sha256sum wixl msibuild msiinfo msiextract; do
    command -v "$tool" >/dev/null || {
        echo "release tests: $tool is not installed (scripts/deps.sh installs it)" >&2
        exit 2
    }
done
echo "==> Building what the tests use (windows-x86 and windows-x64)"
scripts/build.sh windows-x86 >/dev/null || exit 2
{ [ -f build/windows-x64/CMakeCache.txt ] || cmake --preset windows-x64 >/dev/null; } &&
    cmake --build build/windows-x64 -j2 --target VexoSetup vexo_robot -- --no-print-directory >/dev/null ||
    exit 2
make_certificate || {
    echo "release tests: could not make the test certificate with openssl" >&2
    exit 2
}

test_case "package list matches the sources" package_list_matches_sources
test_case "release of the sample package" release_of_the_sample_package
test_case "release with missing files" release_with_missing_files
test_case "release with names in another letter case" release_with_other_letter_case
test_case "release with an empty file" release_with_an_empty_file
test_case "release refuses links" release_refuses_links
test_case "release is the same bytes every time" release_is_reproducible
test_case "release made again from the published zip" release_made_again_from_the_published_zip
test_case "sign with a PKCS#12 file" sign_with_pkcs12
test_case "sign with PEM files" sign_with_pem_files
test_case "sign: a changed byte fails verification" changed_byte_breaks_signature
test_case "sign: bad input" sign_refuses_bad_input
test_case "signed release" signed_release
test_case "MSI tables" msi_tables
test_case "signed program under Wine to its first page" signed_program_starts_under_wine
test_case "reproducible builds" reproducible_builds

rm -rf "$WORK"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
