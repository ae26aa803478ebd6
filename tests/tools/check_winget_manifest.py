#!/usr/bin/env python3
"""Checks a winget installer manifest (ManifestVersion 1.10.0) against the
rules of winget's installer schema: required fields, types, patterns, lengths
and allowed values. Prints every problem and exits 1 when there is one.
usage: check_winget_manifest.py FILE"""
import re
import sys

import yaml

ID_PART = r'[^.\s\\/:*?"<>|\x01-\x1f]{1,32}'
RESPONSES = {"packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse", "missingDependency",
             "diskFull", "insufficientMemory", "invalidParameter", "noNetwork", "contactSupport",
             "rebootRequiredToFinish", "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser",
             "alreadyInstalled", "downgrade", "blockedByPolicy", "systemNotSupported", "custom"}
INSTALLER_TYPES = {"msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn", "pwa", "portable", "font"}
SWITCHES = {"Silent", "SilentWithProgress", "Interactive", "InstallLocation", "Log", "Upgrade", "Custom", "Repair"}
# The root fields this manifest may use (the schema allows no others; listed are those we write).
ROOT = {"PackageIdentifier", "PackageVersion", "InstallerType", "Scope", "InstallModes", "InstallerSwitches",
        "ExpectedReturnCodes", "UpgradeBehavior", "ProductCode", "AppsAndFeaturesEntries", "Installers",
        "ManifestType", "ManifestVersion"}

problems = []


def need(condition, text):
    if not condition:
        problems.append(text)


def string(value, name, low=1, high=None, pattern=None):
    if not isinstance(value, str):
        problems.append(f"{name}: {value!r} is not a string")
        return
    need(len(value) >= low, f"{name}: shorter than {low}")
    need(high is None or len(value) <= high, f"{name}: longer than {high}")
    need(pattern is None or re.fullmatch(pattern, value), f"{name}: {value!r} does not match {pattern}")


def main(path):
    with open(path, encoding="utf-8") as f:
        m = yaml.safe_load(f)
    need(isinstance(m, dict), "the manifest is not a mapping")
    if problems:
        return
    for key in ("PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"):
        need(key in m, f"required field {key} missing")
    need(set(m) <= ROOT, f"unknown fields: {sorted(set(m) - ROOT)}")
    string(m.get("PackageIdentifier"), "PackageIdentifier", high=128, pattern=f"{ID_PART}(\\.{ID_PART}){{1,7}}")
    string(m.get("PackageVersion"), "PackageVersion", high=128, pattern=r'[^\\/:*?"<>|\x01-\x1f]+')
    need(m.get("ManifestType") == "installer", "ManifestType is not installer")
    need(m.get("ManifestVersion") == "1.10.0", f"ManifestVersion {m.get('ManifestVersion')!r} is not 1.10.0")
    if "InstallerType" in m:
        need(m["InstallerType"] in INSTALLER_TYPES, f"InstallerType {m['InstallerType']!r} not allowed")
    if "Scope" in m:
        need(m["Scope"] in ("user", "machine"), f"Scope {m['Scope']!r} not allowed")
    if "InstallModes" in m:
        modes = m["InstallModes"]
        need(isinstance(modes, list) and len(modes) <= 3 and len(set(modes)) == len(modes)
             and set(modes) <= {"interactive", "silent", "silentWithProgress"}, f"InstallModes {modes!r}")
    if "InstallerSwitches" in m:
        switches = m["InstallerSwitches"]
        need(isinstance(switches, dict) and set(switches) <= SWITCHES, f"InstallerSwitches {switches!r}")
        for name, value in (switches or {}).items():
            string(value, f"InstallerSwitches.{name}", high=2048 if name == "Custom" else 512)
    if "ExpectedReturnCodes" in m:
        codes = m["ExpectedReturnCodes"]
        need(isinstance(codes, list) and len(codes) <= 128, "ExpectedReturnCodes is not a list of at most 128")
        for entry in codes or []:
            code = entry.get("InstallerReturnCode") if isinstance(entry, dict) else None
            need(isinstance(code, int) and not isinstance(code, bool) and code != 0
                 and -2**31 <= code < 2**32, f"InstallerReturnCode {code!r}")
            need(isinstance(entry, dict) and entry.get("ReturnResponse") in RESPONSES, f"ReturnResponse in {entry!r}")
    if "UpgradeBehavior" in m:
        need(m["UpgradeBehavior"] in ("install", "uninstallPrevious", "deny"), "UpgradeBehavior not allowed")
    if "ProductCode" in m:
        string(m["ProductCode"], "ProductCode", high=255)
    for entry in m.get("AppsAndFeaturesEntries", []):
        need(isinstance(entry, dict) and set(entry) <= {"DisplayName", "Publisher", "DisplayVersion", "ProductCode",
                                                        "UpgradeCode", "InstallerType"}, f"AppsAndFeaturesEntries {entry!r}")
        for name, high in (("DisplayName", 256), ("Publisher", 256), ("DisplayVersion", 128), ("ProductCode", 255)):
            if name in entry:
                string(entry[name], f"AppsAndFeaturesEntries.{name}", high=high)
    installers = m.get("Installers")
    need(isinstance(installers, list) and 1 <= len(installers) <= 1024, "Installers is not a list of 1 to 1024")
    for installer in installers or []:
        for key in ("Architecture", "InstallerUrl", "InstallerSha256"):
            need(key in installer, f"Installers: required field {key} missing")
        need(installer.get("Architecture") in ("x86", "x64", "arm", "arm64", "neutral"), "Architecture not allowed")
        string(installer.get("InstallerUrl"), "InstallerUrl", high=2048, pattern=r"([Hh][Tt][Tt][Pp][Ss]?)://.+")
        string(installer.get("InstallerSha256"), "InstallerSha256", pattern=r"[A-Fa-f0-9]{64}")
        need("InstallerType" in m or "InstallerType" in installer, "InstallerType missing")


if __name__ == "__main__":
    main(sys.argv[1])
    for problem in problems:
        print(problem)
    sys.exit(1 if problems else 0)
