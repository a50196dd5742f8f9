#!/usr/bin/env python3
"""Applies a rollout policy to the actions of a dazed-fug discovery report.

The program flashes every device whose action contains upgrade, rewrite or
downgrade; an action of "none" leaves the device alone. The policy decides
which of the recommended actions stay:

  upgrades-only          upgrade
  upgrades-and-rewrites  upgrade, rewrite
  as-reported            upgrade, rewrite, downgrade
  none                   nothing (a dry run)

Prints one line per device: MAC, recommended action, approved action.
"""
import argparse
import sys
import xml.etree.ElementTree as ET

KEPT = {
    "upgrades-only": {"upgrade"},
    "upgrades-and-rewrites": {"upgrade", "rewrite"},
    "as-reported": {"upgrade", "rewrite", "downgrade"},
    "none": set(),
}


def value(element, name):
    child = element.find(name)
    return child.get("value", "") if child is not None else ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--policy", choices=sorted(KEPT), required=True)
    parser.add_argument("report")
    parser.add_argument("approved")
    args = parser.parse_args()

    tree = ET.parse(args.report)
    root = tree.getroot()
    if root.tag != "velor_rom_discovery":
        sys.exit(f"{args.report}: not a discovery report")
    # The program reads every attribute of every element named action,
    # wherever it stands, and flashes when any of them holds an action
    # word. Each one is rewritten to its one approved value.
    approved_actions = {}
    for device in root.iter("device"):
        for item in device.findall("fw_item"):
            action = item.find("action")
            if action is None:
                continue
            recommended = action.get("value", "")
            approved = recommended if recommended in KEPT[args.policy] else "none"
            approved_actions[action] = approved
            print(f"{value(device, 'macaddress')} {value(device, 'device_id')}: {recommended or '-'} -> {approved}")
    for action in root.iter("action"):
        approved = approved_actions.get(action, "none")
        tail = action.tail
        action.clear()
        action.tail = tail
        action.set("value", approved)
    tree.write(args.approved, encoding="UTF-8", xml_declaration=True)


if __name__ == "__main__":
    main()
