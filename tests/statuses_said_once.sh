#!/usr/bin/env bash
# The exit statuses are said once, in the program's table: the README's and the manual
# page's lists give the same codes, each with the table's meaning first.
#
#   statuses_said_once.sh OUTCOME_TABLE README MANUAL
#     OUTCOME_TABLE is the program that prints the table; MANUAL is the manual page's source.
set -euo pipefail
readme=$2 manual=$3
table=$(mktemp)
trap 'rm -f "$table"' EXIT
"$1" >"$table"
fault=0

codes() {
  sort -n | tr '\n' ' '
}

want=$(awk -F'\t' '$1 == "status" { print $2 }' "$table" | codes)
# README: "| CODE | MEANING ... |" rows of the table under "## Exit status".
readme_rows=$(awk '/^## Exit status/ { on = 1; next } /^## / { on = 0 } on && /^\| [0-9]+ \|/' "$readme")
# Manual page: ".B CODE" under ".SH EXIT STATUS", the meaning on the next line.
manual_rows=$(awk '/^\.SH EXIT STATUS/ { on = 1; next } /^\.SH / { on = 0 }
  on && /^\.B [0-9]+$/ { code = $2; getline; print code "\t" $0 }' "$manual")
for place in README manual; do
  if [ "$place" = README ]; then
    got=$(sed -n 's/^| \([0-9]*\) |.*/\1/p' <<<"$readme_rows" | codes)
  else
    got=$(cut -f1 <<<"$manual_rows" | codes)
  fi
  if [ "$got" != "$want" ]; then
    echo "the $place lists the statuses $got; the program gives $want"
    fault=1
  fi
done

while IFS=$'\t' read -r kind code meaning; do
  [ "$kind" = status ] || continue
  row=$(grep "^| $code |" <<<"$readme_rows" || true)
  case $row in
    "| $code | $meaning"*) ;;
    *) echo "README, status $code: the meaning is not \"$meaning\": $row"; fault=1 ;;
  esac
  line=$(awk -F'\t' -v code="$code" '$1 == code { print $2 }' <<<"$manual_rows")
  case $line in
    "${meaning^}"*) ;;
    *) echo "manual page, status $code: the meaning is not \"${meaning^}\": $line"; fault=1 ;;
  esac
done <"$table"
exit "$fault"
