#!/bin/sh
# Every option and environment variable a program's --help names is in its manual page.
# man_pages_cover_help.sh MAN_DIR PROGRAM...
set -u
man_dir=$1
shift
status=0
for program in "$@"; do
    page="$man_dir/$(basename "$program").1"
    text=$(sed 's/\\-/-/g' "$page") || exit 1
    for word in $("$program" --help | grep -o -E -- '--[a-z][a-z-]*|TRANVEX_[A-Z_]+' | sort -u); do
        printf '%s\n' "$text" | grep -q -F -w -e "$word" || { echo "$page does not describe $word"; status=1; }
    done
done
[ "$status" -eq 0 ] && echo "covered"
exit "$status"
