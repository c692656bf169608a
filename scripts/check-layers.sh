#!/usr/bin/env bash
# The include-direction and cycle check, for tools that look for a shell script.
exec python3 "$(dirname "$0")/check-layers.py" "$@"
