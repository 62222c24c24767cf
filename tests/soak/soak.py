#!/usr/bin/env python3
"""Unattended runs of tolvan-flash against tolvan-emulator, each with a random device fault.

Each run draws a system of the demo catalogue, an operation (program and verify, or verify a
device that holds the right bytes, other bytes or nothing), the line's pacing and one fault of
the emulator's (a corrupted or short read-back, silence, dropped answers, a hang-up, answers cut
in pieces, garbled or wrong link answers, late answers). The verdict is then judged against what
the device really sent, from the emulator's frame log, not against what the program says:

  false verified   "SEM ERROS" (exit 0) while a compared byte of some image never came back
                   from the device, or came back other than the file's
  false mismatch   "COM ERROS" (exit 1) while every image read came back whole and equal
  hang             the run did not end within --timeout seconds
  stray            a process of the run's session outlived it
  repeats          a run printed more messages than a run can have (a message in a loop)

Not part of the default test command: scripts and CI call it as tests/soak/run.sh.
Exit status 0 when none of the above happened.
"""

import argparse
import json
import os
import random
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
from collections import Counter
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

SECTOR = 256
# The image's address in the frames, as the frame log names it.
IMAGES = {"main": "00 20 00", "L": "01 00 00", "L2": "02 00 00"}
COMMANDS = ["Link", "Nome", "Endereco1", "Endereco2Gravacao", "SetoresGravacao", "GravaSetor",
            "Endereco2Leitura", "SetoresLeitura", "LeSetor"]
MAX_MESSAGES = 40


def catalogue(root):
    db = root / "Orsolite" / "Tolvan Link" / "Tabelas" / "TolvanLink.db"
    with sqlite3.connect(db) as c:
        return [dict(zip(("descricao", "main", "setor", "L", "setor_l", "L2", "setor_l2"), r))
                for r in c.execute("select * from TolvanLink")]


def images_of(row):
    """The row's images as (name, file, sectors)."""
    out = [("main", row["main"], row["setor"]), ("L", row["L"], row["setor_l"])]
    if row["L2"] and row["setor_l2"] > 0:
        out.append(("L2", row["L2"], row["setor_l2"]))
    return out


def compared_bytes(data, image):
    """The file side a verification compares: the main image without its leading FF/00 bytes."""
    if image == "main":
        start = 0
        while start < len(data) and data[start] in (0x00, 0xFF):
            start += 1
        return data[start:]
    return data


def read_backs(frame_log):
    """Per image, the data bytes the device sent in its last read sequence, and whether
    CmdExecuta came."""
    answers, current, executed, in_read = {}, None, False, False
    for line in frame_log.read_text(errors="replace").splitlines():
        fields = line.split(" ", 5)
        if len(fields) < 5:
            continue
        direction, name = fields[1], fields[2]
        hexbytes = fields[5].split(" #")[0] if len(fields) > 5 else ""
        if direction == "rx":
            in_read = False
            if name == "CmdEndereco2Leitura":
                address = " ".join(hexbytes.split()[3:6])
                current = next((k for k, v in IMAGES.items() if v == address), address)
                answers[current] = []
            elif name == "CmdLeSetor" and current is not None:
                in_read = True
                answers[current].append(bytearray())
            elif name == "CmdExecuta":
                executed = True
            elif name not in ("CmdSetoresLeitura", "junk", "dropped"):
                current = None
        elif direction == "tx" and in_read:
            answers[current][-1].extend(bytes.fromhex(hexbytes))
    backs = {}
    for image, sectors in answers.items():
        data = bytearray()
        for answer in sectors:  # 01 03 09 and the sector's 256 bytes
            data.extend(answer[3:3 + SECTOR] if answer[:3] == b"\x01\x03\x09" else b"")
        backs[image] = bytes(data)
    return backs, executed


def judge(row, bin_dir, backs):
    """Per read image: 'equal', 'differs' or 'short' against what the verification compares."""
    out = {}
    for image, file, n_sectors in images_of(row):
        if image not in backs:
            continue
        want = compared_bytes((bin_dir / file).read_bytes(), image)[: n_sectors * SECTOR]
        got = backs[image]
        if len(got) < len(want):
            out[image] = "short" if got == want[: len(got)] else "differs"
        else:
            out[image] = "equal" if got[: len(want)] == want else "differs"
    return out


def random_fault(rng, row):
    images = images_of(row)
    image, file, n_sectors = rng.choice(images)
    def sel(commands=COMMANDS, top=6):
        name = rng.choice(commands)
        return name if rng.random() < 0.3 else f"{name}:{rng.randint(1, top)}"
    kind = rng.choice(["none", "none", "corrupt", "corrupt", "truncate", "truncate", "silent",
                       "drop", "hangup", "split", "garbage", "wrong-link", "delay"])
    if kind == "corrupt":
        return kind, ["--corrupt", f"{image}:{rng.randrange(n_sectors * SECTOR)}"]
    if kind == "truncate":
        missing = rng.choice([1, 2, 3, 6, 50, 255, 256])
        return kind, ["--truncate-read",
                      f"{image}:{rng.randint(1, n_sectors)}:{3 + SECTOR - missing}"]
    if kind == "silent":
        return kind, ["--silent-from", sel()]
    if kind == "drop":
        return kind, ["--drop", sel()]
    if kind == "hangup":
        return kind, ["--hangup-after", sel(top=n_sectors)]
    if kind == "split":
        cuts = sorted(rng.sample(range(1, 12), 2))
        return kind, ["--split", f"{cuts[0]},{cuts[1]}",
                      "--split-only", ",".join(rng.sample(["Link", "LeSetor", "GravaSetor",
                                                           "Nome", "Endereco1"], 2))]
    if kind == "garbage":
        return kind, [f"--garbage-link={rng.randint(1, 12)}"]
    if kind == "wrong-link":
        return kind, ["--link-answer", rng.choice(["00 03 02", "01 03 01", "00 03"])]
    if kind == "delay":
        return kind, ["--delay-on", f"{sel()}={rng.choice([150, 400, 900, 1500, 2500])}"]
    return kind, []


def device_state(rng, row, rows, bin_dir, operation):
    """Emulator options for what the device holds before a verify-only run."""
    if operation != "verify":
        return "any", []
    state = rng.choice(["right", "right", "other", "empty"])
    if state == "empty":
        return state, []
    opts = []
    for image, file, _ in images_of(row):
        source = file
        if state == "other":
            other = rng.choice([r for r in rows if r is not row])
            source = other[image] if other.get(image) else other["main"]
        opts += ["--program", f"{image}:{bin_dir / source}"]
    return state, opts


def session_alive(sid):
    alive = []
    for stat in Path("/proc").glob("[0-9]*/stat"):
        try:
            text = stat.read_text()
        except OSError:
            continue
        fields = text[text.rfind(")") + 2:].split()
        if int(fields[3]) == sid:  # field 6 of stat: the session id
            alive.append(stat.parent.name)
    return alive


def one_run(index, args, root, rows):
    rng = random.Random(f"{args.seed}-{index}")
    row = rng.choice(rows)
    bin_dir = root / "Orsolite" / "Tolvan Link" / "bin"
    operation = rng.choice(["program-verify", "program-verify", "verify"])
    fault, fault_opts = random_fault(rng, row)
    state, state_opts = device_state(rng, row, rows, bin_dir, operation)
    pacing = [] if rng.random() < 0.4 else ["--no-pacing"]
    if rng.random() < 0.2:
        pacing += ["--delay", str(rng.choice([5, 20, 60]))]
    work = Path(tempfile.mkdtemp(prefix=f"soak{index:04d}-", dir=args.work))
    emulator_cmd = [args.emulator, "--link", str(work / "port"), "--store", str(work / "store"),
                    "--frame-log", str(work / "frames.log")] + pacing + fault_opts + state_opts
    record = {"run": index, "system": row["descricao"], "operation": operation,
              "device": state, "fault": fault, "emulator": emulator_cmd[1:]}
    with open(work / "emulator.err", "wb") as err:
        emulator = subprocess.Popen(emulator_cmd, stdout=subprocess.DEVNULL, stderr=err)
    deadline = time.monotonic() + 10
    while not (work / "port").exists():
        if emulator.poll() is not None or time.monotonic() > deadline:
            record["problems"] = ["emulator did not start: " + (work / "emulator.err").read_text()]
            return record
        time.sleep(0.02)
    port = (work / "port").read_text().strip()
    flash_cmd = [args.flash, "--root", str(root), "--port", port, "--system", row["descricao"],
                 "--" + operation, "--yes", "--json", "--connect-timeout", "5", "--trace", "APD"]
    started = time.monotonic()
    # In the run's folder: tolvan-flash leaves its serial trace (APD.TRC, APD.LOG) there.
    flash = subprocess.Popen(flash_cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             stdin=subprocess.DEVNULL, start_new_session=True, cwd=work)
    problems = []
    try:
        out, _ = flash.communicate(timeout=args.timeout)
    except subprocess.TimeoutExpired:
        problems.append("hang")
        os.killpg(flash.pid, signal.SIGKILL)
        out, _ = flash.communicate()
    record["seconds"] = round(time.monotonic() - started, 2)
    record["code"] = flash.returncode
    time.sleep(0.1)
    if session_alive(flash.pid):
        problems.append("stray")
        os.killpg(flash.pid, signal.SIGKILL)
    if emulator.poll() is None:
        emulator.send_signal(signal.SIGTERM)
    try:
        emulator.wait(timeout=10)
    except subprocess.TimeoutExpired:
        emulator.kill()
        emulator.wait()

    events = [json.loads(line) for line in out.decode(errors="replace").splitlines()
              if line.startswith("{")]
    end = next((e for e in events if e.get("event") == "end"), {})
    record["result"] = end.get("result", "none")
    record["outcome"] = end.get("outcome", "none")
    if sum(1 for e in events if e.get("event") == "message") > MAX_MESSAGES:
        problems.append("repeats")
    if not end and "hang" not in problems:
        problems.append("no end event")

    backs, executed = read_backs(work / "frames.log")
    verdicts = judge(row, bin_dir, backs)
    record["read"] = verdicts
    if record["result"] == "verified":
        whole = [i for i, _, _ in images_of(row)]
        if any(verdicts.get(i) != "equal" for i in whole):
            problems.append("false verified")
        if not executed:
            problems.append("verified without CmdExecuta")
    if record["result"] == "mismatch":
        if verdicts and all(v == "equal" for v in verdicts.values()):
            problems.append("false mismatch")
        if executed:
            problems.append("CmdExecuta after a mismatch")
    record["problems"] = problems
    if not problems and not args.keep:
        for f in work.iterdir():
            f.unlink()
        work.rmdir()
    else:
        record["kept"] = str(work)
    return record


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--build", default="build", help="the build folder (default: build)")
    p.add_argument("--runs", type=int, default=120)
    p.add_argument("--seed", default=str(int(time.time())))
    p.add_argument("--jobs", type=int, default=2, help="runs side by side (default 2)")
    p.add_argument("--timeout", type=float, default=180, help="seconds before a run is a hang")
    p.add_argument("--work", default=None, help="folder for the runs (default: a new temporary)")
    p.add_argument("--keep", action="store_true", help="keep every run's files, not only failures")
    p.add_argument("--log", default=None, help="write one JSON line per run to this file")
    p.add_argument("--flash", default=None, help="the tolvan-flash to try (default: the build's)")
    args = p.parse_args()
    build = Path(args.build).resolve()
    args.flash = args.flash or str(build / "src" / "cli" / "tolvan-flash")
    args.emulator = str(build / "tools" / "emulator" / "tolvan-emulator")
    install = str(build / "tools" / "install" / "tolvan-install")
    args.work = args.work or tempfile.mkdtemp(prefix="tolvan-soak-")
    Path(args.work).mkdir(parents=True, exist_ok=True)
    root = Path(args.work) / "root"
    subprocess.run([install, "--root", str(root), "--port", "COM2=/dev/null"], check=True,
                   stdout=subprocess.DEVNULL)
    rows = catalogue(root)

    log = open(args.log, "w") if args.log else None
    tally, problems, results = Counter(), Counter(), Counter()
    print(f"soak: {args.runs} runs, seed {args.seed}, {args.jobs} side by side, in {args.work}",
          flush=True)
    started = time.monotonic()
    with ThreadPoolExecutor(args.jobs) as pool:
        for record in pool.map(lambda i: one_run(i, args, root, rows), range(args.runs)):
            tally[record["fault"]] += 1
            results[f'{record["result"]}/{record["outcome"]}'] += 1
            for problem in record["problems"]:
                problems[problem] += 1
            mark = "FAIL " + ",".join(record["problems"]) if record["problems"] else "ok"
            print(f'{record["run"]:4d} {mark:<18} {record["fault"]:<10} {record["operation"]:<14}'
                  f' {record["device"]:<5} {record["result"]:<10} {record.get("seconds", 0):6.1f}s'
                  f' {record["system"]}' + (f' -> {record["kept"]}' if record["problems"] else ""),
                  flush=True)
            if log:
                log.write(json.dumps(record, ensure_ascii=False) + "\n")
    minutes = (time.monotonic() - started) / 60
    print(f"\nsoak: {args.runs} runs in {minutes:.1f} min, seed {args.seed}")
    print("faults:   " + ", ".join(f"{k} {v}" for k, v in sorted(tally.items())))
    print("results:  " + ", ".join(f"{k} {v}" for k, v in sorted(results.items())))
    failed = sum(problems.values())
    for name in ("false verified", "false mismatch", "hang", "stray", "repeats"):
        print(f"{name + ':':<17} {problems.pop(name, 0)}")
    for name, count in problems.items():
        print(f"{name + ':':<17} {count}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
