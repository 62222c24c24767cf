"""A labgrid driver that programs and verifies a Tolvan Link handheld with tolvan-flash.

It binds to the serial port the handheld is on (a RawSerialPort, a USBSerialPort that udev
finds, or a NetworkSerialPort: a port that ser2net serves on another machine, reached as
rfc2217://HOST:PORT or, for protocol raw, socket://HOST:PORT), runs ``tolvan-flash --json
--yes --port <that port> --system ...`` on this machine, and returns the run's end event; a
run that does not succeed raises TolvanFlashError with the end event's outcome. Import this
file from the environment (``imports: [tolvanflash.py]``); see README.md beside it.
"""

import json
import logging
import signal
import subprocess

import attr

from labgrid.driver.common import Driver
from labgrid.driver.exception import ExecutionError
from labgrid.factory import target_factory
from labgrid.resource import NetworkSerialPort
from labgrid.step import step
from labgrid.util.proxy import proxymanager

OPERATIONS = ("program-verify", "program", "verify")
# Seconds tolvan-flash has, once told to stop, to end its run (its port closed, its trace and
# report written) before it is killed.
ENDING_S = 15


@attr.s(eq=False)
class TolvanFlashError(ExecutionError):
    """tolvan-flash ended with a status other than 0.

    code is its exit status, outcome the end event's (ComErros, SemComunicacao,
    FalhaDePorta, ...; None when it printed no end event), end the end event itself.
    """

    code = attr.ib(default=None)
    outcome = attr.ib(default=None)
    end = attr.ib(default=None)

    def __str__(self):
        return self.msg


@target_factory.reg_driver
@attr.s(eq=False)
class TolvanFlashDriver(Driver):
    """Runs tolvan-flash on the bound serial port.

    Args:
        system (str): the text the catalogue's description is found by (the first that
            contains it)
        operation (str): program-verify (the default), program or verify
        root (str): the installation root; by default tolvan-flash's own (its place,
            $TOLVAN_ROOT)
        tool (str): the tolvan-flash to run; by default the environment's
            ``tools: tolvan-flash:``, else tolvan-flash on PATH
        connect_timeout (int): seconds of polling before the connection is given up
        timeout (float): seconds the whole run may take before it is stopped
        extra_args (list): further arguments (e.g. ["--report", "/var/log/units.jsonl"])
    """

    bindings = {"port": {"RawSerialPort", "USBSerialPort", "NetworkSerialPort"}}

    system = attr.ib(validator=attr.validators.instance_of(str))
    operation = attr.ib(default="program-verify", validator=attr.validators.in_(OPERATIONS))
    root = attr.ib(default=None, validator=attr.validators.optional(attr.validators.instance_of(str)))
    tool = attr.ib(default=None, validator=attr.validators.optional(attr.validators.instance_of(str)))
    connect_timeout = attr.ib(default=30, validator=attr.validators.instance_of(int))
    timeout = attr.ib(default=600.0, validator=attr.validators.instance_of((int, float)))
    extra_args = attr.ib(default=attr.Factory(list), validator=attr.validators.instance_of(list))

    def __attrs_post_init__(self):
        super().__attrs_post_init__()
        self.logger = logging.getLogger(f"{self}")
        self.events = []  # the last run's events, in order
        if self.tool is None:
            configured = self.target.env.config.get_tool("tolvan-flash") if self.target.env else None
            self.tool = configured or "tolvan-flash"

    def on_activate(self):
        pass

    def on_deactivate(self):
        pass

    def device(self):
        """What tolvan-flash is given as --port: the device path, or the network address."""
        if isinstance(self.port, NetworkSerialPort):
            schemes = {"rfc2217": "rfc2217", "raw": "socket"}
            if self.port.protocol not in schemes:
                raise ExecutionError(f"{self.port} has protocol {self.port.protocol!r}: "
                                     "tolvan-flash takes rfc2217 or raw")
            # Through labgrid's SSH proxy when the place asks for one.
            host, port = proxymanager.get_host_and_port(self.port)
            if ":" in host:
                host = f"[{host}]"
            # The line is tolvan-flash's own (19200 baud, 8N1): the resource's speed is not used.
            return f"{schemes[self.port.protocol]}://{host}:{port}"
        device = self.port.port
        if not device:
            raise ExecutionError(f"{self.port} has no device (is the adapter plugged in?)")
        return device

    def command(self, system=None, operation=None):
        """The command line a run starts, as a list."""
        device = self.device()
        cmd = [self.tool, "--json", "--yes", "--port", device,
               "--system", system or self.system, "--" + (operation or self.operation),
               "--connect-timeout", str(self.connect_timeout)]
        if self.root:
            cmd += ["--root", self.root]
        return cmd + [str(a) for a in self.extra_args]

    @Driver.check_active
    @step(args=["system", "operation"], result=True)
    def flash(self, system=None, operation=None):
        """Runs tolvan-flash once and returns its end event (a dict).

        Raises TolvanFlashError when it ends with a status other than 0, or prints no end
        event.
        """
        if operation is not None and operation not in OPERATIONS:
            raise ValueError(f"operation must be one of {', '.join(OPERATIONS)}: {operation}")
        cmd = self.command(system, operation)
        self.logger.debug("Running %s", " ".join(cmd))
        try:
            run = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        except OSError as e:
            raise TolvanFlashError(f"{self.tool} cannot be run: {e}") from e
        late = False
        try:
            stdout, stderr = run.communicate(timeout=self.timeout)
        except subprocess.TimeoutExpired:
            # Stopped as a lab's time limit stops it: it still ends its run, with its end event.
            late = True
            stdout, stderr = _stop(run, signal.SIGTERM)
        except BaseException:
            # The test itself is ending (Ctrl-C, labgrid's clean-up): the run too, whole.
            _stop(run, signal.SIGINT)
            raise
        run.stdout, run.stderr = stdout, stderr
        out, err = _lines(run.stdout), _lines(run.stderr)
        for line in err:
            self.logger.info("%s", line)
        self.events = []
        for line in out:
            try:
                event = json.loads(line)
            except ValueError:
                self.logger.info("%s", line)
                continue
            if isinstance(event, dict):
                self.events.append(event)
        ends = [e for e in self.events if e.get("event") == "end"]
        end = ends[-1] if ends else None
        if run.returncode == 0 and end is not None and not late:
            return end
        outcome = end.get("outcome") if end else None
        why = (end.get("text") or "").strip() if end else (err[-1] if err else "")
        raise TolvanFlashError(
            (f"tolvan-flash did not end within {self.timeout} s and was stopped: "
             if late else "")
            + f"tolvan-flash on {self.device()} ended with status {run.returncode}"
            + (f" ({outcome})" if outcome else "") + (f": {why}" if why else ""),
            stdout=out, stderr=err, code=run.returncode, outcome=outcome, end=end)


def _stop(run, sig):
    """Tells tolvan-flash to stop, gives it ENDING_S to end its run, then kills it."""
    run.send_signal(sig)
    try:
        return run.communicate(timeout=ENDING_S)
    except subprocess.TimeoutExpired:
        run.kill()
        return run.communicate()


def _lines(data):
    if not data:
        return []
    return data.decode("utf-8", errors="replace").splitlines()

