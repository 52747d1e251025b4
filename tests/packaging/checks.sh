# Shared by the packaging tests: collects every failed check, so one run shows
# all that is wrong, and removes the scratch directory at the end.
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Tools that only some machines have are skipped with a note, not failed.
have() {
  command -v "$1" >/dev/null 2>&1 || { echo "SKIP: $1 is not installed" >&2; return 1; }
}

# The files below a directory, as sorted relative paths with their modes.
listing() {
  (cd "$1" && find . \( -type f -o -type l \) -printf '%m %P\n' | sort -k2)
}

# Compares what is there with what should be, line by line.
same_lines() { # what expected-file actual-file
  if ! diff -u "$2" "$3" >"$scratch/diff"; then
    fail "$1 differs (- expected, + found):"
    sed -n '3,$p' "$scratch/diff" >&2
  fi
}

finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
