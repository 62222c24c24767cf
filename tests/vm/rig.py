#!/usr/bin/env python3
"""The programs inside a virtual machine, on a real kernel's USB serial driver.

Boots Debian's own kernel under QEMU (TCG) with an xHCI controller and QEMU's FTDI FT232
(usb-serial, 0403:6001), whose far end is tolvan-emulator on a pty of the host. The kernel's
usbserial and ftdi_sio drivers make /dev/ttyUSB0 of it; the guest runs the build as it lies on
the host; udev names the adapter in /dev/serial/by-id; the adapter is pulled out and put back
through QEMU's monitor. The rig checks itself first (the guest up, ttyUSB0 there, bytes both
ways), then runs SCENARIOS in order and prints a table.

How it stands:
- The kernel is linux-image-amd64's image package, fetched with apt-get download and unpacked
  with dpkg -x under <build>/vm once per version (never installed): the kernel, decompressed
  here so that QEMU starts it at its PVH entry (its own decompressor takes seconds under TCG),
  and the few modules the guest loads. The initramfs is busybox, those modules and tests/vm/init.
- The guest runs the host's root, shared read-only over 9p, in a chroot, with the rig's folder
  shared writable at the same path: the window (Qt, its plug-ins and fonts, Xvfb, xdotool)
  needs far more than the libraries ldd names, and the guest runs exactly what the host built.
- udev itself runs in the guest (from the host's root) and makes /dev/serial/by-id from its
  own rules, as on an operator's machine.
- tests/vm/agent.sh runs the rig's commands in the guest, sent over its second serial port;
  tests/vm/guest.sh holds what they do there. Every wait has a deadline and waits for
  something to happen (a line from the guest, a frame at the device, a node, a window).

Not part of the default test command: .ci/run calls it as tests/vm/run.sh [build-dir].
Exit status 0 when every scenario passed, 1 when one failed, 2 when the rig could not run.
"""
import argparse
import base64
import fcntl
import json
import lzma
import os
import random
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time
from pathlib import Path

SRC = Path(__file__).resolve().parents[2]
SERIAL = "TL0001"  # the adapter's USB serial number
# What udev's 60-serial.rules make of QEMU's FT232: vendor and product strings, serial, interface.
BY_ID = f"/dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_{SERIAL}-if00-port0"
SYSTEM = "Trio USB"
IMAGES = {"TRIO.BIN": 2, "TRIO_L.BIN": 1, "TRIO_2.BIN": 1}  # main, L, L2: sectors
# The kernel modules the guest loads (each after the ones it needs).
MODULES = ["xhci_pci", "ftdi_sio", "virtio_pci", "9pnet_virtio", "9p", "virtio_rng", "overlay"]
BOOT_DEADLINE = 180  # seconds from QEMU's start to the agent's hello, on a busy machine


class RigError(Exception):
    """The rig itself cannot go on: the self-check or the machine failed."""


class Failed(Exception):
    """A scenario's check failed."""


def check(condition, message):
    if not condition:
        raise Failed(message)


def log(text):
    print(f"vm: {text}", flush=True)


# ---- The kernel: Debian's own, unpacked under the build folder, never installed ----

def run(argv, **kw):
    """Runs a program the rig needs; its failure stops the rig, with what it said."""
    try:
        return subprocess.run(argv, check=True, capture_output=True, text=True, **kw)
    except FileNotFoundError as e:
        raise RigError(f"{argv[0]} is missing (scripts/install-deps.sh --vm): {e}") from e
    except subprocess.CalledProcessError as e:
        raise RigError(f"{' '.join(map(str, argv))} failed: {e.stderr.strip()}") from e


def kernel_package():
    """The image package linux-image-amd64 depends on, and its version."""
    depends = run(["apt-cache", "depends", "--important", "linux-image-amd64"]).stdout
    names = re.findall(r"Depends: (linux-image-[0-9][^\s]*)", depends)
    if not names:
        raise RigError("apt-cache names no kernel image for linux-image-amd64 (apt-get update?)")
    show = run(["apt-cache", "show", "--no-all-versions", names[0]]).stdout
    return names[0], re.search(r"^Version: (\S+)", show, re.M).group(1)


def module_closure(tree):
    """The modules' files, each after the ones it depends on (from their .modinfo)."""
    files = {p.stem.replace("-", "_"): p for p in tree.rglob("*.ko")}
    order = []

    def visit(name):
        path = files.get(name.replace("-", "_"))
        if path is None:
            raise RigError(f"the kernel package has no module {name}")
        if path in order:
            return
        fields = path.read_bytes().split(b"\0")
        depends = next((f[8:].decode() for f in fields if f.startswith(b"depends=")), "")
        for dep in filter(None, depends.split(",")):
            visit(dep)
        order.append(path)

    for name in MODULES:
        visit(name)
    return order


def uncompressed(vmlinuz):
    """The ELF image inside a bzImage (XZ), which QEMU boots at its PVH entry: the kernel's own
    decompressor takes seconds under TCG. None when it is not found."""
    data = vmlinuz.read_bytes()
    start = data.find(b"\xfd7zXZ\x00")
    if start < 0:
        return None
    try:
        elf = lzma.LZMADecompressor(format=lzma.FORMAT_XZ).decompress(data[start:])
    except lzma.LZMAError:
        return None
    return elf if elf[:4] == b"\x7fELF" else None


def prepare_kernel(cache):
    """apt-get download and dpkg -x of the kernel image, once per version: the kernel and the
    modules the guest needs are kept under `cache`, the rest is removed."""
    package, version = kernel_package()
    dest = cache / f"{package}_{version}"
    ready = f"{package} {version} {' '.join(MODULES)}\n"
    if (dest / "ready").exists() and (dest / "ready").read_text() == ready:
        return dest
    log(f"fetching {package} {version} from the archive (once)")
    shutil.rmtree(dest, ignore_errors=True)
    scratch = Path(tempfile.mkdtemp(prefix="kernel-", dir=cache))
    try:
        run(["apt-get", "download", f"{package}={version}"], cwd=scratch)
        deb = next(scratch.glob("*.deb"))
        run(["dpkg", "-x", str(deb), str(scratch / "x")])
        (dest / "modules").mkdir(parents=True)
        vmlinuz = next((scratch / "x" / "boot").glob("vmlinuz-*"))
        elf = uncompressed(vmlinuz)
        if elf:
            (dest / "vmlinux").write_bytes(elf)
        else:
            shutil.copy(vmlinuz, dest / "vmlinux")
        order = module_closure(next((scratch / "x" / "lib" / "modules").iterdir()))
        for path in order:
            shutil.copy(path, dest / "modules" / path.name)
        (dest / "modules.order").write_text("".join(p.name + "\n" for p in order))
        (dest / "ready").write_text(ready)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return dest


def cpio(entries):
    """A newc archive of (name, mode, data, device) entries, as the kernel unpacks it."""
    out = bytearray()
    for ino, (name, mode, data, device) in enumerate(entries + [("TRAILER!!!", 0, b"", (0, 0))]):
        raw = name.encode() + b"\0"
        fields = (ino + 1, mode, 0, 0, 1, 0, len(data), 0, 0, device[0], device[1], len(raw), 0)
        out += b"070701" + "".join(f"{v:08X}" for v in fields).encode() + raw
        out += b"\0" * (-len(out) % 4) + data
        out += b"\0" * (-len(out) % 4)
    return bytes(out)


def initramfs(kernel, path):
    order = (kernel / "modules.order").read_text().split()
    entries = [(d, 0o40755, b"", (0, 0))
               for d in ("bin", "dev", "proc", "sys", "host", "overlay", "lib", "lib/modules")]
    entries.append(("dev/console", 0o20600, b"", (5, 1)))
    entries.append(("bin/busybox", 0o100755, Path("/bin/busybox").read_bytes(), (0, 0)))
    entries.append(("init", 0o100755, (SRC / "tests/vm/init").read_bytes(), (0, 0)))
    entries.append(("modules", 0o100644, "".join(m + "\n" for m in order).encode(), (0, 0)))
    for m in order:
        module = (kernel / "modules" / m).read_bytes()
        entries.append((f"lib/modules/{m}", 0o100644, module, (0, 0)))
    path.write_bytes(cpio(entries))


# ---- The processes around the guest ----

class Emulator:
    """tolvan-emulator on a pty of the host; its frame log read as it is written."""

    def __init__(self, binary, workdir, args=()):
        self.lines = []
        self.cond = threading.Condition()
        # QEMU does not pace the line: under TCG a frame may come in USB packets more than the
        # device's quiet gap (50 ms) apart, which a line at 19200 baud never leaves.
        self.proc = subprocess.Popen([binary, "-v", "--frame-log", "frames.log", "--gap", "1000",
                                      *args],
                                     stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True, cwd=workdir)
        self.pty = self.proc.stdout.readline().strip()
        if not self.pty.startswith("/dev/"):
            raise RigError(f"the emulator gave no pty: {self.proc.stderr.read()}")
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stderr:
            fields = line.rstrip("\n").split(" ", 5)
            if len(fields) < 5:
                continue
            with self.cond:
                self.lines.append({"dir": fields[1], "name": fields[2],
                                   "hex": fields[5].split(" #")[0] if len(fields) > 5 else ""})
                self.cond.notify_all()

    def mark(self):
        with self.cond:
            return len(self.lines)

    def frames(self, since=0):
        with self.cond:
            return list(self.lines[since:])

    def count(self, name, since=0, direction="rx"):
        return sum(1 for f in self.frames(since) if f["name"] == name and f["dir"] == direction)

    def wait(self, name, n, since=0, timeout=60):
        """Until the device has received the n-th frame `name` since the mark."""
        with self.cond:
            ok = self.cond.wait_for(lambda: self.count_locked(name, since) >= n, timeout)
        if not ok:
            raise Failed(f"the device did not receive {n} x {name} within {timeout} s")

    def count_locked(self, name, since):
        return sum(1 for f in self.lines[since:] if f["name"] == name and f["dir"] == "rx")

    def wait_drained(self, timeout=10):
        """Until whoever reads the pty (QEMU) has read every byte written to it."""
        fd = os.open(self.pty, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            deadline = time.monotonic() + timeout
            while struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, b"\0" * 4))[0] > 0:
                if time.monotonic() > deadline:
                    raise Failed("QEMU does not read the device's line")
                time.sleep(0.005)
        finally:
            os.close(fd)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()


def connect(path, qemu, timeout=30):
    """A connection to one of QEMU's sockets, once QEMU has made it."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            s = socket.socket(socket.AF_UNIX)
            s.connect(str(path))
            return s
        except OSError:
            s.close()
            if qemu.poll() is not None or time.monotonic() > deadline:
                raise RigError(f"QEMU did not open {path.name}")
            time.sleep(0.05)


class Lines:
    """The lines that come over a socket, read by a thread of their own."""

    def __init__(self, sock):
        self.sock = sock
        self.lines = []
        self.cond = threading.Condition()
        self.closed = False
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        buffer = b""
        while True:
            try:
                data = self.sock.recv(4096)
            except OSError:
                data = b""
            with self.cond:
                if not data:
                    self.closed = True
                    self.cond.notify_all()
                    return
                buffer += data
                *complete, buffer = buffer.split(b"\n")
                self.lines += [c.decode(errors="replace").strip("\r") for c in complete]
                self.cond.notify_all()

    def take(self, match, timeout):
        """Removes and returns the first line `match` accepts; None after `timeout` or once the
        other end has gone."""
        deadline = time.monotonic() + timeout
        with self.cond:
            while True:
                for i, line in enumerate(self.lines):
                    if match(line):
                        return self.lines.pop(i)
                left = deadline - time.monotonic()
                if left <= 0 or self.closed:
                    return None
                self.cond.wait(left)

    def send(self, text):
        self.sock.sendall(text.encode())


class Result:
    def __init__(self, status, out, err):
        self.status, self.out, self.err = status, out, err

    def __str__(self):
        return f"status {self.status}\n--- stdout\n{self.out}\n--- stderr\n{self.err}"


class Machine:
    """QEMU with the guest, its agent and its monitor."""

    def __init__(self, args, kernel, work, sockets, emulator):
        self.work, self.emulator = work, emulator
        self.console = work / "console.log"
        initrd = work / "initrd.cpio"
        initramfs(kernel, initrd)
        vm = ["qemu-system-x86_64", "-nodefaults", "-no-user-config", "-display", "none",
              "-accel", "tcg", "-m", "1024", "-smp", str(args.cpus), "-no-reboot",
              "-kernel", str(kernel / "vmlinux"), "-initrd", str(initrd),
              "-append", f"console=ttyS0 panic=-1 tolvan_src={SRC} tolvan_work={work}",
              "-chardev", f"file,id=console,path={self.console}", "-serial", "chardev:console",
              "-chardev", f"socket,id=agent,path={sockets}/agent,server=on,wait=off",
              "-serial", "chardev:agent",
              "-qmp", f"unix:{sockets}/qmp,server=on,wait=off",
              "-device", "virtio-rng-pci",  # else the guest waits long for random numbers
              "-device", "qemu-xhci,id=xhci",
              "-chardev", f"serial,id=ftdi,path={emulator.pty}",
              "-device", f"usb-serial,id=adapter,bus=xhci.0,chardev=ftdi,serial={SERIAL}",
              "-virtfs", "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,"
                         "multidevs=remap",
              "-virtfs", f"local,path={work},mount_tag=work,security_model=none,multidevs=remap"]
        self.started = time.monotonic()
        self.qemu = subprocess.Popen(vm, stdout=open(work / "qemu.log", "wb"),
                                     stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.qmp = Lines(connect(Path(sockets) / "qmp", self.qemu))
        self.qmp.take(lambda l: '"QMP"' in l, 30)
        self.monitor("qmp_capabilities")
        self.agent = Lines(connect(Path(sockets) / "agent", self.qemu))
        self.next_id = 0
        self.plugged = True

    def gone(self):
        """What became of QEMU, for a message."""
        status = self.qemu.poll()
        return "QEMU runs" if status is None else f"QEMU ended with status {status}"

    def console_tail(self, n=25):
        try:
            lines = self.console.read_text(errors="replace").splitlines()
        except OSError:
            lines = []
        return "\n".join(lines[-n:])

    def wait_hello(self):
        line = self.agent.take(lambda l: l.startswith("hello "), BOOT_DEADLINE)
        if line is None:
            state = "QEMU ended" if self.qemu.poll() is not None else "no hello"
            raise RigError(f"the guest did not come up ({state} after "
                           f"{time.monotonic() - self.started:.0f} s); its console:\n"
                           f"{self.console_tail()}\n{(self.work / 'qemu.log').read_text()}")
        return float(line.split()[1])

    def monitor(self, command, **arguments):
        request = {"execute": command}
        if arguments:
            request["arguments"] = arguments
        self.qmp.send(json.dumps(request) + "\n")
        reply = self.qmp.take(lambda l: '"return"' in l or '"error"' in l, 30)
        if reply is None or '"error"' in reply:
            raise Failed(f"QEMU's monitor refused {command}: {reply or self.gone()}")

    def unplug(self):
        """The adapter pulled out. QEMU 7.2's usb-serial still takes bytes from its line between
        device_del and the device's end, and crashes on them (in usb_wakeup): the device is held
        still meanwhile and QEMU has read all it sent before."""
        os.kill(self.emulator.proc.pid, signal.SIGSTOP)
        try:
            self.emulator.wait_drained()
            self.monitor("device_del", id="adapter")
            # QEMU tells it when the device has ended, after its line was let go.
            if self.qmp.take(lambda l: "DEVICE_DELETED" in l and "adapter" in l, 30) is None:
                raise Failed(f"QEMU did not remove the adapter ({self.gone()})")
        finally:
            os.kill(self.emulator.proc.pid, signal.SIGCONT)
        self.plugged = False

    def plug(self):
        """The adapter put back, on the same line to the device."""
        self.monitor("device_add", driver="usb-serial", id="adapter", bus="xhci.0",
                     chardev="ftdi", serial=SERIAL)
        self.plugged = True

    def start(self, script):
        """Runs the shell script in the guest (in the rig's folder) and returns its id."""
        self.next_id += 1
        ident = str(self.next_id)
        if self.agent.closed:
            raise RigError(f"the guest's agent is gone ({self.gone()}); its console:\n"
                           f"{self.console_tail()}")
        self.agent.send(f"{ident} {base64.b64encode(script.encode()).decode()}\n")
        return ident

    def wait(self, ident, timeout=120):
        line = self.agent.take(lambda l: l.split(" ")[0] == ident, timeout)
        if line is None:
            raise Failed(f"the guest's command {ident} did not end within {timeout} s "
                         f"({self.gone()}): "
                         f"{(self.work / 'out' / (ident + '.sh')).read_text(errors='replace')}")
        out = self.work / "out"
        return Result(int(line.split()[1]), (out / f"{ident}.out").read_text(errors="replace"),
                      (out / f"{ident}.err").read_text(errors="replace"))

    def sh(self, script, timeout=120):
        return self.wait(self.start(script), timeout)

    def stop(self):
        if self.qemu.poll() is None:
            try:
                self.qmp.send(json.dumps({"execute": "quit"}) + "\n")
                self.qemu.wait(10)
            except (OSError, subprocess.TimeoutExpired):
                self.qemu.kill()
                self.qemu.wait()


# ---- The installation the guest runs ----

def install(build, root):
    """The installation under `root`: the three-image system, the port map (COM2 the bare
    node, COM3 the by-id link, COM5 a node that is not there), the port number 3 for the window
    and selector mode's files."""
    tools = build / "tools"
    run([str(tools / "install" / "tolvan-install"), "--root", str(root), "--systems", "1",
         "--port", "COM2=/dev/ttyUSB0", "--port", f"COM3={BY_ID}", "--port", "COM5=/dev/ttyUSB7",
         "--port-number", "3", "--program", str(build / "src" / "gui" / "TolvanLink"),
         "--selector", SYSTEM, "--background"])
    bin_dir = root / "Orsolite" / "Tolvan Link" / "bin"
    rng = random.Random(23)
    for name, sectors in IMAGES.items():
        data = bytes(rng.randrange(1, 255) for _ in range(sectors * 256))
        (bin_dir / name).write_bytes(data)
    names = list(IMAGES)
    run([str(tools / "catalogue" / "tolvan-catalogue"), "add",
         str(root / "Orsolite" / "Tolvan Link" / "Tabelas" / "TolvanLink.db"),
         "--descricao", SYSTEM, "--arquivo", names[0], "--arquivo-l", names[1],
         "--arquivo-l2", names[2]])


def signature(frames):
    """What went over the line, without times: each frame and answer write, in order. The
    handshake's polls and answers count once: how many polls go out before the first answer
    is read depends on the line's latency, and so differs between a pty and an adapter."""
    line = [(f["dir"], f["name"], f["hex"]) for f in frames if f["dir"] in ("rx", "tx")]
    link = {"CmdLink", "RespostaLink"}
    start = next((i for i, f in enumerate(line) if f[1] not in link), len(line))
    return list(dict.fromkeys(line[:start])) + line[start:]


class Rig:
    def __init__(self, args, work, machine, emulator):
        self.args, self.work, self.vm, self.device = args, work, machine, emulator
        self.root = work / "root"
        self.flash = args.build / "src" / "cli" / "tolvan-flash"
        self.baseline = None  # the frames of the same run over a pty on the host
        self.old_holder = ""  # the process that keeps the node of before the replug

    def command(self, *words):
        """A command line for the guest's shell, with the installation's root."""
        return f"TOLVAN_ROOT='{self.root}' " + " ".join(f"'{w}'" for w in words)

    def flash_cmd(self, *args):
        return self.command(self.flash, *args)

    def guest(self, *args):
        return self.command("sh", SRC / "tests/vm/guest.sh", *args)

    def ready(self, node):
        """The adapter is in (put back if a scenario left it out) and udev has linked it as
        `node`."""
        if not self.vm.plugged:
            self.vm.plug()
        r = self.vm.sh(self.guest("appears", node, BY_ID), 90)
        check(r.status == 0, f"the adapter did not come back as {node}: {r}")

    def pull_out_at(self, sector_frames, since):
        """The adapter pulled out once the device has received that many sector frames."""
        self.device.wait("CmdGravaSetor", sector_frames, since)
        self.vm.unplug()

    def selection(self):
        (self.root / "Orsolite" / "Comuns" / "Selecao").write_text(
            f"TolvanFlex\r\nSelecionador\r\n{SYSTEM}\r\n")

    def messages(self):
        path = self.work / "messages.log"
        text = path.read_text(errors="replace") if path.exists() else ""
        path.unlink(missing_ok=True)
        return [line.split("\t")[1:] for line in text.splitlines()]


def events(text):
    return [json.loads(line) for line in text.splitlines() if line.startswith("{")]


# ---- The scenarios, in order, each with the node the adapter is to have when it starts ----

def program_verify(rig):
    mark = rig.device.mark()
    r = rig.vm.sh(rig.flash_cmd("--port", "COM2", "--system", SYSTEM, "--yes", "--json"))
    check(r.status == 0, f"tolvan-flash through /dev/ttyUSB0: {r}")
    check(events(r.out)[-1].get("result") == "verified", f"not verified: {r.out[-300:]}")
    got, want = signature(rig.device.frames(mark)), signature(rig.baseline)
    for i, (g, w) in enumerate(zip(got, want)):
        check(g == w, f"frame {i} differs from the run over a pty: {g} against {w}")
    check(len(got) == len(want), f"{len(got)} frames against {len(want)} over a pty")
    return f"{len(got)} frames, the same as over a pty"


def line_settings(rig):
    mark = rig.device.mark()
    run_id = rig.vm.start(rig.flash_cmd("--port", "COM2", "--system", SYSTEM, "--program",
                                        "--yes"))
    rig.device.wait("CmdGravaSetor", 1, mark)
    r = rig.vm.sh(rig.guest("settings", "/dev/ttyUSB0"))
    check(r.status == 0, f"the settings could not be read: {r}")
    tokens = set(r.out.replace(";", " ").split())
    check("speed 19200 baud" in r.out, f"not 19200 baud: {r.out}")
    wanted = ["cs8", "-parenb", "-cstopb", "-crtscts", "clocal", "cread", "-icanon", "-isig",
              "-iexten", "-echo", "-opost", "-ixon", "-ixoff", "-icrnl", "-inlcr", "-igncr",
              "-istrip", "-inpck", "-brkint"]
    missing = [t for t in wanted if t not in tokens]
    check(not missing, f"the driver was not told {missing}: {r.out}")
    check(re.search(r"min = 1; time = 0", r.out), f"not min 1, time 0: {r.out}")
    modem = int(re.search(r"modem (0x[0-9a-f]+)", r.out).group(1), 16)
    check(modem & 0x006 == 0x006, f"DTR and RTS are not raised: TIOCMGET {modem:#x}")
    # What the adapter passed on to its far end, as QEMU sets the host's side of the line.
    host = run(["stty", "-F", rig.device.pty, "-a"]).stdout
    for token in ("speed 19200 baud", "cs8", "-parenb", "-cstopb"):
        check(token in host.replace(";", ""), f"the adapter was not set {token}: {host}")
    done = rig.vm.wait(run_id)
    check(done.status == 0, f"the run beside: {done}")
    return f"19200 cs8 -parenb -cstopb -crtscts clocal raw, TIOCMGET {modem:#x} (DTR, RTS)"


def kernel_times(rig, *patterns):
    """The kernel log's time of the last line matching each pattern (None where none does)."""
    log = rig.vm.sh("dmesg").out.splitlines()
    found = []
    for pattern in patterns:
        times = [float(m.group(1)) for line in log
                 if (m := re.match(r"\[\s*([0-9.]+)\] (.*)", line)) and pattern in m.group(2)]
        found.append(times[-1] if times else None)
    return found


def pulled_out_flash(rig):
    mark = rig.device.mark()
    # Its end goes into the kernel's log, on the clock of the adapter's disconnection.
    run_id = rig.vm.start(rig.flash_cmd("--port", "COM2", "--system", SYSTEM, "--yes", "--json")
                          + "; s=$?; echo tolvan-vm: flash ended >/dev/kmsg; exit $s")
    rig.pull_out_at(2, mark)
    r = rig.vm.wait(run_id, 30)
    check(r.status == 3, f"not the port's failure: {r}")
    end = events(r.out)[-1]
    check(end.get("outcome") == "FalhaDePorta", f"the end event: {end}")
    told = [e for e in events(r.out)
            if e["event"] == "message" and "Falha na Porta" in e.get("text", "")]
    check(len(told) == 1, f"the port's failure was told {len(told)} times")
    check(r.err.count("the port failed under the run") == 1, f"standard error: {r.err}")
    pulled, ended = kernel_times(rig, "USB disconnect", "tolvan-vm: flash ended")
    check(None not in (pulled, ended), "the kernel's log lacks the disconnection")
    check(ended - pulled < 2.0, f"tolvan-flash ended {ended - pulled:.2f} s after the "
                                "disconnection")
    return f"exit 3 {(ended - pulled) * 1000:.0f} ms after the disconnection, the failure told once"


def pulled_out_window(rig):
    rig.selection()
    mark = rig.device.mark()
    window = rig.vm.start(rig.guest("window", "Informação", "idle:Erro"))
    rig.pull_out_at(2, mark)
    r = rig.vm.wait(window, 180)
    check(r.status == 0, f"the window: {r}")
    shown = rig.messages()
    failures = [m for m in shown if "Falha na Porta" in m[1]]
    check(len(failures) == 1, f"the port's failure shown {len(failures)} times: {shown}")
    idle = int(re.search(r"idle (\d+)", r.out).group(1))
    check(idle <= 30, f"TolvanLink used {idle * 10} ms of processor in 3 s on the dead line")
    return f"one message; {idle * 10} ms of processor in 3 s with the dead line open"


def replugged_while_held(rig):
    holder = rig.vm.sh(rig.guest("hold", "plain", "/dev/ttyUSB0"))
    check(holder.status == 0, f"no holder: {holder}")
    rig.old_holder = holder.out.strip()
    rig.vm.unplug()
    r = rig.vm.sh(rig.guest("gone", "/dev/ttyUSB0"))
    check(r.status == 0, f"ttyUSB0 stayed: {r}")
    rig.ready("/dev/ttyUSB1")
    r = rig.vm.sh(rig.flash_cmd("--port", "COM3", "--system", SYSTEM, "--yes"))
    check(r.status == 0, f"tolvan-flash through the by-id link: {r}")
    r = rig.vm.sh(rig.flash_cmd("--port", "COM2", "--system", SYSTEM, "--yes"))
    check(r.status == 3, f"the bare /dev/ttyUSB0, now gone: {r}")
    return "ttyUSB1, the by-id link follows it; COM3 (by-id) verified, COM2 (ttyUSB0) exit 3"


def window_by_id(rig):
    rig.selection()
    mark = rig.device.mark()
    r = rig.vm.sh(rig.guest("window", "Informação", "Informação"), 180)
    check(r.status == 0 and "exit 0" in r.out, f"the window: {r}")
    shown = rig.messages()
    check(any("SEM ERROS" in m[1] for m in shown), f"not verified: {shown}")
    check(rig.device.count("CmdExecuta", mark) == 1, "the device was not told to run")
    return "selector mode through the by-id link (ttyUSB1): SEM ERROS"


def second_holder(rig):
    for how in ("lock", "exclusive"):
        holder = rig.vm.sh(rig.guest("hold", how, BY_ID))
        check(holder.status == 0, f"no holder: {holder}")
        pid = holder.out.strip()
        try:
            r = rig.vm.sh(rig.flash_cmd("--port", "COM3", "--system", SYSTEM, "--yes"))
        finally:
            rig.vm.sh(f"kill {pid}")
        check(r.status == 3, f"beside a holder that takes the port ({how}): {r}")
        check(f"is open in process {pid} (perl" in r.err, f"the holder is not named: {r.err}")
    return "exit 3 and the holder named, beside a holder with a lock and one with TIOCEXCL"


def list_ports(rig):
    holder = rig.vm.sh(rig.guest("hold", "exclusive", BY_ID)).out.strip()
    try:
        text = rig.vm.sh(rig.flash_cmd("--list-ports"))
        r = rig.vm.sh(rig.flash_cmd("--list-ports", "--json"))
    finally:
        rig.vm.sh(f"kill {holder} {rig.old_holder}")
    check(r.status == 0 and text.status == 0, f"--list-ports: {text}\n{r}")
    ports = events(r.out)
    usb = [p for p in ports if p.get("device") == "/dev/ttyUSB1"]
    check(len(usb) == 1, f"ttyUSB1 is not listed once: {r.out}")
    p = usb[0]
    want = {"by_id": BY_ID, "vendor_id": "0403", "product_id": "6001", "serial": SERIAL,
            "driver": "ftdi_sio", "com": ["COM3"]}
    for key, value in want.items():
        check(p.get(key) == value, f"{key} is {p.get(key)!r}, not {value!r}: {p}")
    check([h["pid"] for h in p.get("holders", [])] == [int(holder)], f"holders: {p}")
    nowhere = {q["com"][0] for q in ports if q.get("present") is False}
    check(nowhere == {"COM2", "COM5"}, f"the map's entries that point nowhere: {r.out}")
    check(BY_ID in text.out and SERIAL in text.out, f"the text: {text.out}")
    return f"{len(ports)} entries; ttyUSB1 by id, 0403:6001 {SERIAL} ftdi_sio COM3, its holder"


USB0, USB1 = "/dev/ttyUSB0", "/dev/ttyUSB1"
SCENARIOS = [
    ("program-verify", USB0, program_verify),     # three images, frames as over a pty
    ("line-settings", USB0, line_settings),       # stty -a and TIOCMGET while the port is open
    ("pulled-out", USB0, pulled_out_flash),       # the adapter pulled out mid-programming
    ("pulled-out-window", USB0, pulled_out_window),  # the same under TolvanLink
    ("replugged-held", USB0, replugged_while_held),  # put back while the old node is held
    ("window-by-id", USB1, window_by_id),         # TolvanLink through the by-id link
    ("second-holder", USB1, second_holder),       # another program has the port
    ("list-ports", USB1, list_ports),             # tolvan-flash --list-ports, the real sysfs
]


def self_check(rig):
    """The guest up, ttyUSB0 there under its by-id name, bytes both ways."""
    uptime = rig.vm.wait_hello()
    mark = rig.device.mark()
    r = rig.vm.sh(rig.guest("selfcheck", BY_ID), 90)
    if r.status != 0 or rig.device.count("CmdLink", mark) < 1:
        raise RigError(f"the self-check failed: {r}\nthe device got: "
                       f"{signature(rig.device.frames(mark))}\nconsole:\n{rig.vm.console_tail()}")
    return uptime


def host_baseline(args, work):
    """The same program-and-verify over a pty on the host, for its frames."""
    where = work / "host"
    where.mkdir()
    emulator = Emulator(args.build / "tools" / "emulator" / "tolvan-emulator", where)
    try:
        r = subprocess.run([str(args.build / "src" / "cli" / "tolvan-flash"), "--port",
                            emulator.pty, "--system", SYSTEM, "--yes", "--json"], cwd=where,
                           env={**os.environ, "TOLVAN_ROOT": str(work / "root")},
                           capture_output=True, text=True, timeout=120)
        if r.returncode != 0:
            raise RigError(f"the run over a pty on the host failed: {r.stdout}{r.stderr}")
        emulator.wait("CmdExecuta", 1, timeout=10)  # logged a moment after tolvan-flash ends
        return emulator.frames()
    finally:
        emulator.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", type=Path, required=True)
    parser.add_argument("--cpus", type=int, default=1, help="the guest's processors")
    parser.add_argument("--only", action="append", help="run only these scenarios")
    parser.add_argument("--keep", action="store_true", help="keep the rig's folder")
    args = parser.parse_args()
    args.build = args.build.resolve()
    started = time.monotonic()
    cache = args.build / "vm"
    cache.mkdir(exist_ok=True)
    work = Path(tempfile.mkdtemp(prefix="run-", dir=cache))
    sockets = tempfile.mkdtemp(prefix="tolvan-vm-")
    machine = emulator = booted = None
    results = []
    try:
        kernel = prepare_kernel(cache)
        install(args.build, work / "root")
        emulator = Emulator(args.build / "tools" / "emulator" / "tolvan-emulator", work)
        machine = Machine(args, kernel, work, sockets, emulator)
        rig = Rig(args, work, machine, emulator)
        rig.baseline = host_baseline(args, work)  # while the guest boots
        uptime = self_check(rig)
        booted = time.monotonic() - machine.started
        log(f"self-check passed: guest up at {uptime:.1f} s of its uptime, "
            f"{booted:.1f} s from QEMU's start")
        for name, node, scenario in SCENARIOS:
            if args.only and name not in args.only:
                continue
            t0 = time.monotonic()
            try:
                rig.ready(node)
                note, ok = scenario(rig), True
            except Failed as e:
                note, ok = str(e), False
            results.append((name, ok, time.monotonic() - t0, note))
            log(f"{'PASS' if ok else 'FAIL'} {name} ({results[-1][2]:.1f} s): {note}")
    except (RigError, Failed, OSError) as e:
        log(f"the rig could not run: {e}")
        return 2
    finally:
        if machine:
            machine.stop()
        if emulator:
            emulator.stop()
        shutil.rmtree(sockets, ignore_errors=True)
        failed = any(not ok for _, ok, _, _ in results)
        if not args.keep and not failed and results:
            shutil.rmtree(work, ignore_errors=True)
        else:
            log(f"the rig's folder: {work}")
    print(f"\n{'scenario':<20} {'result':<6} {'seconds':>7}  notes")
    for name, ok, seconds, note in results:
        print(f"{name:<20} {'pass' if ok else 'FAIL':<6} {seconds:>7.1f}  {note.splitlines()[0]}")
    if booted is not None:
        print(f"\nguest booted (self-check passed) in {booted:.1f} s; the whole rig "
              f"{time.monotonic() - started:.1f} s")
    return 1 if any(not ok for _, ok, _, _ in results) else 0


if __name__ == "__main__":
    sys.exit(main())
