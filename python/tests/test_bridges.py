"""Connection events and log records delivered into Python callables."""
import gc
import threading
import weakref

import pytest

import pymirt_zorv_sdk as z
from conftest import PASSWORD, connected_client

PREFIX = "Python callback threw an exception: "


def test_disconnect_delivers_event_one_before_returning(controller):
    client = connected_client(controller)
    seen = []
    assert client.setEventHandler(lambda code: seen.append(code)) is None
    assert client.disconnect() == 0
    assert seen == [1]


def test_event_runs_on_the_thread_that_called_into_the_library(controller):
    client = connected_client(controller)
    seen = []
    client.setEventHandler(lambda code: seen.append((code, threading.get_ident())))
    worker = threading.Thread(target=client.disconnect)
    worker.start()
    worker.join(5)
    assert seen == [(1, worker.ident)]


def test_lost_connection_is_reported_by_the_failing_call(client, controller):
    seen = []
    client.setEventHandler(seen.append)
    controller.close_client()
    with pytest.raises(RuntimeError):
        client.getAgvLogMessage()
    assert client.errorCode() < 0
    assert client.hasConnected() is False
    assert seen and set(seen) == {1}


def test_destroying_a_connected_client_delivers_a_last_event(controller):
    client = connected_client(controller)
    seen = []
    client.setEventHandler(seen.append)
    del client
    gc.collect()
    assert seen == [1]


def test_non_callable_handler_is_reported_on_stderr_and_swallowed(controller, capfd):
    client = connected_client(controller)
    client.setEventHandler(42)
    assert client.disconnect() == 0
    err = capfd.readouterr().err
    assert err.startswith(PREFIX)
    assert "TypeError" in err


def test_raising_handler_prints_one_line_per_event_and_raises_nothing(controller, capfd):
    client = connected_client(controller)

    def handler(code):
        raise ValueError(f"bad event {code}")

    client.setEventHandler(handler)
    for _ in range(2):
        assert client.disconnect() == 0
        assert client.connect("127.0.0.1", controller.port) == 0
    err = capfd.readouterr().err
    assert err.count(PREFIX + "ValueError: bad event 1") == 2


def test_the_client_owns_its_handler_until_it_is_replaced(controller):
    client = connected_client(controller)

    class Handler:
        def __call__(self, code):
            pass

    first = Handler()
    ref = weakref.ref(first)
    client.setEventHandler(first)
    del first
    gc.collect()
    assert ref() is not None
    client.setEventHandler(lambda code: None)
    gc.collect()
    assert ref() is None


def test_log_handler_receives_level_file_line_and_message(controller):
    client = z.RpcClient()
    records = []
    client.setLogHandler(lambda *record: records.append(record))
    assert client.connect("127.0.0.1", controller.port) == 0
    assert (3, "rpc.cpp", 147, "SDK INTERFACE VERSION: 4000") in records
    assert all(isinstance(level, int) and isinstance(file, str) and isinstance(line, int) and isinstance(msg, str)
               for level, file, line, msg in records)
    client.login("user", PASSWORD)


def test_none_keeps_the_log_handler_and_a_raising_one_is_swallowed(controller, capfd):
    client = z.RpcClient()
    records = []
    client.setLogHandler(lambda *record: records.append(record))
    client.setLogHandler(None)
    client.logout()
    assert records and records[-1][3] == "RPC Client logout"

    def failing(level, file, line, message):
        raise KeyError("log")

    client.setLogHandler(failing)
    assert client.logout() == 0
    assert capfd.readouterr().err.startswith(PREFIX + "KeyError")
