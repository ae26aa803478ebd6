"""Tests of the benchmark driver's parsing and reporting (scripts/bench.py).
Run: python3 -m unittest discover -s bench/tests"""
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts"))
import bench  # noqa: E402

TIME_REPORT = """\tCommand being timed: "/usr/lib/wine/wine64 ours.exe /S /D=C:\\bench\\ours-0"
\tUser time (seconds): 46.66
\tSystem time (seconds): 3.05
\tPercent of CPU this job got: 57%
\tElapsed (wall clock) time (h:mm:ss or m:ss): 1:27.19
\tMaximum resident set size (kbytes): 667034
\tExit status: 0
"""


def result(walls, sizes, peaks=None, size=50, largest=10_000_000, forms=("lzma", "zlib")):
    """walls and sizes: per installer kind (ours-lzma, nsis-lzma, ours-zlib, nsis-zlib)."""
    def installer(kind):
        wall, peak = walls[kind], (peaks or {}).get(kind, 20_000)
        return {"bytes": sizes[kind], "wall": {"min": wall, "median": wall, "max": wall},
                "peak_kb": {"min": peak, "median": peak, "max": peak},
                "user_s": 1.0, "sys_s": 1.0, "wineserver_s": 1.0}
    total = 100_000_000 if size == bench.REAL else size * 1_000_000
    kinds = [k for f in forms for k in bench.PAIRS[f]]
    return {
        "size": size, "size_mb": total / 1e6, "seed": 1, "runs": 5, "load": [1.0, 1.0], "forms": list(forms),
        "payload": {"files": 10, "bytes": total, "text_files": 4, "text_bytes": 1, "binary_files": 3,
                    "binary_bytes": 1, "small_files": 3, "small_bytes": 1, "largest_file": largest},
        "machine": {"cpu": "cpu", "cores": 2, "wine": "wine"},
        "installers": {kind: installer(kind) for kind in kinds},
        "sizes": dict(sizes),
        "inflate": {"ours_best_s": 1.0, "payload_bytes": 1e8, "perfile_best_s": 2.0, "perfile_raw_bytes": 1e8},
        "floor": {"write": {"min": 1.0, "median": 2.0, "max": 3.0}, "files": 10, "folders": 2},
        "baseline": {"wall": {"min": 0.1, "median": 0.1, "max": 0.1}, "peak_kb": 7000},
        "pack": {kind: {"wall_s": 1.0, "peak_kb": 30_000, "cpu_s": 1.0} for kind in sizes},
        "profiles": None,
    }


SIZES = {"ours-lzma": 96, "nsis-lzma": 100, "ours-zlib": 210, "nsis-zlib": 200}


def target_rows(text):
    rows = {}
    for line in text.splitlines():
        cells = [c.strip() for c in line.strip("|").split("|")]
        if len(cells) == 3 and cells[2] in ("yes", "no"):
            rows[cells[0]] = (cells[1], cells[2])
    return rows


class TimeReport(unittest.TestCase):
    def test_reads_peak_memory_and_cpu_times_and_tolerates_missing_lines(self):
        parsed = bench.parse_time_report(TIME_REPORT)
        self.assertEqual(parsed["peak_kb"], 667034)
        self.assertAlmostEqual(parsed["user_s"], 46.66)
        self.assertAlmostEqual(parsed["sys_s"], 3.05)
        self.assertEqual(bench.parse_time_report(""), {"peak_kb": 0, "user_s": 0.0, "sys_s": 0.0})

    def test_windows_paths_go_through_drive_z(self):
        self.assertEqual(bench.windows_path("/work/a b/c, d"), "Z:\\work\\a b\\c, d")


class ResultsFile(unittest.TestCase):
    def test_a_measured_size_replaces_only_its_own_section_and_notes_stay(self):
        with tempfile.TemporaryDirectory() as folder:
            path = Path(folder) / "results.md"
            bench.write_results({300: "## 300 first\n", "50_desktop": "## 50 held\n", 50: "## 50 first\n",
                                 "real": "## real\n", "upgrade 50zlib": "## upgrade 50\n"}, path)
            text = path.read_text()
            path.write_text(text.replace("<!-- size 50 -->",
                                         "<!-- notes -->\nhand-written\n<!-- end notes -->\n\n<!-- size 50 -->", 1))
            bench.write_results({50: "## 50 second\n"}, path)
            bench.write_results({50: "## 50 third\n"}, path)
            text = path.read_text()
            self.assertIn("## 300 first", text, "a size not measured now must stay")
            self.assertIn("## 50 third", text)
            self.assertNotIn("## 50 second", text, "the older measurement must go")
            self.assertNotIn("## 50 first", text)
            self.assertEqual(text.count("hand-written"), 1, "notes are kept once")
            self.assertEqual(text.count("<!-- size 50 -->"), 1)
            self.assertLess(text.index("hand-written"), text.index("## 50 third"))
            self.assertLess(text.index("## 50 third"), text.index("## 300 first"), "sizes in ascending order")
            self.assertLess(text.index("## real"), text.index("## 50 third"), "the real payload first")
            self.assertLess(text.index("## 50 third"), text.index("## 50 held"), "a held-desktop run after its size")
            self.assertLess(text.index("## 50 held"), text.index("## 300 first"))
            self.assertLess(text.index("## 300 first"), text.index("## upgrade 50"), "the upgrade parts last")
            self.assertEqual(text.count("<!-- upgrade 50zlib -->"), 1, "the upgrade part is a section of its own")


class Rendering(unittest.TestCase):
    def test_each_form_is_judged_against_nsis_in_the_same_form(self):
        walls = {"ours-lzma": 3.0, "nsis-lzma": 6.0, "ours-zlib": 2.0, "nsis-zlib": 2.5}
        text = bench.render_size(result(walls, SIZES, peaks={"ours-lzma": 120_000}, size=50))
        self.assertIn("**0.960**", text, "size ratio ours lzma / NSIS solid LZMA")
        self.assertIn("**1.050**", text, "size ratio ours zlib / NSIS zlib")
        rows = target_rows(text)
        self.assertEqual(rows["lzma form: size at most 1.0 x NSIS solid LZMA"], ("0.960", "yes"))
        self.assertEqual(rows["lzma form: install time at most 0.6 x NSIS solid LZMA"], ("0.50", "yes"))
        self.assertEqual(rows["zlib form: install time at most 0.65 x NSIS zlib"], ("0.80", "no"))
        memory = {k: v for k, v in rows.items() if "peak memory" in k}
        self.assertEqual([v[1] for k, v in sorted(memory.items())], ["yes", "yes"],
                         "120,000 KB is within 64 MiB + a 50 MB dictionary + a 10 MB file")

    def test_the_real_payload_and_the_small_mix_have_their_own_targets(self):
        walls = {"ours-lzma": 1.3, "nsis-lzma": 2.0, "ours-zlib": 0.7, "nsis-zlib": 1.0}
        rows = target_rows(bench.render_size(result(walls, SIZES, size=bench.REAL)))
        self.assertEqual(rows["lzma form: size at most 0.98 x NSIS solid LZMA"], ("0.960", "yes"))
        self.assertEqual(rows["lzma form: install time at most 0.6 x NSIS solid LZMA"], ("0.65", "no"))
        self.assertEqual(rows["zlib form: install time at most 0.8 x NSIS zlib"], ("0.70", "yes"))
        rows = target_rows(bench.render_size(result(walls, {**SIZES, "ours-lzma": 111}, size=3)))
        self.assertEqual(rows["lzma form: size at most 1.1 x NSIS solid LZMA"], ("1.110", "no"))
        self.assertNotIn("lzma form: install time at most 0.6 x NSIS solid LZMA", rows)

    def test_large_payloads_add_the_scanner_and_packer_targets(self):
        walls = {"ours-zlib": 6.0, "nsis-zlib": 10.0}
        large = result(walls, SIZES, size=300, forms=("zlib",), peaks={"ours-zlib": 200_000}, largest=1_000_000)
        large["pack"]["ours-lzma"]["wall_s"] = 120.0
        large["pack"]["nsis-lzma"]["wall_s"] = 100.0
        large["scanner"] = {"1": {"ours-zlib": {"wall": bench.stats([11.0]), "delayed_closes": 9001},
                                  "nsis-zlib": {"wall": bench.stats([20.0]), "delayed_closes": 9002}}}
        text = bench.render_size(large)
        self.assertIn("| 1 | 11.00 s | 20.00 s | **0.55** | 9,001 | 9,002 |", text)
        rows = target_rows(text)
        self.assertEqual(rows["zlib form: install time at most 0.65 x NSIS zlib"], ("0.60", "yes"))
        self.assertEqual(rows["zlib form, 1 ms per close: install time at most 0.5 x NSIS zlib"], ("0.55", "no"))
        self.assertEqual(rows["packer (lzma form) time at most 1.0 x makensis solid LZMA"], ("1.20", "no"))
        memory = [v for k, v in rows.items() if "peak memory" in k]
        self.assertEqual(memory, [("204.8 MB", "no")])
        self.assertEqual(bench.delayed_closes("120 94\n121 4\n"), 98)

    def test_statistics_and_order_of_runs(self):
        self.assertEqual(bench.stats([3.0, 1.0, 2.0, 10.0, 4.0]), {"min": 1.0, "median": 3.0, "max": 10.0})
        kinds = ["a", "b", "c", "d"]
        orders = [bench.interleaved_order(kinds, i) for i in range(4)]
        self.assertTrue(all(sorted(o) == kinds for o in orders), "every installer once per run")
        self.assertEqual(len({o[0] for o in orders}), 4, "each run begins with another installer")


class RealPayload(unittest.TestCase):
    def test_selection_is_by_name_within_the_size_bounds_and_stops_before_the_total(self):
        mib = 1024 * 1024
        entries = [("b.dll", 7 * mib), ("a.dll", 7 * mib), ("tiny.dll", 299_999), ("huge.dll", 8_000_001),
             ("notes.txt", 1 * mib), ("c.exe", 7 * mib)] + [(f"m{i:02}.dll", 7 * mib) for i in range(20)]
        chosen = bench.real_selection(entries)
        self.assertEqual(chosen[:3], ["a.dll", "b.dll", "c.exe"])
        self.assertNotIn("tiny.dll", chosen)
        self.assertNotIn("huge.dll", chosen)
        self.assertNotIn("notes.txt", chosen)
        self.assertEqual(len(chosen), 14, "14 x 7 MiB fit in 100 MiB, 15 do not")
        self.assertEqual(bench.real_selection(list(reversed(entries))), chosen, "independent of listing order")


if __name__ == "__main__":
    unittest.main()
