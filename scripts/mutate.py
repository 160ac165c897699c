#!/usr/bin/env python3
"""Puts faults into C++ sources one at a time and runs the unit tests against each.

Run through scripts/mutation.sh, which configures the build directory and restores the
sources if this program is killed. Standard library only.

Operators (each fault is one edit of one place in the code, never in a comment, a string or
a preprocessor line):
  comparison  == and != swapped; < > <= >= turned round (< becomes >=, ...)
  boundary    < and <=, > and >= swapped; a number other than 0 or 1 one higher or lower
  constant    0 and 1 one higher or lower; true and false swapped
  logic       && and || swapped
  negate      the condition of an if or while negated; a ! removed
  remove      one statement (a call, an assignment, a return, ...) dropped
  swap        two neighbouring arguments of a call swapped

A fault is "not buildable" when the unit tests do not build with it, "caught" when they
fail or time out, and "survived" when they pass.
"""

import argparse
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DEFAULT_GLOBS = ["install/**/*.cpp", "ports/**/*.cpp", "pages/**/*.cpp", "app/**/*.cpp",
                 "tests/sim/SimRegistry.cpp"]
TARGET = "vexo_unit_tests"

KEYWORDS = {
    "if", "for", "while", "switch", "return", "sizeof", "alignof", "decltype", "catch",
    "noexcept", "operator", "static_assert", "alignas", "requires", "co_return", "co_await",
    "throw", "new", "delete", "case", "default", "do", "else", "try"}
NOT_STATEMENTS = {
    "if", "for", "while", "switch", "do", "else", "case", "default", "public", "private",
    "protected", "namespace", "class", "struct", "enum", "union", "using", "typedef",
    "template", "static_assert", "friend", "try", "catch", "extern"}
DECLARATION = re.compile(
    r"^(?:(?:const|constexpr|static|inline|mutable|volatile|auto|unsigned|signed|long|short)\s+)*"
    r"[A-Za-z_][\w:]*(?:<.*>)?[\s*&]+[A-Za-z_]\w*\s*(?:=|\{|;|\(|\[|,)", re.S)
PARAMETER = re.compile(r"^(?:const\s+)?[A-Za-z_][\w:]*(?:<.*>)?[\s*&]+[A-Za-z_]\w*$", re.S)


@dataclass
class Fault:
    start: int
    end: int
    replacement: str
    line: int
    op: str
    what: str

    def apply(self, text):
        return text[:self.start] + self.replacement + text[self.end:]


# --- reading C++ -------------------------------------------------------------------------

def mask(text):
    """The text with comments, string and character literals and preprocessor lines blanked
    (each character but a newline becomes a space, so that offsets and lines stay)."""
    out = list(text)
    n = len(text)
    i = 0

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    at_line_start = True
    while i < n:
        c = text[i]
        if at_line_start and c == "#":
            j = i
            while j < n and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1  # a backslash continues the line
            blank(i, min(j, n))
            i = j
            continue
        if c == "\n":
            at_line_start = True
            i += 1
            continue
        if not c.isspace():
            at_line_start = False
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c == "R" and text.startswith('R"', i) and (i == 0 or not _ident(text[i - 1])):
            open_paren = text.find("(", i + 2)
            delim = text[i + 2:open_paren]
            j = text.find(")" + delim + '"', open_paren)
            j = n if j < 0 else j + len(delim) + 2
            blank(i + 1, j)
            i = j
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum() and
                                           _in_number(text, i))):
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            blank(i + 1, j - 1)  # the quotes stay: a literal is still an operand
            i = j
        else:
            i += 1
    return "".join(out)


def _ident(c):
    return c.isalnum() or c == "_"


def _in_number(text, i):
    """Whether the ' at i is a digit separator (1'000)."""
    j = i - 1
    while j >= 0 and (_ident(text[j]) or text[j] == "'"):
        j -= 1
    return text[j + 1].isdigit()


def matching(masked, i):
    """The offset of the bracket closing the one at i, or -1."""
    pairs = {"(": ")", "[": "]", "{": "}"}
    stack = []
    for k in range(i, len(masked)):
        c = masked[k]
        if c in pairs:
            stack.append(pairs[c])
        elif c in ")]}":
            if not stack or stack.pop() != c:
                return -1
            if not stack:
                return k
    return -1


def split_top(masked, a, b, sep, templates=False):
    """The top-level ranges of masked[a:b] between the separators `sep`; with `templates`,
    commas inside a template's argument list (std::map<A, B>) do not separate."""
    ranges = []
    depth = 0
    angle = 0
    start = a
    for k in range(a, b):
        c = masked[k]
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
        elif templates and c == "<" and k > a and _ident(masked[k - 1]) and masked[k + 1] not in " =<":
            angle += 1
        elif templates and c == ">" and angle > 0 and masked[k - 1] != "-":
            angle -= 1
        elif c == sep and depth == 0 and angle == 0:
            ranges.append((start, k))
            start = k + 1
    ranges.append((start, b))
    return ranges


def split_args(masked, a, b):
    """The top-level comma-separated ranges in masked[a:b]."""
    return split_top(masked, a, b, ",", templates=True)


def strip_range(text, a, b):
    while a < b and text[a].isspace():
        a += 1
    while b > a and text[b - 1].isspace():
        b -= 1
    return a, b


def short(s, width=60):
    s = " ".join(s.split())
    return s if len(s) <= width else s[:width - 3] + "..."


# --- the operators -----------------------------------------------------------------------

def faults_in(text):
    masked = mask(text)
    line_starts = [0] + [m.end() for m in re.finditer("\n", text)]

    def line_of(offset):
        lo, hi = 0, len(line_starts) - 1
        while lo < hi:
            mid = (lo + hi + 1) // 2
            if line_starts[mid] <= offset:
                lo = mid
            else:
                hi = mid - 1
        return lo + 1

    faults = []

    def add(start, end, replacement, op, what):
        if text[start:end] != replacement:
            faults.append(Fault(start, end, replacement, line_of(start), op, what))

    # comparisons and their boundaries, written with a space either side (as formatted):
    # template brackets, shifts and arrows never are.
    turned = {"==": [("!=", "comparison")], "!=": [("==", "comparison")],
              "<": [("<=", "boundary"), (">=", "comparison")],
              "<=": [("<", "boundary"), (">", "comparison")],
              ">": [(">=", "boundary"), ("<=", "comparison")],
              ">=": [(">", "boundary"), ("<", "comparison")]}
    for m in re.finditer(r"(?<= )(==|!=|<=|>=|<|>)(?= )", masked):
        for new, op in turned[m.group(1)]:
            add(m.start(), m.end(), new, op, f"`{m.group(1)}` -> `{new}`")
    for m in re.finditer(r"(?<= )(&&|\|\|)(?= )", masked):
        new = "||" if m.group(1) == "&&" else "&&"
        add(m.start(), m.end(), new, "logic", f"`{m.group(1)}` -> `{new}`")

    # numbers and the two truth values
    for m in re.finditer(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+)([uUlL]*)(?![\w.'])", masked):
        digits = m.group(1)
        value = int(digits, 0) if not re.fullmatch(r"0\d+", digits) else int(digits, 8)
        op = "constant" if value in (0, 1) else "boundary"
        for new in (value + 1, value - 1):
            if new < 0:
                continue
            spelled = hex(new) if digits[:2] in ("0x", "0X") else str(new)
            add(m.start(1), m.end(1), spelled, op, f"`{digits}` -> `{spelled}`")
    for m in re.finditer(r"\b(true|false)\b", masked):
        new = "false" if m.group(1) == "true" else "true"
        add(m.start(), m.end(), new, "constant", f"`{m.group(1)}` -> `{new}`")

    # negated conditions
    for m in re.finditer(r"\b(if|while)\s*\(", masked):
        if masked[m.end():m.end() + 10].startswith("constexpr"):
            continue
        open_paren = m.end() - 1
        close = matching(masked, open_paren)
        if close < 0:
            continue
        parts = split_top(masked, open_paren + 1, close, ";")
        a, b = strip_range(text, parts[-1][0], parts[-1][1])
        if a < b:
            cond = text[a:b]
            add(a, b, f"!({cond})", "negate", f"{m.group(1)} ({short(cond, 40)}) negated")
    for m in re.finditer(r"(?<![\w)\]])!(?!=)", masked):
        k = m.start()
        add(k, k + 1, "", "negate", f"`!` removed before `{short(text[k + 1:k + 30], 20)}`")

    # removed statements
    for ln, start in enumerate(line_starts):
        s = start
        while s < len(masked) and masked[s] in " \t":
            s += 1
        if s >= len(masked) or masked[s] in "\n{}~#[(":
            continue
        prev = masked[:s].rstrip()
        if prev and prev[-1] not in ";{}":
            label = masked[line_starts[ln - 1]:start].strip() if ln > 0 else ""
            if not (prev[-1] == ":" and re.match(r"(case\b|default\b)", label)):
                continue
        first_word = re.match(r"[A-Za-z_]\w*", masked[s:])
        if first_word and first_word.group(0) in NOT_STATEMENTS:
            continue
        end = statement_end(masked, s)
        if end < 0:
            continue
        stmt = masked[s:end + 1]
        keyword = first_word.group(0) if first_word else ""
        if keyword not in ("return", "break", "continue", "throw", "delete") and \
                DECLARATION.match(stmt):
            continue
        add(s, end + 1, "\n" * text.count("\n", s, end + 1), "remove",
            f"removed `{short(text[s:end + 1])}`")

    # swapped arguments
    for m in re.finditer(r"\b([A-Za-z_]\w*)\s*\(", masked):
        if m.group(1) in KEYWORDS:
            continue
        open_paren = m.end() - 1
        close = matching(masked, open_paren)
        if close < 0:
            continue
        args = [strip_range(text, a, b) for a, b in split_args(masked, open_paren + 1, close)]
        if len(args) < 2 or any(a == b for a, b in args):
            continue
        if any(PARAMETER.match(masked[a:b]) for a, b in args):
            continue  # a declaration's parameters, not a call's arguments
        for (a1, b1), (a2, b2) in zip(args, args[1:]):
            x, y = text[a1:b1], text[a2:b2]
            if x != y and ('"' in masked[a1:b1]) == ('"' in masked[a2:b2]):
                add(a1, b2, y + text[b1:a2] + x, "swap",
                    f"swapped `{short(x, 25)}` and `{short(y, 25)}` in {m.group(1)}(...)")
    faults.sort(key=lambda f: (f.start, f.end, f.replacement))
    return faults


def statement_end(masked, s):
    """The offset of the ; ending the simple statement that starts at s, or -1 when a block
    or the end of one comes first."""
    depth = 0
    for k in range(s, len(masked)):
        c = masked[k]
        if c in "([":
            depth += 1
        elif c in ")]":
            depth -= 1
        elif c == "{":
            if depth == 0 and not re.search(r"[=(,]\s*$|return\s*$", masked[s:k]):
                return -1  # a block, not a braced initialiser
            depth += 1
        elif c == "}":
            if depth == 0:
                return -1
            depth -= 1
        elif c == ";" and depth == 0:
            return k
    return -1


# --- choosing ----------------------------------------------------------------------------

def chosen_faults(rel, text, sample, seed):
    faults = faults_in(text)
    if sample and len(faults) > sample:
        rng = random.Random(f"{seed}:{rel}")
        faults = sorted(rng.sample(faults, sample), key=lambda f: (f.start, f.end))
    return faults


def default_files():
    files = set()
    for pattern in DEFAULT_GLOBS:
        files.update(p.relative_to(ROOT).as_posix() for p in ROOT.glob(pattern))
    return sorted(files)


def objects_of(build):
    """Source (relative to the root) -> its object file, from compile_commands.json."""
    db = json.loads((build / "compile_commands.json").read_text())
    objects = {}
    for entry in db:
        src = Path(entry["file"]).resolve()
        if src.is_relative_to(ROOT):
            out = entry.get("output")
            if out is None:
                m = re.search(r"\s-o\s+(\S+)", entry["command"])
                out = m.group(1) if m else None
            if out:
                objects[src.relative_to(ROOT).as_posix()] = Path(entry["directory"]) / out
    return objects


# --- running -----------------------------------------------------------------------------

class Interrupted(Exception):
    pass


def _on_signal(signum, _frame):
    raise Interrupted(signal.Signals(signum).name)


def run(cmd, timeout):
    """Runs cmd in a process group of its own; returns (status, output), status None on a
    timeout. The whole group is killed on a timeout or an interruption."""
    proc = subprocess.Popen(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, errors="replace", start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        return None, out
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        raise


class Sources:
    """Puts a fault into a source in place and takes it out again: the original bytes and
    times come back, and the build directory gets the original's object file back, so that
    neither this build nor any other sees a change. A copy of the original waits in the
    build directory until it is back, for `--restore` after a hard kill."""

    def __init__(self, build, objects):
        self.build = build
        self.objects = objects
        self.saved = build / "mutation-originals"
        self.cache = build / "mutation-objects"

    def remember_objects(self, files):
        self.cache.mkdir(exist_ok=True)
        for rel in files:
            shutil.copy2(self.objects[rel], self.cache / rel.replace("/", "__"))

    def put(self, rel, text):
        src = ROOT / rel
        backup = self.saved / rel
        backup.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(src, backup)
        src.write_text(text, encoding="utf-8", newline="")

    def take_out(self, rel):
        backup = self.saved / rel
        if not backup.exists():
            return
        shutil.copy2(backup, ROOT / rel)  # bytes and times
        obj = self.objects.get(rel)
        cached = self.cache / rel.replace("/", "__")
        if obj is not None:
            if cached.exists():
                shutil.copyfile(cached, obj)  # newer than the source and the archive
            elif obj.exists():
                obj.unlink()  # rebuilt from the original next time
        backup.unlink()

    def restore_all(self):
        restored = []
        if self.saved.exists():
            for backup in sorted(self.saved.rglob("*")):
                if backup.is_file():
                    rel = backup.relative_to(self.saved).as_posix()
                    self.take_out(rel)
                    restored.append(rel)
        return restored


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--files", nargs="+", metavar="F", help="sources (default: the core)")
    ap.add_argument("--sample", type=int, default=30,
                    help="faults per file, chosen reproducibly (0: all; default 30)")
    ap.add_argument("--seed", default="1", help="seed of the choice (default 1)")
    ap.add_argument("--list", action="store_true", help="print the faults, run nothing")
    ap.add_argument("--build", default="build/mutation", help="the build directory")
    ap.add_argument("--timeout", type=float, default=0,
                    help="seconds for one test run (default: 5 times the clean run, 60 at least)")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--restore", action="store_true",
                    help="put back any source left faulty by a killed run, then exit")
    args = ap.parse_args()

    build = (ROOT / args.build).resolve()
    if args.restore:
        for rel in Sources(build, objects_of(build) if (build / "compile_commands.json").exists()
                           else {}).restore_all():
            print(f"mutation: restored {rel}", file=sys.stderr)
        return 0

    objects = objects_of(build)
    files = []
    for f in args.files or default_files():
        rel = (Path.cwd() / f).resolve().relative_to(ROOT).as_posix()
        if rel not in objects:
            print(f"mutation: {rel} is not compiled in {args.build}; left out", file=sys.stderr)
            continue
        files.append(rel)
    plan = [(rel, chosen_faults(rel, (ROOT / rel).read_text(encoding="utf-8"), args.sample,
                                args.seed)) for rel in files]
    if args.list:
        for rel, faults in plan:
            for f in faults:
                print(f"{rel}:{f.line}: {f.op}: {f.what}")
        print(f"{sum(len(f) for _, f in plan)} faults in {len(plan)} files")
        return 0

    signal.signal(signal.SIGTERM, _on_signal)
    signal.signal(signal.SIGHUP, _on_signal)
    sources = Sources(build, objects)
    sources.restore_all()
    binary = build / "tests" / "unit" / TARGET
    build_cmd = ["cmake", "--build", str(build), "--target", TARGET, "-j", str(args.jobs)]
    test_cmd = [str(binary), "--gtest_fail_fast", "--gtest_brief=1"]

    try:
        rows, survivors = measure(args, files, plan, sources, build_cmd, test_cmd, binary)
    except (KeyboardInterrupt, Interrupted) as e:
        print(f"mutation: interrupted ({e or 'SIGINT'}); the sources are as they were",
              file=sys.stderr)
        return 130
    finally:
        sources.restore_all()
    if rows is None:
        return 1
    print_table(rows, survivors)
    return 0


def measure(args, files, plan, sources, build_cmd, test_cmd, binary):
    """Tries every fault of the plan; (rows, survivors), or (None, None) when the tests do
    not pass without a fault."""
    print("==> the unit tests without a fault", flush=True)
    status, out = run(build_cmd, 3600)
    if status != 0:
        print(out)
        print("mutation: the unit tests do not build as they are", file=sys.stderr)
        return None, None
    began = time.monotonic()
    status, out = run(test_cmd, 600)
    clean = time.monotonic() - began
    if status != 0:
        print(out)
        print("mutation: the unit tests do not pass without a fault"
              + (" (timed out)" if status is None else ""), file=sys.stderr)
        return None, None
    timeout = args.timeout or max(60.0, 5 * clean)
    print(f"    pass in {clean:.1f} s; a run with a fault times out after {timeout:.0f} s")
    sources.remember_objects(files)

    total = sum(len(f) for _, f in plan)
    rows = []
    survivors = []
    done = 0
    for rel, faults in plan:
        original = (ROOT / rel).read_text(encoding="utf-8")
        counts = {"tried": 0, "not buildable": 0, "caught": 0, "survived": 0}
        for f in faults:
            done += 1
            counts["tried"] += 1
            sources.put(rel, f.apply(original))
            try:
                linked = binary.stat().st_mtime_ns
                status, out = run(build_cmd, 900)
                if status != 0:
                    verdict = "not buildable"
                elif binary.stat().st_mtime_ns == linked:
                    raise SystemExit(f"mutation: {rel} is not linked into {TARGET}")
                else:
                    status, out = run(test_cmd, timeout)
                    verdict = "survived" if status == 0 else "caught"
                    if status is None:
                        f.what += " (timed out)"
            finally:
                sources.take_out(rel)
            counts[verdict] += 1
            if verdict == "survived":
                survivors.append(f"{rel}:{f.line}: {f.op}: {f.what}")
            print(f"[{done}/{total}] {rel}:{f.line}: {f.op}: {f.what}: {verdict}", flush=True)
        rows.append((rel, counts))
    return rows, survivors


def score(c):
    judged = c["caught"] + c["survived"]
    return f"{100.0 * c['caught'] / judged:.1f}%" if judged else "n/a"


def print_table(rows, survivors):
    keys = ["tried", "not buildable", "caught", "survived"]
    width = max([len(r) for r, _ in rows] + [5])
    print()
    print(f"{'file':<{width}}  {'tried':>5}  {'not buildable':>13}  {'caught':>6}  "
          f"{'survived':>8}  {'score':>6}")
    total = {k: 0 for k in keys}
    for rel, c in rows:
        for k in keys:
            total[k] += c[k]
        print(f"{rel:<{width}}  {c['tried']:>5}  {c['not buildable']:>13}  {c['caught']:>6}  "
              f"{c['survived']:>8}  {score(c):>6}")
    print(f"{'overall':<{width}}  {total['tried']:>5}  {total['not buildable']:>13}  "
          f"{total['caught']:>6}  {total['survived']:>8}  {score(total):>6}")
    if survivors:
        print("\nsurvivors:")
        for s in survivors:
            print(f"  {s}")
    print(f"\nmutation score: {score(total)} ({total['caught']} caught, {total['survived']} "
          f"survived, {total['not buildable']} not buildable)")


if __name__ == "__main__":
    sys.exit(main())
