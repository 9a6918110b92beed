#!/usr/bin/env bash
# Signs a Windows executable in place with Debian's osslsigncode (Authenticode,
# SHA-256, timestamp-free so that it works offline). The certificate and key
# are PEM files named by OSC_SIGN_CERT and OSC_SIGN_KEY; OSC_SIGN_PASS may
# hold the key's passphrase.
set -euo pipefail
file=$1
pass=()
if [[ -n ${OSC_SIGN_PASS:-} ]]; then pass=(-pass "$OSC_SIGN_PASS"); fi
osslsigncode sign -certs "$OSC_SIGN_CERT" -key "$OSC_SIGN_KEY" "${pass[@]}" -h sha256 \
    -n "振荡电路计算器" -in "$file" -out "$file.signed" >/dev/null
mv "$file.signed" "$file"
