"""Requests release the GIL: a hanging control does not stop other threads."""
import threading
import time

import pytest

import norvik
from conftest import BENCH_GUID


def test_a_timed_out_get_lets_other_threads_run(bench):
    unit = bench.open(BENCH_GUID)
    unit.length(4)  # the length probe answers at once
    stop = threading.Event()
    ticks = []

    def other():
        while not stop.is_set():
            ticks.append(time.monotonic())
            time.sleep(0.005)

    worker = threading.Thread(target=other)
    worker.start()
    try:
        started = time.monotonic()
        with pytest.raises(norvik.Error) as timed_out:
            unit.get(4)
        finished = time.monotonic()
    finally:
        stop.set()
        worker.join()
    assert timed_out.value.failure == norvik.Failure.Request
    assert timed_out.value.text.startswith("GET数据失败")
    assert finished - started >= 0.5
    # The other thread went on all the while the request waited.
    during = [t for t in ticks if started <= t <= finished]
    assert len(during) >= 20
    assert max(b - a for a, b in zip(during, during[1:])) < 0.25
    assert unit.log[-1].direct == "GET CS=4" and not unit.log[-1].ok


def test_one_machine_and_unit_per_thread(bench_path):
    errors = []

    def bench_session(index):
        try:
            with norvik.Machine(sim=bench_path) as machine, machine.open(device=0, unit=1) as unit:
                value = bytes([index, 0, 0, 0])
                for _ in range(200):
                    assert unit.set(2, value[:1]) == value
                    assert unit.get(2) == value
                assert len(unit.log) == 400
        except Exception as error:  # reported below, with the thread's index
            errors.append((index, error))

    threads = [threading.Thread(target=bench_session, args=(i + 1,)) for i in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert errors == []


def test_threads_sharing_a_machine_take_turns(bench):
    unit = bench.open(device=0, unit=1)
    results = []

    def reader():
        for _ in range(300):
            results.append(unit.get(1))

    threads = [threading.Thread(target=reader) for _ in range(3)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == [b"xyz"] * 900
    assert [row.line_number for row in unit.log] == list(range(1, 901))
