#!/usr/bin/env python3
"""What the Python module adds to a GET: 10,000 GETs of the demo's firmware
text control through norvik.Unit.get, against the same GETs through the C++
API (bench_api_get's BM_SessionGet). Prints the median time of one GET on
each side and the difference.

Usage: PYTHONPATH=<build>/python bench/bench_python_get.py <build>/bench/bench_api_get
"""
import json
import statistics
import subprocess
import sys
import time

import norvik

FIRMWARE_UNIT = "{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}"
COUNT = 10000


def python_gets():
    """Median and mean nanoseconds of one unit.get on the demo, and the
    median of one unit.length answered from the cache."""
    with norvik.Machine(sim="demo") as machine, machine.open(FIRMWARE_UNIT) as unit:
        unit.get(1)  # the length probe, once, as the session caches it
        samples = []
        clock = time.perf_counter_ns
        for i in range(COUNT):
            start = clock()
            unit.get(1)
            samples.append(clock() - start)
            # The log grows by a row per GET; kept short as the C++ side keeps it.
            if i % 4096 == 4095:
                unit.clear_log()
        # The same path through the binding without a device request: the
        # cached length of the selector just read.
        probes = []
        for _ in range(COUNT):
            start = clock()
            unit.length(1)
            probes.append(clock() - start)
    return statistics.median(samples), statistics.fmean(samples), statistics.median(probes)


def api_gets(bench_api_get):
    """Median nanoseconds of one Session::Get (the median of five runs)."""
    out = subprocess.run([bench_api_get, "--benchmark_filter=BM_SessionGet", "--benchmark_format=json"],
                         check=True, capture_output=True, text=True).stdout
    runs = [b for b in json.loads(out)["benchmarks"] if b.get("aggregate_name") == "median"]
    return runs[0]["median_ns"]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    python_median, python_mean, cached_median = python_gets()
    api_median = api_gets(sys.argv[1])
    print(f"{COUNT} GETs on the demo, median of one GET:")
    print(f"  C++ API (Session::Get): {api_median / 1000:8.2f} us")
    print(f"  Python (Unit.get):      {python_median / 1000:8.2f} us (mean {python_mean / 1000:.2f} us)")
    print(f"  added by Python:        {(python_median - api_median) / 1000:8.2f} us")
    print(f"  Python call without a request (Unit.length, cached): {cached_median / 1000:.2f} us")


if __name__ == "__main__":
    main()
