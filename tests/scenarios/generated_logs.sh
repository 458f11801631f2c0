# 300 random logs (NaN, infinities, huge values, early ends) convert as they do in the
# build made here: status, listing, messages and KML.
needs other-build
for n in $(seq 300); do
  echo "random $n" >description
  "$MAKELOG" description "log$n"
done

run kml
expect stdout sample.out

for log in log*; do
  got=0
  kml "$log" "$log.kml" >"$log.out" 2>"$log.err" || got=$?
  expected=0
  "$HERE" "$log" here.kml >here.out 2>here.err || expected=$?
  test "$got" = "$expected" || { echo "$log: status $got, here $expected"; exit 1; }
  for f in kml out err; do
    as_written <"here.$f" | cmp - "$log.$f"
  done
done
