#!/usr/bin/env python3
"""The examples of the manual page, the README and --help, run:
check_examples.py <kelmory-batch> <source folder>; status 1 on a difference.

Manual page: `.nf` blocks of `$ cat FILE` and `$ kelmory-batch ...` lines, each
followed by what it prints. README: indented CSV blocks, named by the `FILE`
before them; a block is output where the paragraph before it names the command
that "writes" it, and the numbers of a paragraph that "gives" after an input
block must be cells of its output. --help: "name value, ... -> name value, ...",
the values rounded as shown.
"""
import os
import re
import subprocess
import sys
import tempfile

program = os.path.realpath(sys.argv[1])
source = sys.argv[2]
failures = []
work = tempfile.mkdtemp()


def run(command, stdin=None):
    env = dict(os.environ, PATH=os.path.dirname(program) + os.pathsep + os.environ["PATH"])
    done = subprocess.run(["bash", "-o", "pipefail", "-c", command], cwd=work, env=env,
                          input=stdin, capture_output=True, text=True)
    if done.returncode not in (0, 1):
        failures.append(f"{command}: status {done.returncode}: {done.stderr.strip()}")
    return done.stdout


def write(name, lines):
    with open(os.path.join(work, name), "w") as out:
        out.write("".join(line + "\n" for line in lines))


def cells(output):
    return {cell for line in output.splitlines() for cell in line.split(",")}


def check_manual_page(path):
    text = open(path).read()
    for block in re.findall(r"^\.nf\n(.*?)^\.fi\n", text, re.S | re.M):
        lines = block.replace("\\-", "-").splitlines()
        i = 0
        while i < len(lines):
            command = lines[i][2:]
            i += 1
            shown = []
            while i < len(lines) and not lines[i].startswith("$ "):
                shown.append(lines[i])
                i += 1
            if command.startswith("cat "):
                write(command[4:], shown)
            elif command.startswith("kelmory-batch"):
                got = run(command).splitlines()
                if got != shown:
                    failures.append(f"{path}: {command} shows\n  " + "\n  ".join(shown) +
                                    "\nbut prints\n  " + "\n  ".join(got))


def check_readme(path):
    text = open(path).read()
    section = text.split("## Converting a whole review")[1].split("\n## ")[0]
    paragraphs = re.split(r"\n\s*\n", section)
    last_input = None
    for k, paragraph in enumerate(paragraphs):
        lines = paragraph.splitlines()
        if not lines or not all(line.startswith("    ") for line in lines):
            continue
        block = [line[4:] for line in lines]
        if not re.fullmatch(r"[\w ,]+", block[0]) or "," not in block[0]:
            continue
        before = paragraphs[k - 1] if k else ""
        after = paragraphs[k + 1] if k + 1 < len(paragraphs) else ""
        command = re.search(r"`(kelmory-batch[^`]*)` writes", before)
        if command and last_input:
            got = run(command.group(1)).splitlines()
            if got != block:
                failures.append(f"README: {command.group(1)} shows\n  " + "\n  ".join(block) +
                                "\nbut prints\n  " + "\n  ".join(got))
            continue
        named = re.findall(r"`([\w-]+\.csv)`", before)
        last_input = named[-1] if named else "example.csv"
        write(last_input, block)
        if after.lstrip().startswith("gives"):
            output = cells(run("kelmory-batch " + last_input))
            for number in re.findall(r"-?\d+\.\d+", after):
                if number not in output:
                    failures.append(f"README: {number} after the block of {block[0]} is not "
                                    "what kelmory-batch gives")


def rounded(value, shown):
    digits = len(shown.replace("-", "").replace(".", "").lstrip("0"))
    return f"{float(value):.{digits}g}" == f"{float(shown):.{digits}g}"


def check_help():
    text = run("kelmory-batch --help")
    lines = text.splitlines()
    joined = []
    for line in lines:
        if line.strip().startswith("->") and joined:
            joined[-1] += " " + line.strip()
        else:
            joined.append(line.strip())
    examples = [line for line in joined if " -> " in line]
    if not examples:
        failures.append("--help shows no examples")
    for line in examples:
        given, shown = line.split(" -> ")
        pairs = [pair.split() for pair in given.split(", ")]
        header = ",".join(name for name, _ in pairs)
        write("help.csv", [header, ",".join(value for _, value in pairs)])
        output = run("kelmory-batch help.csv").splitlines()
        names, values = output[0].split(","), output[1].split(",")
        for pair in shown.split(", "):
            name, value = pair.split()[:2]
            if name not in names or not rounded(values[names.index(name)], value):
                failures.append(f"--help: {line}: {name} is " +
                                (values[names.index(name)] if name in names else "missing"))


check_manual_page(os.path.join(source, "batch/kelmory-batch.1"))
check_readme(os.path.join(source, "README.md"))
check_help()
for failure in failures:
    print("FAIL:", failure)
print(f"{'FAILED' if failures else 'ok'}: the examples of the manual page, the README and --help")
sys.exit(1 if failures else 0)
