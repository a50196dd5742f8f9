#!/usr/bin/env python3
"""Judges each stage of a dazed-fug rollout on the controller and draws the fleet view.

  fleet.py start HOST_DIR          before the run: clears what an earlier run left
  fleet.py discovery HOST_DIR RC   after -d: ready, nothing to do, or failed
  fleet.py update HOST_DIR RC      after -us: flashed, nothing to flash or failed
                                   ("stopped": not run)
  fleet.py verify HOST_DIR RC      after the second -d: verified or failed
  fleet.py view REPORTS_DIR HOST...

HOST_DIR is reports/<host> with the files the play fetched there; RC is the
program's exit status, or "error" when the step did not complete. Each stage
prints its verdict on the first line, the reasons after it, and keeps both
in HOST_DIR/<stage>.json for the view. The exit status is 0 whenever a
verdict was reached.
"""
import argparse
import csv
import json
import os
import re
import sys
import xml.etree.ElementTree as ET

# The program reads no larger report either.
MAX_REPORT = 4 * 1024 * 1024
FLASH_WORDS = ("upgrade", "rewrite", "downgrade")
NO_ADAPTER = "[ERROR]  :No supported adapters found"
SUCCESS = re.compile(r"^\[INFO\]   :MAC (\S+) *Upgrade SUCCESS$")
# Everything the play keeps per host; an earlier run's must not show in this one's view.
HOST_FILES = ["discovered.xml", "approved.xml", "discovery.log", "update.log", "verify.xml",
              "verify.log", "discovery.json", "update.json", "verify.json"]
COLUMNS = ["host", "interface", "MAC", "PCI identity", "product", "installed before",
           "available", "approved action", "outcome", "installed after"]


class Unusable(Exception):
    pass


def value(element, name):
    child = element.find(name) if element is not None else None
    return child.get("value", "") if child is not None else ""


def read_devices(path):
    """The devices of a discovery report, in document order."""
    try:
        if os.path.getsize(path) > MAX_REPORT:
            raise Unusable(f"{path}: larger than {MAX_REPORT} bytes")
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as e:
        raise Unusable(f"{path}: {e}")
    if root.tag != "velor_rom_discovery":
        raise Unusable(f"{path}: not a discovery report")
    devices = []
    for device in root.iter("device"):
        items = device.findall("fw_item")
        item = next((i for i in items if "ROM" in value(i, "type")), items[0] if items else None)
        devices.append({
            "interface": value(device, "device_id"),
            "mac": value(device, "macaddress"),
            "pci": "-".join(value(device, k) for k in ("venid", "devid", "subvenid", "subdevid")),
            "product": value(device, "product_id"),
            "installed": value(item, "active_version"),
            "available": value(item, "version"),
            "action": value(item, "action"),
        })
    return devices


def marked(action):
    return any(word in action for word in FLASH_WORDS)


def read_lines(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()
    except OSError:
        return None


def error_lines(log):
    return [line for line in log or [] if line.startswith("[ERROR]")]


def flashed_macs(host_dir):
    return {m.group(1) for line in read_lines(os.path.join(host_dir, "update.log")) or []
            for m in [SUCCESS.match(line)] if m}


def record(host_dir, stage, verdict, reasons):
    with open(os.path.join(host_dir, stage + ".json"), "w", encoding="utf-8") as f:
        json.dump({"verdict": verdict, "reasons": reasons}, f)
    print(verdict)
    for reason in reasons:
        print(reason)


def load(host_dir, stage):
    try:
        with open(os.path.join(host_dir, stage + ".json"), encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def no_supported_adapter(log):
    """True only when the program looked and found no adapter: its only
    event besides information and warnings is that one error."""
    try:
        start = next(i for i, l in enumerate(log) if l.startswith("Command:"))
        end = next(i for i, l in enumerate(log) if l.startswith("Return Value:"))
    except StopIteration:
        return False
    if log[end] != "Return Value: FWUPG_ERR [6]":
        return False
    events = [l for l in log[start + 1:end] if l.strip()]
    others = [l for l in events if not l.startswith(("[INFO]   :", "[WARNING]:"))]
    return others == [NO_ADAPTER]


def stage_failed(rc, what, log):
    errors = error_lines(log)
    return [f"{what} exited {rc}"] + [e[len("[ERROR]  :"):] for e in errors[:3]]


def judge_discovery(host_dir, rc, reason):
    if rc is None:
        return "failed", [reason or "discovery did not complete"]
    log = read_lines(os.path.join(host_dir, "discovery.log"))
    if rc == 0:
        try:
            devices = read_devices(os.path.join(host_dir, "discovered.xml"))
        except Unusable as e:
            return "failed", [str(e)]
        if not devices:
            return "failed", ["the report lists no adapter"]
        return "ready", [f"{len(devices)} adapter(s)"]
    if rc == 6 and log is not None and no_supported_adapter(log):
        return "nothing to do", ["no supported adapter"]
    return "failed", stage_failed(rc, "-d", log)


def judge_update(host_dir, rc, reason):
    if rc == "stopped":
        return "not run", ["a host of an earlier batch failed"]
    if rc is None:
        return "failed", [reason or "the update did not complete"]
    try:
        approved = [d for d in read_devices(os.path.join(host_dir, "approved.xml")) if marked(d["action"])]
    except Unusable as e:
        return "failed", [str(e)]
    done = flashed_macs(host_dir)
    missing = [d["mac"] for d in approved if d["mac"] not in done]
    reasons = [f"MAC {mac} not flashed" for mac in missing]
    if rc != 0:
        return "failed", stage_failed(rc, "-us", read_lines(os.path.join(host_dir, "update.log"))) + reasons
    if missing:
        return "failed", reasons
    if not approved:
        return "nothing to flash", ["no adapter approved"]
    return "flashed", [f"{len(approved)} adapter(s) flashed"]


def judge_verify(host_dir, rc, reason):
    if rc is None:
        return "failed", [reason or "verification did not complete"]
    if rc != 0:
        return "failed", stage_failed(rc, "-d after the update", read_lines(os.path.join(host_dir, "verify.log")))
    try:
        approved = read_devices(os.path.join(host_dir, "approved.xml"))
        after = read_devices(os.path.join(host_dir, "verify.xml"))
    except Unusable as e:
        return "failed", [str(e)]
    done = flashed_macs(host_dir)
    reasons = []
    for device in approved:
        if not marked(device["action"]) or device["mac"] not in done:
            continue
        found = [d["installed"] for d in after if d["mac"] == device["mac"]]
        if not found or any(v != device["available"] for v in found):
            reasons.append(f"MAC {device['mac']}: installed {'/'.join(found) or 'not reported'}, "
                           f"approved {device['available']}")
    return ("failed", reasons) if reasons else ("verified", ["every flashed adapter reports its approved version"])


def host_rows(reports_dir, host):
    """The view's rows of one host and the reasons behind its state."""
    host_dir = os.path.join(reports_dir, host)
    blank = dict.fromkeys(COLUMNS[1:], "")
    discovery = load(host_dir, "discovery")
    if discovery is None:
        return [dict(blank, host=host, outcome="no result")], ["no result: the play kept none for this host"]
    if discovery["verdict"] != "ready":
        outcome = "nothing to do" if discovery["verdict"] == "nothing to do" else "discovery failed"
        return [dict(blank, host=host, outcome=outcome)], [f"{outcome}: {r}" for r in discovery["reasons"]]
    try:
        devices = read_devices(os.path.join(host_dir, "discovered.xml"))
    except Unusable as e:
        return [dict(blank, host=host, outcome="discovery failed")], [f"discovery failed: {e}"]
    try:
        approved = read_devices(os.path.join(host_dir, "approved.xml"))
    except Unusable:
        approved = []
    # Without a verdict the host may have been flashed or not.
    update = load(host_dir, "update") or {"verdict": "no result", "reasons": ["the update left no verdict"]}
    verify = load(host_dir, "verify")
    try:
        after = read_devices(os.path.join(host_dir, "verify.xml")) if verify else []
    except Unusable:
        after = []
    done = flashed_macs(host_dir)
    rows = []
    for i, device in enumerate(devices):
        action = approved[i]["action"] if i < len(approved) and approved[i]["mac"] == device["mac"] else ""
        installed_after = [d["installed"] for d in after if d["mac"] == device["mac"]]
        if update["verdict"] in ("not run", "no result"):
            outcome = update["verdict"]
        elif not marked(action):
            outcome = "not approved"
        elif device["mac"] not in done:
            outcome = "flash failed"
        elif verify is None:
            outcome = "flashed"
        elif installed_after and all(v == device["available"] for v in installed_after):
            outcome = "verified"
        else:
            outcome = "verify failed"
        rows.append({"host": host, "interface": device["interface"], "MAC": device["mac"],
                     "PCI identity": device["pci"], "product": device["product"],
                     "installed before": device["installed"], "available": device["available"],
                     "approved action": action, "outcome": outcome,
                     "installed after": "/".join(installed_after)})
    reasons = []
    for stage, state in (("update", update), ("verify", verify)):
        if state and state["verdict"] in ("failed", "not run", "no result"):
            reasons += [f"{stage} {state['verdict']}: {r}" for r in state["reasons"]]
    return rows, reasons


def spreadsheet_safe(text):
    # Texts come from the hosts; a spreadsheet would run one that starts
    # like a formula.
    return "'" + text if text[:1] in ("=", "+", "-", "@", "\t", "\r") else text


def printable(text):
    return "".join(c if c.isprintable() else repr(c)[1:-1] for c in text) or "-"


def view(reports_dir, hosts):
    rows, notes = [], []
    for host in hosts:
        host_part, reasons = host_rows(reports_dir, host)
        rows += host_part
        notes += [f"{host}: {r}" for r in reasons]
    path = os.path.join(reports_dir, "fleet.csv")
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="utf-8", newline="") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(COLUMNS)
        for row in rows:
            writer.writerow([spreadsheet_safe(row[c]) for c in COLUMNS])
    os.replace(temporary, path)

    cells = [COLUMNS] + [[printable(row[c]) for c in COLUMNS] for row in rows]
    widths = [max(len(line[i]) for line in cells) for i in range(len(COLUMNS))]
    for n, line in enumerate(cells):
        print("  ".join(cell.ljust(w) for cell, w in zip(line, widths)).rstrip())
        if n == 0:
            print("  ".join("-" * w for w in widths))
    for note in notes:
        print(printable(note))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="stage", required=True)
    judges = {"discovery": judge_discovery, "update": judge_update, "verify": judge_verify}
    for stage in judges:
        p = sub.add_parser(stage)
        p.add_argument("host_dir")
        p.add_argument("rc")
        p.add_argument("--reason", default="")
    p = sub.add_parser("start")
    p.add_argument("host_dir")
    p = sub.add_parser("view")
    p.add_argument("reports_dir")
    p.add_argument("hosts", nargs="*")
    args = parser.parse_args()

    if args.stage == "view":
        view(args.reports_dir, args.hosts)
        return
    if args.stage == "start":
        os.makedirs(args.host_dir, mode=0o755, exist_ok=True)
        for name in HOST_FILES:
            try:
                os.remove(os.path.join(args.host_dir, name))
            except FileNotFoundError:
                pass
        return
    rc = args.rc
    if rc not in ("error", "stopped"):
        if not rc.isdigit():
            sys.exit(f"exit status {rc!r} is not a number")
        rc = int(rc)
    elif rc == "error":
        rc = None
    elif args.stage != "update":
        sys.exit("only the update can be stopped")
    verdict, reasons = judges[args.stage](args.host_dir, rc, args.reason)
    record(args.host_dir, args.stage, verdict, reasons)


if __name__ == "__main__":
    main()
