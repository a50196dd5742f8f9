#!/usr/bin/env bash
# Runs the rollout playbook against localhost with a simulator package and
# checks that the simulator's state was flashed as the policy says.
#   ansible_rollout_test.sh <source-dir> <dazed-fug> <bootutil-sim>
source "$1/tests/packaging/lib.sh"
src=$1 program=$2 sim=$3

command -v ansible-playbook >/dev/null || skip "ansible-playbook is not installed"
for release in /etc/SuSE-release /etc/redhat-release; do
    [ ! -e "$release" ] || skip "$release exists, so the real binary would stage into the host's /lib/modules"
done

# Ansible keeps its own files under the temporary directory, not in $HOME.
export ANSIBLE_HOME=$tmp/ansible-home ANSIBLE_LOCAL_TEMP=$tmp/ansible-local ANSIBLE_REMOTE_TEMP=$tmp/ansible-remote
export ANSIBLE_RETRY_FILES_ENABLED=false ANSIBLE_NOCOLOR=1 ANSIBLE_HOST_KEY_CHECKING=false
printf '[dazed_hosts]\nlocalhost ansible_connection=local ansible_python_interpreter=/usr/bin/python3\n' > "$tmp/hosts"

"$src/tools/make-sim-vendor-dir.sh" "$tmp/vendor" "$sim" >/dev/null
mac=$(sed -n 's/^adapter .*mac=\([0-9A-F]*\).*/\1/p' "$tmp/vendor/bootutil-sim.state")
[ -n "$mac" ] || skip "no eth interface on function 0 of a PCI device on this machine"
image_combo=$(sed -n 's/^image .*combo=\([^ ]*\).*/\1/p' "$tmp/vendor/bootutil-sim.state")
installed_combo=$(sed -n 's/^adapter .*combo=\([^ ]*\).*/\1/p' "$tmp/vendor/bootutil-sim.state")
[ "$image_combo" != "$installed_combo" ] || fail "the vendor directory should carry newer firmware"

# rollout <policy> <case>: builds the package, runs the playbook, echoes its status.
rollout() {
    local case_dir=$tmp/$2
    mkdir -p "$case_dir"
    "$src/packaging/make-component-package.sh" -p "$program" "$tmp/vendor" "$case_dir/package.sh" >/dev/null 2>&1 ||
        { fail "$2: package not built"; return; }
    mkdir -p "$case_dir/work"
    ansible-playbook -i "$tmp/hosts" "$src/deploy/ansible/rollout.yml" \
        -e package="$case_dir/package.sh" -e work_root="$case_dir/work" \
        -e reports_dir="$case_dir/reports" -e policy="$1" > "$case_dir/ansible.out" 2>&1
    echo $?
}

combo_after() {
    sed -n "s/^adapter .*mac=$mac.*combo=\([^ ]*\).*/\1/p" "$tmp/$1"/work/dazed-fug.*/bootutil-sim.state
}

# Policy upgrades-only: the recommended upgrade is flashed.
status=$(rollout upgrades-only upgrade)
expect_eq "upgrades-only: playbook status" 0 "$status"
expect_eq "upgrades-only: adapter firmware" "$image_combo" "$(combo_after upgrade)"
expect_contains "upgrades-only: approved action" 'value="upgrade"' "$(cat "$tmp/upgrade/reports/localhost/approved.xml")"
expect_contains "upgrades-only: update log" "Upgrade SUCCESS" "$(cat "$tmp/upgrade/reports/localhost/update.log")"
expect_contains "upgrades-only: discovery log" "NIC Discovery XML successfully created." \
    "$(cat "$tmp/upgrade/reports/localhost/discovery.log")"

# Each run unpacks into a fresh directory of its own that only root can change.
expect_eq "upgrades-only: per-run directories" 1 "$(ls -d "$tmp"/upgrade/work/dazed-fug.* | wc -l)"
expect_eq "upgrades-only: run directory owner and mode" "0 700" "$(stat -c '%u %a' "$tmp"/upgrade/work/dazed-fug.*)"

for report in discovered approved; do
    xmllint --noout --schema "$src/schema/discovery-report.xsd" "$tmp/upgrade/reports/localhost/$report.xml" 2>/dev/null ||
        fail "the $report report does not match the schema"
done

# Policy none: the same report, nothing flashed.
status=$(rollout none dry-run)
expect_eq "none: playbook status" 0 "$status"
expect_eq "none: adapter firmware" "$installed_combo" "$(combo_after dry-run)"
expect_contains "none: approved action" 'value="none"' "$(cat "$tmp/dry-run/reports/localhost/approved.xml")"

# A host whose flash fails stops the rollout with a non-zero status, and its log is fetched.
sed -i "s/^\(adapter .*mac=$mac.*\)$/\1 flash_exit=3/" "$tmp/vendor/bootutil-sim.state"
status=$(rollout upgrades-only failing)
[ "$status" != 0 ] || fail "failing flash: the playbook reported success"
expect_eq "failing flash: adapter firmware" "$installed_combo" "$(combo_after failing)"
expect_contains "failing flash: update log" "Upgrade failed" "$(cat "$tmp/failing/reports/localhost/update.log")"

[ "$failures" -eq 0 ] || cat "$tmp"/*/ansible.out
finish
