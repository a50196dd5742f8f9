#!/usr/bin/env bash
# The policy tool leaves every action element of the approved report with
# its one value attribute, so that nothing else in it can still ask for a
# flash.
#   policy_test.sh <source-dir>
source "$1/tests/packaging/lib.sh"
command -v python3 >/dev/null || skip "python3 is not installed"
tool=$1/deploy/ansible/files/apply_policy.py

cat > "$tmp/report.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<velor_rom_discovery version="0.0.0.0">
    <devices>
        <device>
            <macaddress value="001B21000001"/>
            <fw_item><type value="ROM"/><action value="upgrade"/></fw_item>
        </device>
        <device>
            <macaddress value="001B21000002"/>
            <fw_item><type value="ROM"/><action value="downgrade" note="upgrade" b="rewrite">upgrade</action></fw_item>
            <action value="upgrade"/>
        </device>
    </devices>
    <action value="rewrite"/>
</velor_rom_discovery>
XML

for policy in upgrades-only none; do
    python3 "$tool" --policy "$policy" "$tmp/report.xml" "$tmp/$policy.xml" > "$tmp/$policy.out" || fail "$policy: tool failed"
done
expect_eq "upgrades-only: actions" '<action value="upgrade" />
<action value="none" />
<action value="none" />
<action value="none" />' "$(grep -o '<action[^>]*>' "$tmp/upgrades-only.xml")"
expect_eq "none: actions" 4 "$(grep -o '<action value="none" />' "$tmp/none.xml" | wc -l)"
expect_eq "no action text left" "" "$(grep -o '</action>' "$tmp/upgrades-only.xml")"
expect_contains "printed decision" "001B21000002 : downgrade -> none" "$(cat "$tmp/upgrades-only.out")"
finish
