# A link put in the KML's place while the log is read (from a FIFO) is not written
# through. The writer's first 200,000 bytes fit in no pipe: once they are written, the
# program has read most of them, well past its start.
needs posix-files
big_log big.hex
mkfifo fifo
{ head -c 200000 big.hex; ln -s eeprom.hex route.kml; tail -c +200001 big.hex; } >fifo &
writer=$!

run kml fifo route.kml
expect status 1
says 'kml: route.kml: was changed while the log was read; refusing to overwrite it'

wait "$writer"
kml big.hex whole.kml >whole.out
expect stdout ./whole.out
cmp eeprom.hex "$SAMPLE"
test -z "$(find . -name "*part*")"
