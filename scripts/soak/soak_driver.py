#!/usr/bin/env python3
"""Drives a running desktop through many switches while clients come and go, then checks
that nothing was left behind. Started by scripts/soak.sh, which provides the desktop.

Every switch is a real key sequence sent through XTest (xdotool): quick switches, shown
switches, Escape, command keys, mode changes and held repeats, in every mode. Between them,
clients are started, killed and stopped at random, and the window manager is replaced.
Afterwards it checks that velora runs, that its panel is hidden, that typing reaches a
terminal (no key stays grabbed), that a switch focuses the window it should, and that memory
and X resources show no growth trend. Exit status 0 when every check held."""

import argparse
import os
import random
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time

from xkeys import Keyboard
from xres import XResources

# Command = Alt, Option = Super, as the first-run combinations map them on X11.
HOLDS = {
    "apps": ("super", "Tab"),          # KeyCycleAppForward
    "windows": ("alt", "Tab"),         # KeyCycleWindowForward
    "app-windows": ("alt", "grave"),   # KeyCycleAppWindowForward
}
# Keys that act inside a switch and never open a window of velora's own (no ","), nor quit
# velora itself (the panel does not list it: it has no managed window), nor "r", which would
# start a file manager.
COMMAND_KEYS = ["m", "h", "w", "q", "f", "o"]
CLIENTS = ["xterm", "xterm", "xterm", "xclock", "xeyes", "xlogo", "xcalc"]


def run(*args, check=False, timeout=10):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                          check=check, timeout=timeout)


def xdotool(*args):
    run("xdotool", *args)


def active_window():
    out = run("xprop", "-root", "_NET_ACTIVE_WINDOW").stdout
    m = re.search(r"window id # (0x[0-9a-f]+)", out)
    return int(m.group(1), 16) if m else 0


def client_list():
    out = run("xprop", "-root", "_NET_CLIENT_LIST").stdout
    return [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", out)]


def window_pid(window):
    out = run("xprop", "-id", hex(window), "_NET_WM_PID").stdout
    m = re.search(r"= (\d+)", out)
    return int(m.group(1)) if m else 0


def rss_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


class Soak:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.velora = None
        self.clients = []           # Popen of the sample clients
        self.stopped = []           # clients under SIGSTOP
        self.counts = {}            # what was done, by kind
        self.samples = []           # (seconds, rss KiB, X resources, pixmap bytes)
        self.failures = []
        self.start = time.monotonic()
        self.wm_pids = []
        self.keys = Keyboard()
        self.xres = XResources()

    def count(self, kind, n=1):
        self.counts[kind] = self.counts.get(kind, 0) + n

    # --- processes

    def start_velora(self):
        log = open(self.args.log, "w")
        self.velora = subprocess.Popen([self.args.velora], stdout=log, stderr=subprocess.STDOUT)

    def spawn(self, command=None):
        command = command or self.rng.choice(CLIENTS)
        argv = [command]
        if command == "xterm":
            argv += ["-title", f"soak-{self.counts.get('clients started', 0)}"]
        self.clients.append(subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        self.count("clients started")

    def reap(self):
        alive = []
        for c in self.clients:
            if c.poll() is None:
                alive.append(c)
        self.clients = alive
        self.stopped = [c for c in self.stopped if c.poll() is None]

    def kill_one(self):
        self.reap()
        if len(self.clients) <= 2:
            return
        victim = self.rng.choice(self.clients)
        if victim in self.stopped:
            return
        victim.send_signal(signal.SIGKILL)
        self.count("clients killed")

    def stop_one(self):
        self.reap()
        candidates = [c for c in self.clients if c not in self.stopped]
        if not candidates:
            return None
        victim = self.rng.choice(candidates)
        victim.send_signal(signal.SIGSTOP)
        self.stopped.append(victim)
        self.count("clients stopped")
        return victim

    def continue_all(self):
        for c in self.stopped:
            if c.poll() is None:
                c.send_signal(signal.SIGCONT)
        self.stopped = []

    def keep_population(self):
        self.reap()
        while len(self.clients) < self.args.clients:
            self.spawn()
        time.sleep(0.05)

    def replace_window_manager(self):
        config = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "desktop", "openbox-rc.xml")
        p = subprocess.Popen(["openbox", "--replace", "--config-file", config],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wm_pids.append(p.pid)
        time.sleep(1.0)
        self.count("window manager replaced")

    # --- switches

    def pause(self, low=0.02, high=0.08):
        time.sleep(self.rng.uniform(low, high))

    def quick(self):
        mode = self.rng.choice(list(HOLDS))
        mod, key = HOLDS[mode]
        held = [mod, "shift"] if self.rng.random() < 0.3 else [mod]
        self.keys.down(*held)
        self.keys.tap(key)
        self.keys.up(*reversed(held))
        self.count("quick switches")

    def shown(self, then):
        mode = self.rng.choice(list(HOLDS))
        mod, key = HOLDS[mode]
        self.keys.down(mod)
        self.keys.tap(key)
        time.sleep(self.rng.uniform(0.26, 0.4))  # past the display delay
        victim = None
        if then == "repeat":
            # What auto-repeat sends: presses without releases in between.
            for _ in range(self.rng.randint(2, 12)):
                self.keys.down(key)
                time.sleep(0.03)
            self.keys.up(key)
            self.count("held repeats")
        elif then == "escape":
            self.keys.tap("Escape")
            self.count("escapes")
        elif then == "command":
            self.keys.tap(self.rng.choice(COMMAND_KEYS))
            self.count("command keys")
        elif then == "mode":
            other_mode = self.rng.choice([m for m in HOLDS if HOLDS[m][0] == mod and m != mode] or [mode])
            self.keys.tap(HOLDS[other_mode][1])
            time.sleep(0.05)
            self.keys.down("shift")
            self.keys.tap(key)
            self.keys.up("shift")
            self.count("mode changes")
        elif then == "stop":
            victim = self.stop_one()
            self.keys.tap(key)
        elif then == "kill":
            self.kill_one()
            self.keys.tap(key)
        else:
            self.keys.tap(key, self.rng.randint(1, 3), 0.05)
        self.pause(0.03, 0.12)
        self.keys.up(mod)
        self.count("shown switches")
        if victim is not None:
            self.pause(0.1, 0.3)
            self.continue_all()

    def one_step(self):
        r = self.rng.random()
        if r < 0.55:
            self.quick()
        elif r < 0.60:
            self.shown("plain")
        elif r < 0.68:
            self.shown("repeat")
        elif r < 0.74:
            self.shown("escape")
        elif r < 0.80:
            self.shown("command")
        elif r < 0.86:
            self.shown("mode")
        elif r < 0.90:
            self.shown("stop")
        elif r < 0.94:
            self.shown("kill")
        else:
            self.kill_one()
            self.spawn()
        self.pause()

    # --- figures

    def sample(self):
        res = self.xres.usage(self.velora.pid)
        self.samples.append((time.monotonic() - self.start, rss_kib(self.velora.pid),
                             res[0] if res else None, res[1] if res else None))

    def trend(self, column):
        """(early median, late median) over the second and the last quarter of the run."""
        values = [s[column] for s in self.samples if s[column] is not None]
        if len(values) < 8:
            return None
        q = len(values) // 4
        return statistics.median(values[q:2 * q]), statistics.median(values[3 * q:])

    # --- checks

    def check(self, name, ok, detail=""):
        print(f"soak: check {'ok    ' if ok else 'FAILED'} {name}{(': ' + detail) if detail else ''}", flush=True)
        if not ok:
            self.failures.append(name)

    def wait_for(self, condition, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if condition():
                return True
            time.sleep(0.1)
        return condition()

    def terminal(self, title, command=None):
        argv = ["xterm", "-title", title]
        if command:
            argv += ["-e", "sh", "-c", command]
        p = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.clients.append(p)
        window = None

        def found():
            nonlocal window
            window = next((w for w in client_list() if window_pid(w) == p.pid), None)
            return window is not None
        self.wait_for(found, 10)
        return p, window

    def quiet_desktop(self):
        """Only two fresh terminals, so that focus is predictable."""
        self.continue_all()
        for c in self.clients:
            c.send_signal(signal.SIGKILL)
        for c in self.clients:
            c.wait()
        self.clients = []
        self.wait_for(lambda: not client_list(), 10)
        a = self.terminal("soak-check-a")
        b = self.terminal("soak-check-b")
        time.sleep(0.5)
        return a[1], b[1]

    def panel_hidden(self):
        out = run("xwininfo", "-root", "-children").stdout
        for w in re.findall(r"^\s+(0x[0-9a-f]+)", out, re.M):
            info = run("xwininfo", "-id", w).stdout
            if "IsViewable" in info and "Override Redirect State: yes" in info \
                    and window_pid(int(w, 16)) == self.velora.pid:
                return False
        return True

    def final_checks(self):
        self.check("velora still runs", self.velora.poll() is None,
                   f"ended with {self.velora.returncode}" if self.velora.poll() is not None else "")
        if self.velora.poll() is not None:
            return
        time.sleep(0.5)
        self.check("the panel is hidden", self.panel_hidden())

        a, b = self.quiet_desktop()
        xdotool("windowactivate", "--sync", hex(b))
        xdotool("windowactivate", "--sync", hex(a))
        time.sleep(0.3)
        before = active_window()
        self.alt_tab()
        self.wait_for(lambda: active_window() == b, 3)
        first = active_window()
        # The recency order learns of the new focus at the window list's next poll (0.2 s).
        time.sleep(0.6)
        self.alt_tab()
        self.wait_for(lambda: active_window() == a, 3)
        second = active_window()
        self.check("a switch focuses the window it chose", before == a and first == b and second == a,
                   f"a={a:#x} b={b:#x}: before {before:#x}, after one switch {first:#x}, after two {second:#x}")

        typed = os.path.join(tempfile.mkdtemp(prefix="velora-soak-"), "typed")
        _, t = self.terminal("soak-typing", f"IFS= read -r line; printf '%s' \"$line\" > '{typed}'")
        xdotool("windowactivate", "--sync", hex(t))
        time.sleep(0.3)
        text = "qmhwfro,x soak"
        xdotool("type", "--delay", "30", text)
        xdotool("key", "Tab", "Escape", "Return")
        self.wait_for(lambda: os.path.exists(typed) and os.path.getsize(typed) > 0, 5)
        got = open(typed, "rb").read() if os.path.exists(typed) else b""
        self.check("typing reaches a terminal (no key stays grabbed)", got == (text + "\t\x1b").encode(),
                   f"typed {text!r} + Tab + Escape, the terminal read {got!r}")

        self.sample()
        rss = self.trend(1)
        if rss:
            early, late = rss
            self.check("memory shows no growth trend", late <= early * 1.15 + 8 * 1024,
                       f"median RSS {early / 1024:.1f} MiB in the second quarter, {late / 1024:.1f} MiB in the last")
        res = self.trend(2)
        if res:
            early, late = res
            self.check("X resources show no growth trend", late <= early * 1.25 + 20,
                       f"median {early:.0f} resources in the second quarter, {late:.0f} in the last")
        pix = self.trend(3)
        if pix:
            early, late = pix
            self.check("X pixmap memory shows no growth trend", late <= early * 1.25 + 4 * 1024 * 1024,
                       f"median {early / 1024:.0f} KiB in the second quarter, {late / 1024:.0f} KiB in the last")

    def check_ending(self):
        if self.velora.poll() is not None:
            return
        self.velora.terminate()
        try:
            code = self.velora.wait(15)
        except subprocess.TimeoutExpired:
            code = None
        self.check("velora ends when asked", code == 0, f"status {code}")
        if self.args.settings:
            text = open(self.args.settings, errors="replace").read() if os.path.exists(self.args.settings) else ""
            self.check("the settings file is whole",
                       text.rstrip().endswith("</plist>") and all(k in text for k in
                                                                  ("firstRun2", "KeyCycleWindowForward",
                                                                   "KeyCycleAppWindowBackward")))

    # --- the run

    def alt_tab(self):
        self.keys.down("alt")
        self.keys.tap("Tab")
        self.keys.up("alt")

    def ready(self):
        """velora has taken its hot keys: a quick switch moves the focus."""
        a, b = self.terminal("soak-ready-a")[1], self.terminal("soak-ready-b")[1]
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline and self.velora.poll() is None:
            xdotool("windowactivate", "--sync", hex(a))
            time.sleep(0.2)
            self.alt_tab()
            if self.wait_for(lambda: active_window() == b, 1.5):
                return True
        return False

    def main(self):
        self.start_velora()
        if not self.ready():
            print("soak: velora did not take its hot keys; its log:", file=sys.stderr)
            print(open(self.args.log).read(), file=sys.stderr)
            return 1
        self.start = time.monotonic()
        self.keep_population()
        replacements = {int(self.args.seconds * f) for f in (0.33, 0.66)}
        next_sample = 0.0
        steps = 0
        while time.monotonic() - self.start < self.args.seconds and self.velora.poll() is None:
            elapsed = time.monotonic() - self.start
            if elapsed >= next_sample:
                self.sample()
                next_sample = elapsed + self.args.sample_every
            if replacements and elapsed >= min(replacements):
                replacements.discard(min(replacements))
                self.replace_window_manager()
            self.one_step()
            steps += 1
            if steps % 10 == 0:
                self.keep_population()
        self.continue_all()
        duration = time.monotonic() - self.start
        self.final_checks()
        self.check_ending()
        self.report(duration)
        return 1 if self.failures else 0

    def report(self, duration):
        switches = sum(self.counts.get(k, 0) for k in ("quick switches", "shown switches"))
        faults = sum(self.counts.get(k, 0) for k in
                     ("clients killed", "clients stopped", "window manager replaced"))
        rss = [s[1] for s in self.samples if s[1]]
        res = [s[2] for s in self.samples if s[2] is not None]
        pix = [s[3] for s in self.samples if s[3] is not None]
        print(f"soak: {duration:.0f} s, {switches} switches ({switches / max(duration, 1):.1f}/s), "
              f"{faults} faults, seed {self.args.seed}")
        for k in sorted(self.counts):
            print(f"soak:   {k:26s} {self.counts[k]}")
        if rss:
            print(f"soak:   RSS (MiB)                  start {rss[0] / 1024:.1f}  peak {max(rss) / 1024:.1f}  "
                  f"end {rss[-1] / 1024:.1f}  ({len(rss)} samples)")
        if res:
            print(f"soak:   X resources                start {res[0]}  peak {max(res)}  end {res[-1]}")
        if pix:
            print(f"soak:   X pixmap memory (KiB)      start {pix[0] // 1024}  peak {max(pix) // 1024}  "
                  f"end {pix[-1] // 1024}")
        print(f"soak: {'every check held' if not self.failures else 'FAILED: ' + ', '.join(self.failures)}")

    def cleanup(self):
        self.continue_all()
        for c in self.clients:
            if c.poll() is None:
                c.kill()
        if self.velora and self.velora.poll() is None:
            self.velora.terminate()
            try:
                self.velora.wait(10)
            except subprocess.TimeoutExpired:
                self.velora.kill()
        for pid in self.wm_pids:
            try:
                os.kill(pid, signal.SIGTERM)
            except OSError:
                pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--velora", required=True)
    parser.add_argument("--seconds", type=float, default=120)
    parser.add_argument("--clients", type=int, default=6)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    parser.add_argument("--sample-every", type=float, default=5.0)
    parser.add_argument("--log", default="velora-soak.log")
    parser.add_argument("--settings", help="the settings file, checked after velora ends")
    soak = Soak(parser.parse_args())
    try:
        return soak.main()
    finally:
        soak.cleanup()


if __name__ == "__main__":
    sys.exit(main())
