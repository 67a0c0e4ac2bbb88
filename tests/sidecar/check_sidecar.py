"""Validates recording sidecars against the published JSON Schema (python3-jsonschema), formats
included.

Usage: check_sidecar.py SCHEMA SIDECAR...; exits 1 naming the first sidecar that does not fit.
"""
import datetime
import json
import sys

import jsonschema


def format_checker():
    """The validator's format checks, with date-time checked even where the optional package
    jsonschema needs for it is not installed (Debian 12 has none): it would pass anything."""
    checker = jsonschema.FormatChecker()
    if "date-time" not in checker.checkers:
        @checker.checks("date-time", raises=ValueError)
        def is_date_time(text):
            return not isinstance(text, str) or bool(datetime.datetime.fromisoformat(text))
    return checker


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    validator = jsonschema.Draft202012Validator(schema, format_checker=format_checker())
    for path in sys.argv[2:]:
        with open(path, encoding="utf-8") as f:
            document = json.load(f)
        problem = jsonschema.exceptions.best_match(validator.iter_errors(document))
        if problem is not None:
            print(f"{path}: {problem.message} at {list(problem.absolute_path)}", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
