"""TolvanFlashDriver through labgrid's pytest plugin, against the emulator on a pty.

Run by check.sh, which writes the local environment (no coordinator) and passes it with
--lg-env: each target's RawSerialPort names a link that the fixture points at an emulator's
pty, each NetworkSerialPort a port of 127.0.0.1 where the fixture starts ser2net in front of
an emulator, as a bench computer would serve its adapters; each driver names the installation
root that the fixture lays out.
"""

import os
import pathlib
import socket
import subprocess
import time

import pytest

from labgrid.driver.exception import ExecutionError
from labgrid.resource import NetworkSerialPort, RawSerialPort

BUILD = pathlib.Path(os.environ.get("TOLVAN_BUILD", "build")).resolve()
# The emulator's arguments for the device of each target; None: no device at all.
DEVICES = {"main": [], "mismatch": ["--corrupt", "L:0"], "absent": None,
           "slow": [],
           "remote": [], "remote-raw": [], "remote-absent": None}
# Devices answering at the line's own pace (19200 baud): a run of tens of seconds.
PACED = {"slow"}
# ser2net's accepter for a NetworkSerialPort's protocol.
ACCEPTERS = {"rfc2217": "telnet(rfc2217),tcp", "raw": "tcp"}


@pytest.fixture(scope="session")
def installation(env):
    root = env.get_target("main").get_driver("TolvanFlashDriver", activate=False).root
    # The first eight demonstration systems: "Horizonte" has a main and an L image.
    subprocess.run([BUILD / "tools/install/tolvan-install", "--root", root, "--systems", "8"],
                   check=True)
    return pathlib.Path(root)


@pytest.fixture
def device(env, installation, tmp_path):
    """Starts the emulator of a target and points its port at the emulator's pty, or starts
    ser2net in front of it on the port of a NetworkSerialPort."""

    def until(done):
        for _ in range(200):
            if done():
                return True
            time.sleep(0.05)
        return False

    def listens(port):
        with socket.socket() as s:
            return s.connect_ex(("127.0.0.1", port)) == 0

    def start(name):
        target = env.get_target(name)
        if DEVICES[name] is None:
            return target
        link = tmp_path / f"{name}.pty"
        emulator = subprocess.Popen(
            [BUILD / "tools/emulator/tolvan-emulator", "--link", link, *DEVICES[name],
             *([] if name in PACED else ["--no-pacing"])],
            stdout=subprocess.DEVNULL)
        started.append(emulator)
        assert until(lambda: link.exists() and link.read_text().strip())
        pty = link.read_text().strip()
        if name.startswith("remote"):
            resource = target.get_resource(NetworkSerialPort)
            config = tmp_path / f"{name}.yaml"
            # Whole answers from the device, as the emulator writes them (see the harness's
            # PortServer): a loaded machine's stall between pieces is not what is tested.
            config.write_text(
                "%YAML 1.1\n---\nconnection: &device\n"
                f"  accepter: {ACCEPTERS[resource.protocol]},127.0.0.1,{resource.port}\n"
                f"  connector: serialdev,{pty},19200n81,local\n"
                "  options:\n    dev-to-net-bufsize: 1024\n")
            started.append(subprocess.Popen(["/usr/sbin/ser2net", "-n", "-d", "-c", config],
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            assert until(lambda: listens(resource.port)), "ser2net did not listen"
        else:
            port = pathlib.Path(target.get_resource(RawSerialPort).port)
            port.unlink(missing_ok=True)
            port.symlink_to(pty)
            links.append(port)
        return target

    started, links = [], []
    yield start
    for process in reversed(started):
        process.terminate()
        process.wait(timeout=10)
    for port in links:
        port.unlink(missing_ok=True)


@pytest.mark.parametrize("name", ["main", "remote", "remote-raw"])
def test_a_verified_run_returns_its_end_event(device, name):
    flasher = device(name).get_driver("TolvanFlashDriver")
    end = flasher.flash()
    assert (end["result"], end["code"], end["outcome"]) == ("verified", 0, "Verificado")
    images = [(e["operation"], e["image"]) for e in flasher.events if e["event"] == "image"]
    assert images == [("program", "main"), ("program", "L"), ("verify", "main"), ("verify", "L")]


@pytest.mark.parametrize("name, code, outcome", [
    ("mismatch", 1, "ComErros"),      # an image reads back different
    ("absent", 3, "FalhaDePorta"),    # nothing behind the port
    ("remote-absent", 3, "FalhaDePorta"),  # no ser2net on the bench computer's port
])
def test_a_failed_run_raises_with_its_outcome(device, name, code, outcome):
    flasher = device(name).get_driver("TolvanFlashDriver")
    with pytest.raises(ExecutionError) as raised:
        flasher.flash()
    assert (raised.value.code, raised.value.outcome) == (code, outcome)
    assert raised.value.end["code"] == code
    assert outcome in str(raised.value)
    if name.startswith("remote"):
        # The end event says which address failed, and how.
        network = raised.value.end["network"]
        assert (network["host"], network["fault"]) == ("127.0.0.1", "refused")
        assert flasher.device() == network["url"]


def test_a_run_past_its_time_is_stopped_and_ends_as_interrupted(device):
    flasher = device("slow").get_driver("TolvanFlashDriver")
    flasher.timeout = 3
    with pytest.raises(ExecutionError) as raised:
        flasher.flash()
    # Told to stop (SIGTERM), it ended its run itself, with its end event and its status.
    assert (raised.value.code, raised.value.outcome) == (143, "Interrompido")
    assert raised.value.end["result"] == "interrupted"
    assert "was stopped" in str(raised.value)
