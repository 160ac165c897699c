#!/usr/bin/env bash
# Signs a Windows program or a Windows Installer package in place with an Authenticode
# signature (SHA-256), using osslsigncode and the maker's code-signing certificate.
#
# usage: scripts/sign.sh FILE.exe|FILE.msi
#
# The certificate comes from the environment:
#   SIGN_PKCS12           a PKCS#12 file (.p12 or .pfx) with the certificate, its chain and key;
#   or SIGN_CERT and SIGN_KEY, the certificate (with its chain) and the private key, PEM files;
#   SIGN_PASSWORD         the password of the PKCS#12 file or of the key, if it has one. It
#                         reaches osslsigncode through a pipe, never on a command line, where
#                         a process listing would show it;
#   SIGN_TIMESTAMP_URL    an RFC 3161 time-stamping server (optional), so that the signature
#                         stays valid after the certificate has expired;
#   SIGN_TIME             the signing time the signature states, in seconds since 1970
#                         (optional; default: now). With the same time, certificate and program,
#                         the signature is the same bytes every time; a time-stamp never is.
#
# Exit status: 0 signed, 1 not signed (the reason on stderr), 2 wrong usage.
set -uo pipefail

die() {
    printf 'sign: %s\n' "$*" >&2
    exit 1
}

if [ $# -ne 1 ] || [ -z "$1" ]; then
    echo "usage: $0 FILE.exe|FILE.msi" >&2
    exit 2
fi
file=$1

[ -e "$file" ] || die "$file: no such file"
[ -f "$file" ] || die "$file: not a file"
if [ ! -r "$file" ] || [ ! -w "$file" ]; then
    die "$file: cannot be read and written"
fi

# A Windows program starts with "MZ" and holds, at the offset stored at 0x3c, "PE\0\0".
is_pe() {
    local magic offset signature
    magic=$(head -c 2 "$1" 2>/dev/null)
    [ "$magic" = MZ ] || return 1
    offset=$(od -An -tu4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$offset" ] || return 1
    signature=$(od -An -tx1 -j "$offset" -N 4 "$1" 2>/dev/null | tr -d ' ')
    [ "$signature" = 50450000 ]
}
# A Windows Installer package is an OLE compound file.
is_msi() { [ "$(od -An -tx1 -N 8 "$1" 2>/dev/null | tr -d ' ')" = d0cf11e0a1b11ae1 ]; }
if is_pe "$file"; then
    description=VexoSetup
elif is_msi "$file"; then
    description=$(basename "$file" .msi)
else
    die "$file is neither a Windows program (no PE header) nor a Windows Installer package: nothing was signed"
fi

pkcs12=${SIGN_PKCS12:-}
cert=${SIGN_CERT:-}
key=${SIGN_KEY:-}
if [ -n "$pkcs12" ] && { [ -n "$cert" ] || [ -n "$key" ]; }; then
    die "set either SIGN_PKCS12 or SIGN_CERT and SIGN_KEY, not both"
fi
if [ -z "$pkcs12" ] && [ -z "$cert" ] && [ -z "$key" ]; then
    die "no certificate: set SIGN_PKCS12 (a PKCS#12 file), or SIGN_CERT and SIGN_KEY (PEM files)"
fi
if [ -z "$pkcs12" ] && { [ -z "$cert" ] || [ -z "$key" ]; }; then
    die "SIGN_CERT and SIGN_KEY go together: set both"
fi
for f in "$pkcs12" "$cert" "$key"; do
    [ -z "$f" ] || [ -r "$f" ] || die "the certificate file $f cannot be read"
done
command -v osslsigncode >/dev/null || die "osslsigncode is not installed (scripts/deps.sh installs it)"

args=(sign -h sha256 -n "$description")
if [ -n "$pkcs12" ]; then
    args+=(-pkcs12 "$pkcs12")
else
    args+=(-certs "$cert" -key "$key")
fi
[ -n "${SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$SIGN_TIMESTAMP_URL")
if [ -n "${SIGN_TIME:-}" ]; then
    [[ $SIGN_TIME =~ ^[0-9]+$ ]] || die "SIGN_TIME ($SIGN_TIME) is not a number of seconds since 1970"
    args+=(-time "$SIGN_TIME")
fi

# The signed program is written next to the file and then put in its place, so that a
# failure leaves the file as it was.
dir=$(dirname "$file")
out=$(mktemp "$dir/.sign.XXXXXX") || die "cannot write in $dir"
trap 'rm -f "$out"' EXIT
rm -f "$out" # osslsigncode writes it anew

# The password through a pipe (printf is the shell's own, so it starts no process that
# shows it); stdin is closed, so that a missing password fails instead of prompting.
if [ -n "${SIGN_PASSWORD:-}" ]; then
    log=$(osslsigncode "${args[@]}" -readpass <(printf '%s' "$SIGN_PASSWORD") \
        -in "$file" -out "$out" 2>&1 </dev/null)
else
    log=$(osslsigncode "${args[@]}" -in "$file" -out "$out" 2>&1 </dev/null)
fi
status=$?
if [ $status -ne 0 ] || [ ! -s "$out" ]; then
    if grep -qiE 'wrong password|mac verify failure|bad decrypt|bad password|Failed to read password' <<<"$log"; then
        if [ -n "${SIGN_PASSWORD:-}" ]; then
            reason="the password (SIGN_PASSWORD) does not open the certificate or its key"
        else
            reason="the certificate or its key needs a password: SIGN_PASSWORD is not set"
        fi
    elif grep -qiE 'Failed to read key or certificates|Failed to (parse|decode|read)' <<<"$log"; then
        reason="the certificate or key could not be read (wrong file, or a password is needed)"
    elif [ -n "${SIGN_TIMESTAMP_URL:-}" ] && grep -qiE 'timestamp|curl|connect' <<<"$log"; then
        reason="the time-stamping server $SIGN_TIMESTAMP_URL did not answer"
    else
        reason="osslsigncode failed (status $status)"
    fi
    printf 'sign: %s: %s; the file was left as it was. osslsigncode said:\n' "$file" "$reason" >&2
    grep -v '^Enter PEM pass phrase' <<<"$log" | head -n 4 | sed 's/^/    /' >&2
    exit 1
fi
chmod --reference="$file" "$out" 2>/dev/null
mv -f "$out" "$file" || die "could not replace $file"
trap - EXIT
echo "signed $file (Authenticode, SHA-256${SIGN_TIMESTAMP_URL:+, time-stamped by $SIGN_TIMESTAMP_URL})"
