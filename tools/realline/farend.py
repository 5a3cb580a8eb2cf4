#!/usr/bin/env python3
"""The host side of the real-line rig.

Boots the guest under QEMU with an emulated 16550 UART and an emulated FTDI
USB adapter, each wired to a socket that this program holds as the far end
of the line, and a third serial line over which the tests in the guest ask
for what only the host can do: send bytes or a break, take what arrived,
echo, play the simulated meter, pull the adapter out and plug it back (QMP).
It prints the guest's console, sums up each test's result at the end and
exits non-zero when one failed, the guest did not finish, or nothing ran.

Control requests are text lines; bytes travel as hex:
  SEND line HEX         bytes to the guest over the line
  BREAK line            a break on the line
  TAKE line N MS        up to N bytes that arrived, waiting up to MS for N
  CLEAR line            forget what arrived
  ECHO line on|off      send back everything that arrives
  UNPLUG-AFTER line N   pull the adapter out once N more bytes have come
                        over the line (from here, without a round trip to
                        the guest: a transfer is still going on then)
  METER line ARGS...    play the simulated meter (ARGS go to it) on the line;
                        "--unplug-at-burst K" pulls the adapter out when the
                        meter starts the Kth burst of an answer (--split)
  METER line stop       stop it
  UNPLUG / PLUG         pull the FTDI adapter out / plug it back
  ADAPTER-DEL ID        pull the adapter ID ("ftdi", "spare") out
  ADAPTER-ADD ID SERIAL PORT
                        plug an FTDI adapter in as ID with its own serial
                        number at the USB port PORT (1..4) of the controller:
                        "ftdi" on the line "usb", "spare" on the line "spare"
                        (what arrives there is kept for TAKE: nobody answers)
Every answer is "OK [HEX]" or "ERR text".
"""
import argparse
import json
import os
import re
import select
import socket
import subprocess
import sys
import termios
import threading
import time
import tty

IAC = 0xFF
BREAK = 0xF3
NEGOTIATION = range(251, 255)  # WILL, WONT, DO, DONT


class Line:
    """One emulated serial line's far end: a telnet-mode chardev socket."""

    def __init__(self, name, sock):
        self.name = name
        self.sock = sock
        self.lock = threading.Condition()
        self.received = bytearray()
        self.echo = False
        self.unplug_after = None  # bytes still to come before the pull
        self.unplug = None  # set by the rig: pulls the adapter out
        self.meter = None  # the Meter bridged to this line, if any
        self.negotiating = True  # QEMU's telnet options arrive before any data
        self.pending_iac = bytearray()
        threading.Thread(target=self._read, daemon=True).start()

    def _strip_negotiation(self, data):
        """Drops the telnet option bytes QEMU sends when the socket connects."""
        data = self.pending_iac + data
        self.pending_iac = bytearray()
        out = bytearray()
        i = 0
        while i < len(data):
            if self.negotiating and data[i] == IAC:
                if i + 2 >= len(data):
                    self.pending_iac = data[i:]
                    break
                if data[i + 1] in NEGOTIATION:
                    i += 3
                    continue
            out.append(data[i])
            i += 1
        return bytes(out)

    def _read(self):
        while True:
            try:
                data = self.sock.recv(65536)
            except OSError:
                return
            if not data:
                return
            data = self._strip_negotiation(data)
            if not data:
                continue
            with self.lock:
                if self.meter is not None:
                    self.meter.to_meter(data)
                elif self.echo:
                    self.send(data)
                else:
                    self.received += data
                    self.lock.notify_all()
                self._count_towards_unplug(len(data))

    def _count_towards_unplug(self, count):
        if self.unplug_after is None:
            return
        self.unplug_after -= count
        if self.unplug_after <= 0:
            self.unplug_after = None
            # Not on this thread: it must go on draining the socket, or QEMU,
            # which writes to it blocking, would stall the whole guest.
            threading.Thread(target=self.unplug, daemon=True).start()

    def send(self, data):
        # QEMU's telnet server takes a doubled 0xFF as one data byte.
        self.sock.sendall(bytes(data).replace(b"\xff", b"\xff\xff"))

    def send_break(self):
        self.sock.sendall(bytes([IAC, BREAK]))

    def take(self, count, wait_ms):
        deadline = time.monotonic() + wait_ms / 1000.0
        with self.lock:
            while len(self.received) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    break
                self.lock.wait(left)
            data = bytes(self.received[:count])
            del self.received[:count]
            return data


class Meter:
    """The simulated meter on a pseudo-terminal, bridged to a line."""

    def __init__(self, program, line, args, rig):
        self.line = line
        self.rig = rig
        self.unplug_at_burst = None
        if "--unplug-at-burst" in args:
            at = args.index("--unplug-at-burst")
            self.unplug_at_burst = int(args[at + 1])
            del args[at:at + 2]
        self.process = subprocess.Popen([program] + args, stdout=subprocess.PIPE, text=True)
        path = self.process.stdout.readline().strip()
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(self.fd)
        attrs = termios.tcgetattr(self.fd)
        attrs[3] &= ~termios.ECHO
        termios.tcsetattr(self.fd, termios.TCSANOW, attrs)
        self.bursts = 0
        self.pulled = False
        self.last_answer = 0.0
        self.running = True
        threading.Thread(target=self._answers, daemon=True).start()

    def to_meter(self, data):
        os.write(self.fd, data)

    def _answers(self):
        while self.running:
            ready, _, _ = select.select([self.fd], [], [], 0.2)
            if not ready:
                continue
            try:
                data = os.read(self.fd, 4096)
            except OSError:
                return
            # A pause of more than a fifth of a second starts a new burst.
            now = time.monotonic()
            if now - self.last_answer > 0.2:
                self.bursts += 1
            self.last_answer = now
            if self.pulled:
                continue  # the rest of the answer went with the adapter
            if self.unplug_at_burst is not None and self.bursts >= self.unplug_at_burst:
                # Once: the later bursts of this answer must neither pull the
                # adapter again after it is plugged back nor reach its new line.
                self.pulled = True
                self.rig.unplug()  # what came before has had the pause to arrive
                continue
            self.line.send(data)

    def stop(self):
        self.running = False
        self.process.terminate()
        self.process.wait()
        os.close(self.fd)


class Qmp:
    """QEMU's machine protocol: pulls the FTDI adapter out and plugs it back."""

    def __init__(self, path):
        self.sock = connect_unix(path, 60)
        self.file = self.sock.makefile("rwb")
        self.events = []
        self._read_one()  # greeting
        self.command("qmp_capabilities")

    def _read_one(self):
        line = self.file.readline()
        if not line:
            raise RuntimeError("QMP closed")
        return json.loads(line)

    def command(self, name, **arguments):
        message = {"execute": name}
        if arguments:
            message["arguments"] = arguments
        self.file.write(json.dumps(message).encode() + b"\n")
        self.file.flush()
        while True:
            reply = self._read_one()
            if "event" in reply:
                self.events.append(reply)
                continue
            if "error" in reply:
                raise RuntimeError(reply["error"].get("desc", "QMP error"))
            return reply

    def wait_event(self, name, timeout, device=None):
        """Waits for the event, for the device with that id when one is named."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for event in self.events:
                if event["event"] == name and (device is None or event.get("data", {}).get("device") == device):
                    self.events.remove(event)
                    return
            self.sock.settimeout(max(0.01, deadline - time.monotonic()))
            try:
                self.events.append(self._read_one())
            except socket.timeout:
                break
            finally:
                self.sock.settimeout(None)
        raise RuntimeError("no %s event" % name)


def connect_unix(path, timeout):
    deadline = time.monotonic() + timeout
    while True:
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            sock.connect(path)
            return sock
        except OSError:
            sock.close()
            if time.monotonic() > deadline:
                raise
            time.sleep(0.05)


class Rig:
    def __init__(self, options):
        self.options = options
        self.lines = {}
        self.qmp = None
        self.qmp_lock = threading.Lock()
        # The adapters plugged in: id -> (serial, USB port).
        self.plugged = {"ftdi": (FTDI_SERIAL, FTDI_PORT)}

    def unplug(self, device="ftdi"):
        with self.qmp_lock:
            if device not in self.plugged:
                return
            started = time.monotonic()
            try:
                self.qmp.command("device_del", id=device)
                self.qmp.wait_event("DEVICE_DELETED", 30, device)
            except Exception as error:
                print("velt-rig: host: unplug of %s failed: %s" % (device, error), flush=True)
                raise
            del self.plugged[device]
            print("velt-rig: host: %s pulled out (%.0f ms)" % (device, (time.monotonic() - started) * 1000),
                  flush=True)

    def plug(self, device="ftdi", serial=None, port=None):
        if device not in CHARDEVS:
            raise RuntimeError("no adapter " + device)
        serial = serial or FTDI_SERIAL
        port = port or FTDI_PORT
        with self.qmp_lock:
            if device in self.plugged:
                return
            # A usb-serial device attaches only while its chardev is
            # connected, unless it is told to stay plugged.
            self.qmp.command("device_add", driver="usb-serial", id=device, chardev=CHARDEVS[device],
                             serial=serial, port=port, **{"always-plugged": True})
            self.plugged[device] = (serial, port)
            print("velt-rig: host: %s plugged in (serial %s, port %s)" % (device, serial, port), flush=True)

    def handle(self, request):
        words = request.split()
        verb = words[0].upper()
        if verb == "UNPLUG":
            self.unplug()
            return ""
        if verb == "PLUG":
            self.plug()
            return ""
        if verb == "ADAPTER-DEL":
            self.unplug(words[1])
            return ""
        if verb == "ADAPTER-ADD":
            self.plug(words[1], words[2], words[3])
            return ""
        line = self.lines[words[1]]
        if verb == "SEND":
            line.send(bytes.fromhex(words[2]) if len(words) > 2 else b"")
        elif verb == "BREAK":
            line.send_break()
        elif verb == "TAKE":
            return line.take(int(words[2]), int(words[3])).hex()
        elif verb == "CLEAR":
            with line.lock:
                line.received.clear()
        elif verb == "UNPLUG-AFTER":
            with line.lock:
                line.unplug_after = int(words[2])
        elif verb == "ECHO":
            with line.lock:
                line.echo = words[2] == "on"
        elif verb == "METER":
            with line.lock:
                if line.meter is not None:
                    line.meter.stop()
                    line.meter = None
                if words[2:] != ["stop"]:
                    line.meter = Meter(self.options.metersim, line, words[2:], self)
        else:
            raise RuntimeError("unknown request " + verb)
        return ""

    def serve_control(self, sock):
        buffered = b""
        while True:
            data = sock.recv(4096)
            if not data:
                return
            buffered += data
            while b"\n" in buffered:
                request, buffered = buffered.split(b"\n", 1)
                request = request.decode(errors="replace").strip()
                if not request:
                    continue
                try:
                    answer = "OK " + self.handle(request)
                except Exception as error:  # every failure goes back to the test
                    answer = "ERR %s" % error
                sock.sendall(answer.strip().encode() + b"\n")


# The adapter the tests use by default, and a second one whose far end only
# keeps what arrives (a test proves that nothing was sent to it).
FTDI_SERIAL = "VELT-A"
FTDI_PORT = "1"
CHARDEVS = {"ftdi": "usbline", "spare": "spareline"}


def qemu_command(options, work):
    guest = options.guest
    sock = lambda name: os.path.join(work, name + ".sock")
    return [
        "qemu-system-x86_64", "-accel", "tcg", "-m", "512", "-smp", "1",
        "-nodefaults", "-display", "none", "-no-reboot", "-nic", "none",
        "-kernel", os.path.join(guest, "vmlinux"),
        "-initrd", os.path.join(guest, "initramfs.gz"),
        "-append", "console=ttyS0 quiet loglevel=3 panic=-1 velt.run=%s velt.scratch=%s" % (options.run, options.scratch),
        "-chardev", "stdio,id=console,signal=off", "-serial", "chardev:console",
        "-chardev", "socket,id=uart,path=%s,server=on,wait=on,telnet=on" % sock("uart"),
        "-serial", "chardev:uart",
        "-chardev", "socket,id=control,path=%s,server=on,wait=on" % sock("control"),
        "-serial", "chardev:control",
        "-device", "qemu-xhci,id=xhci",
        "-chardev", "socket,id=usbline,path=%s,server=on,wait=on,telnet=on" % sock("usb"),
        "-device", "usb-serial,id=ftdi,chardev=usbline,serial=%s,port=%s" % (FTDI_SERIAL, FTDI_PORT),
        "-chardev", "socket,id=spareline,path=%s,server=on,wait=on,telnet=on" % sock("spare"),
        "-virtfs", "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap",
        "-qmp", "unix:%s,server=on,wait=off" % sock("qmp"),
    ]


# gtest's result lines, "[  FAILED  ] Suite.Name/Param, where GetParam() = ..." included.
RESULT = re.compile(r"^\[ +(OK|SKIPPED|FAILED) +\] ([^\s,]+\.[^\s,]+)(?:,.*| \(\d+ ms\))?$")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--guest", required=True, help="folder made by prepare-guest.sh")
    parser.add_argument("--run", required=True, help="script the guest runs under chroot")
    parser.add_argument("--metersim", required=True, help="the simulated meter program")
    parser.add_argument("--work", required=True, help="folder for the sockets")
    parser.add_argument("--scratch", required=True, help="empty folder the guest mounts its tmpfs over")
    parser.add_argument("--timeout", type=float, default=240, help="seconds the whole run may take")
    options = parser.parse_args()

    started = time.monotonic()
    rig = Rig(options)
    qemu = subprocess.Popen(qemu_command(options, options.work), stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    killer = threading.Timer(options.timeout, qemu.kill)
    killer.start()
    try:
        uart = connect_unix(os.path.join(options.work, "uart.sock"), 60)
        control = connect_unix(os.path.join(options.work, "control.sock"), 60)
        usb = connect_unix(os.path.join(options.work, "usb.sock"), 60)
        spare = connect_unix(os.path.join(options.work, "spare.sock"), 60)
        rig.lines = {"uart": Line("uart", uart), "usb": Line("usb", usb), "spare": Line("spare", spare)}
        for line in rig.lines.values():
            line.unplug = rig.unplug
        rig.qmp = Qmp(os.path.join(options.work, "qmp.sock"))
        threading.Thread(target=rig.serve_control, args=(control,), daemon=True).start()
    except Exception as error:
        qemu.kill()
        print("velt-rig: QEMU did not start: %s" % error)
        print(qemu.stdout.read().decode(errors="replace"))
        return 1

    results = {}
    reasons = {}  # why a test skipped: the line after gtest's "...: Skipped"
    reason = None
    boot = None
    finished = False
    for raw in qemu.stdout:
        text = raw.decode(errors="replace").rstrip("\r\n")
        print(text, flush=True)
        if reason == "":
            reason = text
        if text.endswith(": Skipped"):
            reason = ""
        if text.startswith("velt-rig: guest up") and boot is None:
            boot = time.monotonic() - started
            for line in rig.lines.values():
                line.negotiating = False
        if text.startswith("velt-rig: exit ") and not text.endswith(" 0"):
            results[text] = "FAILED"
        if text.startswith("velt-rig: run ended"):
            finished = True
        match = RESULT.match(text)
        if match:
            results[match.group(2)] = match.group(1)
            if match.group(1) == "SKIPPED" and reason:
                reasons[match.group(2)] = reason
            reason = None
    qemu.wait()
    killer.cancel()
    total = time.monotonic() - started
    for line in rig.lines.values():
        if line.meter is not None:  # a test that failed before it stopped its meter
            line.meter.stop()

    print("\n== real-line rig: results ==")
    for name, outcome in results.items():
        print("%-8s %s" % (outcome, name))
        if name in reasons:
            print("         (%s)" % reasons[name])
    print("boot %.1f s, total %.1f s" % (boot or -1, total))
    failed = [n for n, o in results.items() if o == "FAILED"]
    if not finished:
        print("velt-rig: the guest did not finish within %d s" % options.timeout)
        return 1
    if not results:
        print("velt-rig: no test ran")
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
