#!/usr/bin/env bash
# The exit statuses are said once, in the program's table: the README's and the manual
# page's lists give the same codes, each with the table's meaning first.
#
#   statuses_said_once.sh OUTCOME_TABLE README MANUAL
#     OUTCOME_TABLE is the program that prints the table; MANUAL is the manual page's source.
set -euo pipefail
# README: "| CODE | MEANING ... |" rows of the table under "## Exit status".
readme=$(awk '/^## Exit status/ { on = 1; next } /^## / { on = 0 } on && /^\| [0-9]+ \|/' "$2")
# Manual page: ".B CODE" under ".SH EXIT STATUS", the meaning on the next line.
manual=$(awk '/^\.SH EXIT STATUS/ { on = 1; next } /^\.SH / { on = 0 }
  on && /^\.B [0-9]+$/ { code = $2; getline; print "#" code "\t" $0 }' "$3")
fault=0 statuses=0
while IFS=$'\t' read -r kind code meaning; do
  [ "$kind" = status ] || continue
  statuses=$((statuses + 1))
  grep -qF "| $code | $meaning" <<<"$readme" || { echo "README: no status $code, \"$meaning\""; fault=1; }
  grep -qF "#$code	${meaning^}" <<<"$manual" || { echo "manual page: no status $code, \"${meaning^}\""; fault=1; }
done < <("$1")
for place in README manual; do
  listed=$(if [ $place = README ]; then echo "$readme"; else echo "$manual"; fi | wc -l)
  [ "$listed" = "$statuses" ] || { echo "the $place lists $listed statuses; the program gives $statuses"; fault=1; }
done
exit "$fault"
