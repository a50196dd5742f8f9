#!/usr/bin/env bash
# Runs the rollout playbook against a simulated fleet on this machine: every
# inventory host is reached by the local connection and has its own package,
# working directory and simulator state, all offering this machine's NIC with
# their own versions and faults.
#   ansible_rollout_test.sh <source-dir> <dazed-fug> <bootutil-sim>
source "$1/tests/packaging/lib.sh"
src=$1 program=$2 sim=$3

command -v ansible-playbook >/dev/null || skip "ansible-playbook is not installed"
skip_if_host_unsafe

# Ansible keeps its own files under the temporary directory, not in $HOME.
export ANSIBLE_HOME=$tmp/ansible-home ANSIBLE_LOCAL_TEMP=$tmp/ansible-local ANSIBLE_REMOTE_TEMP=$tmp/ansible-remote
export ANSIBLE_RETRY_FILES_ENABLED=false ANSIBLE_NOCOLOR=1 ANSIBLE_HOST_KEY_CHECKING=false ANSIBLE_FORKS=5 ANSIBLE_PIPELINING=1

"$src/tools/make-sim-vendor-dir.sh" "$tmp/vendor" "$sim" >/dev/null
mac=$(sed -n 's/^adapter .*mac=\([0-9A-F]*\).*/\1/p' "$tmp/vendor/bootutil-sim.state")
[ -n "$mac" ] || skip "no eth interface on function 0 of a PCI device on this machine"
nic=""
for net in /sys/class/net/*; do
    [ "$(tr -d ':\n' < "$net/address" | tr 'a-f' 'A-F')" = "$mac" ] && nic=${net##*/} && break
done
pci=$(sed -n 's/.*venid="\([^"]*\)" devid="\([^"]*\)" subvenid="\([^"]*\)" subdevid="\([^"]*\)".*/\1-\2-\3-\4/p' \
    "$tmp/vendor/nic_fw/NICFWData.xml")
product="Demo Dazed Server Adapter"

# host: the adapter's installed combo and faults ("-": a catalog without this NIC).
# In inventory order; the ready ones flash in batches of two: held+down,
# same+takes, broken+partner, after.
fleet=(
    "held      1.2.8"
    "none      -"
    "blind     1.2.8 list_exit=2"
    "down      1.4.0"
    "same      1.3.21"
    "takes     1.2.8 flash_takes=1.3.20"
    "broken    1.2.8 flash_exit=3"
    "partner   1.2.8"
    "after     1.2.8"
)
# A host's own choices in the inventory, which no fleet-wide value overrides.
declare -A own=([held]="policy=none" [down]="policy=as-reported")
for line in "${fleet[@]}"; do
    read -r host combo faults <<< "$line"
    cp -a "$tmp/vendor" "$tmp/v-$host"
    if [ "$combo" = - ]; then
        printf '<?xml version="1.0"?>\n<NICFWData/>\n' > "$tmp/v-$host/nic_fw/NICFWData.xml"
    else
        sed -i "s/^\(adapter .*\) combo=1.2.8 \(.*\)$/\1 combo=$combo \2 $faults/" "$tmp/v-$host/bootutil-sim.state"
    fi
    "$src/packaging/make-component-package.sh" -p "$program" "$tmp/v-$host" "$tmp/$host.sh" >/dev/null 2>&1 ||
        fail "$host: package not built"
done

# rollout <run> <extra -e words...>: runs the playbook over the fleet, echoes its status.
rollout() {
    local run=$1 line host
    shift
    mkdir -p "$tmp/$run"
    {
        echo "[dazed_hosts]"
        for line in "${fleet[@]}"; do
            read -r host _ <<< "$line"
            mkdir -p "$tmp/$run/$host"
            echo "$host ansible_connection=local ansible_python_interpreter=/usr/bin/python3" \
                "package=$tmp/$host.sh work_root=$tmp/$run/$host ${own[$host]:-}"
        done
    } > "$tmp/$run/hosts"
    ansible-playbook -i "$tmp/$run/hosts" "$src/deploy/ansible/rollout.yml" -e batch_size=2 \
        -e reports_dir="$tmp/$run/reports" "$@" > "$tmp/$run/ansible.out" 2>&1
    echo $?
}

# host_state <run> <host>: "<combo after> <flash commands given>" from the
# simulator in the kept run directory; without one (it was removed, or
# never made), "- <flashes the event log tells of>".
host_state() {
    local dir
    dir=$(ls -d "$tmp/$1/$2"/dazed-fug.* 2>/dev/null) ||
        { echo "- $(cat "$tmp/$1/reports/$2/update.log" 2>/dev/null | grep -c '^\[INFO\]   :Selecting')"; return; }
    echo "$(sed -n 's/^adapter .* combo=\([^ ]*\).*/\1/p' "$dir/bootutil-sim.state")" \
        "$(grep -c -- '-up=' "$dir/bootutil-sim.log")"
}

# outcomes <run>: "host:approved action:outcome:installed after" per CSV row.
outcomes() {
    tail -n +2 "$tmp/$1/reports/fleet.csv" | awk -F, '{ printf "%s:%s:%s:%s ", $1, $8, $9, $10 }'
}

# Two runs under a fleet-wide policy: the status, each host's combo and
# number of flashes afterwards, and each host's row of the view. The first
# removes each host's run directory at the end, the second keeps them.
runs=(
    "as-reported|-e verify=true|held=-_0 none=-_0 blind=-_0 down=-_1 same=-_1 takes=-_1 broken=-_1 partner=-_1 after=-_0|held:none:not approved: none::nothing to do: blind::discovery failed: down:downgrade:verified:1.3.21 same:rewrite:verified:1.3.21 takes:upgrade:verify failed:1.3.20 broken:upgrade:flash failed: partner:upgrade:verified:1.3.21 after:upgrade:not run: "
    "upgrades-only|-e keep_work_dir=true|held=1.2.8_0 down=1.3.21_1 same=1.3.21_0 takes=1.3.20_1 broken=1.2.8_1 partner=1.3.21_1 after=1.2.8_0|held:none:not approved: none::nothing to do: blind::discovery failed: down:downgrade:flashed: same:none:not approved: takes:upgrade:flashed: broken:upgrade:flash failed: partner:upgrade:flashed: after:upgrade:not run: "
)
for row in "${runs[@]}"; do
    IFS='|' read -r policy extra hosts view <<< "$row"
    # shellcheck disable=SC2086
    got=$(rollout "$policy" -e default_policy="$policy" $extra)
    expect_eq "$policy: playbook status" 2 "$got"
    for pair in $hosts; do
        host=${pair%%=*} want=${pair#*=}
        expect_eq "$policy: $host: combo and flashes" "${want/_/ }" "$(host_state "$policy" "$host")"
    done
    expect_eq "$policy: view" "$view" "$(outcomes "$policy")"
    expect_contains "$policy: table" "partner  $nic" "$(cat "$tmp/$policy/ansible.out")"
done

# Each policy selects another set of this fleet's hosts.
for row in "upgrades-only|held takes broken partner after" "upgrades-and-rewrites|held same takes broken partner after" \
    "as-reported|held down same takes broken partner after" "none|"; do
    IFS='|' read -r policy want <<< "$row"
    got=""
    for dir in "$tmp"/as-reported/reports/*/; do
        [ -e "$dir/discovered.xml" ] || continue
        python3 "$src/deploy/ansible/files/apply_policy.py" --policy "$policy" "$dir/discovered.xml" "$tmp/approved.xml" >/dev/null
        grep -q 'action value="none"' "$tmp/approved.xml" || got="$got $(basename "$dir")"
    done
    expect_eq "$policy: selected hosts" "$(tr ' ' '\n' <<< "$want" | sort | xargs)" "$(xargs -n1 <<< "$got" | sort | xargs)"
done

# The view, whole, for the first run.
r=$tmp/as-reported
row() { echo "$1,$nic,$mac,$pci,$product,$2,1.3.21,$3,$4,$5"; }
expect_eq "as-reported: fleet.csv" "host,interface,MAC,PCI identity,product,installed before,available,approved action,outcome,installed after
$(row held 1.2.8 none "not approved" "")
none,,,,,,,,nothing to do,
blind,,,,,,,,discovery failed,
$(row down 1.4.0 downgrade verified 1.3.21)
$(row same 1.3.21 rewrite verified 1.3.21)
$(row takes 1.2.8 upgrade "verify failed" 1.3.20)
$(row broken 1.2.8 upgrade "flash failed" "")
$(row partner 1.2.8 upgrade verified 1.3.21)
$(row after 1.2.8 upgrade "not run" "")" "$(cat "$r/reports/fleet.csv")"
expect_contains "as-reported: why takes failed" "takes: verify failed: MAC $mac: installed 1.3.20, approved 1.3.21" \
    "$(cat "$r/ansible.out")"
expect_contains "as-reported: broken's log" "Upgrade failed" "$(cat "$r/reports/broken/update.log")"
expect_contains "as-reported: blind's log" "[ERROR]" "$(cat "$r/reports/blind/discovery.log")"
[ ! -e "$r/reports/after/update.log" ] || fail "as-reported: the batch after the failed host ran"
# The recap: the hosts that failed, and no other.
expect_eq "as-reported: failed hosts" "blind broken takes" \
    "$(sed -n 's/^\([a-z]*\) *:.* failed=[1-9].*/\1/p' "$r/ansible.out" | sort | tr '\n' ' ' | sed 's/ $//')"

# Each run unpacks into a fresh directory of its own that only root can
# change, and leaves nothing under work_root unless asked to keep it.
expect_eq "run directory owner and mode" "0 700" "$(stat -c '%u %a' "$tmp"/upgrades-only/held/dazed-fug.*)"
for line in "${fleet[@]}"; do
    read -r host _ <<< "$line"
    expect_eq "as-reported: $host: left under work_root" "" "$(ls -A "$r/$host")"
done
for report in discovered approved verify; do
    xmllint --noout --schema "$src/schema/discovery-report.xsd" "$r/reports/partner/$report.xml" 2>/dev/null ||
        fail "the $report report does not match the schema"
done

[ "$failures" -eq 0 ] || cat "$tmp"/*/ansible.out
finish
