# A text file swapped with the old KML in one step while the log is read: the notes now
# at the path are not overwritten, and the old KML, now at the notes' name, is kept.
needs exchange
cp "$G/huge.kml" route.kml
echo 'my thesis' >notes.txt
big_log big.hex
mkfifo fifo
{ head -c 200000 big.hex; "$EXCHANGE" notes.txt route.kml; tail -c +200001 big.hex; } >fifo &
writer=$!

run kml fifo route.kml >/dev/null
expect status 1
says 'kml: route.kml: was changed while the log was read; refusing to overwrite it'

wait "$writer"
test "$(cat route.kml)" = 'my thesis'
expect notes.txt huge.kml
test -z "$(find . -name ".kml-*")"
