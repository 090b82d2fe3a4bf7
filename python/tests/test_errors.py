"""Library failures as RuntimeError with the status code behind errorCode()."""
import pytest

import pymirt_zorv_sdk as z
from conftest import connected_client


def test_not_connected_is_runtime_error_minus_one():
    client = z.RpcClient()
    client.setLogHandler(lambda *record: None)
    with pytest.raises(RuntimeError, match="^RPC client has not connected$"):
        client.getRunningInfo()
    assert client.errorCode() == -1
    assert client.hasConnected() is False and client.hasLogined() is False


def test_not_logged_in_is_minus_two(controller):
    client = connected_client(controller)
    with pytest.raises(RuntimeError, match="^RPC client has not logined$"):
        client.get_agv_details()
    assert client.errorCode() == -2


@pytest.mark.parametrize("error, code, text", [
    ({"code": -32601, "message": "M"}, -10, "ZorvInterface.getNavInfo--32601: M"),
    ({"code": -32602, "message": "bad"}, -11, "ZorvInterface.getNavInfo--32602: bad"),
    ({"code": -32000, "message": "srv"}, -13, "ZorvInterface.getNavInfo--32000: srv"),
    ("plain", -12, "ZorvInterface.getNavInfo--32603: plain"),
])
def test_json_rpc_errors_carry_method_and_cause(client, controller, error, code, text):
    controller.queue_reply({"error": error})
    with pytest.raises(RuntimeError) as raised:
        client.getNavInfo()
    assert str(raised.value) == text
    assert client.errorCode() == code
    controller.reply("cancelNavigation", 0)
    assert client.cancelNavigation() == 0
    assert client.errorCode() == code


def test_result_of_the_wrong_type_is_minus_fourteen(client, controller):
    controller.queue_reply({"result": "zero"})
    with pytest.raises(RuntimeError, match="type must be number, but is "):
        client.saveMap(z.Header())
    assert client.errorCode() == -14


def test_reply_with_a_stale_id_times_out(client, controller):
    client.setRequestTimeout(200)
    controller.queue_raw('{"id":"not-the-request","jsonrpc":"2.0","result":0}')
    with pytest.raises(RuntimeError, match=r"^RPC request timeout\.$"):
        client.restartAgv()
    assert client.errorCode() == -6


def test_exception_free_mode_returns_placeholders(client, controller):
    assert client.setExceptionFree(enable=True) == 0
    controller.queue_reply({"error": {"code": -32601, "message": "M"}})
    headers = client.getMapList()
    assert len(headers) == 6 and all(h.error_code == -1 for h in headers)
    assert client.errorCode() == -10
    controller.queue_reply({"error": {"code": -32600, "message": "M"}})
    assert client.isObstacleAhead() is True
    assert client.errorCode() == -9
    controller.queue_reply({"error": {"code": -32600, "message": "M"}})
    assert client.getScriptStatus() == z.ScriptRuntimeState.STOPPED


def test_connect_failure_is_a_status_and_a_bad_address_raises():
    client = z.RpcClient()
    client.setLogHandler(lambda *record: None)
    import socket
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    assert client.connect("127.0.0.1", port) == -8
    with pytest.raises((RuntimeError, ValueError)):
        client.connect("not an address", 1)


def test_refused_login_is_a_timeout(controller):
    client = connected_client(controller)
    client.setRequestTimeout(200)
    with pytest.raises(RuntimeError, match=r"^RPC request timeout\.$"):
        client.login("user", "wrong")


def test_constructor_takes_no_arguments():
    with pytest.raises(TypeError):
        z.RpcClient(1)
    assert isinstance(z.RpcClient(), z.RpcClient)
