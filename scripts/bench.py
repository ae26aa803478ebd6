#!/usr/bin/env python3
"""Installs one generated payload with our installer and with an NSIS peer
under Wine, alternating, and writes the comparison to bench/results.md.

Run through scripts/bench.sh (it builds the tools and provides the Wine prefix,
the persistent wineserver and the X display). Options:
  --size MB      payload size in 1,000,000 bytes (repeatable; default 300)
  --close-delay MS  also install with the simulated scanner adding MS
                 milliseconds to every close of a written file (repeatable;
                 0 is the plain run, always made)
  --seed N       payload seed (default 1)
  --runs N       measured runs per installer after one warm-up (default 5)
  --no-profile   skip the profiled runs
  --nice N       run the installers and this prefix's wineserver at this
                 priority (e.g. -5 on a machine busy with other work; root only)
  --upgrade MB   the upgrade part: version 1 fresh, the same again, then a
                 version with 5% of its files changed (repeatable; without
                 --size only this part runs)
"""
import argparse
import filecmp
import hashlib
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "bench" / "work"
RESULTS = ROOT / "bench" / "results.md"
WINE = "/usr/lib/wine/wine64"
TIME = "/usr/bin/time"
MKSETUP = ROOT / "dist" / "linux" / "mksetup"
STUB = ROOT / "dist" / "win64" / "Setup.exe"
LANGUAGE = ROOT / "examples" / "morvane" / "Setup.lng"
BENCHGEN = ROOT / "build" / "bench-native" / "benchgen"
BENCHINFLATE = ROOT / "build" / "bench-native" / "benchinflate"
WRITEFLOOR = ROOT / "build" / "bench-win64" / "writefloor.exe"
SCANNER = ROOT / "build" / "bench-native" / "libscanner_delay.so"
INSTALL_TIMEOUT = 1800
PRIORITY = 0  # set by --nice

PACKAGE = r"""action=path,PgmPath=*Programs*\SetupBench\,Registry=SetupBench\Product,Version=1.0,Lng=EN,"MyStartMenu=*StartMenu*\SetupBench\"
action=savedir,Source=payload,Filename=*PgmPath*\
action=uninst,pgm=*PgmPath*\uninstall.exe,param=/uninst,"name=SetupBench Product",Publisher=Bench
action=icon,file=*PgmPath*\Program.exe,"lnk=*MyStartMenu*\SetupBench Product.lnk"
"""

# The peer: NSIS with its 64-bit Unicode stub and per-file zlib streams,
# installing the same tree with an uninstaller, an uninstall entry and one
# shortcut in the common start menu, as ours does.
PEER_SCRIPT = r"""Unicode true
Target amd64-unicode
SetCompressor zlib
Name "SetupBench Product"
OutFile "peer.exe"
InstallDir "$PROGRAMFILES64\SetupBench"
RequestExecutionLevel admin
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\SetupBench Peer"
Section "Main"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "payload/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "SetupBench Product"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Bench"
  CreateDirectory "$SMPROGRAMS\SetupBench"
  CreateShortcut "$SMPROGRAMS\SetupBench\SetupBench Product.lnk" "$INSTDIR\Program.exe"
SectionEnd
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\SetupBench\SetupBench Product.lnk"
  RMDir "$SMPROGRAMS\SetupBench"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  RMDir /r "$INSTDIR"
SectionEnd
"""


def log(message):
    print(f"bench: {message}", flush=True)


def fail(message):
    print(f"bench: {message}", file=sys.stderr, flush=True)
    sys.exit(1)


def wine_prefix():
    prefix = os.environ.get("WINEPREFIX")
    if not prefix or not Path(prefix, "system.reg").is_file():
        fail("no Wine prefix: run this through scripts/bench.sh")
    return Path(prefix)


def wine_env(close_delay_ms=0, close_log=None):
    env = dict(os.environ)
    if close_delay_ms:
        # The simulated scanner (bench/src/scanner_delay.cpp) in the Windows
        # process: every close of a file written there waits close_delay_ms.
        env["LD_PRELOAD"] = str(SCANNER)
        env["SETUP_BENCH_CLOSE_DELAY_MS"] = str(close_delay_ms)
        if close_log:
            env["SETUP_BENCH_CLOSE_LOG"] = str(close_log)
    env["WINEDEBUG"] = "-all"
    # Without winemenubuilder, which Wine's shell starts for every shortcut
    # it saves and no Windows has.
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d")
    return env


def windows_path(linux_path):
    """Z: is the whole Linux file system in a Wine prefix."""
    return "Z:" + str(Path(linux_path).resolve()).replace("/", "\\")


def file_digest(paths):
    digest = hashlib.sha256()
    for path in paths:
        digest.update(Path(path).read_bytes() if Path(path).is_file() else str(path).encode())
    return digest.hexdigest()[:16]


def run(command, **kwargs):
    return subprocess.run(command, check=True, **kwargs)


# ---------------------------------------------------------------- payload and packing

def generate_payload(size_dir, size_mb, seed):
    tree = size_dir / "payload"
    if tree.exists():
        shutil.rmtree(tree)
    start = time.perf_counter()
    out = run([str(BENCHGEN), "--seed", str(seed), "--size", str(size_mb), "--out", str(tree)],
              capture_output=True, text=True).stdout
    summary = json.loads(out.strip().splitlines()[-1])
    summary["seconds"] = time.perf_counter() - start
    summary["largest_file"] = max(p.stat().st_size for p in tree.rglob("*") if p.is_file())
    log(f"payload: {summary['files']} files, {summary['bytes'] / 1e6:.0f} MB in {summary['seconds']:.1f} s")
    return tree, summary


def pack(size_dir, summary):
    """Builds both installers; each is kept while its inputs are unchanged."""
    (size_dir / "bench.pkg").write_text(PACKAGE.replace("\n", "\r\n"), encoding="ascii")
    (size_dir / "peer.nsi").write_text(PEER_SCRIPT, encoding="ascii")
    payload_key = json.dumps({k: summary[k] for k in ("seed", "files", "bytes")}) + file_digest([BENCHGEN])
    nsis_version = run(["makensis", "-VERSION"], capture_output=True, text=True).stdout.strip()
    jobs = [
        ("ours", size_dir / "ours.exe",
         payload_key + file_digest([MKSETUP, STUB, LANGUAGE, size_dir / "bench.pkg"]),
         [str(MKSETUP), "build", "bench.pkg", "-o", "ours.exe", "--stub", str(STUB), "--lang", str(LANGUAGE),
          "--jobs", "2", "--quiet"]),
        ("peer", size_dir / "peer.exe",
         payload_key + nsis_version + file_digest([size_dir / "peer.nsi"]),
         ["makensis", "-V2", "peer.nsi"]),
    ]
    packing = {}
    for name, output, key, command in jobs:
        stamp = output.with_suffix(".key")
        if output.is_file() and stamp.is_file() and stamp.read_text() == key:
            log(f"{output.name}: unchanged, kept")
            packing[name] = json.loads((output.with_suffix(".packtime")).read_text())
            if not isinstance(packing[name], dict):  # written before peak memory was kept
                packing[name] = {"wall_s": packing[name], "peak_kb": 0}
            continue
        log(f"packing {output.name}")
        output.unlink(missing_ok=True)
        packing[name] = timed_native(command, size_dir, f"pack-{name}")
        if name == "ours":
            same_whatever_the_jobs(command, size_dir, output)
        output.with_suffix(".packtime").write_text(json.dumps(packing[name]))
        stamp.write_text(key)
    run([str(MKSETUP), "verify", "ours.exe"], cwd=size_dir, stdout=subprocess.DEVNULL)
    return packing


def timed_native(command, folder, label):
    """Wall time and peak memory of a native command."""
    report = WORK / f"time-{label}.txt"
    start = time.perf_counter()
    run([TIME, "-v", "-o", str(report)] + command, cwd=folder, stdout=subprocess.DEVNULL)
    measured = parse_time_report(report.read_text())
    return {"wall_s": time.perf_counter() - start, "peak_kb": measured["peak_kb"]}


def same_whatever_the_jobs(command, folder, output):
    """The packer's output must not depend on its thread count: the payload is
    packed again with 1 and 4 threads and compared byte for byte."""
    for jobs in ("1", "4"):
        other = output.with_name(f"ours-jobs{jobs}.exe")
        variant = [other.name if part == output.name else part for part in command]
        variant[variant.index("--jobs") + 1] = jobs
        log(f"packing {other.name} to compare")
        run(variant, cwd=folder, stdout=subprocess.DEVNULL)
        same = filecmp.cmp(output, other, shallow=False)
        other.unlink()
        if not same:
            fail(f"{output.name} packed with --jobs {jobs} differs from the one packed with --jobs 2")


# ---------------------------------------------------------------- measuring under Wine

def wineserver_pid(prefix):
    """The persistent wineserver of this prefix: it works in a folder named
    after the prefix's device and inode."""
    info = os.stat(prefix)
    server_dir = f"server-{info.st_dev:x}-{info.st_ino:x}"
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if (entry / "comm").read_text().startswith("wineserver") and \
                    os.readlink(entry / "cwd").endswith(server_dir):
                return int(entry.name)
        except OSError:
            continue
    return None


def cpu_seconds(pid):
    if pid is None:
        return 0.0
    try:
        fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def parse_time_report(text):
    values = {}
    for line in text.splitlines():
        key, _, value = line.strip().rpartition(": ")
        values[key] = value
    return {
        "peak_kb": int(values.get("Maximum resident set size (kbytes)", "0")),
        "user_s": float(values.get("User time (seconds)", "0")),
        "sys_s": float(values.get("System time (seconds)", "0")),
    }


def timed_wine(command, label, prefix, profile_to=None, close_delay_ms=0):
    """Runs a Windows program under /usr/bin/time -v; wall time around it.
    With close_delay_ms, under the simulated scanner; "delayed_closes" then
    counts the closes it delayed."""
    close_log = WORK / f"closes-{label}.txt"
    close_log.unlink(missing_ok=True)
    report = WORK / f"time-{label}.txt"
    full = [TIME, "-v", "-o", str(report), WINE] + command
    if PRIORITY:
        full = ["nice", "-n", str(PRIORITY)] + full
    if profile_to:
        full = ["perf", "record", "-q", "-g", "-o", str(profile_to)] + full
    server = wineserver_pid(prefix)
    server_cpu = cpu_seconds(server)
    start = time.perf_counter()
    result = subprocess.run(full, env=wine_env(close_delay_ms, close_log), capture_output=True, text=True,
                            timeout=INSTALL_TIMEOUT)
    wall = time.perf_counter() - start
    measured = parse_time_report(report.read_text()) if report.is_file() else {}
    measured.update(wall_s=wall, exit=result.returncode, stdout=result.stdout, stderr=result.stderr,
                    wineserver_s=cpu_seconds(server) - server_cpu)
    if close_delay_ms:
        measured["delayed_closes"] = delayed_closes(close_log.read_text() if close_log.is_file() else "")
    return measured


def delayed_closes(log_text):
    """The simulated scanner appends "PID COUNT" for every process it was in."""
    return sum(int(line.split()[1]) for line in log_text.splitlines() if len(line.split()) == 2)


def drive_c(prefix):
    return prefix / "drive_c"


def clear_target(prefix, name):
    target = drive_c(prefix) / "bench" / name
    if target.exists():
        shutil.rmtree(target)
    return target


# How long ext4 (without a journal, as here) keeps a deleted inode from being
# reused: until then every file creation in its block group steps over it,
# which made each install pay for the files the run before it had deleted.
INODE_REUSE_DELAY_S = 65


def clear_bench_folder(prefix):
    """Every install of a size goes into a folder of its own that stays until
    all of them are done; what earlier sizes or runs left is removed first, and
    the runs wait until its inodes may be reused."""
    folder = drive_c(prefix) / "bench"
    if folder.exists() and any(folder.iterdir()):
        shutil.rmtree(folder)
        os.sync()
        log(f"removed earlier installs; waiting {INODE_REUSE_DELAY_S} s until their inodes are free for reuse")
        time.sleep(INODE_REUSE_DELAY_S)
    folder.mkdir(parents=True, exist_ok=True)


def check_room_for_installs(prefix, size_mb, runs):
    """ours, the peer and the write floor, each warm-up, runs and profile."""
    needed = size_mb * 1e6 * 3 * (runs + 2) * 1.1
    free = shutil.disk_usage(drive_c(prefix)).free
    if free < needed + 2e9:
        fail(f"{size_mb} MB with {runs} runs keeps {needed / 1e9:.1f} GB of installs until its runs are done; "
             f"only {free / 1e9:.1f} GB are free")


def check_install(target, payload, exact):
    """Every payload file must be there with its size (or its bytes when exact)."""
    missing = []
    for source in payload.rglob("*"):
        if not source.is_file():
            continue
        installed = target / source.relative_to(payload)
        if not installed.is_file() or installed.stat().st_size != source.stat().st_size or \
                (exact and installed.read_bytes() != source.read_bytes()):
            missing.append(str(source.relative_to(payload)))
    if missing:
        fail(f"{target} lacks {len(missing)} payload files or has them wrong, e.g. {missing[:3]}")
    if not (target / "uninstall.exe").is_file():
        fail(f"{target} has no uninstall.exe")


def install_run(kind, installer, prefix, payload, index, exact=False, profile_to=None, close_delay_ms=0):
    name = f"{kind}-{index}" if not close_delay_ms else f"{kind}-{index}-scan{close_delay_ms}"
    target = clear_target(prefix, name)
    (drive_c(prefix) / "bench").mkdir(exist_ok=True)
    os.sync()  # every run starts with no dirty pages of the one before
    measured = timed_wine([str(installer), "/S", f"/D=C:\\bench\\{name}"], name, prefix, profile_to, close_delay_ms)
    if measured["exit"] != 0:
        fail(f"{kind} install {index} ended with {measured['exit']}: {measured['stderr'].strip()[-500:]}")
    check_install(target, payload, exact)
    return measured


def floor_run(prefix, payload, index):
    name = f"floor-{index}"
    target = clear_target(prefix, name)
    (drive_c(prefix) / "bench").mkdir(exist_ok=True)
    os.sync()
    measured = timed_wine([str(WRITEFLOOR), windows_path(payload), f"C:\\bench\\{name}"], name, prefix)
    if measured["exit"] != 0:
        fail(f"write floor run {index} ended with {measured['exit']}: {measured['stderr'].strip()}")
    lines = [line for line in measured["stdout"].splitlines() if line.startswith("{")]
    measured.update(json.loads(lines[-1]))
    check_install_floor(target, payload)
    return measured


def check_install_floor(target, payload):
    expected = sum(1 for p in payload.rglob("*") if p.is_file())
    written = sum(1 for p in target.rglob("*") if p.is_file())
    if written != expected:
        fail(f"the write floor wrote {written} of {expected} files")


def baseline_runs(prefix, count=3):
    runs = [timed_wine([str(WRITEFLOOR), "--baseline"], f"baseline-{i}", prefix) for i in range(count)]
    for measured in runs:
        if measured["exit"] != 0 or "baseline" not in measured["stdout"]:
            fail(f"the empty program did not run: exit {measured['exit']}, {measured['stderr'].strip()}")
    return runs


# ---------------------------------------------------------------- profile

def profile_summary(data_file, limit=8):
    """Share of samples per program and library (perf report by comm and dso)."""
    try:
        out = subprocess.run(["perf", "report", "-i", str(data_file), "--stdio", "--no-children",
                              "--sort", "comm,dso", "-g", "none", "--percent-limit", "1"],
                             capture_output=True, text=True, timeout=300).stdout
    except (OSError, subprocess.TimeoutExpired):
        return []
    rows = []
    for line in out.splitlines():
        match = re.match(r"\s*([\d.]+)%\s+(\S+)\s+(.+?)\s*$", line)
        if match:
            rows.append((float(match.group(1)), match.group(2), match.group(3)))
    return rows[:limit]


def profile_wineserver(prefix, data_file):
    pid = wineserver_pid(prefix)
    if pid is None:
        return None
    return subprocess.Popen(["perf", "record", "-q", "-g", "-p", str(pid), "-o", str(data_file)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def profiled_runs(size_dir, prefix, payload):
    if not shutil.which("perf"):
        return None
    profiles = {}
    for kind in ("ours", "peer"):
        own = size_dir / f"perf-{kind}.data"
        server_file = size_dir / f"perf-{kind}-wineserver.data"
        server = profile_wineserver(prefix, server_file)
        time.sleep(0.5)
        try:
            install_run(kind, size_dir / f"{kind}.exe", prefix, payload, "profile", profile_to=own)
        finally:
            if server:
                server.send_signal(signal.SIGINT)
                server.wait(timeout=60)
        profiles[kind] = {"installer": profile_summary(own), "wineserver": profile_summary(server_file)}
    return profiles


# ---------------------------------------------------------------- results

def stats(values):
    return {"min": min(values), "median": statistics.median(values), "max": max(values)}


def scanner_runs(installers, prefix, payload, runs, delay_ms):
    """The same installs under the simulated scanner, alternating."""
    samples = {"ours": [], "peer": []}
    for index in range(runs):
        order = ["ours", "peer"] if index % 2 == 0 else ["peer", "ours"]
        for kind in order:
            samples[kind].append(install_run(kind, installers[kind], prefix, payload, index, close_delay_ms=delay_ms))
        log(f"scanner {delay_ms} ms, run {index + 1}/{runs}: " + ", ".join(
            f"{k} {samples[k][-1]['wall_s']:.2f} s ({samples[k][-1]['delayed_closes']} closes delayed)"
            for k in ("ours", "peer")))
    return {kind: {"wall": stats([r["wall_s"] for r in samples[kind]]),
                   "delayed_closes": statistics.median(r["delayed_closes"] for r in samples[kind])}
            for kind in samples}


def measure_size(size_mb, seed, runs, profile, prefix, close_delays=()):
    size_dir = WORK / f"s{size_mb}"
    size_dir.mkdir(parents=True, exist_ok=True)
    payload, summary = generate_payload(size_dir, size_mb, seed)
    pack_times = pack(size_dir, summary)

    log("inflating in memory")
    inflate = json.loads(run([str(BENCHINFLATE), "--installer", str(size_dir / "ours.exe"), "--payload",
                              str(payload), "--repeat", "3"], capture_output=True, text=True).stdout)

    load_before = os.getloadavg()[0]
    installers = {"ours": size_dir / "ours.exe", "peer": size_dir / "peer.exe"}
    samples = {"ours": [], "peer": [], "floor": []}
    clear_bench_folder(prefix)
    scanner_delays = [d for d in close_delays if d > 0]
    check_room_for_installs(prefix, size_mb, runs * (1 + len(scanner_delays)))
    log("warm-up: one install each, checked byte for byte")
    for kind, installer in installers.items():
        install_run(kind, installer, prefix, payload, "warmup", exact=True)
    floor_run(prefix, payload, "warmup")
    for index in range(runs):
        order = ["ours", "peer"] if index % 2 == 0 else ["peer", "ours"]
        for kind in order:
            samples[kind].append(install_run(kind, installers[kind], prefix, payload, index))
        samples["floor"].append(floor_run(prefix, payload, index))
        log(f"run {index + 1}/{runs}: " + ", ".join(
            f"{k} {samples[k][-1]['wall_s']:.2f} s" for k in ("ours", "peer", "floor")))
    scanner = {str(d): scanner_runs(installers, prefix, payload, runs, d) for d in scanner_delays}
    baseline = baseline_runs(prefix)
    profiles = profiled_runs(size_dir, prefix, payload) if profile else None

    result = {
        "size_mb": size_mb, "seed": seed, "runs": runs, "payload": summary, "pack": pack_times, "scanner": scanner,
        "inflate": inflate,
        "installers": {}, "floor": {},
        "baseline": {"wall": stats([b["wall_s"] for b in baseline]),
                     "peak_kb": max(b["peak_kb"] for b in baseline)},
        "profiles": profiles,
        "load": [load_before, os.getloadavg()[0]],
        "nice": PRIORITY,
        "machine": machine_facts(),
    }
    for kind in ("ours", "peer"):
        runs_of = samples[kind]
        result["installers"][kind] = {
            "bytes": installers[kind].stat().st_size,
            "wall": stats([r["wall_s"] for r in runs_of]),
            "peak_kb": stats([r["peak_kb"] for r in runs_of]),
            "user_s": statistics.median(r["user_s"] for r in runs_of),
            "sys_s": statistics.median(r["sys_s"] for r in runs_of),
            "wineserver_s": statistics.median(r["wineserver_s"] for r in runs_of),
        }
    floor = samples["floor"]
    result["floor"] = {
        "write": stats([r["write_s"] for r in floor]),
        "read": statistics.median(r["read_s"] for r in floor),
        "wall": stats([r["wall_s"] for r in floor]),
        "files": floor[0]["files"], "folders": floor[0]["folders"],
        "wineserver_s": statistics.median(r["wineserver_s"] for r in floor),
    }
    (size_dir / "results.json").write_text(json.dumps(result, indent=1))
    return result


# The share of files an upgrade changes, and how: every 20th file, half of
# them with other bytes of the same size, half grown by 100 bytes.
UPGRADE_EVERY = 20


def make_upgrade_payload(v1_tree, v2_dir):
    """Version 2: a copy of version 1 with every UPGRADE_EVERY-th file changed."""
    tree = v2_dir / "payload"
    if tree.exists():
        shutil.rmtree(tree)
    shutil.copytree(v1_tree, tree)
    files = sorted(p for p in tree.rglob("*") if p.is_file())
    changed = files[::UPGRADE_EVERY]
    for index, path in enumerate(changed):
        data = bytearray(path.read_bytes())
        if index % 2 == 0:
            for i in range(min(64, len(data))):
                data[i] ^= 0xFF
        else:
            data += b"v2" * 50
        path.write_bytes(bytes(data))
    return tree, len(files), len(changed)


def measure_upgrade(size_mb, seed, runs, prefix):
    """Each installer: version 1 into a fresh folder, the same again, then
    version 2 over it; ours and the peer alternate."""
    base = WORK / f"upgrade{size_mb}"
    dirs = {"v1": base / "v1", "v2": base / "v2"}
    for folder in dirs.values():
        folder.mkdir(parents=True, exist_ok=True)
    payload1, summary = generate_payload(dirs["v1"], size_mb, seed)
    payload2, file_count, changed = make_upgrade_payload(payload1, dirs["v2"])
    summary2 = dict(summary, seed=f"{seed}-upgrade", bytes=sum(p.stat().st_size for p in payload2.rglob("*")
                                                                if p.is_file()))
    pack(dirs["v1"], summary)
    pack(dirs["v2"], summary2)
    payloads = {"v1": payload1, "v2": payload2}

    load_before = os.getloadavg()[0]
    clear_bench_folder(prefix)
    check_room_for_installs(prefix, size_mb, runs)
    steps = (("fresh", "v1"), ("same", "v1"), ("upgrade", "v2"))
    samples = {kind: {step: [] for step, _ in steps} for kind in ("ours", "peer")}
    for index in ["warmup"] + list(range(runs)):
        order = ["ours", "peer"] if index == "warmup" or index % 2 == 0 else ["peer", "ours"]
        for kind in order:
            name = f"up-{kind}-{index}"
            target = clear_target(prefix, name)
            for step, version in steps:
                os.sync()
                installer = dirs[version] / f"{kind}.exe"
                measured = timed_wine([str(installer), "/S", f"/D=C:\\bench\\{name}"], f"{name}-{step}", prefix)
                if measured["exit"] != 0:
                    fail(f"{kind} {step} {index} ended with {measured['exit']}: {measured['stderr'].strip()[-500:]}")
                check_install(target, payloads[version], exact=index == "warmup")
                if index != "warmup":
                    samples[kind][step].append(measured["wall_s"])
        if index != "warmup":
            log(f"upgrade run {index + 1}/{runs}: " + ", ".join(
                f"{k} {'/'.join(f'{samples[k][s][-1]:.2f}' for s, _ in steps)} s" for k in ("ours", "peer")))
    result = {"size_mb": size_mb, "seed": seed, "runs": runs, "files": file_count, "changed": changed,
              "payload": summary, "load": [load_before, os.getloadavg()[0]], "nice": PRIORITY,
              "machine": machine_facts(),
              "wall": {kind: {step: stats(values) for step, values in by_step.items()}
                       for kind, by_step in samples.items()}}
    (base / "results.json").write_text(json.dumps(result, indent=1))
    return result


def render_upgrade(r):
    w = r["wall"]
    lines = [f"## Upgrade: {r['size_mb']} MB payload (seed {r['seed']})", ""]
    lines.append(f"Version 1 ({r['files']:,} files) into a fresh folder, the same installer again over it, then "
                 f"version 2, which changes {r['changed']:,} files ({r['changed'] / r['files']:.1%}: every "
                 f"{UPGRADE_EVERY}th, half with other bytes of the same size, half 100 bytes longer), over that. "
                 f"Both installers the same way, alternating, {r['runs']} measured runs after one warm-up "
                 f"(checked byte for byte). Our installer in its default form (per-file zlib pieces in one zlib "
                 f"stream); the peer is NSIS with zlib, which rewrites every file. Machine: {r['machine']['cpu']}, "
                 f"{r['machine']['cores']} cores, {r['machine']['wine']}; load average {r['load'][0]:.1f} before and "
                 f"{r['load'][1]:.1f} after (the machine is shared)"
                 + (f"; installers and wineserver at priority {r['nice']}." if r.get("nice") else "."))
    lines.append("")
    lines.append("| step | ours min | ours median | ours max | peer min | peer median | peer max | ours / peer (median) |")
    lines.append("|---|---:|---:|---:|---:|---:|---:|---:|")
    labels = {"fresh": "fresh install", "same": "identical reinstall", "upgrade": "upgrade (5% changed)"}
    for step, label in labels.items():
        o, q = w["ours"][step], w["peer"][step]
        lines.append(f"| {label} | {o['min']:.2f} s | {o['median']:.2f} s | {o['max']:.2f} s | {q['min']:.2f} s "
                     f"| {q['median']:.2f} s | {q['max']:.2f} s | **{o['median'] / q['median']:.2f}** |")
    lines.append("")
    same = w["ours"]["same"]["median"] / w["peer"]["same"]["median"]
    upgrade = w["ours"]["upgrade"]["median"] / w["peer"]["upgrade"]["median"]
    lines.append("| target (zlib form) | ours | met |")
    lines.append("|---|---:|---|")
    lines.append(f"| identical reinstall at most 0.3 x the peer's | {same:.2f} | {'yes' if same <= 0.3 else 'no'} |")
    lines.append(f"| 5% upgrade at most 0.4 x the peer's | {upgrade:.2f} | {'yes' if upgrade <= 0.4 else 'no'} |")
    lines.append("")
    return "\n".join(lines)


def machine_facts():
    cpu = "unknown CPU"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    wine = subprocess.run([WINE, "--version"], capture_output=True, text=True).stdout.strip()
    return {"cpu": cpu, "cores": os.cpu_count(), "wine": wine}


def mb(value):
    return f"{value / 1e6:,.1f} MB"


def readable_dso(dso):
    if dso.startswith("[JIT]"):
        return "program code in anonymous memory (the PE image, no symbols)"
    if dso == "[kernel.kallsyms]":
        return "Linux kernel"
    return dso


def render_size(r):
    ours, peer = r["installers"]["ours"], r["installers"]["peer"]
    p = r["payload"]
    largest = p["largest_file"]
    lines = [f"## {r['size_mb']} MB payload (seed {r['seed']})", ""]
    lines.append(f"{p['files']:,} files, {mb(p['bytes'])}: text-like {p['text_files']:,} files "
                 f"({mb(p['text_bytes'])}), random binaries {p['binary_files']:,} ({mb(p['binary_bytes'])}), "
                 f"small files {p['small_files']:,} ({mb(p['small_bytes'])}); largest file {mb(largest)}. "
                 f"Machine: {r['machine']['cpu']}, {r['machine']['cores']} cores, {r['machine']['wine']}. "
                 f"{r['runs']} measured runs each after one warm-up, alternating; load average "
                 f"{r['load'][0]:.1f} before and {r['load'][1]:.1f} after (the machine is shared)"
                 + (f"; installers and wineserver at priority {r['nice']}." if r.get("nice") else "."))
    lines.append("")
    lines.append("| installer | file size | of payload | wall min | wall median | wall max | peak memory (median) "
                 "| user CPU | system CPU | wineserver CPU |")
    lines.append("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for label, i in (("ours (mksetup)", ours), ("peer (NSIS zlib)", peer)):
        lines.append(f"| {label} | {mb(i['bytes'])} | {i['bytes'] / p['bytes']:.1%} | {i['wall']['min']:.2f} s "
                     f"| {i['wall']['median']:.2f} s | {i['wall']['max']:.2f} s | {i['peak_kb']['median'] / 1024:.1f} MB "
                     f"| {i['user_s']:.2f} s | {i['sys_s']:.2f} s | {i['wineserver_s']:.2f} s |")
    ratio_size = ours["bytes"] / peer["bytes"]
    ratio_wall = ours["wall"]["median"] / peer["wall"]["median"]
    ratio_peak = ours["peak_kb"]["median"] / peer["peak_kb"]["median"]
    lines.append(f"| **ours / peer** | **{ratio_size:.3f}** | | {ours['wall']['min'] / peer['wall']['min']:.2f} "
                 f"| **{ratio_wall:.2f}** | {ours['wall']['max'] / peer['wall']['max']:.2f} | **{ratio_peak:.2f}** | | | |")
    lines.append("")

    inf, fl = r["inflate"], r["floor"]
    lines.append("Machine limits on the same payload:")
    lines.append("")
    lines.append("| limit | seconds | rate |")
    lines.append("|---|---:|---:|")
    lines.append(f"| inflate our installer's streams in memory (payload section, then each piece; best of 3) "
                 f"| {inf['ours_best_s']:.2f} | {inf['payload_bytes'] / 1e6 / inf['ours_best_s']:.0f} MB/s |")
    lines.append(f"| of which the payload section's stream alone | {inf['outer_best_s']:.2f} "
                 f"| {inf['stream_bytes'] / 1e6 / inf['outer_best_s']:.0f} MB/s |")
    if "perfile_best_s" in inf:
        lines.append(f"| inflate every file's own zlib stream (level 9, as the peer stores them; best of 3) "
                     f"| {inf['perfile_best_s']:.2f} | {inf['perfile_raw_bytes'] / 1e6 / inf['perfile_best_s']:.0f} MB/s |")
    lines.append(f"| write floor: create {fl['folders']:,} folders and write {fl['files']:,} files from memory under "
                 f"Wine (median; min {fl['write']['min']:.2f}, max {fl['write']['max']:.2f}) | {fl['write']['median']:.2f} "
                 f"| {fl['write']['median'] / fl['files'] * 1000:.2f} ms per file |")
    lines.append(f"| start and end of an empty Windows program under Wine (median wall) "
                 f"| {r['baseline']['wall']['median']:.2f} | peak memory {r['baseline']['peak_kb'] / 1024:.1f} MB |")
    floor_total = fl["write"]["median"] + r["baseline"]["wall"]["median"]
    lines.append("")
    pack = r["pack"]
    lines.append(f"Write floor plus process start: {floor_total:.2f} s; peer / that: "
                 f"{peer['wall']['median'] / floor_total:.2f}; ours / that: {ours['wall']['median'] / floor_total:.2f}. "
                 f"Packing took {pack['ours']['wall_s']:.1f} s and {pack['ours']['peak_kb'] / 1024:.0f} MB "
                 f"(mksetup, libdeflate level 12, 2 threads; the same bytes with 1 and 4 threads) and "
                 f"{pack['peer']['wall_s']:.1f} s and {pack['peer']['peak_kb'] / 1024:.0f} MB (makensis): "
                 f"{pack['ours']['wall_s'] / pack['peer']['wall_s']:.2f} x.")
    lines.append("")

    scanner = r.get("scanner") or {}
    if scanner:
        lines.append("With the simulated scanner (`libscanner_delay.so` preloaded into `wine64`: every close of a "
                     "file written by the Windows process waits a fixed time; medians of the same runs, alternating):")
        lines.append("")
        lines.append("| ms per close | ours | peer | ours / peer | closes delayed, ours | peer | "
                     "peer's time over the plain run |")
        lines.append("|---:|---:|---:|---:|---:|---:|---:|")
        lines.append(f"| 0 | {ours['wall']['median']:.2f} s | {peer['wall']['median']:.2f} s "
                     f"| **{ratio_wall:.2f}** | | | |")
        for delay in sorted(scanner, key=float):
            o, q = scanner[delay]["ours"], scanner[delay]["peer"]
            lines.append(f"| {delay} | {o['wall']['median']:.2f} s | {q['wall']['median']:.2f} s "
                         f"| **{o['wall']['median'] / q['wall']['median']:.2f}** | {o['delayed_closes']:,.0f} "
                         f"| {q['delayed_closes']:,.0f} | +{q['wall']['median'] - peer['wall']['median']:.2f} s "
                         f"(closes x delay: {q['delayed_closes'] * float(delay) / 1000:.2f} s) |")
        lines.append("")

    size_target = 0.9 if r["size_mb"] >= 300 else 0.8 if r["size_mb"] <= 3 else 1.0
    memory_bound = 64 * 1024 * 1024 + largest
    bytes_target = 1.10 if r["size_mb"] <= 3 else 0.97
    checks = [
        (f"install wall time at most {size_target} x the peer's", ratio_wall <= size_target, f"{ratio_wall:.2f}"),
        (f"installer size at most {bytes_target} x the peer's", ratio_size <= bytes_target, f"{ratio_size:.3f}"),
        (f"peak memory at most 64 MB + largest file ({mb(memory_bound)})",
         ours["peak_kb"]["max"] * 1024 <= memory_bound, f"{ours['peak_kb']['max'] / 1024:.1f} MB"),
    ]
    if r["size_mb"] >= 300:
        checks.append(("install wall time at most 0.65 x the peer's, no scanner", ratio_wall <= 0.65,
                       f"{ratio_wall:.2f}"))
        if "1" in scanner:
            one = scanner["1"]["ours"]["wall"]["median"] / scanner["1"]["peer"]["wall"]["median"]
            checks.append(("install wall time at most 0.6 x the peer's, 1 ms per close", one <= 0.6, f"{one:.2f}"))
    lines.append("| target | ours | met |")
    lines.append("|---|---:|---|")
    for text, met, value in checks:
        lines.append(f"| {text} | {value} | {'yes' if met else 'no'} |")
    lines.append("")

    if r.get("profiles"):
        lines.append("Profile of one more install each (`perf record -g` on the installer process, and on the "
                     "wineserver at the same time); share of samples by program and library:")
        lines.append("")
        for kind in ("ours", "peer"):
            prof = r["profiles"][kind]
            for part in ("installer", "wineserver"):
                rows = prof[part]
                if rows:
                    text = ", ".join(f"{readable_dso(dso)} {share:.0f}%" + ("" if comm in dso else f" ({comm})")
                                     for share, comm, dso in rows)
                    lines.append(f"- {kind}, {part}: {text}")
        lines.append("")
    return "\n".join(lines)


HEADER = """# Install benchmark: ours against NSIS

Written by `make bench` (`scripts/bench.sh`; the method is in the README). Each
size below is replaced when it is measured again; `BENCH_SIZES="50 300" make bench`
measures both.

How it measures: both installers run unattended (`/S /D=C:\\bench\\...`) under
`wine64` in the prefix `build/wine-bench`, with one persistent wineserver, into
fresh folders; `sync` runs before every install so that none inherits the write-back
of the one before. The installs of a size stay on disk until its runs are done,
and earlier ones are removed a minute before the first: ext4 without a journal (as
here) steps over every inode deleted in the last minute whenever it creates a
file, so deleting one install before the next made each run pay several seconds
for the files of the one before (the wineserver's profile showed it). Wall time is taken around the whole process. Peak memory is the
maximum resident set size from `/usr/bin/time -v` on the `wine64` process: Wine loads
the Windows program into that very process (the wineserver and Wine's services are
separate processes, started before and not its children), so the number is the
installer's own, Wine's libraries included; the line "empty Windows program" gives
that share. The wineserver's CPU time is read from /proc before and after each run.
Every install is checked: every payload file present with its size, byte for byte
in the warm-up run. On a machine busy with other work, `BENCH_NICE=-5` runs the
installers and the wineserver at a higher priority; a section says when it did.
"""


def write_results(new_sections, path=RESULTS):
    """Replaces the sections of the sizes measured now; keeps the others and
    the hand-written notes."""
    sections = {}
    notes = ""
    if path.is_file():
        text = path.read_text()
        for match in re.finditer(r"<!-- (size|upgrade) (\d+) -->\n(.*?)<!-- end \1 \2 -->", text, re.S):
            sections[(match.group(1), int(match.group(2)))] = match.group(3)
        match = re.search(r"<!-- notes -->.*?<!-- end notes -->\n", text, re.S)
        notes = match.group(0) if match else ""
    sections.update(new_sections)
    body = [HEADER]
    if notes:
        body.append(notes)
    for kind, size in sorted(sections):
        body.append(f"<!-- {kind} {size} -->\n{sections[(kind, size)].rstrip()}\n<!-- end {kind} {size} -->\n")
    path.write_text("\n".join(body))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size", type=int, action="append")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--no-profile", action="store_true")
    parser.add_argument("--nice", type=int, default=0)
    parser.add_argument("--close-delay", type=int, action="append", default=[])
    parser.add_argument("--upgrade", type=int, action="append", default=[],
                        help="payload size in MB of the upgrade part (repeatable)")
    args = parser.parse_args()
    sizes = args.size or ([] if args.upgrade else [300])
    if args.runs < 1:
        fail("--runs must be at least 1")
    for tool in (BENCHGEN, BENCHINFLATE, WRITEFLOOR, MKSETUP, STUB) + ((SCANNER,) if any(args.close_delay) else ()):
        if not tool.is_file():
            fail(f"{tool} is missing: run 'make bench'")
    prefix = wine_prefix()
    WORK.mkdir(parents=True, exist_ok=True)
    if args.nice:
        global PRIORITY
        PRIORITY = args.nice
        server = wineserver_pid(prefix)
        if server is None:
            fail("--nice: the prefix's wineserver is not running")
        os.setpriority(os.PRIO_PROCESS, server, args.nice)
    # A new prefix lacks the 32-bit view of the installed-programs list that
    # every 64-bit Windows has; our installer registers itself there.
    subprocess.run([WINE, "reg", "add", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall", "/reg:32",
                    "/f"], env=wine_env(), capture_output=True)
    sections = {}
    for size in sizes:
        log(f"== {size} MB")
        result = measure_size(size, args.seed, args.runs, not args.no_profile, prefix, args.close_delay)
        sections[("size", size)] = render_size(result) + "\n"
        write_results(sections)
        print(sections[("size", size)])
    for size in args.upgrade:
        log(f"== upgrade, {size} MB")
        result = measure_upgrade(size, args.seed, args.runs, prefix)
        sections[("upgrade", size)] = render_upgrade(result) + "\n"
        write_results(sections)
        print(sections[("upgrade", size)])
    shutil.rmtree(drive_c(prefix) / "bench", ignore_errors=True)
    log(f"results in {RESULTS.relative_to(ROOT)}")


if __name__ == "__main__":
    main()
