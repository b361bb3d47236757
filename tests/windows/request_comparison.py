"""The request exchanges through both request paths: fetch_driver on Linux (our WinINet layer over
libcurl) and fetch_driver.exe under Wine (Wine's own wininet.dll), each against its own loopback
test server. For every exchange the server must see the same requests from both and FetchWebPage
must hand back the same values.

Our layer follows documented Windows behaviour. Where Wine's wininet does not, the exchange lists
the difference under "wine_differs" with the reason; it is reported and not counted as a failure.
Header lines that are the same but stand in another order are reported too: HTTP gives their order
no meaning and WinINet documents none. Any other difference fails. Used by wine_harness.py.

In request_exchanges.json a route may be {"repeat": N, "reply": R, "then": T}: N times R, then T.
"""
import json
import os
import shutil
import subprocess
import tempfile
import time
import uuid
from pathlib import Path

import wine_harness as harness

EXCHANGES = Path(__file__).with_name("request_exchanges.json")
CA_FOLDER = Path("/usr/local/share/ca-certificates")



def expanded(routes):
    table = {}
    for key, reply in routes.items():
        if isinstance(reply, dict) and "repeat" in reply:
            reply = [reply["reply"]] * reply["repeat"] + [reply["then"]]
        table[key] = reply
    return table


def placeholders(text, ports):
    for name, value in ports.items():
        text = text.replace("{" + name + "}", str(value))
    return text


def normalised(data, ports):
    """The bytes with the run's port numbers put back as placeholders."""
    for name, value in sorted(ports.items(), key=lambda item: -len(str(item[1]))):
        if value:
            data = data.replace(str(value).encode(), ("{" + name + "}").encode())
    return data


def call_line(call, ports):
    fields = []
    for name, value in call.items():
        if isinstance(value, bool):
            value = "1" if value else "0"
        text = placeholders(str(value), ports)
        fields.append(f"{name}={text.encode('latin-1').hex()}")
    return " ".join(fields)


def parse_output(text):
    calls, current = [], None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("call "):
            current = {}
        elif line == "end" and current is not None:
            calls.append(current)
            current = None
        elif current is not None and " " in line:
            name, value = line.split(" ", 1)
            current[name] = bytes.fromhex(value)
        elif current is not None and line:
            current[line] = b""
    return calls


class Platform:
    def __init__(self, name, command, env):
        self.name, self.command, self.env = name, command, env

    def run(self, exchange, work, tls_folder):
        """(requests, values) of one exchange, with the ports as placeholders; or raises."""
        server = harness.TestServer(work, expanded(exchange["routes"]),
                                    tls_folder if exchange.get("tls") else None)
        try:
            ports = {"port": server.port, "tls_port": server.tls_port,
                     "refused_port": harness.refused_port()}
            folder = Path(tempfile.mkdtemp(prefix=f"{self.name}-", dir=work))
            (folder / "calls.txt").write_text(
                "\n".join(call_line(call, ports) for call in exchange["calls"]) + "\n")
            # Files, not pipes: a Wine service started by the first program would hold a pipe open.
            with open(folder / "out.txt", "wb") as out, open(folder / "err.txt", "wb") as err:
                code = subprocess.run(self.command + ["calls.txt"], cwd=folder, env=self.env,
                                      stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                      timeout=60).returncode
            if code != 0:
                raise harness.Failed(f"{self.name} driver ended with {code}: "
                                     f"{(folder / 'err.txt').read_bytes()[-300:]!r}")
            values = parse_output((folder / "out.txt").read_text(errors="replace"))
            if len(values) != len(exchange["calls"]):
                raise harness.Failed(f"{self.name} driver answered {len(values)} calls")
            time.sleep(0.2)  # the server logs a request before it answers; nothing is in flight
            requests = [normalised(raw, ports) for _, raw in server.requests()]
            values = [{name: normalised(value, ports) for name, value in call.items()}
                      for call in values]
            return requests, values
        finally:
            server.stop()


def shown(data, limit=400):
    text = repr(data)
    return text if len(text) <= limit else text[:limit] + "..."


def fields_of(request):
    """Request line, sorted header lines and body: what a request says, whatever its order."""
    head, _, body = request.partition(b"\r\n\r\n")
    first, *lines = head.split(b"\r\n")
    return first, sorted(lines), body


def differences(linux, windows):
    """({what: detail} that differ, {what: detail} that differ in header order only)."""
    (linux_requests, linux_values), (windows_requests, windows_values) = linux, windows
    found, reordered = {}, {}
    if len(linux_requests) != len(windows_requests):
        found["requests"] = (f"{len(linux_requests)} requests on Linux, "
                             f"{len(windows_requests)} under Wine")
    for number, (ours, wine) in enumerate(zip(linux_requests, windows_requests), 1):
        if ours != wine:
            target = reordered if fields_of(ours) == fields_of(wine) else found
            target[f"request {number}"] = f"Linux {shown(ours)}\n         Wine  {shown(wine)}"
    for number, (ours, wine) in enumerate(zip(linux_values, windows_values), 1):
        for field in sorted(set(ours) | set(wine)):
            if ours.get(field) != wine.get(field):
                found[f"call {number}: {field}"] = (f"Linux {shown(ours.get(field))}\n"
                                                    f"         Wine  {shown(wine.get(field))}")
    return found, reordered


class TestAuthority:
    """The test CA, trusted system-wide for the comparison's duration: Wine's wininet trusts what
    update-ca-certificates installs."""

    def __init__(self, work):
        self.folder = work / "certs"
        subprocess.run(["python3", str(harness.SERVER_SCRIPT), "--make-certs", str(self.folder)],
                       check=True, timeout=120, stdout=subprocess.DEVNULL)
        self.installed = None
        if os.geteuid() == 0 and shutil.which("update-ca-certificates") and CA_FOLDER.is_dir():
            self.installed = CA_FOLDER / f"lumaclip-test-{uuid.uuid4().hex[:8]}.crt"
            shutil.copy(self.folder / "ca.pem", self.installed)
            subprocess.run(["update-ca-certificates"], check=True, timeout=120,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def remove(self):
        if self.installed:
            self.installed.unlink(missing_ok=True)
            subprocess.run(["update-ca-certificates", "--fresh"], timeout=120,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def run(results, build_dir, linux_build_dir, wine_env, work):
    print("== request exchanges: Wine's wininet.dll against our Linux layer", flush=True)
    windows_driver = (build_dir / "tests" / "windows" / "fetch_driver.exe").resolve()
    linux_driver = (linux_build_dir / "tests" / "windows" / "fetch_driver").resolve() \
        if linux_build_dir else None
    layer = (linux_build_dir / "bin" / "liblumaclip_wininet.so").resolve() \
        if linux_build_dir else None
    if not windows_driver.exists() or not linux_driver or not linux_driver.exists() \
            or not layer.exists():
        raise harness.Failed("the two fetch drivers are not built "
                             f"({windows_driver}, {linux_driver}, {layer})")

    authority = TestAuthority(work)
    try:
        linux_env = dict(wine_env, LUMACLIP_WININET_LIBRARY=str(layer),
                         SSL_CERT_FILE=str(authority.folder / "ca.pem"), LUMACLIP_RESOLVE="")
        linux_env.pop("SSL_CERT_DIR", None)
        platforms = [Platform("linux", [str(linux_driver)], linux_env),
                     Platform("wine", ["wine", str(windows_driver)], wine_env)]
        exchanges = json.loads(EXCHANGES.read_text(encoding="utf-8"))
        for exchange in exchanges:
            name = exchange["name"]
            if exchange.get("tls") and not authority.installed:
                print(f"  skip {name}: the test CA cannot be installed (needs root)", flush=True)
                continue
            try:
                linux, windows = (platform.run(exchange, work, authority.folder)
                                  for platform in platforms)
                linux, windows = list(linux), list(windows)
            except (harness.Failed, subprocess.TimeoutExpired) as error:
                results.check(f"exchange: {name}", False, str(error))
                continue
            found, reordered = differences(linux, windows)
            known = exchange.get("wine_differs", {})
            unexplained = {what: detail for what, detail in found.items()
                           if what not in known.get("fields", [])}
            if found.keys() - unexplained.keys():
                print(f"  note {name}: Wine differs in "
                      f"{', '.join(sorted(found.keys() - unexplained.keys()))}; Windows is "
                      f"followed: {known['because']}", flush=True)
            if reordered:
                print(f"  note {name}: {', '.join(reordered)} with the same lines in another "
                      f"order, as in\n         {next(iter(reordered.values()))}", flush=True)
            results.check(f"exchange: {name}", not unexplained,
                          "".join(f"\n       {what}: {detail}"
                                  for what, detail in unexplained.items()))
    finally:
        authority.remove()
