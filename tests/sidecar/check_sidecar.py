"""Validates recording sidecars against the published JSON Schema (python3-jsonschema).

Usage: check_sidecar.py SCHEMA SIDECAR...; exits 1 naming the first sidecar that does not fit.
"""
import json
import sys

import jsonschema


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    validator = jsonschema.Draft202012Validator(schema)
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
