#!/usr/bin/env python3
"""How much masking hides that is no card number.

Generates messages of a text dialect whose only card numbers are in field 2 (amounts, dates,
trace and reference numbers, original data elements in field 90, free text with digits in 48,
account numbers in 102), runs `iso8583 check --json` on them with and without masking, and
counts the digits of the other fields that masking replaced, in the values as shown and in
their hex. The same is counted for any definition and hex file given as extra pairs.

    bench/mask_cost.py TOOL [MESSAGES] [DEF HEXFILE]...
"""
import json
import os
import random
import subprocess
import sys
import tempfile

DIALECT = """NAME= Mask cost
MTI_Enc= CHAR
BMP_Enc= HEX
LEN_Enc= CHAR
NUM_Enc= CHAR
CHR_Enc= ASCII
BIN_Enc= HEX
FIELD=   0;    B;  16; 0; N;
FIELD=   1;    B;  16; 0; N;
FIELD=   2;    N;  19; 2; N; Primary account number
FIELD=   3;    N;   6; 0; N; Processing code
FIELD=   4;    N;  12; 0; N; Amount
FIELD=   7;    N;  10; 0; N; Transmission date and time
FIELD=  11;    N;   6; 0; N; Trace number
FIELD=  12;    N;   6; 0; N; Local time
FIELD=  13;    N;   4; 0; N; Local date
FIELD=  32;    N;  11; 2; N; Acquirer id
FIELD=  37;   AN;  12; 0; N; Retrieval reference number
FIELD=  41;  ANS;   8; 0; N; Terminal id
FIELD=  42;  ANS;  15; 0; N; Merchant id
FIELD=  43;  ANS;  40; 0; N; Name and location
FIELD=  48;  ANS; 999; 3; N; Additional data
FIELD=  49;    N;   3; 0; N; Currency
FIELD=  90;    N;  42; 0; N; Original data elements
FIELD= 102;  ANS;  28; 2; N; Account 1
MSG=0200;00000000000000000000000000000000;F23C000000000000000000000000000;Request
"""

# Fields that hold card data (chip data holds a card number among its data objects).
CARD_FIELDS = {2, 34, 35, 36, 45, 52, 55}


def digits(rng, n):
    return "".join(rng.choice("0123456789") for _ in range(n))


def luhn_complete(stem):
    for check in "0123456789":
        number = stem + check
        total = 0
        for i, c in enumerate(reversed(number)):
            d = int(c)
            if i % 2:
                d = d * 2 - 9 if d * 2 > 9 else d * 2
            total += d
        if total % 10 == 0:
            return number
    raise AssertionError


def message(rng):
    names = ["ACME HAPPY STORE", "CAFE DE PARIS 12", "SUPERMARKET 24/7", "FUEL STATION 0042"]
    fields = {
        2: luhn_complete(rng.choice("3456") + digits(rng, 14)),
        3: "000000",
        4: digits(rng, 12),
        7: "12%02d%s" % (rng.randint(1, 28), digits(rng, 6)),
        11: digits(rng, 6),
        12: digits(rng, 6),
        13: "12%02d" % rng.randint(1, 28),
        32: digits(rng, rng.randint(6, 11)),
        37: digits(rng, 12),
        41: "TERM%s" % digits(rng, 4),
        42: "MERCHANT%s" % digits(rng, 7),
        43: ("%-22s%-13sUS " % (rng.choice(names), "NEW YORK"))[:40].ljust(40),
        48: "REF%s TRACE %s" % (digits(rng, rng.randint(8, 24)), digits(rng, 10)),
        49: "840",
        90: "0200" + digits(rng, 6) + digits(rng, 10) + digits(rng, 11).zfill(11) +
        digits(rng, 11).zfill(11),
        102: digits(rng, rng.randint(10, 20)),
    }
    lengths = {2: 2, 32: 2, 48: 3, 102: 2}
    bitmap = 1 << 127  # the secondary bitmap follows
    body = ""
    for n in sorted(fields):
        bitmap |= 1 << (128 - n)
        value = fields[n]
        prefix = str(len(value)).zfill(lengths[n]) if n in lengths else ""
        body += prefix + value
    return ("0200" + "%032X" % bitmap + body).encode().hex().upper()


def run(tool, definition, hexfile, mask):
    args = [tool, "check", "--hex", "--json"] + ([] if mask else ["--no-mask"])
    out = subprocess.run(args + [definition, hexfile], capture_output=True, check=False).stdout
    return [json.loads(line) for line in out.decode().splitlines()]


def count(tool, definition, hexfile):
    shown = {"value": [0, 0], "hex": [0, 0]}
    for masked, plain in zip(run(tool, definition, hexfile, True),
                             run(tool, definition, hexfile, False)):
        for mf, pf in zip(masked.get("fields", []), plain.get("fields", [])):
            if pf["number"] in CARD_FIELDS:
                continue
            for key in shown:
                for m, p in zip(mf[key], pf[key]):
                    if p.isdigit():
                        shown[key][0] += 1
                        shown[key][1] += m == "*"
    return shown


def report(name, shown):
    for key, (total, hidden) in shown.items():
        share = 100.0 * hidden / total if total else 0.0
        print("%s: %s digits outside card numbers: %d, masked %d (%.2f %%)" %
              (name, key, total, hidden, share))


def main():
    tool = sys.argv[1]
    count_messages = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    rng = random.Random(8583)
    with tempfile.TemporaryDirectory() as work:
        definition = os.path.join(work, "text.pro")
        hexfile = os.path.join(work, "messages.hex")
        with open(definition, "w") as f:
            f.write(DIALECT)
        with open(hexfile, "w") as f:
            for _ in range(count_messages):
                f.write(message(rng) + "\n")
        report("generated", count(tool, definition, hexfile))
    extra = sys.argv[3:]
    for definition, hexfile in zip(extra[::2], extra[1::2]):
        report(os.path.basename(hexfile), count(tool, definition, hexfile))


if __name__ == "__main__":
    main()
