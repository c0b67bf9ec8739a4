"""Python's standard xmlrpc.client as the independent other side of the XML-RPC value tests.

respond [ascii]: reads Python expressions, one per line, and writes for each the method response
  that xmlrpc.client.dumps makes of it, the documents separated by NUL bytes. With "ascii" every
  non-ASCII character becomes a numeric character reference.
load: reads method-call documents separated by NUL bytes and prints, one line each, ascii() of
  the (method name, parameters) that xmlrpc.client.loads gives.
"""
import datetime
import sys
import xmlrpc.client


def respond(ascii_only):
    documents = []
    for line in sys.stdin.read().splitlines():
        if not line.strip():
            continue
        value = eval(line, {"datetime": datetime, "Binary": xmlrpc.client.Binary})
        text = xmlrpc.client.dumps((value,), methodresponse=True)
        if ascii_only:
            documents.append(text.encode("ascii", "xmlcharrefreplace"))
        else:
            documents.append(text.encode("utf-8"))
    sys.stdout.buffer.write(b"\0".join(documents))


def load():
    for document in sys.stdin.buffer.read().split(b"\0"):
        params, method = xmlrpc.client.loads(document, use_builtin_types=True)
        print(ascii((method, params)))


if __name__ == "__main__":
    if sys.argv[1] == "respond":
        respond(len(sys.argv) > 2 and sys.argv[2] == "ascii")
    else:
        load()
