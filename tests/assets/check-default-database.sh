#!/bin/sh
# The database the game ships with: every pair passes check without a warning (no difference
# that can't be seen, none left uncovered, none smoother than its surroundings), every level
# holds at least eight pairs and the whole at least 24.
# Usage: check-default-database.sh TAVRELLO_PACK DATABASE
set -eu
pack=$1
database=$2

report=$("$pack" check "$database")
summary=$(printf '%s\n' "$report" | tail -n 1)
case $summary in
*" 0 errors, 0 warnings") ;;
*)
    printf '%s\n' "$report" >&2
    echo "the default database has findings" >&2
    exit 1
    ;;
esac

for level in 1 2 3; do
    count=$("$pack" list "$database" | awk -v level="$level" '$2 == level' | wc -l)
    if [ "$count" -lt 8 ]; then
        echo "level $level has $count pairs; the default database holds at least eight" >&2
        exit 1
    fi
done
total=$("$pack" list "$database" | wc -l)
if [ "$total" -lt 24 ]; then
    echo "the default database holds $total pairs; it holds at least 24" >&2
    exit 1
fi
echo "default database: $summary"
