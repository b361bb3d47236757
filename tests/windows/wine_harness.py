#!/usr/bin/env python3
"""Runs the Windows build under Wine, as scripts/test-windows.sh asks: the cross-built test programs,
lumaclip.exe driven on a virtual display as a person would drive it, and the request exchanges
through Wine's own wininet.dll compared with the Linux layer.

One Wine prefix is made per run in a temporary folder and removed afterwards, with the virtual
display, the Wine server and every test server; every wait has a time limit.
    wine_harness.py --build-dir build/windows [--linux-build-dir build/default]
                    [--screenshot docs/window-wine.png] [--only core,window,requests]
"""
import argparse
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
SERVER_SCRIPT = ROOT / "tests" / "server" / "test_server.py"
LOCALE = "zh_CN.UTF-8"
WINDOW_NAME = "Lumaclip"
DEFAULT_AGENT = ("Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; 846QZ; .NET CLR 2.0.50727; "
                 ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)")
PROXY_VARIABLES = ("http_proxy", "https_proxy", "ftp_proxy", "all_proxy", "no_proxy")
# What the fatal report for a missing "wininet.dll" says, and its caption.
MISSING_LIBRARY_REPORT = ("运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“wininet.dll”中的输出命令"
                          "“InternetOpenA”\r\n")
FATAL_CAPTION = "错误"


class Failed(Exception):
    """A check that did not hold; the message says what was seen."""


class Results:
    def __init__(self):
        self.passed = 0
        self.failed = []

    def check(self, name, condition, detail=""):
        if condition:
            self.passed += 1
            print(f"  ok   {name}", flush=True)
        else:
            self.failed.append(name)
            print(f"  FAIL {name}" + (f": {detail}" if detail else ""), flush=True)
        return condition

    def run(self, name, step):
        """Runs a step whose own checks are recorded; an exception counts as one failure."""
        try:
            step()
        except (Failed, subprocess.TimeoutExpired, OSError) as error:
            self.check(name, False, str(error))


def wait_until(what, probe, timeout, interval=0.1):
    """Polls `probe` until it returns something true; raises Failed after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failed(f"gave up waiting for {what} after {timeout:g} s")
        time.sleep(interval)


def quiet(command, env, timeout=20, check=False):
    return subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, timeout=timeout, check=check)


def stop_process(process, timeout=10):
    if process is None or process.poll() is not None:
        return
    try:
        os.killpg(process.pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    try:
        process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait(timeout=timeout)


class Display:
    """A virtual X display of its own (Xvfb), without a window manager."""

    def __init__(self, work):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24", "-nolisten",
             "tcp", "-noreset"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=open(work / "xvfb.log", "wb"), start_new_session=True)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            if not select.select([read_end], [], [], 1.0)[0]:
                continue
            piece = os.read(read_end, 16)
            if not piece:
                break
            number += piece
        os.close(read_end)
        if not number.strip():
            stop_process(self.process)
            raise Failed("Xvfb did not start")
        self.name = ":" + number.decode().strip()

    def stop(self):
        stop_process(self.process)


class WinePrefix:
    """One Wine prefix for the whole run, with a Chinese locale and a persistent Wine server."""

    def __init__(self, work, display):
        self.path = work / "prefix"
        env = {key: value for key, value in os.environ.items()
               if key.lower() not in PROXY_VARIABLES}
        # Wine's server keeps its socket folder under TMPDIR: inside the run's folder, it goes too.
        (work / "tmp").mkdir()
        env.update(WINEPREFIX=str(self.path), WINEDEBUG="-all", WINEARCH="win64",
                   LANG=LOCALE, LC_ALL=LOCALE, DISPLAY=display.name, TMPDIR=str(work / "tmp"))
        env.pop("WINEDLLOVERRIDES", None)
        self.env = env
        started = time.monotonic()
        # No Mono or Gecko: nothing here needs them, and asking for them only costs time.
        boot = dict(env, WINEDLLOVERRIDES="mscoree,mshtml=")
        quiet(["wineboot", "-i"], boot, timeout=240, check=True)
        quiet(["wineserver", "-w"], env, timeout=120)
        # Wine draws the frames itself (there is no window manager), with the system font for the
        # caption buttons.
        quiet(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/t",
               "REG_SZ", "/d", "N", "/f"], env, timeout=60, check=True)
        marlett = Path("/usr/share/wine/fonts/marlett.ttf")
        if marlett.exists():
            shutil.copy(marlett, self.path / "drive_c" / "windows" / "Fonts")
        quiet(["wineserver", "-w"], env, timeout=60)
        subprocess.run(["wineserver", "-p"], env=env, timeout=30, check=True)
        # Start Wine's own services now, with no pipe of ours: the services that the first program
        # of a run starts stay for the run and would hold that program's output pipes open.
        subprocess.run(["wine", "wineboot"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        self.seconds = time.monotonic() - started

    def stop(self):
        try:
            quiet(["wineserver", "-k"], self.env, timeout=30)
        except subprocess.TimeoutExpired:
            pass


class TestServer:
    """tests/server/test_server.py with a routes table; hands back the requests it saw."""

    def __init__(self, work, routes, tls_folder=None):
        self.folder = Path(tempfile.mkdtemp(prefix="server-", dir=work))
        (self.folder / "routes.json").write_text(json.dumps(routes), encoding="utf-8")
        self.log = self.folder / "log"
        command = [sys.executable, str(SERVER_SCRIPT), "--routes", str(self.folder / "routes.json"),
                   "--log", str(self.log), "--watch-stdin", "--lifetime", "600"]
        if tls_folder:
            command += ["--tls", str(tls_folder)]
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=open(self.folder / "server.log", "wb"),
                                        start_new_session=True)
        self.port = self.tls_port = 0
        output, deadline = b"", time.monotonic() + 30
        stream = self.process.stdout.fileno()
        while b"READY" not in output and time.monotonic() < deadline:
            if select.select([stream], [], [], 1.0)[0]:
                piece = os.read(stream, 256)
                if not piece:
                    break
                output += piece
        for line in output.decode().splitlines():
            if line.startswith("PORT "):
                self.port = int(line.split()[1])
            elif line.startswith("TLS_PORT "):
                self.tls_port = int(line.split()[1])
        if not self.port:
            self.stop()
            raise Failed("the test server did not start")

    def url(self, path):
        return f"http://127.0.0.1:{self.port}{path}"

    def secure_url(self, path):
        return f"https://localhost:{self.tls_port}{path}"

    def requests(self):
        """[(description, raw bytes)] in order of arrival."""
        seen = []
        if self.log.exists():
            for description in sorted(self.log.glob("*.json")):
                raw = description.with_suffix(".request")
                if raw.exists():
                    seen.append((json.loads(description.read_text()), raw.read_bytes()))
        return seen

    def stop(self):
        if self.process.stdin:
            try:
                self.process.stdin.close()
            except OSError:
                pass
        stop_process(self.process)


def refused_port():
    """A loopback port where nothing listens."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def header_lines(raw):
    head = raw.split(b"\r\n\r\n", 1)[0].decode("latin-1")
    return head.split("\r\n")


# --- the window, driven as a person would ---------------------------------------------------

class Window:
    """lumaclip.exe under Wine on the virtual display, driven with xdotool and read through the
    clipboard."""

    def __init__(self, exe, env, work, extra_env=None, log_name="lumaclip.log"):
        self.env = dict(env, **(extra_env or {}))
        self.log = work / log_name
        self.started = time.monotonic()
        self.process = subprocess.Popen(["wine", str(exe)], env=self.env, cwd=work,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=open(self.log, "wb"), start_new_session=True)
        self.id = wait_until("the window", lambda: self.find(f"^{WINDOW_NAME}$"), 60)
        self.shown_after = time.monotonic() - self.started
        time.sleep(0.5)  # let it paint and take the focus

    def xdotool(self, *arguments, timeout=15):
        result = quiet(["xdotool", *arguments], self.env, timeout=timeout)
        return result.stdout.decode().strip()

    def find(self, name):
        found = self.xdotool("search", "--onlyvisible", "--name", name)
        return found.splitlines()[0] if found else None

    def click_edit_box_1(self):
        # Without a window manager the keyboard focus follows the pointer: point into the window
        # first, then click where 编辑框1 stands.
        self.xdotool("mousemove", "--window", self.id, "300", "70")
        self.xdotool("click", "1")
        time.sleep(0.3)

    def type(self, text):
        self.xdotool("type", "--delay", "15", text, timeout=60)

    def keys(self, *names):
        self.xdotool("key", "--delay", "60", *names)

    def clipboard(self):
        result = quiet(["xclip", "-o", "-selection", "clipboard"], self.env, timeout=10)
        return result.stdout.decode("utf-8", "replace") if result.returncode == 0 else None

    def copy_from_focused_box(self, previous):
        """Ctrl+C in the focused box, waiting for the clipboard to change from `previous`."""
        self.keys("ctrl+c")
        return wait_until("the clipboard", lambda: (lambda text: text if text not in (None, previous)
                                                    else None)(self.clipboard()), 20, 0.2)

    def geometry(self):
        values = dict(line.split("=", 1) for line in
                      self.xdotool("getwindowgeometry", "--shell", self.id).splitlines()
                      if "=" in line)
        return {key: int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT")}

    def screenshot(self, path):
        g = self.geometry()
        margin = 12
        quiet(["import", "-window", "root", "-crop",
               f"{g['WIDTH'] + 2 * margin}x{g['HEIGHT'] + 2 * margin}+{g['X'] - margin}"
               f"+{g['Y'] - margin}", "+repage", str(path)], self.env, timeout=30, check=True)

    def wait_exit(self, timeout=30):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failed(f"the program did not end within {timeout} s")

    def stop(self):
        stop_process(self.process)


def share_page(address):
    return ('<html><body><h1>clip</h1><img class="video-preview" src="' + address +
            '?w=720"><p>x</p></body></html>')


def window_checks(results, exe, env, work, screenshot):
    print("== window (lumaclip.exe under Wine, driven with xdotool)", flush=True)
    routes = {"/share/abc": {"body": share_page("http://127.0.0.1:{port}/v/clip.jpg"),
                             "headers": [["Content-Type", "text/html; charset=utf-8"]]}}
    server = TestServer(work, routes)
    window = None
    try:
        window = Window(exe, env, work)
        results.check("window shown", True)
        print(f"  start: window shown {window.shown_after:.2f} s after wine was started "
              "(Wine's server and services already running)", flush=True)
        g = window.geometry()
        results.check("outer size 876 x 174, centred on the 1280 x 800 display",
                      (g["WIDTH"], g["HEIGHT"], g["X"], g["Y"]) == (876, 174, 202, 313), str(g))

        link = server.url("/share/abc")
        window.click_edit_box_1()
        window.type(link)
        # Enter does nothing, in 编辑框1 and on the button.
        window.keys("Return", "Tab", "Return")
        time.sleep(1.0)
        results.check("Enter starts no request", not server.requests(),
                      f"{len(server.requests())} requests")
        window.keys("space")
        wait_until("the request", server.requests, 30)
        window.keys("Tab")  # into 编辑框2, which selects its text
        shown = window.copy_from_focused_box(None)
        expected = f"http://127.0.0.1:{server.port}/v/clip.mp4"
        results.check("编辑框2 shows the video address", shown == expected,
                      f"{shown!r}, expected {expected!r}")

        seen = server.requests()
        results.check("one request for one click", len(seen) == 1, f"{len(seen)} requests")
        description, raw = seen[0]
        lines = header_lines(raw)
        results.check("GET of the path as HTTP/1.1", lines[0] == "GET /share/abc HTTP/1.1",
                      lines[0])
        sent = lines[1:]
        for wanted in (f"Referer: {link}", "Accept: */*", "Accept-Language: zh-cn",
                       "Content-Type: application/x-www-form-urlencoded",
                       f"User-Agent: {DEFAULT_AGENT}", f"Host: 127.0.0.1:{server.port}"):
            results.check(f"request line {wanted.split(':')[0]}", wanted in sent,
                          "sent: " + " | ".join(sent))
        ours = [line for line in sent if line.split(":")[0] in
                ("Referer", "Accept", "Accept-Language", "Content-Type")]
        results.check("the four default lines in their order",
                      [line.split(":")[0] for line in ours] ==
                      ["Referer", "Accept", "Accept-Language", "Content-Type"], " | ".join(ours))
        results.check("no Cookie line and no body",
                      not any(line.lower().startswith("cookie:") for line in sent) and
                      raw.endswith(b"\r\n\r\n"), raw.decode("latin-1")[-80:])

        if screenshot:
            window.screenshot(screenshot)
            print(f"  screenshot: {screenshot}", flush=True)

        # A refused connection: the box gets ".mp4" alone.
        window.xdotool("mousemove", "--window", window.id, "300", "70")
        window.keys("shift+Tab", "shift+Tab")  # back to 编辑框1, its text selected
        window.type(f"http://127.0.0.1:{refused_port()}/share/abc")
        window.keys("Tab", "space", "Tab")
        shown = window.copy_from_focused_box(shown)
        results.check("a failed request gives \".mp4\"", shown == ".mp4", repr(shown))

        window.keys("Escape")
        code = window.wait_exit(30)
        results.check("Escape ends the program with exit code 0", code == 0, f"exit code {code}")
    finally:
        if window:
            window.stop()
        server.stop()


def fatal_report_checks(results, exe, env, work):
    print("== fatal report (wininet.dll unavailable)", flush=True)
    # Wine's window trace records the text the message box is given, byte for byte.
    window = Window(exe, env, work, {"WINEDLLOVERRIDES": "wininet=d", "WINEDEBUG": "+win"},
                    "fatal.log")
    try:
        window.click_edit_box_1()
        window.type(f"http://127.0.0.1:{refused_port()}/")
        window.keys("Tab", "space")
        box = wait_until("the message box", lambda: window.find(f"^{FATAL_CAPTION}$"), 30)
        results.check("a box captioned \"错误\" appears", bool(box))
        expected = "L\"" + "".join(
            ch if 0x20 <= ord(ch) < 0x7F else
            {"\r": "\\r", "\n": "\\n"}.get(ch, "\\%04x" % ord(ch)) for ch in MISSING_LIBRARY_REPORT
        ) + "\""
        trace = window.log.read_bytes().decode("latin-1")
        results.check("the box reads the missing-function report",
                      f"set_window_text {expected}" in trace,
                      "no such text in Wine's window trace")
        # Dismiss it as a person would: point at the box and press Enter on its OK button.
        window.xdotool("mousemove", "--window", box, "40", "40")
        time.sleep(0.3)
        window.keys("Return")
        code = window.wait_exit(30)
        results.check("the program then ends with exit code -1 (255)", code == 255,
                      f"exit code {code}")
    finally:
        window.stop()


# --- the test programs ------------------------------------------------------------------------

def core_checks(results, build_dir, env):
    print("== test programs under Wine (ctest)", flush=True)
    result = subprocess.run(["ctest", "--test-dir", str(build_dir), "-j2", "--output-on-failure",
                             "--timeout", "300"], env=env, stdin=subprocess.DEVNULL, timeout=900)
    results.check("every cross-built test program passes under Wine", result.returncode == 0,
                  f"ctest exit code {result.returncode}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", required=True, type=Path)
    parser.add_argument("--linux-build-dir", type=Path)
    parser.add_argument("--screenshot", type=Path)
    parser.add_argument("--only", default="core,window,requests")
    options = parser.parse_args()
    parts = set(options.only.split(","))
    # A run stopped from outside still cleans up behind itself.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    exe = (options.build_dir / "platform" / "windows" / "lumaclip.exe").resolve()

    results = Results()
    work = Path(tempfile.mkdtemp(prefix="lumaclip-wine-"))
    display = prefix = None
    started = time.monotonic()
    try:
        display = Display(work)
        prefix = WinePrefix(work, display)
        print(f"Wine prefix ready in {prefix.seconds:.1f} s (display {display.name})", flush=True)
        if "core" in parts:
            core_checks(results, options.build_dir, prefix.env)
        if "window" in parts:
            results.run("window", lambda: window_checks(results, exe, prefix.env, work,
                                                        options.screenshot))
            results.run("fatal report",
                        lambda: fatal_report_checks(results, exe, prefix.env, work))
        if "requests" in parts:
            sys.modules.setdefault("wine_harness", sys.modules[__name__])
            import request_comparison
            results.run("request exchanges", lambda: request_comparison.run(
                results, options.build_dir, options.linux_build_dir, prefix.env, work))
    except (Failed, subprocess.SubprocessError, OSError) as error:
        results.check("Wine environment", False, str(error))
    finally:
        if prefix:
            prefix.stop()
        if display:
            display.stop()
        shutil.rmtree(work, ignore_errors=True)
    print(f"Windows part took {time.monotonic() - started:.0f} s", flush=True)
    print(f"windows: {results.passed} passed, {len(results.failed)} failed", flush=True)
    return 1 if results.failed else 0


if __name__ == "__main__":
    sys.exit(main())
