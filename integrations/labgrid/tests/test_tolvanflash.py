"""TolvanFlashDriver through labgrid's pytest plugin, against the emulator on a pty.

Run by check.sh, which writes the local environment (no coordinator) and passes it with
--lg-env: each target's RawSerialPort names a link that the fixture points at an emulator's
pty, and its driver the installation root that the fixture lays out.
"""

import os
import pathlib
import subprocess
import time

import pytest

from labgrid.driver.exception import ExecutionError
from labgrid.resource import RawSerialPort

BUILD = pathlib.Path(os.environ.get("TOLVAN_BUILD", "build")).resolve()
# The emulator's arguments for the device of each target; None: no device at all.
DEVICES = {"main": [], "mismatch": ["--corrupt", "L:0"], "absent": None}


@pytest.fixture(scope="session")
def installation(env):
    root = env.get_target("main").get_driver("TolvanFlashDriver", activate=False).root
    # The first eight demonstration systems: "Horizonte" has a main and an L image.
    subprocess.run([BUILD / "tools/install/tolvan-install", "--root", root, "--systems", "8"],
                   check=True)
    return pathlib.Path(root)


@pytest.fixture
def device(env, installation, tmp_path):
    """Starts the emulator of a target and points its port at the emulator's pty."""
    started = []

    def start(name):
        target = env.get_target(name)
        port = pathlib.Path(target.get_resource(RawSerialPort).port)
        if DEVICES[name] is not None:
            link = tmp_path / f"{name}.pty"
            emulator = subprocess.Popen(
                [BUILD / "tools/emulator/tolvan-emulator", "--no-pacing", "--link", link,
                 *DEVICES[name]],
                stdout=subprocess.DEVNULL)
            started.append((emulator, port))
            for _ in range(100):
                if link.exists() and link.read_text().strip():
                    break
                time.sleep(0.05)
            port.unlink(missing_ok=True)
            port.symlink_to(link.read_text().strip())
        return target

    yield start
    for emulator, port in started:
        emulator.terminate()
        emulator.wait(timeout=10)
        port.unlink(missing_ok=True)


def test_a_verified_run_returns_its_end_event(device):
    flasher = device("main").get_driver("TolvanFlashDriver")
    end = flasher.flash()
    assert (end["result"], end["code"], end["outcome"]) == ("verified", 0, "Verificado")
    images = [(e["operation"], e["image"]) for e in flasher.events if e["event"] == "image"]
    assert images == [("program", "main"), ("program", "L"), ("verify", "main"), ("verify", "L")]


@pytest.mark.parametrize("name, code, outcome", [
    ("mismatch", 1, "ComErros"),      # an image reads back different
    ("absent", 3, "FalhaDePorta"),    # nothing behind the port
])
def test_a_failed_run_raises_with_its_outcome(device, name, code, outcome):
    flasher = device(name).get_driver("TolvanFlashDriver")
    with pytest.raises(ExecutionError) as raised:
        flasher.flash()
    assert (raised.value.code, raised.value.outcome) == (code, outcome)
    assert raised.value.end["code"] == code
    assert outcome in str(raised.value)
