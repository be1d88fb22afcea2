#!/usr/bin/env bash
# scripts/includes on a copy of the tree: the tree as it is passes, and each kind of include the
# house rules forbid, added to the copy, fails with a message naming it; the rewrite mends the
# style. The copy is a scratch git repository, so the real tree is never touched.
set -u
source_dir=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$source_dir" && git ls-files --cached --others --exclude-standard -z |
    xargs -0 cp --parents -t "$scratch" 2>/dev/null)
git -C "$scratch" init -q && git -C "$scratch" add -A
status=0
fail() { echo "$*"; status=1; }

"$scratch/scripts/includes" --check >"$scratch/out" || fail "the tree fails: $(cat "$scratch/out")"

# Adds a line after the first include of a file, expects the check to fail with `expected`,
# then puts the file back.
expect_rejected() {
    local file=$1 line=$2 expected=$3
    cp "$scratch/$file" "$scratch/saved"
    sed -i "0,/^#include/s||$line\n#include|" "$scratch/$file"
    if "$scratch/scripts/includes" --check >"$scratch/out"; then
        fail "$file: $line passes the check"
    elif ! grep -qF "$expected" "$scratch/out"; then
        fail "$file: $line: \"$expected\" not in: $(cat "$scratch/out")"
    fi
    cp "$scratch/saved" "$scratch/$file"
}

# A folder reaching up, directly and through the public header of a folder above.
expect_rejected windows/GloWnd.cpp '#include "proxy/GdrMessages.h"' \
    'windows/ includes proxy/GdrMessages.h (proxy/), a folder above it'
expect_rejected config/FileStreams.cpp '#include "GloApplication.h"' \
    'config/ includes GloApplication.h (events/), a folder above it'
expect_rejected include/GloEvent.h '#include "GloPlugin.h"' \
    'events/ includes GloPlugin.h (functions/), a folder above it'
# The dialog: the host only through its public header, the proxy not at all.
expect_rejected ui/GdrApplicationAccess.cpp '#include "host/GloPluginHost.h"' \
    "ui/ includes host/GloPluginHost.h, which is host/'s own: only its public headers"
expect_rejected ui/GdrTexts.cpp '#include "GdrProxy.h"' \
    'ui/ includes GdrProxy.h (proxy/), a folder above it'
# The style: a file of the tree by its bare name, an SDK header by its path.
expect_rejected functions/GloZoom.cpp '#include "GloInput.h"' \
    '"GloInput.h" is written "functions/GloInput.h"'
expect_rejected events/GloEvent.cpp '#include "include/GloEvent.h"' \
    '"include/GloEvent.h" is written "GloEvent.h"'
# A tool reaching into the core, the core taking the plug-ins' umbrella, an unknown header.
expect_rejected tools/cfgcheck/cfgcheck.cpp '#include "config/FileStreams.h"' \
    '"config/FileStreams.h" is not the SDK'"'"'s nor this program'"'"'s own'
expect_rejected host/GloPluginHost.cpp '#include "GloPluginSDK.h"' \
    'GloPluginSDK.h is for plug-ins, not for the core'
touch "$scratch/include/GloUnplaced.h"
expect_rejected events/GloEvent.cpp '#include "GloUnplaced.h"' \
    'the public header GloUnplaced.h has no folder'
rm "$scratch/include/GloUnplaced.h"

# The rewrite puts a bare include of the tree into the house style.
sed -i '0,/^#include/s||#include "GloInput.h"\n#include|' "$scratch/functions/GloZoom.cpp"
"$scratch/scripts/includes"
grep -q '^#include "functions/GloInput.h"$' "$scratch/functions/GloZoom.cpp" ||
    fail "the rewrite left: $(grep -n GloInput "$scratch/functions/GloZoom.cpp")"
"$scratch/scripts/includes" --check >"$scratch/out" || fail "after the rewrite: $(cat "$scratch/out")"
exit $status
