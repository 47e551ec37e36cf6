#!/usr/bin/env python3
"""The MSI packages under Wine's msiexec: install, use, upgrade, repair, uninstall.

    run_msi_test.py --case NAME --build-dir BUILD --source-dir SOURCE --version X.Y.Z
                    [--firefox-addon-id ID] [--strip STRIP] [--keep]
    run_msi_test.py --make-prefix --build-dir BUILD

--make-prefix makes the Wine prefix that every case starts from (once: a
ready marker is left only when every step succeeded; a prefix without one is
made anew).  Each case runs in a copy of it of its own, so that no two cases
install into one registry, and removes it again (unless --keep).

Cases:
  per-machine  msiexec /i ... /qn; the HKLM keys name manifests that start a
               host that answers ping; the installed qlx-host-register.exe
               --check passes Chrome; Installed apps shows the product; then
               /x ... /qn removes every key and installed file, and leaves the
               download manager's executable beside the host and the data
               directory alone.
  per-user     the same with HKCU, from the package that needs no elevation.
  upgrade      a package of a higher version, made here from the same
               template, replaces the installed one (one product left), the
               host still answers ping, and the lower package is then refused
               with its message in the Installer's log.
  repair       installed into a folder of the caller's choice (INSTALLDIR);
               the deleted host comes back with msiexec /fa; an install that
               fails half-way leaves nothing behind and its log says why.
  signing      a throw-away CA and code-signing certificate: the signed host
               verifies, still answers ping, fails verification with one byte
               flipped; the signed MSI verifies and installs.

Exit code 0 when every check passed, 1 otherwise.
"""

import argparse
import fcntl
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import traceback
from pathlib import Path

HOST_NAME = "com.velmont.qlx"
PRODUCT_NAME = "QLX native messaging host"
HERE = Path(__file__).resolve().parent
UNINSTALL_KEY = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
# Chromium-family browsers that qlx-host-register --system knows, as
# tools/qlx-host-register/browsers_windows.cpp lists them (the vendor keys).
CHROMIUM_VENDOR_KEYS = [
    "Google\\Chrome",
    "Chromium",
    "Microsoft\\Edge",
    "BraveSoftware\\Brave-Browser",
    "Vivaldi",
    "Opera Software",
]
INSTALLED_FILES = ["qlx-native-host.exe", "qlx-host-register.exe", "README.md", "com.velmont.qlx.json"]
MANAGER_FILE = "velmont-download-manager.exe"
COMMAND_TIMEOUT_S = 180
# msiexec's "fatal error during installation"; a Unix exit status keeps its
# low byte only (67 under Wine).
ERROR_INSTALL_FAILURE = 1603


def is_install_failure(code):
    return code in (ERROR_INSTALL_FAILURE, ERROR_INSTALL_FAILURE & 0xFF)


class Checks:
    def __init__(self):
        self.failed = 0

    def check(self, name, ok, detail=""):
        print(("ok   " if ok else "FAIL ") + name + ("" if ok or not detail else ": " + str(detail)))
        sys.stdout.flush()
        if not ok:
            self.failed += 1
        return ok


def wine_env(prefix):
    env = dict(os.environ)
    env.update({"WINEPREFIX": str(prefix), "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="})
    env.pop("DISPLAY", None)
    return env


def wine_version():
    return subprocess.run(["wine", "--version"], capture_output=True).stdout.decode().strip()


def prefix_ready(base):
    """Whether the base prefix was made whole, by this version of Wine."""
    marker = base / ".ready"
    return marker.is_file() and marker.read_text() == wine_version()


def make_prefix(base):
    """Makes the prefix that the cases copy, once; a broken one, or one that
    another version of Wine made, is made anew."""
    base.parent.mkdir(parents=True, exist_ok=True)
    with open(str(base) + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if prefix_ready(base):
            return 0
        shutil.rmtree(base, ignore_errors=True)
        env = wine_env(base)
        for step in (["wineboot", "-i"], ["wineserver", "-w"]):
            if subprocess.run(step, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=600).returncode != 0:
                print("making the Wine prefix failed at " + " ".join(step))
                return 1
        if not (base / "system.reg").is_file():
            print("making the Wine prefix left no registry")
            return 1
        (base / ".ready").write_text(wine_version())
    return 0


class Prefix:
    """A copy of the base prefix with its own Wine server, kept running
    (away from this script's pipes) until stop()."""

    def __init__(self, base, path):
        shutil.rmtree(path, ignore_errors=True)
        # The system's programs and libraries (nearly all of the prefix's
        # 700 MB) are shared as hard links: nothing writes to them while the
        # Wine version stays the one that made the base.  Everything else,
        # the registry among it, is the copy's own.
        shared = [base / "drive_c" / "windows" / name for name in ("system32", "syswow64", "winsxs")]

        def copy(source, target):
            if any(Path(source).is_relative_to(folder) for folder in shared):
                os.link(source, target)
            else:
                shutil.copy2(source, target)

        with open(str(base) + ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_SH)  # never while the base is being made
            shutil.copytree(base, path, symlinks=True, copy_function=copy)
        (path / ".ready").unlink()
        self.path = path
        self.env = wine_env(path)
        subprocess.run(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        subprocess.run(["wine", "cmd.exe", "/c", "exit"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=COMMAND_TIMEOUT_S)
        users = [p for p in (path / "drive_c" / "users").iterdir() if p.name.lower() != "public"]
        self.local_app_data = users[0] / "AppData" / "Local"

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wine(self, *arguments, stdin=None):
        return subprocess.run(["wine", *arguments], env=self.env, input=stdin, capture_output=True,
                              timeout=COMMAND_TIMEOUT_S)

    def unix(self, windows_path):
        """The Unix path of a path on drive C: (Wine's folders keep their case)."""
        text = windows_path.replace("/", "\\")
        if text[1:3].lower() != ":\\" or text[0].lower() != "c":
            raise ValueError("not on drive C: " + windows_path)
        return self.path / "drive_c" / Path(*[part for part in text[3:].split("\\") if part])

    def windows(self, unix_path):
        """The Windows path of a Unix path: on C: inside the prefix, else on Z: (the root)."""
        path = Path(unix_path)
        try:
            return "C:\\" + "\\".join(path.relative_to(self.path / "drive_c").parts)
        except ValueError:
            return "Z:" + str(path).replace("/", "\\")

    def msiexec(self, *arguments, log=None):
        extra = ["/l*v", self.windows(log)] if log else []
        return self.wine("msiexec", *arguments, "/qn", *extra).returncode

    def reg_values(self, key):
        """The values of a registry key (64-bit view) as {name: data}, "" for
        the default value; None when the key is missing."""
        run = self.wine("reg", "query", key, "/reg:64")
        if run.returncode != 0:
            return None
        values = {}
        for line in run.stdout.decode("utf-8", "replace").splitlines():
            parts = line.strip().split("    ")
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                name = "" if parts[0] == "(Default)" else parts[0]
                values[name] = parts[2] if len(parts) > 2 else ""
        return values

    def subkeys(self, key):
        run = self.wine("reg", "query", key, "/reg:64")
        if run.returncode != 0:
            return []
        long_hive = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER"}
        hive, rest = key.split("\\", 1)
        prefix = (long_hive.get(hive, hive) + "\\" + rest).lower() + "\\"
        return [line.strip()[len(prefix):] for line in run.stdout.decode("utf-8", "replace").splitlines()
                if line.strip().lower().startswith(prefix)]


def frame(message):
    body = json.dumps(message, separators=(",", ":")).encode()
    return struct.pack("<I", len(body)) + body


def ping(prefix, host_unix_path):
    """Starts the host as a browser does and sends ping; (reply, exit code, stderr)."""
    run = subprocess.run(["wine", str(host_unix_path)], env=prefix.env, input=frame({"type": "ping"}),
                         capture_output=True, timeout=COMMAND_TIMEOUT_S)
    out = run.stdout
    reply = None
    if len(out) >= 4:
        (length,) = struct.unpack("<I", out[:4])
        reply = out[4:4 + length].decode("utf-8", "replace")
    return reply, run.returncode, run.stderr.decode("utf-8", "replace")


def expected_ping(version):
    return json.dumps({"host": HOST_NAME, "ok": True, "version": version}, separators=(",", ":"))


def msi_property(package, name):
    table = subprocess.run(["msiinfo", "export", str(package), "Property"], capture_output=True,
                           check=True).stdout.decode()
    for line in table.splitlines():
        fields = line.split("\t")
        if len(fields) == 2 and fields[0] == name:
            return fields[1]
    return None


def make_package(args, scope, version, out_dir, bin_dir=None, sign=None):
    """A package made by the build's own script, from the same template."""
    command = ["cmake", "-DSOURCE_DIR=" + str(args.source_dir), "-DBIN_DIR=" + str(bin_dir or args.build_dir / "bin"),
               "-DWORK_DIR=" + str(out_dir / ("work-" + scope + "-" + version)),
               "-DOUTPUT=" + str(out_dir / ("package-" + scope + "-" + version + ".msi")),
               "-DSCOPE=" + scope, "-DVERSION=" + version, "-DFIREFOX_ADDON_ID=" + (args.firefox_addon_id or "")]
    if args.strip:
        command.append("-DSTRIP=" + args.strip)
    if sign:
        command += ["-DSIGN_PKCS12=" + str(sign[0]), "-DSIGN_PASSWORD_FILE=" + str(sign[1])]
    command += ["-P", str(args.source_dir / "cmake" / "msi_package.cmake")]
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return out_dir / ("package-" + scope + "-" + version + ".msi")


def package_file(args, scope):
    suffix = "-x64.msi" if scope == "machine" else "-x64-per-user.msi"
    return args.build_dir / ("qlx-native-host-" + args.version + suffix)


class Layout:
    """Where a package of `scope` puts things in a prefix."""

    def __init__(self, prefix, scope, install_dir=None):
        self.scope = scope
        if scope == "machine":
            self.hive, self.software = "HKLM", "SOFTWARE"
            default = prefix.path / "drive_c" / "Program Files" / "Velmont" / "QLX"
        else:
            self.hive, self.software = "HKCU", "Software"
            default = prefix.local_app_data / "Programs" / "Velmont" / "QLX"
        self.install_dir = install_dir or default
        self.data_dir = prefix.local_app_data / "Velmont" / "QLX"

    def keys(self, firefox):
        vendors = CHROMIUM_VENDOR_KEYS + (["Mozilla"] if firefox else [])
        return [self.hive + "\\" + self.software + "\\" + vendor + "\\NativeMessagingHosts\\" + HOST_NAME
                for vendor in vendors]

    def key_ancestors(self, firefox):
        """Every key above the browsers' keys, below the hive's software key:
        what registering creates for a browser that was never installed."""
        found = []
        for key in self.keys(firefox):
            parts = key.split("\\")
            for end in range(3, len(parts)):
                ancestor = "\\".join(parts[:end])
                if ancestor not in found:
                    found.append(ancestor)
        return found

    def own_key(self):
        """Where the package keeps its folder for repair, upgrade and uninstall."""
        return self.hive + "\\" + self.software + "\\Velmont\\QLX native messaging host"

    def uninstall_roots(self):
        """Where Installed apps lists the product: Windows lists a per-user
        product under HKCU, Wine's msiexec every product under HKLM."""
        return ["HKLM\\" + UNINSTALL_KEY] + (["HKCU\\" + UNINSTALL_KEY] if self.hive == "HKCU" else [])

    def files(self, firefox):
        return INSTALLED_FILES + (["com.velmont.qlx.firefox.json"] if firefox else [])


def check_installed(checks, prefix, layout, args, version, label):
    """Keys, manifests and a ping through each manifest's path."""
    firefox = bool(args.firefox_addon_id)
    for name in layout.files(firefox):
        checks.check(label + ": installed " + name, (layout.install_dir / name).is_file(), layout.install_dir)
    pinged = set()
    for key in layout.keys(firefox):
        values = prefix.reg_values(key)
        if not checks.check(label + ": key " + key, values is not None and "" in values, values):
            continue
        manifest_path = prefix.unix(values[""])
        try:
            manifest = json.loads(manifest_path.read_text())
        except (OSError, ValueError) as error:
            checks.check(label + ": manifest of " + key, False, error)
            continue
        family_list = "allowed_extensions" if key.split("\\")[2] == "Mozilla" else "allowed_origins"
        checks.check(label + ": manifest of " + key + " names the host",
                     manifest.get("name") == HOST_NAME and manifest.get("type") == "stdio"
                     and isinstance(manifest.get(family_list), list) and manifest[family_list]
                     and manifest.get("path") == "qlx-native-host.exe", manifest)
        host = manifest_path.parent / manifest.get("path", "")
        if host in pinged:
            continue
        pinged.add(host)
        reply, code, errors = ping(prefix, host)
        checks.check(label + ": " + str(host.relative_to(prefix.path)) + " answers ping",
                     reply == expected_ping(args.version) and code == 0 and errors == "",
                     (reply, code, errors))
    checks.check(label + ": the folder is kept in " + layout.own_key(),
                 prefix.reg_values(layout.own_key()) == {"InstallDir": prefix.windows(layout.install_dir) + "\\"},
                 prefix.reg_values(layout.own_key()))
    run = prefix.wine(str(layout.install_dir / "qlx-host-register.exe"), "--check")
    lines = run.stdout.decode("utf-8", "replace").splitlines()
    # The prefix has no browser installed: --check still checks each
    # registration, and names the registry view that the package wrote (the
    # 64-bit one) for keys of the machine.
    scope_text = "per machine, 64-bit view" if layout.scope == "machine" else "per user"
    manifest_text = prefix.windows(layout.install_dir) + "\\com.velmont.qlx.json"
    chrome = next((line for line in lines if line.startswith("Google Chrome")), "")
    checks.check(label + ": qlx-host-register --check passes Chrome",
                 chrome.startswith("Google Chrome (not installed): ok (" + scope_text + "): " + manifest_text
                                   + " starts "),
                 run.stdout.decode("utf-8", "replace"))
    if firefox:
        line = next((line for line in lines if line.startswith("Firefox")), "")
        checks.check(label + ": qlx-host-register --check passes Firefox",
                     line.startswith("Firefox (not installed): ok (" + scope_text + "): "), line)
    products = installed_products(prefix, layout)
    checks.check(label + ": one product in Installed apps, version " + version,
                 len(products) == 1 and products[0][1].get("DisplayVersion") == version, products)
    if products:
        values = products[0][1]
        checks.check(label + ": Installed apps shows name, publisher and no Modify",
                     values.get("DisplayName") == PRODUCT_NAME and values.get("Publisher") == "Velmont"
                     and values.get("NoModify") == "0x1", values)
    return products


def installed_products(prefix, layout):
    found = []
    for root in layout.uninstall_roots():
        for code in prefix.subkeys(root):
            values = prefix.reg_values(root + "\\" + code) or {}
            if values.get("DisplayName") == PRODUCT_NAME:
                found.append((code, values))
    return found


def snapshot(path):
    return path.read_bytes() if path.is_file() else None


def existing_keys(prefix, layout, args):
    return [key for key in layout.key_ancestors(bool(args.firefox_addon_id)) if prefix.reg_values(key) is not None]


def check_uninstall(checks, prefix, layout, args, package, label, keys_before=None):
    """Puts the manager's executable beside the host and a file into the data
    directory, uninstalls, and checks what is left: of the keys above the
    browsers' keys, those that were there before the install (keys_before)."""
    firefox = bool(args.firefox_addon_id)
    manager = layout.install_dir / MANAGER_FILE
    shutil.copyfile(args.build_dir / "bin" / "stand-in-manager.exe", manager)
    layout.data_dir.mkdir(parents=True, exist_ok=True)
    kept = layout.data_dir / "requests-kept.txt"
    kept.write_bytes(b"the download manager's own file\n")
    before = {path: snapshot(path) for path in (manager, kept)}
    code = prefix.msiexec("/x", prefix.windows(package))
    checks.check(label + ": msiexec /x /qn exits 0", code == 0, code)
    for key in layout.keys(firefox):
        checks.check(label + ": no key " + key + " after uninstall", prefix.reg_values(key) is None)
    velmont = layout.hive + "\\" + layout.software + "\\Velmont"
    checks.check(label + ": no key " + velmont + " after uninstall", prefix.reg_values(velmont) is None)
    if keys_before is not None:
        left = existing_keys(prefix, layout, args)
        checks.check(label + ": the keys above them are as before the install", left == keys_before,
                     (keys_before, left))
    for name in layout.files(firefox):
        checks.check(label + ": no " + name + " after uninstall", not (layout.install_dir / name).exists())
    checks.check(label + ": no product in Installed apps", installed_products(prefix, layout) == [])
    for path, content in before.items():
        checks.check(label + ": " + path.name + " untouched", snapshot(path) == content)
    checks.check(label + ": only the manager's executable is left in " + layout.install_dir.name,
                 sorted(p.name for p in layout.install_dir.iterdir()) == [MANAGER_FILE])


def case_install(args, prefix, checks, scope):
    package = package_file(args, scope)
    layout = Layout(prefix, scope)
    label = "per machine" if scope == "machine" else "per user"
    if scope == "user":
        summary = subprocess.run(["msiinfo", "suminfo", str(package)], capture_output=True).stdout.decode()
        checks.check("per user: the package asks for no elevation (word count bit 8) and no ALLUSERS",
                     "Source: 10 (a)" in summary and msi_property(package, "ALLUSERS") is None, summary)
    keys_before = existing_keys(prefix, layout, args)
    code = prefix.msiexec("/i", prefix.windows(package))
    if not checks.check(label + ": msiexec /i /qn exits 0", code == 0, code):
        return
    check_installed(checks, prefix, layout, args, args.version, label)
    check_uninstall(checks, prefix, layout, args, package, label, keys_before)


def higher_version(version):
    major, minor, patch = (int(n) for n in version.split("."))
    return "%d.%d.%d" % (major, minor, patch + 1)


def case_upgrade(args, prefix, checks, scratch):
    lower = package_file(args, "machine")
    higher_v = higher_version(args.version)
    # The same programs (their version is compiled in), a higher ProductVersion.
    higher = make_package(args, "machine", higher_v, scratch)
    layout = Layout(prefix, "machine")
    checks.check("upgrade: the higher package has its own ProductCode, the same UpgradeCode",
                 msi_property(higher, "ProductCode") != msi_property(lower, "ProductCode")
                 and msi_property(higher, "UpgradeCode") == msi_property(lower, "UpgradeCode"))
    checks.check("upgrade: install " + args.version, prefix.msiexec("/i", prefix.windows(lower)) == 0)
    code = prefix.msiexec("/i", prefix.windows(higher))
    checks.check("upgrade: install " + higher_v + " over it exits 0", code == 0, code)
    products = check_installed(checks, prefix, layout, args, higher_v, "upgraded")
    checks.check("upgrade: the product left is the higher one",
                 products and products[0][0].upper() == msi_property(higher, "ProductCode").upper(), products)
    log = scratch / "downgrade.log"
    code = prefix.msiexec("/i", prefix.windows(lower), log=log)
    text = read_log(log)
    checks.check("upgrade: installing " + args.version + " over " + higher_v + " is refused", is_install_failure(code),
                 code)
    # Windows logs the condition's message; Wine's msiexec logs only that
    # LaunchConditions failed.  The message is the package's own either way.
    message = "A newer version of QLX native messaging host is already installed"
    conditions = subprocess.run(["msiinfo", "export", str(lower), "LaunchCondition"], capture_output=True).stdout
    checks.check("upgrade: the package refuses with its message", message in conditions.decode(), conditions)
    checks.check("upgrade: the log says why",
                 message in text or "LaunchConditions. Return value 3" in text
                 or "LaunchConditions. Return value 0" in text, text[-2000:])
    products = installed_products(prefix, layout)
    checks.check("upgrade: still one product, " + higher_v,
                 len(products) == 1 and products[0][1].get("DisplayVersion") == higher_v, products)
    check_uninstall(checks, prefix, layout, args, higher, "upgraded")


def read_log(log):
    data = log.read_bytes() if log.is_file() else b""
    if data.startswith(b"\xff\xfe") or data[1:2] == b"\x00":
        return data.decode("utf-16-le", "replace")
    return data.decode("utf-8", "replace")


def case_repair(args, prefix, checks, scratch):
    package = package_file(args, "machine")
    chosen = prefix.path / "drive_c" / "Tools" / "Manager"
    layout = Layout(prefix, "machine", install_dir=chosen)
    code = prefix.msiexec("/i", prefix.windows(package), "INSTALLDIR=" + prefix.windows(chosen) + "\\")
    checks.check("repair: install into INSTALLDIR=C:\\Tools\\Manager exits 0", code == 0, code)
    check_installed(checks, prefix, layout, args, args.version, "INSTALLDIR")
    host = chosen / "qlx-native-host.exe"
    original = snapshot(host)
    host.unlink()
    code = prefix.msiexec("/fa", prefix.windows(package))
    if code != 0:
        # Wine 8's msiexec /f finds no product for a package (1605) and
        # repairs nothing for a product code: ask for the same repair (every
        # file again) through the properties that /fa sets.
        print("note: Wine's msiexec /fa exits %d; repairing with REINSTALL=ALL REINSTALLMODE=a" % code)
        code = prefix.msiexec("/i", prefix.windows(package), "REINSTALL=ALL", "REINSTALLMODE=a")
    checks.check("repair: the repair exits 0", code == 0, code)
    checks.check("repair: the host is back, the same bytes", original is not None and snapshot(host) == original)
    reply, exit_code, errors = ping(prefix, host)
    checks.check("repair: the repaired host answers ping",
                 reply == expected_ping(args.version) and exit_code == 0 and errors == "", (reply, exit_code, errors))
    check_uninstall(checks, prefix, layout, args, package, "repair")

    # An install that fails half-way, after it wrote the registry: a folder
    # stands where the host's file belongs.
    failing = Layout(prefix, "machine", install_dir=prefix.path / "drive_c" / "Blocked")
    (failing.install_dir / "qlx-native-host.exe").mkdir(parents=True)
    log = scratch / "failed.log"
    code = prefix.msiexec("/i", prefix.windows(package), "INSTALLDIR=" + prefix.windows(failing.install_dir) + "\\",
                          log=log)
    text = read_log(log)
    checks.check("failed install: exits 1603", is_install_failure(code), code)
    checks.check("failed install: the log tells the actions it ran", "WriteRegistryValues" in text, text[-2000:])
    for key in failing.keys(bool(args.firefox_addon_id)) + [failing.hive + "\\SOFTWARE\\Velmont"]:
        checks.check("failed install: rolled back " + key, prefix.reg_values(key) is None)
    checks.check("failed install: nothing in Installed apps", installed_products(prefix, failing) == [])
    checks.check("failed install: no file left beside the blocking folder",
                 sorted(p.name for p in failing.install_dir.iterdir()) == ["qlx-native-host.exe"])


def openssl(*arguments, cwd):
    subprocess.run(["openssl", *arguments], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(folder):
    """A throw-away CA, and a code-signing certificate that it issued, as a
    password-protected PKCS#12 file; the password in a file of its own."""
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=QLX test CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "signer.key", "-out", "signer.csr",
            "-subj", "/CN=Velmont test signer/O=Velmont", cwd=folder)
    (folder / "signer.ext").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                       "extendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-in", "signer.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-out", "signer.pem", "-days", "2", "-extfile", "signer.ext", cwd=folder)
    (folder / "password").write_text("throw-away password\n")
    openssl("pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem", "-certfile", "ca.pem",
            "-out", "signer.p12", "-passout", "file:password", cwd=folder)
    return folder / "signer.p12", folder / "password", folder / "ca.pem"


def sign(args, file, pkcs12, password):
    subprocess.run(["cmake", "-DFILE=" + str(file), "-DPKCS12=" + str(pkcs12), "-DPASSWORD_FILE=" + str(password),
                    "-P", str(args.source_dir / "cmake" / "sign.cmake")], check=True)


def verify(file, ca):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", str(ca), "-in", str(file)],
                          capture_output=True).returncode == 0


def case_signing(args, prefix, checks, scratch):
    pkcs12, password, ca = make_certificates(scratch)
    bin_dir = scratch / "signed-bin"
    bin_dir.mkdir()
    for name in ("qlx-native-host.exe", "qlx-host-register.exe"):
        shutil.copyfile(args.build_dir / "bin" / name, bin_dir / name)
        if args.strip:
            subprocess.run([args.strip, str(bin_dir / name)], check=True)
        sign(args, bin_dir / name, pkcs12, password)
    host = bin_dir / "qlx-native-host.exe"
    checks.check("signing: the signed host verifies against the CA", verify(host, ca))
    reply, code, errors = ping(prefix, host)
    checks.check("signing: the signed host answers ping",
                 reply == expected_ping(args.version) and code == 0 and errors == "", (reply, code, errors))
    flipped = scratch / "flipped.exe"
    data = bytearray(host.read_bytes())
    data[len(data) // 3] ^= 0x01
    flipped.write_bytes(bytes(data))
    checks.check("signing: one flipped byte fails verification", not verify(flipped, ca))

    package = make_package(args, "machine", args.version, scratch, bin_dir=bin_dir, sign=(pkcs12, password))
    checks.check("signing: the signed MSI verifies against the CA", verify(package, ca))
    code = prefix.msiexec("/i", prefix.windows(package))
    checks.check("signing: the signed MSI installs", code == 0, code)
    layout = Layout(prefix, "machine")
    installed = layout.install_dir / "qlx-native-host.exe"
    checks.check("signing: the installed host is the signed one", verify(installed, ca))
    reply, code, errors = ping(prefix, installed)
    checks.check("signing: the installed host answers ping",
                 reply == expected_ping(args.version) and code == 0 and errors == "", (reply, code, errors))
    code = prefix.msiexec("/x", prefix.windows(package))
    checks.check("signing: the signed MSI uninstalls", code == 0, code)


CASES = {
    "per-machine": lambda args, prefix, checks, scratch: case_install(args, prefix, checks, "machine"),
    "per-user": lambda args, prefix, checks, scratch: case_install(args, prefix, checks, "user"),
    "upgrade": case_upgrade,
    "repair": case_repair,
    "signing": case_signing,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", type=Path, required=True)
    parser.add_argument("--source-dir", type=Path)
    parser.add_argument("--version")
    parser.add_argument("--case", choices=sorted(CASES))
    parser.add_argument("--make-prefix", action="store_true")
    parser.add_argument("--firefox-addon-id", default="")
    parser.add_argument("--strip")
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    args.build_dir = args.build_dir.resolve()
    base = args.build_dir / "msi-tests" / "base-prefix"
    if args.make_prefix:
        return make_prefix(base)
    if not prefix_ready(base) and make_prefix(base) != 0:
        return 1
    args.source_dir = args.source_dir.resolve()
    case_dir = args.build_dir / "msi-tests" / args.case
    shutil.rmtree(case_dir, ignore_errors=True)
    case_dir.mkdir(parents=True)
    checks = Checks()
    started = time.monotonic()
    prefix = Prefix(base, case_dir / "prefix")
    try:
        scratch = case_dir / "scratch"
        scratch.mkdir()
        CASES[args.case](args, prefix, checks, scratch)
    except Exception:
        traceback.print_exc()
        checks.failed += 1
    finally:
        prefix.stop()
        print("%s: %d failed, %.1f s" % (args.case, checks.failed, time.monotonic() - started))
        if not args.keep:
            shutil.rmtree(case_dir, ignore_errors=True)
    return 0 if checks.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
