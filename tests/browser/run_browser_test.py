#!/usr/bin/env python3
"""The host in a real browser: headless Chromium or Firefox, a real extension, a real host.

    run_browser_test.py --browser chromium|firefox --bin-dir BUILD/bin [--keep]

Lays out a scratch folder: the host and the stand-in download manager side by
side (as "velmont-download-manager.exe"), registered with the browser by
qlx-host-register; a profile; a data directory (XDG_DATA_HOME).  Starts the
browser with the test extension (tests/browser/extension: a service worker in
Chromium; for Firefox the same script as the background script of an unsigned
add-on, tests/browser/extension-firefox), which runs one session with the host
and reports every reply to a loopback HTTP server here.  Then checks the
replies, the file that the stand-in imported, the heartbeat files, the host's
place in the process tree, and that the host exits within a second of the
disconnect.

Exit code 0 when every check passed, 1 when one failed (a missing browser
included: the test never passes without running).
"""

import argparse
import base64
import hashlib
import http.server
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import traceback
import zipfile
from pathlib import Path

HOST_NAME = "com.velmont.qlx"
CHUNK_BYTES = 675_000  # 900,000 Base64 characters
EXIT_LIMIT_S = 1.0
SESSION_TIMEOUT_S = 120
HERE = Path(__file__).resolve().parent


def extension_id(manifest):
    """The id Chromium gives an extension whose manifest holds "key"."""
    digest = hashlib.sha256(base64.b64decode(manifest["key"])).hexdigest()[:32]
    return "".join(chr(ord("a") + int(c, 16)) for c in digest)


def find_program(name):
    for candidate in (shutil.which(name), f"/usr/bin/{name}"):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    return None


# What a Firefox profile needs to run the unsigned test add-on without any
# interaction, and to stay quiet: no first-run pages, telemetry, studies or updates.
FIREFOX_PREFS = {
    "xpinstall.signatures.required": False,
    "extensions.autoDisableScopes": 0,
    "extensions.enabledScopes": 15,
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore",
    "browser.aboutwelcome.enabled": False,
    "startup.homepage_welcome_url": "about:blank",
    "startup.homepage_welcome_url.additional": "",
    "datareporting.policy.dataSubmissionEnabled": False,
    "datareporting.healthreport.uploadEnabled": False,
    "toolkit.telemetry.enabled": False,
    "toolkit.telemetry.unified": False,
    "app.shield.optoutstudies.enabled": False,
    "app.normandy.enabled": False,
    "app.update.auto": False,
    "app.update.enabled": False,
    "extensions.update.enabled": False,
    "extensions.getAddons.cache.enabled": False,
    "browser.discovery.enabled": False,
    "network.captive-portal-service.enabled": False,
    "browser.safebrowsing.malware.enabled": False,
    "browser.safebrowsing.phishing.enabled": False,
    "browser.safebrowsing.downloads.enabled": False,
}


class Chromium:
    """Chromium with the unpacked MV3 extension; its hosts live in $XDG_CONFIG_HOME/chromium."""

    name = "chromium"
    program = "chromium"
    tool_name = "Chromium"
    parent_name = "chromium"
    file_size = 5 * 1024 * 1024
    # The envelope claims Edge: the host must name the browser from its ancestry.
    claimed_browser = "edge"

    def __init__(self, scratch):
        self.manifest = json.loads((HERE / "extension" / "manifest.json").read_text())
        self.ext_id = extension_id(self.manifest)
        self.profile = scratch / "config" / "chromium"

    def register_arguments(self):
        return [self.ext_id]

    def registration(self, layout):
        return layout.config_home / "chromium" / "NativeMessagingHosts" / f"{HOST_NAME}.json"

    def host_arguments(self, layout):
        return [f"chrome-extension://{self.ext_id}/"]

    def command(self, executable, scratch, config):
        extension = scratch / "extension"
        shutil.copytree(HERE / "extension", extension)
        (extension / "config.json").write_text(json.dumps(config))
        return [executable, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                f"--user-data-dir={self.profile}", f"--load-extension={extension}",
                f"--disable-extensions-except={extension}", "about:blank"]

    def check_heartbeats(self, checks, heartbeats, legacy):
        chrome = heartbeats.get("chrome", {})
        checks.check('the heartbeat file has the "chrome" entry, from the host\'s ancestry',
                     set(heartbeats) == {"chrome"}
                     and chrome.get("extension_id") == self.ext_id
                     and chrome.get("extension_version") == self.manifest["version"],
                     json.dumps(heartbeats))
        checks.check("the latest heartbeat names chrome and the extension's own source",
                     legacy.get("browser_id") == "chrome"
                     and legacy.get("source") == "qlx-extension:edge:browser-test",
                     json.dumps(legacy))


class Firefox:
    """Firefox ESR with the unsigned MV2 add-on in a fresh profile; its hosts live in ~/.mozilla."""

    name = "firefox"
    program = "firefox-esr"
    tool_name = "Firefox"
    parent_name = "firefox-esr"
    file_size = 1024 * 1024
    # Firefox is no browser key: the host records an unknown browser.
    claimed_browser = "firefox"

    def __init__(self, scratch):
        self.manifest = json.loads((HERE / "extension-firefox" / "manifest.json").read_text())
        self.ext_id = self.manifest["browser_specific_settings"]["gecko"]["id"]
        self.profile = scratch / "firefox-profile"

    def register_arguments(self):
        return ["--firefox-extension", self.ext_id]

    def registration(self, layout):
        return layout.home / ".mozilla" / "native-messaging-hosts" / f"{HOST_NAME}.json"

    def host_arguments(self, layout):
        return [str(self.registration(layout)), self.ext_id]

    def command(self, executable, scratch, config):
        (self.profile / "extensions").mkdir(parents=True)
        (self.profile / "user.js").write_text("".join(
            f"user_pref({json.dumps(name)}, {json.dumps(value)});\n"
            for name, value in FIREFOX_PREFS.items()))
        with zipfile.ZipFile(self.profile / "extensions" / f"{self.ext_id}.xpi", "w") as xpi:
            xpi.write(HERE / "extension-firefox" / "manifest.json", "manifest.json")
            xpi.write(HERE / "extension" / "background.js", "background.js")
            xpi.writestr("config.json", json.dumps(config))
        return [executable, "--headless", "--profile", str(self.profile), "--no-remote",
                "about:blank"]

    def check_heartbeats(self, checks, heartbeats, legacy):
        checks.check("the heartbeat table has no entry: Firefox is no browser key",
                     heartbeats == {}, json.dumps(heartbeats))
        checks.check("the latest heartbeat names no browser, and the add-on's source and version",
                     legacy.get("browser_id") is None
                     and legacy.get("source") == "qlx-extension:firefox:browser-test"
                     and legacy.get("extension_version") == self.manifest["version"],
                     json.dumps(legacy))


BROWSERS = {"chromium": Chromium, "firefox": Firefox}


class Layout:
    """The scratch folder's parts."""

    def __init__(self, scratch):
        self.app = scratch / "app"
        self.config_home = scratch / "config"
        self.data_home = scratch / "data"
        self.home = scratch / "home"
        self.stand_in_dir = scratch / "stand-in"
        self.imported = scratch / "imported.bin"
        for folder in (self.app, self.config_home, self.data_home, self.home, self.stand_in_dir):
            folder.mkdir()
        self.host = self.app / "qlx-native-host"


class Runner:
    """What the extension reports, gathered by the HTTP handler's thread."""

    def __init__(self, host_path, file_bytes):
        self.host_path = host_path
        self.file_bytes = file_bytes
        self.lock = threading.Lock()
        self.done = threading.Event()
        self.disconnected = threading.Event()
        self.report = None
        self.failure = None
        self.hosts_at_report = []  # (pid, ppid, parent name, cwd, argv)
        self.released_at = None  # when the extension was told to disconnect


def process_info(pid):
    """(ppid, cwd, argv) of a live process, or None."""
    try:
        stat = Path(f"/proc/{pid}/stat").read_text()
        ppid = int(stat[stat.rindex(")") + 2 :].split()[1])
        cwd = os.readlink(f"/proc/{pid}/cwd")
        argv = Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")[:-1]
        return ppid, cwd, [a.decode(errors="replace") for a in argv]
    except (OSError, ValueError):
        return None


def process_name(pid):
    try:
        return Path(f"/proc/{pid}/comm").read_text().strip()
    except OSError:
        return None


def is_running(pid):
    """False once the process has exited (a zombie counts as exited)."""
    try:
        stat = Path(f"/proc/{pid}/stat").read_text()
    except OSError:
        return False
    return stat[stat.rindex(")") + 2] != "Z"


def host_processes(host_path):
    """Live processes whose executable is the host copy under test."""
    pids = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if os.readlink(entry / "exe") == str(host_path) and is_running(int(entry.name)):
                pids.append(int(entry.name))
        except OSError:
            continue
    return pids


def make_handler(runner):
    class Handler(http.server.BaseHTTPRequestHandler):
        def log_message(self, *args):
            pass

        def reply(self, status, body, content_type="application/json"):
            self.send_response(status)
            self.send_header("content-type", content_type)
            self.send_header("content-length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def do_GET(self):
            if self.path == "/file":
                self.reply(200, runner.file_bytes, "application/octet-stream")
            else:
                self.reply(404, b"{}")

        def do_POST(self):
            length = int(self.headers.get("content-length", "0"))
            body = json.loads(self.rfile.read(length) or b"{}")
            if self.path == "/report":
                with runner.lock:
                    runner.report = body
                    for pid in host_processes(runner.host_path):
                        info = process_info(pid)
                        if info:
                            ppid, cwd, argv = info
                            runner.hosts_at_report.append((pid, ppid, process_name(ppid), cwd, argv))
                    runner.released_at = time.monotonic()
                self.reply(200, b'{"ok":true}')
            elif self.path == "/disconnected":
                runner.disconnected.set()
                runner.done.set()
                self.reply(200, b'{"ok":true}')
            elif self.path == "/failed":
                with runner.lock:
                    runner.failure = body.get("error", "unknown")
                runner.done.set()
                self.reply(200, b'{"ok":true}')
            else:
                self.reply(404, b"{}")

    return Handler


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            print(f"ok   {name}")
        else:
            self.failed += 1
            print(f"FAIL {name}" + (f": {detail}" if detail else ""))
        return ok


def expected_steps(transfer_id, file_size, host_version):
    steps = [
        ("ping", {"host": HOST_NAME, "ok": True, "version": host_version}),
        ("unknown type", {"error": "Unknown message type", "ok": False}),
        ("open_app", {"launched": True, "ok": True}),
        # The stand-in answers {"launched": "stand-in", ...}; the host puts its own "launched".
        ("add_download", {"launched": True, "ok": True, "received": "add_download"}),
        ("blob_begin", {"ok": True, "transfer_id": transfer_id}),
    ]
    for offset in range(0, file_size, CHUNK_BYTES):
        size = min(CHUNK_BYTES, file_size - offset)
        chars = (size + 2) // 3 * 4
        steps.append((f"blob_chunk {chars}", {"ok": True, "received": size}))
    steps.append(("blob_end", {"launched": True, "ok": True, "received": "import_browser_file"}))
    return steps


def run(browser_class, bin_dir, host_version, keep):
    executable = find_program(browser_class.program)
    if executable is None:
        print(f"FAIL {browser_class.program} is not installed (scripts/bootstrap installs it)")
        return 1
    programs = ("qlx-native-host", "stand-in-manager", "qlx-host-register")
    missing = [name for name in programs if not (bin_dir / name).is_file()]
    if missing:
        print(f"FAIL the build lacks {', '.join(missing)} in {bin_dir}")
        print("browser: 0 passed, 1 failed")
        return 1
    started = time.monotonic()
    checks = Checks()
    scratch = Path(tempfile.mkdtemp(prefix=f"qlx-{browser_class.name}-test-"))
    try:
        run_in(scratch, bin_dir, host_version, browser_class, executable, checks, started)
    except Exception:
        checks.check("the driver ran to its end", False, traceback.format_exc())
    finally:
        if keep or checks.failed:
            print(f"scratch folder kept: {scratch}")
        else:
            shutil.rmtree(scratch, ignore_errors=True)
    print(f"browser test took {time.monotonic() - started:.1f} s")
    print(f"browser: {checks.passed} passed, {checks.failed} failed")
    return 0 if checks.failed == 0 else 1


def run_in(scratch, bin_dir, host_version, browser_class, executable, checks, started):
    """Lays out `scratch`, runs the browser session and checks what it left."""
    layout = Layout(scratch)
    browser_kind = browser_class(scratch)
    host, imported = layout.host, layout.imported
    shutil.copy2(bin_dir / "qlx-native-host", host)
    shutil.copy2(bin_dir / "stand-in-manager", layout.app / "velmont-download-manager.exe")

    ext_id = browser_kind.ext_id
    base_env = dict(os.environ, HOME=str(layout.home), XDG_CONFIG_HOME=str(layout.config_home),
                    XDG_DATA_HOME=str(layout.data_home), MOZ_CRASHREPORTER_DISABLE="1")

    # Registered as a person would, in the browser's own place below the scratch folder.
    registered = subprocess.run(
        [str(bin_dir / "qlx-host-register"), "--host", str(host)]
        + browser_kind.register_arguments(),
        env=base_env, capture_output=True, text=True)
    checks.check("qlx-host-register exits 0", registered.returncode == 0, registered.stderr)
    registration = browser_kind.registration(layout)
    checks.check(f"the manifest is registered for {browser_class.program}",
                 registration.is_file() and json.loads(registration.read_text())["path"] == str(host))
    checked = subprocess.run([str(bin_dir / "qlx-host-register"), "--check"], env=base_env,
                             capture_output=True, text=True)
    checks.check("qlx-host-register --check passes", checked.returncode == 0,
                 checked.stdout + checked.stderr)
    # The browser from the distribution's package is found installed: its line
    # says it reaches the host, and the line of the browsers not found lacks it.
    lines = checked.stdout.splitlines()
    checks.check(f"qlx-host-register --check finds {browser_kind.tool_name} installed",
                 any(line.startswith(f"{browser_kind.tool_name}: ok (per user): ") for line in lines)
                 and not any(line.startswith("not installed:") and browser_kind.tool_name in line
                             for line in lines),
                 checked.stdout)

    file_size = browser_kind.file_size
    file_bytes = random.Random(20240607).randbytes(file_size)
    runner = Runner(host, file_bytes)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), make_handler(runner))
    threading.Thread(target=server.serve_forever, daemon=True).start()

    transfer_id = "browser-test-" + "".join(c for c in ext_id if c.isalnum())[:12]
    command = browser_kind.command(executable, scratch, {
        "server": f"http://127.0.0.1:{server.server_address[1]}",
        "transfer_id": transfer_id,
        "download_url": "https://downloads.example.invalid/qlx-browser-test.zip",
        "browser_id": browser_kind.claimed_browser,
        "source": f"qlx-extension:{browser_kind.claimed_browser}:browser-test",
    })

    env = dict(base_env, QLX_STAND_IN_IMPORT_TO=str(imported),
               QLX_STAND_IN_RECORD_DIR=str(layout.stand_in_dir), QLX_STAND_IN_WATCH_MS="20000")
    log_path = scratch / f"{browser_class.name}.log"
    log = open(log_path, "wb")
    # Its own session: the browser and all its children form one process group of ours.
    browser = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=log,
                               stderr=subprocess.STDOUT, start_new_session=True)
    try:
        finished = runner.done.wait(SESSION_TIMEOUT_S)
        checks.check("the extension finished its session", finished and runner.failure is None,
                     runner.failure or f"no report within {SESSION_TIMEOUT_S} s")
        exit_seconds = None
        if runner.disconnected.is_set():
            pids = [h[0] for h in runner.hosts_at_report]
            deadline = runner.released_at + 5
            while any(is_running(pid) for pid in pids) and time.monotonic() < deadline:
                time.sleep(0.005)
            if not any(is_running(pid) for pid in pids):
                exit_seconds = time.monotonic() - runner.released_at
        session_seconds = time.monotonic() - started

        report = runner.report or {"steps": []}
        got = [(s["label"], s["reply"]) for s in report["steps"]]
        want = expected_steps(transfer_id, file_size, host_version)
        checks.check("the session sent every message", [g[0] for g in got] == [w[0] for w in want],
                     f"{[g[0] for g in got]}")
        for (label, reply), (_, expected) in zip(got, want):
            checks.check(f"reply to {label}", reply == expected, f"{reply} != {expected}")

        checks.check("the stand-in imported the file byte for byte",
                     imported.is_file() and imported.read_bytes() == file_bytes,
                     f"{imported.stat().st_size if imported.exists() else 'no'} bytes imported")

        qlx_dir = layout.data_home / "Velmont" / "QLX"
        heartbeats_path = qlx_dir / "extension-heartbeats-v2.json"
        heartbeats = json.loads(heartbeats_path.read_text()) if heartbeats_path.is_file() else {}
        legacy_path = qlx_dir / "extension-heartbeat.json"
        legacy = json.loads(legacy_path.read_text()) if legacy_path.is_file() else {}
        browser_kind.check_heartbeats(checks, heartbeats, legacy)

        hosts = runner.hosts_at_report
        checks.check("one host ran for the connection", len(hosts) == 1, f"{hosts}")
        if len(hosts) == 1:
            pid, ppid, parent, cwd, argv = hosts[0]
            checks.check("the host is a direct child of the browser",
                         ppid == browser.pid and parent == browser_kind.parent_name,
                         f"parent {ppid} {parent}")
            checks.check("the host runs in its own folder with the browser's arguments",
                         cwd == str(layout.app) and argv[1:] == browser_kind.host_arguments(layout),
                         f"cwd {cwd}, argv {argv}")
        checks.check(f"the host exits within {EXIT_LIMIT_S:.0f} s of the disconnect",
                     exit_seconds is not None and exit_seconds <= EXIT_LIMIT_S,
                     "still running" if exit_seconds is None else f"{exit_seconds:.3f} s")
        if exit_seconds is not None:
            print(f"host exit after the disconnect: {exit_seconds * 1000:.0f} ms; "
                  f"session: {session_seconds:.1f} s")
    finally:
        (layout.stand_in_dir / "stop").touch()
        stop_browser(browser)
        log.close()
        server.shutdown()
        if checks.failed:
            print(f"--- {browser_class.program} output (last 40 lines) ---")
            print("\n".join(log_path.read_text(errors="replace").splitlines()[-40:]))


def group_members(group):
    """Live processes of the process group `group`."""
    members = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            stat = (entry / "stat").read_text()
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2 :].split()
        if fields[0] != "Z" and int(fields[2]) == group:
            members.append(int(entry.name))
    return members


def wait_for_group(group, seconds):
    deadline = time.monotonic() + seconds
    while group_members(group) and time.monotonic() < deadline:
        time.sleep(0.05)
    return not group_members(group)


def stop_browser(browser):
    """Stops the browser by its process id, then waits for the rest of the process
    group that it leads (its session, made for it): a browser's children linger a
    moment after it; whatever is still there after 5 s is killed."""
    if browser.poll() is None:
        browser.terminate()
        try:
            browser.wait(10)
        except subprocess.TimeoutExpired:
            browser.kill()
            browser.wait()
    if not wait_for_group(browser.pid, 5):
        try:
            os.killpg(browser.pid, signal.SIGKILL)
        except OSError:
            pass
        wait_for_group(browser.pid, 5)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--browser", choices=sorted(BROWSERS), default="chromium",
                        help="the browser to run the session in")
    parser.add_argument("--bin-dir", type=Path, required=True,
                        help="the build's bin folder (host, stand-in, qlx-host-register)")
    parser.add_argument("--host-version", required=True,
                        help="the version the built host answers ping with")
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    args = parser.parse_args()
    return run(BROWSERS[args.browser], args.bin_dir.resolve(), args.host_version, args.keep)


if __name__ == "__main__":
    sys.exit(main())
