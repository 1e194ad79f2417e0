"""Reference counting: many requests leave the process's memory as it was."""
import os
import tracemalloc

import pytest

import norvik


# AddressSanitizer keeps freed memory in quarantine, so the resident size
# says nothing about leaks there.
resident_memory_test = pytest.mark.skipif(os.environ.get("NORVIK_SANITIZED") == "1",
                                          reason="resident memory is not measurable under AddressSanitizer")


def resident_bytes():
    with open("/proc/self/statm") as statm:
        pages = int(statm.read().split()[1])
    return pages * os.sysconf("SC_PAGE_SIZE")


def get_many(unit, count):
    for i in range(count):
        unit.get(1)
        if i % 1000 == 999:
            unit.clear_log()  # the log keeps every row by design


@resident_memory_test
def test_100000_gets_do_not_grow_the_process(demo):
    with demo.open(device=0, unit=0) as unit:
        get_many(unit, 10000)  # warm-up: allocator pools, caches
        before = resident_bytes()
        get_many(unit, 100000)
        grown = resident_bytes() - before
    # A leaked bytes object of the 16-byte control per GET would be ~5 MB.
    assert grown < 1 << 20, grown


@resident_memory_test
def test_failures_do_not_leak_their_exceptions(demo):
    with demo.open(device=0, unit=0) as unit:
        def fail_many(count):
            for _ in range(count):
                with pytest.raises(norvik.Error):
                    unit.length(9)
        fail_many(2000)
        before = resident_bytes()
        fail_many(20000)
        grown = resident_bytes() - before
    assert grown < 1 << 20, grown


def test_calls_keep_no_python_objects_alive(bench):
    """Python's own allocations, traced: this holds under AddressSanitizer too."""
    with bench.open(device=0, unit=0) as unit:
        def calls():
            unit.get(1)
            unit.set(1, b"\x01\x02")
            unit.set(1, "text")
            unit.length(1)
            with pytest.raises(norvik.Error):
                unit.length(9)  # raised at once; a refused GET is retried after 200 ms
            assert len(unit.log[-1].cells) == 6
            unit.clear_log()

        for _ in range(200):
            calls()
        tracemalloc.start()
        try:
            before = tracemalloc.get_traced_memory()[0]
            for _ in range(2000):
                calls()
            grown = tracemalloc.get_traced_memory()[0] - before
        finally:
            tracemalloc.stop()
    # A leaked bytes, str or exception per call would be hundreds of KB.
    assert grown < 16 << 10, grown
