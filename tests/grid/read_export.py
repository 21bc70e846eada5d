# Reads a file the grid saved as CSV or JSON with Python's own readers and
# prints what they got back, one line per record (the JSON keys first), the
# values separated by TAB, each as
#   s<hex of its UTF-8 bytes>   a text
#   n<digits>                   a JSON number, read without losing a digit
#   N                           a JSON null
# Usage: python3 read_export.py csv|json FILE
import csv
import json
import sys
from decimal import Decimal


def shown(value):
    if value is None:
        return "N"
    if isinstance(value, (int, Decimal)):
        return "n" + str(value)
    return "s" + value.encode("utf-8").hex()


kind, path = sys.argv[1], sys.argv[2]
if kind == "csv":
    with open(path, newline="", encoding="utf-8-sig") as file:
        records = list(csv.reader(file))
else:
    with open(path, encoding="utf-8") as file:
        objects = json.load(file, parse_float=Decimal)
    records = [list(objects[0].keys())] + [list(item.values()) for item in objects]
for record in records:
    print("\t".join(shown(value) for value in record))
