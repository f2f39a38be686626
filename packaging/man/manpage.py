#!/usr/bin/env python3
"""Writes ktrv8's manual page from the program's own --help texts.

The overview help lists one command per line; each "ktrv8 COMMAND --help" holds that
command's description and its option tables. Reading them here keeps a single home for
every option and its unit: the page can never disagree with --help.
"""
import re
import subprocess
import sys

OPTION = re.compile(r"^  (-\S.*?)(?:\s{2,}(\S.*))?$")
CONTINUED = re.compile(r"^ {6,}\S")
SHARED = ("Options for every command:", "Exit codes:")


def run_help(program, *args):
    done = subprocess.run([program, *args, "--help"], capture_output=True, text=True, check=True)
    return done.stdout.splitlines()


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


def sections(lines):
    """Splits help text into (heading, lines) pairs; the text before any heading is ''."""
    heading, body, found = "", [], []
    for line in lines:
        if line and not line.startswith(" ") and line.endswith(":") and not line.startswith("Usage"):
            found.append((heading, body))
            heading, body = line, []
        else:
            body.append(line)
    found.append((heading, body))
    return found


def usage_and_text(lines):
    """The usage lines (the first and its indented continuations) and the paragraphs after."""
    usage = [lines[0][len("Usage: "):]]
    rest = lines[1:]
    while rest and rest[0].startswith("   "):
        usage.append(rest.pop(0).strip())
    return usage, rest


def paragraphs(lines):
    out, words = [], []
    for line in lines + [""]:
        if line.strip():
            words.append(line.strip())
        elif words:
            out += [".PP", roff(" ".join(words))]
            words = []
    return out


def items(lines):
    """Option rows as .TP items; other lines as paragraphs."""
    out, term, text = [], None, []

    def flush():
        if term is not None:
            out.extend([".TP", ".B " + roff(term), roff(" ".join(text))])

    loose = []
    for line in lines:
        match = OPTION.match(line)
        if match:
            flush()
            term, text = match.group(1).strip(), [match.group(2) or ""]
        elif CONTINUED.match(line) and term is not None:
            text.append(line.strip())
        elif line.strip():
            loose.append(line)
    flush()
    return paragraphs(loose) + out


def exit_codes(lines):
    out = []
    for line in lines:
        parts = line.split(None, 1)
        if len(parts) == 2:
            out += [".TP", ".B " + parts[0], roff(parts[1])]
    return out


def command_page(name, lines, common):
    usage, rest = usage_and_text(lines)
    out = [".SS " + roff(name), ".nf", *[roff(u) for u in usage], ".fi"]
    for heading, body in sections(rest):
        if heading in SHARED:
            continue
        if heading in common:
            out += [".PP", "The " + roff(heading.rstrip(":").split(" (")[0].lower()) + ": see below."]
        elif heading:
            out += [".PP", ".I " + roff(heading.rstrip(":"))] + items(body)
        else:
            out += paragraphs(body)
    return out


def command_entries(lines):
    """Each command's synopsis, its wrapped lines joined."""
    entries = []
    for line in lines:
        if line.startswith("  ktrv8 "):
            entries.append(line.strip())
        elif line.strip() and entries:
            entries[-1] += " " + line.strip()
    return entries


def page(program, version):
    parts = dict(sections(usage_and_text(run_help(program))[1]))
    entries = command_entries(parts.get("Commands:", []))
    helps = [(e.split()[1], run_help(program, e.split()[1])) for e in entries]
    # A table that several commands share (the cutter options) is printed once.
    seen = {}
    for _, lines in helps:
        for heading, body in sections(usage_and_text(lines)[1]):
            if heading and heading not in SHARED:
                seen.setdefault(heading, []).append(body)
    common = {h: bodies[0] for h, bodies in seen.items() if len(bodies) > 1}
    out = [f'.TH KTRV8 1 "" "ktrv8 {version}" "User Commands"', ".SH NAME",
           "ktrv8 \\- command\\-line host for the KT\\-RV8 lettering cutter driver", ".SH SYNOPSIS", ".nf"]
    out += [roff(e) for e in entries] + [".fi", ".SH DESCRIPTION"] + paragraphs(parts.get("", []))
    out += [".SH COMMANDS"]
    for name, lines in helps:
        out += command_page(name, lines, common)
    for heading, body in common.items():
        out += [".SH " + roff(heading.rstrip(":").split(" (")[0].upper()), ".PP", roff(heading.rstrip(":"))]
        out += items(body)
    out += [".SH OPTIONS FOR EVERY COMMAND"] + items(parts.get("Options for every command:", []))
    out += [".SH EXIT STATUS"] + exit_codes(parts.get("Exit codes:", []))
    out += [".SH SEE ALSO", ".BR ktrv8\\-gui (1),", ".BR ktrv8\\-sim (1),", ".BR ktrv8\\-cloud (1)"]
    return "\n".join(out) + "\n"


def missing_options(program, text):
    """Every option any help names must have reached the page."""
    named = set()
    for args in [()] + [(c,) for c in re.findall(r"^  ktrv8 (\S+)", "\n".join(run_help(program)), re.M)]:
        named |= set(re.findall(r"(?<![\w-])--[a-z][a-z-]*", "\n".join(run_help(program, *args))))
    shown = text.replace("\\-", "-")
    return sorted(o for o in named if o not in shown)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: manpage.py KTRV8 VERSION OUT.1")
    text = page(sys.argv[1], sys.argv[2])
    lost = missing_options(sys.argv[1], text)
    if lost:
        sys.exit("manpage.py: options missing from the page: " + " ".join(lost))
    with open(sys.argv[3], "w", encoding="utf-8") as out:
        out.write(text)
