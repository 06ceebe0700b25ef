"""A small JSON-RPC client of velmora rpc: one session that creates a root object, loads a project,
changes and saves it, generates it with a question answered, and meets the errors (a bad path,
a failing member, a released handle). Prints one line per check; exit 1 on the first mismatch."""
import json
import subprocess
import sys

velmora, project, dest = sys.argv[1:4]
proc = subprocess.Popen([velmora, "rpc", "--question-timeout", "5"], stdin=subprocess.PIPE,
                        stdout=subprocess.PIPE, text=True, encoding="utf-8")
notifications, questions, next_id = [], [], 0


def request(method, **params):
    """Sends a request and returns its response, answering questions and keeping notifications."""
    global next_id
    next_id += 1
    proc.stdin.write(json.dumps({"jsonrpc": "2.0", "id": next_id, "method": method, "params": params}) + "\n")
    proc.stdin.flush()
    while True:
        message = json.loads(proc.stdout.readline())
        if message.get("method") == "question":
            questions.append(message["params"])
            answer = "overwrite" if "overwrite" in message["params"]["answers"] else message["params"]["default"]
            proc.stdin.write(json.dumps({"jsonrpc": "2.0", "id": message["id"], "result": answer}) + "\n")
            proc.stdin.flush()
        elif "id" not in message:
            notifications.append(message)
        elif message["id"] == next_id:
            return message


def check(name, expected, actual):
    if expected != actual:
        print(f"FAIL {name}: expected {expected!r} got {actual!r}")
        sys.exit(1)
    print(f"ok {name}")


p = request("create", **{"class": "AGP"})["result"]
check("create", "AGP", p["class"])
h = p["handle"]
check("load", True, request("call", handle=h, path="Load", args=[project, False])["result"])
check("get-path", "orders", request("get", handle=h, path='DB.Tables.Item("orders").TblName')["result"])
check("set", None, request("set", handle=h, path='DB.Tables.Item("orders").TblCaption', value="Open orders")["result"])
check("set-read-back", "Open orders", request("get", handle=h, path='DB.Tables.Item("orders").tblcaption')["result"])
table = request("get", handle=h, path='DB.Tables.Item("orders")')["result"]
check("object-handle", "AGPTable", table["class"])
check("save", True, request("call", handle=h, path="Save", args=[project])["result"])
check("destination", None, request("set", handle=h, path="Destination", value=dest)["result"])
generated = request("call", handle=h, path="GenScript", args=[])
check("generate", None, generated.get("error"))
check("question-asked", True, any(q["id"] == "overwrite-file" for q in questions))
check("status-notified", True, any(n["method"] == "status" for n in notifications))
check("progress-notified", True, any(n["method"] == "progress" for n in notifications))
summary = json.loads(request("call", handle=h, path="GenSummary", args=[])["result"])
check("generated-files", True, summary["created"] + summary["updated"] > 0)
bad = request("get", handle=h, path="DB.Tablez.Count")
check("bad-path", -32602, bad["error"]["code"])
failed = request("call", handle=h, path="Load", args=["/nonexistent/x.vlp", False])
check("failure-code", -32000, failed["error"]["code"])
check("failure-projerr", True, "Load Project File failed" in failed["error"]["data"]["ProjErr"])
check("release", True, request("release", handle=table["handle"])["result"])
check("released-handle", -32001, request("get", handle=table["handle"], path="TblName")["error"]["code"])
check("unknown-method", -32601, request("frobnicate")["error"]["code"])
parser = request("create", **{"class": "AGParser"})["result"]["handle"]
request("call", handle=parser, path="Parse", args=["a<!--## x ##-->b"])
check("helper-object", 3, request("get", handle=parser, path="Count")["result"])
check("unknown-class", -32602, request("create", **{"class": "Nope"})["error"]["code"])
proc.stdin.close()
check("exit", 0, proc.wait(timeout=30))
