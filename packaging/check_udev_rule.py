#!/usr/bin/env python3
"""Checks the udev rules file that gives the seated user access to the stick.

    check_udev_rule.py RULES              check the file
    check_udev_rule.py --self-test RULES  check that faulty variants of it are rejected

The file must consist of well-formed rules that only add the "uaccess" tag to
hidraw nodes. Each rule is then evaluated, the way udev evaluates it, against
the device chains of the stick on USB, on Bluetooth and over uhid, which must
all gain access on "add" and on "change", and against neighbouring devices
(the stick's other nodes, other vendors' and other products' nodes), which must
not.
"""

import argparse
import fnmatch
import re
import sys
from dataclasses import dataclass, field

# Keys matched against the device itself, and keys matched against the device or
# one of its parents (all of them in one rule against the same parent).
SELF_KEYS = {"ACTION", "SUBSYSTEM", "KERNEL"}
PARENT_KEYS = {"SUBSYSTEMS", "KERNELS", "ATTRS"}
MATCH_OPERATORS = {"==", "!="}
# Keys that a rule granting access through uaccess has no business using.
PERMISSION_KEYS = {"MODE", "OWNER", "GROUP"}
PROGRAM_KEYS = {"RUN", "PROGRAM"}

TOKEN = re.compile(
    r'\s*(?P<key>[A-Z_]+)(?:\{(?P<attr>[^{}"]*)\})?\s*'
    r'(?P<op>==|!=|\+=|-=|:=|=)\s*"(?P<value>[^"\\]*)"\s*(?P<sep>,|$)')


@dataclass
class Token:
    key: str
    attr: str | None
    op: str
    value: str


@dataclass
class Rule:
    line: int
    tokens: list[Token]


@dataclass
class Device:
    subsystem: str
    kernel: str
    attrs: dict[str, str] = field(default_factory=dict)


def parse(text):
    """Returns (rules, problems); a line continues on the next after a backslash."""
    rules, problems = [], []
    pending, start = "", 0
    for number, raw in enumerate(text.splitlines(), 1):
        if not pending:
            start = number
        line = pending + raw
        if line.endswith("\\"):
            pending = line[:-1]
            continue
        pending = ""
        stripped = line.strip()
        if not stripped or stripped.startswith("#"):
            continue
        tokens, pos = [], 0
        while pos < len(line):
            m = TOKEN.match(line, pos)
            if not m or (m.group("sep") == "," and m.end() == len(line)):
                problems.append(f"line {start}: cannot parse from column {pos + 1}: {line[pos:]!r}")
                break
            tokens.append(Token(m.group("key"), m.group("attr"), m.group("op"), m.group("value")))
            pos = m.end()
        else:
            rules.append(Rule(start, tokens))
    if pending:
        problems.append("the file ends in a line continuation")
    return rules, problems


def structure_problems(rule):
    """Keys, operators and values that a rule of this file may not have."""
    where = f"line {rule.line}"
    problems = []
    for t in rule.tokens:
        name = t.key + (f"{{{t.attr}}}" if t.attr is not None else "")
        if t.key in PERMISSION_KEYS:
            problems.append(f"{where}: sets {t.key}; access is to come from the uaccess tag alone")
            if t.key == "MODE" and t.value.isdigit() and int(t.value, 8) & 0o007:
                problems.append(f"{where}: MODE=\"{t.value}\" makes the node world-accessible")
        elif t.key in PROGRAM_KEYS:
            problems.append(f"{where}: {t.key} runs a program")
        elif t.key == "TAG":
            if t.op != "+=":
                problems.append(f'{where}: TAG{t.op}"{t.value}" must be TAG+= so that other tags stay')
            if t.value != "uaccess":
                problems.append(f'{where}: adds the tag "{t.value}"; only "uaccess" is expected')
        elif t.key in SELF_KEYS or t.key in PARENT_KEYS:
            if t.op not in MATCH_OPERATORS:
                problems.append(f"{where}: {name} uses the operator {t.op}, which assigns instead of matching")
            if (t.key == "ATTRS") != (t.attr is not None):
                problems.append(f"{where}: {name} is not a valid key")
        else:
            problems.append(f"{where}: unexpected key {name}")
    if not any(t.key == "SUBSYSTEM" and t.op == "==" and t.value == "hidraw" for t in rule.tokens):
        problems.append(f'{where}: does not require SUBSYSTEM=="hidraw"')
    if not any(t.key == "TAG" and t.op == "+=" and t.value == "uaccess" for t in rule.tokens):
        problems.append(f'{where}: does not add TAG+="uaccess"')
    return problems


def glob(pattern, value):
    """udev's value patterns: shell globs, with | between alternatives."""
    return any(fnmatch.fnmatchcase(value, alternative) for alternative in pattern.split("|"))


def holds(token, value):
    """A match key with an assigning operator is an error in udev and never holds."""
    matched = value is not None and glob(token.value, value)
    if token.op == "==":
        return matched
    return token.op == "!=" and not matched


def grants(rule, chain, action):
    """Whether the rule adds the uaccess tag to chain[0], a device listed with its parents."""
    node = chain[0]
    own = {"ACTION": action, "SUBSYSTEM": node.subsystem, "KERNEL": node.kernel}
    parent_tokens = []
    for t in rule.tokens:
        if t.key in SELF_KEYS:
            if not holds(t, own[t.key]):
                return False
        elif t.key in PARENT_KEYS:
            parent_tokens.append(t)

    def parent_value(device, t):
        if t.key == "SUBSYSTEMS":
            return device.subsystem
        if t.key == "KERNELS":
            return device.kernel
        return device.attrs.get(t.attr)

    if parent_tokens and not any(all(holds(t, parent_value(d, t)) for t in parent_tokens) for d in chain):
        return False
    return any(t.key == "TAG" and t.op == "+=" and t.value == "uaccess" for t in rule.tokens)


def hidraw(n):
    return Device("hidraw", f"hidraw{n}")


def hid(bus, vendor, product, instance):
    return Device("hid", f"{bus:04X}:{vendor:04X}:{product:04X}.{instance:04X}")


def usb_device(name, vendor, product):
    return Device("usb", name, {"idVendor": f"{vendor:04x}", "idProduct": f"{product:04x}"})


def usb_chain(vendor, product):
    """A HID device on USB port 1-2, below the interface, the USB device and the root hub."""
    return [hid(0x0003, vendor, product, 4), Device("usb", "1-2:1.0", {"bInterfaceClass": "03"}),
            usb_device("1-2", vendor, product), usb_device("usb1", 0x1D6B, 0x0002)]


STICK_VENDOR, STICK_PRODUCT = 0x11C0, 0x5606

# Device chains, the node first, then its parents up to the root.
MUST_GRANT = {
    "the stick on USB": [hidraw(3)] + usb_chain(STICK_VENDOR, STICK_PRODUCT),
    "the stick on Bluetooth": [hidraw(5), hid(0x0005, STICK_VENDOR, STICK_PRODUCT, 9),
                               Device("bluetooth", "hci0:256"), Device("bluetooth", "hci0")],
    "the stick over uhid": [hidraw(6), hid(0x0003, STICK_VENDOR, STICK_PRODUCT, 10),
                            Device("misc", "uhid")],
}
MUST_NOT_GRANT = {
    "the stick's input event node": [Device("input", "event7"), Device("input", "input12")]
                                    + usb_chain(STICK_VENDOR, STICK_PRODUCT),
    "the stick's USB device node": usb_chain(STICK_VENDOR, STICK_PRODUCT)[2:],
    "another vendor's device with the same product id": [hidraw(1)] + usb_chain(0x11C1, STICK_PRODUCT),
    "another product of the same vendor": [hidraw(2)] + usb_chain(STICK_VENDOR, 0x5607),
    "another vendor's device on Bluetooth": [hidraw(4), hid(0x0005, 0x7A11, STICK_PRODUCT, 2),
                                             Device("bluetooth", "hci0:257"), Device("bluetooth", "hci0")],
}
ACTIONS = ("add", "change")


def check(text):
    """Every problem of the rules text, as messages; empty when it is sound."""
    rules, problems = parse(text)
    if not rules and not problems:
        problems.append("the file holds no rule")
    for rule in rules:
        problems += structure_problems(rule)
        if not any(grants(rule, chain, action) for chain in MUST_GRANT.values() for action in ACTIONS):
            problems.append(f"line {rule.line}: grants access to none of the stick's nodes")
        for name, chain in MUST_NOT_GRANT.items():
            for action in ACTIONS:
                if grants(rule, chain, action):
                    problems.append(f'line {rule.line}: grants access to {name} on "{action}"')
    for name, chain in MUST_GRANT.items():
        for action in ACTIONS:
            if not any(grants(rule, chain, action) for rule in rules):
                problems.append(f'no rule grants access to {name} on "{action}"')
    return problems


# Faults the check must catch: (what the variant does, text replaced once, replacement,
# a part of the message expected for it).
FAULTY_VARIANTS = [
    ("makes the node world-writable", 'TAG+="uaccess"', 'MODE="0666"', "world-accessible"),
    ("adds a mode next to the tag", 'TAG+="uaccess"', 'TAG+="uaccess", MODE="0660"', "sets MODE"),
    ("hands the node to a group", 'TAG+="uaccess"', 'GROUP="plugdev", TAG+="uaccess"', "sets GROUP"),
    ("replaces all tags", 'TAG+="uaccess"', 'TAG="uaccess"', "must be TAG+="),
    ("assigns the subsystem", 'SUBSYSTEM=="hidraw"', 'SUBSYSTEM="hidraw"', "assigns instead of matching"),
    ("matches more than hidraw", 'SUBSYSTEM=="hidraw", SUBSYSTEMS', 'SUBSYSTEMS',
     "grants access to the stick's input event node"),
    ("spells the USB vendor id in upper case", 'ATTRS{idVendor}=="11c0"', 'ATTRS{idVendor}=="11C0"',
     "grants access to none of the stick's nodes"),
    ("spells the HID name in lower case", '"*:11C0:5606.*"', '"*:11c0:5606.*"',
     "no rule grants access to the stick on Bluetooth"),
    ("drops the product from the HID name", '"*:11C0:5606.*"', '"*:11C0:*"',
     "grants access to another product of the same vendor"),
    ("drops the USB product id", ', ATTRS{idProduct}=="5606"', "",
     "grants access to another product of the same vendor"),
    ("acts on plugging in only", 'SUBSYSTEM=="hidraw", SUBSYSTEMS', 'ACTION=="add", SUBSYSTEM=="hidraw", SUBSYSTEMS',
     'no rule grants access to the stick over uhid on "change"'),
    ("leaves a quote open", 'TAG+="uaccess"', 'TAG+="uaccess', "cannot parse"),
    ("runs a program", 'TAG+="uaccess"', 'TAG+="uaccess", RUN+="/bin/chmod 666 $devnode"', "runs a program"),
]


def self_test(text):
    failures = [f"the file itself: {p}" for p in check(text)]
    for what, old, new, expected in FAULTY_VARIANTS:
        if old not in text:
            failures.append(f"variant that {what}: {old!r} no longer occurs in the file")
            continue
        problems = check(text.replace(old, new, 1))
        if not any(expected in p for p in problems):
            failures.append(f"variant that {what} is not rejected with {expected!r}; problems: {problems}")
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("rules")
    args = parser.parse_args()
    with open(args.rules, encoding="utf-8") as f:
        text = f.read()
    problems = self_test(text) if args.self_test else check(text)
    for p in problems:
        print(f"{args.rules}: {p}", file=sys.stderr)
    if problems:
        return 1
    if args.self_test:
        print(f"{args.rules}: all {len(FAULTY_VARIANTS)} faulty variants rejected")
    else:
        print(f"{args.rules}: sound")
    return 0


if __name__ == "__main__":
    sys.exit(main())
