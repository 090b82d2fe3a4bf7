#!/usr/bin/python3
"""getRunningInfo round trip through the Python module against the same call from C++.

Both clients talk to one local test controller in this run; the script prints the
median of each and their ratio (goal: Python <= 1.1x C++).

    /usr/bin/python3 bench/bench_python.py [--build-dir build] [--calls 20000]
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

PASSWORD = "bench"


def start_controller(path):
    proc = subprocess.Popen([path, "--port", "0", "--password", PASSWORD, "--no-stdin"],
                            stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
    first = proc.stdout.readline().split()
    if len(first) != 2 or first[0] != "PORT":
        proc.kill()
        sys.exit(f"controller did not report its port: {first}")
    # The controller reports every request; drain it so that it never blocks on a full pipe.
    drain = subprocess.Popen(["cat"], stdin=proc.stdout, stdout=subprocess.DEVNULL)
    return proc, drain, int(first[1])


def python_median_ns(module, port, calls):
    client = module.RpcClient()
    client.setLogHandler(lambda level, file, line, message: None)
    client.setRequestTimeout(2000)
    if client.connect("127.0.0.1", port) != 0:
        sys.exit("connect failed")
    client.login("bench", PASSWORD)
    for _ in range(calls // 10):
        client.getRunningInfo()
    samples = []
    clock = time.perf_counter_ns
    for _ in range(calls):
        start = clock()
        client.getRunningInfo()
        samples.append(clock() - start)
    return statistics.median(samples)


def cpp_median_ns(helper, port, calls):
    out = subprocess.run([helper, str(port), PASSWORD, str(calls)], check=True, capture_output=True, text=True)
    key, value = out.stdout.split()
    assert key == "MEDIAN_NS"
    return int(value)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    parser.add_argument("--calls", type=int, default=20000)
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)
    sys.path.insert(0, os.path.join(build, "python"))
    import pymirt_zorv_sdk

    controller, drain, port = start_controller(os.path.join(build, "tests", "rpc", "zorv_test_controller"))
    try:
        # Alternate the two sides so that drift of the machine's load hits both alike.
        cpp, py = [], []
        for _ in range(3):
            cpp.append(cpp_median_ns(os.path.join(build, "bench", "bench_python_rt"), port, args.calls))
            py.append(python_median_ns(pymirt_zorv_sdk, port, args.calls))
    finally:
        controller.terminate()
        controller.wait()
        drain.wait()
    cpp_ns, py_ns = min(cpp), min(py)
    print(f"getRunningInfo round trip, median of {args.calls} calls (best of 3 runs)")
    print(f"  C++    : {cpp_ns / 1000:8.1f} us")
    print(f"  Python : {py_ns / 1000:8.1f} us")
    print(f"  ratio  : {py_ns / cpp_ns:8.3f}  (goal <= 1.1)")


if __name__ == "__main__":
    main()
