#!/usr/bin/env bash
# Builds a component package from simulator files, extracts it into a
# temporary directory and runs the program from there.
#   component_package_test.sh <source-dir> <dazed-fug> <bootutil-sim>
source "$(dirname "$0")/lib.sh"
src=$1 program=$2 sim=$3
make_package=$src/packaging/make-component-package.sh

vendor=$tmp/vendor
"$src/tools/make-sim-vendor-dir.sh" "$vendor" "$sim" || { fail "no simulator vendor directory"; finish; }
echo "prebuilt module" > "$vendor/durivozo/RHEL-2.6.18PAE_durivozo.ko"
chmod 0644 "$vendor/bootutil"  # the package must make it executable

# Vendor directories the recipe refuses, and the reason it must name.
while IFS='|' read -r name breakage reason; do
    bad=$tmp/bad-$name
    cp -a "$vendor" "$bad"
    eval "$breakage"
    err=$("$make_package" -p "$program" "$bad" "$tmp/$name.sh" 2>&1 >/dev/null)
    status=$?
    [ "$status" -ne 0 ] || fail "$name: refused vendor directory accepted"
    expect_contains "$name" "$reason" "$err"
    [ ! -e "$tmp/$name.sh" ] || fail "$name: a package was written"
done <<'CASES'
no-tool|rm "$bad/bootutil"|no flash tool 'bootutil'
no-catalog|rm "$bad/nic_fw/NICFWData.xml"|no firmware catalog 'nic_fw/NICFWData.xml'
missing|rm -rf "$bad"|does not exist
CASES

package=$tmp/out/dazed-fug-sim.sh
mkdir -p "$tmp/out"
"$make_package" -p "$program" "$vendor" "$package" >/dev/null || fail "package not built"

run=$tmp/run
mkdir -p "$run"
sh "$package" --prefix="$run" --skip-license --exclude-subdir </dev/null >/dev/null ||
    fail "package did not extract"

for f in dazed-fug bootutil; do
    [ -f "$run/$f" ] && [ -x "$run/$f" ] || fail "./$f missing or not executable"
done
cmp -s "$program" "$run/dazed-fug" || fail "./dazed-fug differs from the built program"
# Every vendor file arrives unchanged.
while IFS= read -r f; do
    cmp -s "$vendor/$f" "$run/$f" || fail "$f not carried over unchanged"
done < <(cd "$vendor" && find . -type f)

skip_if_host_unsafe
out=$(cd "$run" && ./dazed-fug -c)
status=$?
if grep -q '<NIC ' "$run/nic_fw/NICFWData.xml"; then
    # The simulator lists this machine's own NIC with older firmware.
    expect_eq "exit status" 0 "$status"
    expect_contains "version row" "     COMBO      1.2.8        COMBO      1.3.21  " "$out"
    mac=$(sed -n 's/^adapter .*mac=\([^ ]*\).*/\1/p' "$run/bootutil-sim.state")
    expect_contains "adapter row" "$mac " "$out"
else
    expect_eq "exit status" 6 "$status"
    expect_eq "output" "No supported adapters found" "$out"
fi
expect_contains "event log" "Command: ./dazed-fug -c " "$(cat "$run/bootutil.log" 2>/dev/null)"
expect_contains "flash tool run from the package" "-E" "$(cat "$run/bootutil-sim.log" 2>/dev/null)"
finish
