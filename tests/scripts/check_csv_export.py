#!/usr/bin/env python3
"""Exports a database to CSV and reads every file back with the csv module:
the header names the columns, every record has as many fields, the number
of records equals the rows `quillstone rows` gives, and each field equals
the typed JSON value of the same cell (numbers, booleans as 1/0, NULL as an
empty field, binary as 0x hex)."""
import base64
import csv
import json
import os
import subprocess
import sys
import tempfile


def field_of(value):
    if value is None:
        return ""
    if value is True:
        return "1"
    if value is False:
        return "0"
    return str(value) if not isinstance(value, str) else value


def main():
    csv.field_size_limit(1 << 30)
    cli, database = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as out:
        target = os.path.join(out, "export")
        run = subprocess.run([cli, "export", database, "--out", target, "--format", "csv", "--bom"],
                             capture_output=True, text=True)
        if run.returncode != 0:
            print(run.stdout, run.stderr)
            return 1
        folders = os.listdir(target)
        assert len(folders) == 1, folders
        folder = os.path.join(target, folders[0])
        checked = 0
        for name in sorted(os.listdir(folder)):
            table = name[len("dbo."):-len(".csv")]
            with open(os.path.join(folder, name), newline="", encoding="utf-8-sig") as f:
                records = list(csv.reader(f))
            rows = json.loads(subprocess.run([cli, "rows", database, table, "--format", "json"],
                                             capture_output=True, text=True, check=True).stdout)
            header, body = records[0], records[1:]
            assert len(body) == len(rows), (table, len(body), len(rows))
            for record, row in zip(body, rows):
                assert len(record) == len(header), (table, record)
                assert list(row.keys()) == header, (table, header, list(row.keys()))
                for column, text in zip(header, record):
                    value = row[column]
                    if isinstance(value, str) and text.startswith("0x"):
                        # binary: base64 in JSON, hex in CSV
                        try:
                            expected = "0x" + base64.b64decode(value, validate=True).hex().upper()
                        except ValueError:
                            expected = value
                    elif isinstance(value, float):
                        assert float(text) == value, (table, column, text, value)
                        continue
                    else:
                        expected = field_of(value)
                    assert text == expected, (table, column, text, expected)
            checked += 1
        assert checked >= 9, checked
        print(f"{checked} tables read back")
    return 0


if __name__ == "__main__":
    sys.exit(main())
