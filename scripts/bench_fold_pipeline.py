#!/usr/bin/python3
"""kresovar-fold against `cat FILE | cat` and other filters, whole processes.

Writes 200 MB of Polish prose and of ASCII text to a scratch folder (they stay
in the page cache), then times each command piped into `cat >/dev/null`,
the commands taking turns round after round, and prints each one's median
throughput, its share of the `cat | cat` floor's, and the spread (lowest and
highest of its runs) beside it; then the processor time of the whole
pipeline, its median against the floor's. kresovar-fold runs once on each
fold path that its --version says the processor offers, and on the
Windows-1250 text with -e cp1250 and without -e (where it is recognised, and
passed on as it came); on UTF-8 also with -e utf-8, which reads it leniently,
without the check of UTF-8. --fold-only leaves out the other filters.
--release=OLD-KRESOVAR-FOLD runs that build too, on each path, in the same
rounds, and prints the median of the per-round ratios of its time to this
build's (above 1: this build is faster).

    scripts/bench_fold_pipeline.py build-release/cli/kresovar-fold [ROUNDS] [--fold-only] [--release=OLD]
"""
import os
import random
import resource
import statistics
import subprocess
import sys
import tempfile
import time

SIZE = 200 * 1000 * 1000
LETTERS, PLAIN = "ąćęłńóśźżĄĆĘŁŃÓŚŹŻ", "acelnoszzACELNOSZZ"
WORDS = ("w i na nie się że do jest to jak ale po od za tak przez był może już tylko dla czy bardzo który "
         "jednak gdy także miasto rzeka dzień Polska słowo książka człowiek praca dobrze wszystko teraz potem "
         "zawsze Kraków Łódź ZAŻÓŁĆ ten jego mieć woda szkoła droga ostatni nowy między kiedy").split()


def write_texts(folder):
    random.seed(1)
    lines, size = [], 0
    while size < SIZE:
        line = " ".join(random.choice(WORDS) for _ in range(random.randint(8, 14))) + "\n"
        lines.append(line)
        size += len(line.encode())
    prose = "".join(lines).encode()[:SIZE]
    paths = {"Polish prose": os.path.join(folder, "prose.txt"), "ASCII only": os.path.join(folder, "ascii.txt"),
             "Polish prose in Windows-1250": os.path.join(folder, "prose-1250.txt")}
    with open(paths["Polish prose"], "wb") as out:
        out.write(prose)
    with open(paths["Polish prose in Windows-1250"], "wb") as out:
        out.write(prose.decode(errors="ignore").encode("cp1250"))
    with open(paths["ASCII only"], "wb") as out:
        out.write(bytes(b if b < 0x80 else 0x78 for b in prose))
    return paths


def fold_paths(fold):
    """The portable path and those the processor offers, from the line "fold path: X (processor: ...)"."""
    line = subprocess.run([fold, "--version"], capture_output=True, text=True, check=True).stdout.splitlines()[1]
    offered = line.split("(processor:")[1].rstrip(")").split()
    return ["portable"] + [path for path in offered if path != "no"]


def processor_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def main():
    arguments = [argument for argument in sys.argv[1:] if not argument.startswith("--")]
    release = next((argument.split("=", 1)[1] for argument in sys.argv[1:] if argument.startswith("--release=")), None)
    fold = os.path.abspath(arguments[0])
    rounds = int(arguments[1]) if len(arguments) > 1 else 7
    env = dict(os.environ, LC_ALL="C.UTF-8")
    with tempfile.TemporaryDirectory() as folder:
        texts = write_texts(folder)
        commands = {"cat FILE | cat (floor)": "cat {0}"}
        for path in fold_paths(fold):
            commands[f"kresovar-fold, {path}"] = f"KRESOVAR_FOLD_PATH={path} {fold} {{0}}"
            commands[f"kresovar-fold -e utf-8, {path}"] = f"KRESOVAR_FOLD_PATH={path} {fold} -e utf-8 {{0}}"
            if release:
                commands[f"release, {path}"] = f"KRESOVAR_FOLD_PATH={path} {os.path.abspath(release)} {{0}}"
        others = {
            "perl -CSD -pe 'tr/…/…/'": f"perl -CSD -pe 'tr/{LETTERS}/{PLAIN}/' {{0}}",
            "iconv -t ascii//TRANSLIT": "iconv -f UTF-8 -t ASCII//TRANSLIT {0}",
            "sed 'y/…/…/'": f"sed 'y/{LETTERS}/{PLAIN}/' {{0}}",
        } if "--fold-only" not in sys.argv else {}
        slow = {"sed 'y/…/…/'": 3}  # about 16 MB/s: three runs say enough
        for text, path in texts.items():
            subprocess.run(["cat", path], stdout=subprocess.DEVNULL, check=True)  # into the page cache
            chosen = dict(commands, **others) if text == "Polish prose" else commands
            if text.endswith("1250"):
                chosen = {name: command.replace(" {0}", " -e cp1250 {0}") if name.startswith("kresovar") else command
                          for name, command in commands.items() if "-e utf-8" not in name and "release" not in name}
                chosen.update({name.replace("kresovar-fold,", "kresovar-fold (no -e),"): command
                               for name, command in commands.items() if name.startswith("kresovar-fold,")})
            seconds = {name: [] for name in chosen}
            processor = {name: [] for name in chosen}
            for round_ in range(rounds):
                for name, command in chosen.items():
                    if round_ >= slow.get(name, rounds):
                        continue
                    start, used = time.perf_counter(), processor_seconds()
                    subprocess.run(command.format(path) + " | cat >/dev/null", shell=True, check=True, env=env,
                                   stderr=subprocess.DEVNULL)
                    seconds[name].append(time.perf_counter() - start)
                    processor[name].append(processor_seconds() - used)
            floor = statistics.median(seconds["cat FILE | cat (floor)"])
            floor_processor = statistics.median(processor["cat FILE | cat (floor)"])
            print(f"\n{text}, {SIZE // 10**6} MB, median of {rounds} runs (sed: 3)")
            print(f"{'command':34} {'MB/s':>7} {'share of floor':>15} {'spread (s)':>15} "
                  f"{'processor s':>12} {'× floor':>8}")
            for name, runs in seconds.items():
                median = statistics.median(runs)
                used = statistics.median(processor[name])
                print(f"{name:34} {SIZE / median / 1e6:7.0f} {floor / median:15.2f} "
                      f"{min(runs):7.2f}–{max(runs):.2f} {used:12.2f} {used / floor_processor:8.2f}")
            for name in seconds:
                if name.startswith("release, ") and f"kresovar-fold, {name[9:]}" in seconds:
                    ratios = [old / new for old, new in zip(seconds[name], seconds[f"kresovar-fold, {name[9:]}"])]
                    print(f"this build against the release, {name[9:]}: median of per-round ratios "
                          f"{statistics.median(ratios):.3f} (lowest {min(ratios):.3f})")


if __name__ == "__main__":
    main()
