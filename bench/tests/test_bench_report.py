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


def result(ours_wall, peer_wall, ours_bytes, peer_bytes, ours_peak_kb, size_mb=50, largest=10_000_000):
    def installer(wall, size, peak):
        return {"bytes": size, "wall": {"min": wall, "median": wall, "max": wall},
                "peak_kb": {"min": peak, "median": peak, "max": peak},
                "user_s": 1.0, "sys_s": 1.0, "wineserver_s": 1.0}
    return {
        "size_mb": size_mb, "seed": 1, "runs": 5, "load": [1.0, 1.0],
        "payload": {"files": 10, "bytes": size_mb * 1_000_000, "text_files": 4, "text_bytes": 1,
                    "binary_files": 3, "binary_bytes": 1, "small_files": 3, "small_bytes": 1,
                    "largest_file": largest},
        "machine": {"cpu": "cpu", "cores": 2, "wine": "wine"},
        "installers": {"ours": installer(ours_wall, ours_bytes, ours_peak_kb),
                       "peer": installer(peer_wall, peer_bytes, 20_000)},
        "inflate": {"ours_best_s": 1.0, "outer_best_s": 0.5, "payload_bytes": 1e8, "stream_bytes": 5e7},
        "floor": {"write": {"min": 1.0, "median": 2.0, "max": 3.0}, "files": 10, "folders": 2},
        "baseline": {"wall": {"min": 0.1, "median": 0.1, "max": 0.1}, "peak_kb": 7000},
        "pack": {"ours": {"wall_s": 1.0, "peak_kb": 30_000}, "peer": {"wall_s": 2.0, "peak_kb": 40_000}},
        "profiles": None,
    }


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
            bench.write_results({("size", 300): "## 300 first\n", ("size", 50): "## 50 first\n",
                                 ("upgrade", 50): "## upgrade 50\n"}, path)
            text = path.read_text()
            path.write_text(text.replace("<!-- size 50 -->",
                                         "<!-- notes -->\nhand-written\n<!-- end notes -->\n\n<!-- size 50 -->", 1))
            bench.write_results({("size", 50): "## 50 second\n"}, path)
            bench.write_results({("size", 50): "## 50 third\n"}, path)
            text = path.read_text()
            self.assertIn("## 300 first", text, "a size not measured now must stay")
            self.assertIn("## 50 third", text)
            self.assertNotIn("## 50 second", text, "the older measurement must go")
            self.assertNotIn("## 50 first", text)
            self.assertEqual(text.count("hand-written"), 1, "notes are kept once")
            self.assertEqual(text.count("<!-- size 50 -->"), 1)
            self.assertLess(text.index("hand-written"), text.index("## 50 third"))
            self.assertLess(text.index("## 50 third"), text.index("## 300 first"), "sizes in ascending order")
            self.assertIn("## upgrade 50", text, "the upgrade part is a section of its own")


class Rendering(unittest.TestCase):
    def test_ratios_are_ours_over_peer_and_targets_are_judged_by_them(self):
        text = bench.render_size(result(ours_wall=9.0, peer_wall=10.0, ours_bytes=96, peer_bytes=100,
                                        ours_peak_kb=50_000, size_mb=50))
        self.assertIn("**0.960**", text, "size ratio ours/peer")
        self.assertIn("**0.90**", text, "median wall ratio ours/peer")
        rows = target_rows(text)
        self.assertEqual(rows["install wall time at most 1.0 x the peer's"], ("0.90", "yes"))
        self.assertEqual(rows["installer size at most 0.97 x the peer's"], ("0.960", "yes"))
        memory = [v for k, v in rows.items() if k.startswith("peak memory")][0]
        self.assertEqual(memory[1], "yes", "50,000 KB is below 64 MB plus a 10 MB file")

    def test_large_payloads_need_the_stricter_time_target_and_misses_are_reported(self):
        text = bench.render_size(result(ours_wall=9.5, peer_wall=10.0, ours_bytes=98, peer_bytes=100,
                                        ours_peak_kb=200_000, size_mb=300, largest=1_000_000))
        rows = target_rows(text)
        self.assertEqual(rows["install wall time at most 0.9 x the peer's"], ("0.95", "no"))
        self.assertEqual(rows["installer size at most 0.97 x the peer's"], ("0.980", "no"))
        memory = [v for k, v in rows.items() if k.startswith("peak memory")][0]
        self.assertEqual(memory, ("195.3 MB", "no"))

    def test_scanner_runs_get_their_own_rows_and_the_small_and_large_sizes_their_targets(self):
        small = result(ours_wall=0.7, peer_wall=1.0, ours_bytes=108, peer_bytes=100, ours_peak_kb=20_000, size_mb=3)
        rows = target_rows(bench.render_size(small))
        self.assertEqual(rows["install wall time at most 0.8 x the peer's"], ("0.70", "yes"))
        self.assertEqual(rows["installer size at most 1.1 x the peer's"], ("1.080", "yes"))

        large = result(ours_wall=6.0, peer_wall=10.0, ours_bytes=96, peer_bytes=100, ours_peak_kb=50_000,
                       size_mb=300)
        large["scanner"] = {"1": {"ours": {"wall": bench.stats([11.0]), "delayed_closes": 9001},
                                  "peer": {"wall": bench.stats([20.0]), "delayed_closes": 9002}}}
        text = bench.render_size(large)
        self.assertIn("| 1 | 11.00 s | 20.00 s | **0.55** | 9,001 | 9,002 | +10.00 s (closes x delay: 9.00 s) |", text)
        rows = target_rows(text)
        self.assertEqual(rows["install wall time at most 0.65 x the peer's, no scanner"], ("0.60", "yes"))
        self.assertEqual(rows["install wall time at most 0.6 x the peer's, 1 ms per close"], ("0.55", "yes"))
        self.assertEqual(bench.delayed_closes("120 94\n121 4\n"), 98)

    def test_statistics_of_runs(self):
        self.assertEqual(bench.stats([3.0, 1.0, 2.0, 10.0, 4.0]), {"min": 1.0, "median": 3.0, "max": 10.0})


if __name__ == "__main__":
    unittest.main()
