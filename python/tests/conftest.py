"""The test controller (tests/rpc) as a child process, scripted over its stdin."""
import json
import os
import pathlib
import queue
import subprocess
import sys
import threading

import pytest

sys.path.insert(0, os.path.dirname(__file__))

import pymirt_zorv_sdk as z  # noqa: E402

PASSWORD = "secret"
WAIT_S = 5


def controller_path():
    path = os.environ.get("ZORV_TEST_CONTROLLER")
    if path:
        return path
    build_dir = pathlib.Path(z.__file__).resolve().parent.parent
    return str(build_dir / "tests" / "rpc" / "zorv_test_controller")


class Controller:
    def __init__(self):
        self.proc = subprocess.Popen([controller_path(), "--port", "0", "--password", PASSWORD],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, encoding="utf-8")
        tag, port = self.proc.stdout.readline().split()
        assert tag == "PORT"
        self.port = int(port)
        self.lines = {"REQUEST": queue.Queue(), "LOGIN": queue.Queue(), "OK": queue.Queue()}
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stdout:
            tag, _, text = line.rstrip("\n").partition(" ")
            self.lines[tag].put(text)

    def _next(self, tag):
        try:
            return self.lines[tag].get(timeout=WAIT_S)
        except queue.Empty:
            raise AssertionError(f"controller reported no {tag} within {WAIT_S} s") from None

    def command(self, **cmd):
        self.proc.stdin.write(json.dumps(cmd) + "\n")
        self.proc.stdin.flush()
        assert self._next("OK") == cmd["cmd"]

    def reply(self, method, result):
        """Standing reply {"result": result} of ZorvInterface.<method>."""
        self.command(cmd="set", method="ZorvInterface." + method, reply={"result": result})

    def queue_reply(self, body):
        self.command(cmd="queue", reply=body)

    def queue_raw(self, text):
        self.command(cmd="queue_raw", text=text)

    def close_client(self):
        self.command(cmd="close")

    def next_request_text(self):
        return self._next("REQUEST")

    def next_request(self):
        return json.loads(self.next_request_text())

    def next_login(self):
        return self._next("LOGIN")

    def stop(self):
        self.proc.stdin.close()
        try:
            self.proc.wait(timeout=WAIT_S)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.reader.join(WAIT_S)


@pytest.fixture
def controller():
    peer = Controller()
    yield peer
    peer.stop()


def connected_client(controller):
    client = z.RpcClient()
    client.setLogHandler(lambda level, file, line, message: None)
    client.setRequestTimeout(3000)
    assert client.connect("127.0.0.1", controller.port) == 0
    return client


@pytest.fixture
def client(controller):
    client = connected_client(controller)
    assert client.login("user", PASSWORD) == 0
    controller.next_login()
    yield client
    client.disconnect()
