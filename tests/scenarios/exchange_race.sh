# A text file swapped with the KML again and again while the KML is replaced, 40 times
# over: the notes are never lost, whichever name they are at when a run ends. Each run
# replaces the KML, or refuses what it finds at the path.
needs exchange
cp "$G/huge.kml" route.kml
echo 'my thesis' >notes.txt

run kml eeprom.hex route.kml
expect stdout sample.out
expect route.kml sample.kml

"$EXCHANGE" notes.txt route.kml stop &
swapper=$!
for _ in {1..40}; do
  kml eeprom.hex route.kml >/dev/null 2>>refusals || test $? = 1
done
: >stop
wait "$swapper"
test "$(grep -cvxE 'kml: route.kml: (was changed while the log was read|exists and is not a KML document); refusing to overwrite it' refusals)" = 0
test "$(cat notes.txt route.kml | grep -cx 'my thesis')" = 1
test -z "$(find . -name ".kml-*")"
