"""Times Python's xmlrpc.client.loads, and expat tokenising without handlers, on reply files.

usage: xmlrpc_loads.py FILE...
Prints one line per file and measure: "<file> <loads|expat> <best seconds> <median seconds>",
each a time per call, from timeit (auto-ranged loop, 7 repeats).
"""
import statistics
import sys
import timeit
import xml.parsers.expat
import xmlrpc.client


def expat_only(data):
    parser = xml.parsers.expat.ParserCreate()
    parser.Parse(data, True)


def measure(function):
    timer = timeit.Timer(function)
    number, _ = timer.autorange()
    runs = [t / number for t in timer.repeat(repeat=7, number=number)]
    return min(runs), statistics.median(runs)


def main():
    for path in sys.argv[1:]:
        with open(path, "rb") as stream:
            data = stream.read()
        xmlrpc.client.loads(data)  # fails loudly if the reply is not well-formed
        for name, function in (("loads", lambda: xmlrpc.client.loads(data)), ("expat", lambda: expat_only(data))):
            best, median = measure(function)
            print(f"{path} {name} {best:.9f} {median:.9f}", flush=True)


if __name__ == "__main__":
    main()
