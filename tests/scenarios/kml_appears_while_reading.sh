# A KML put at the KML's path while the log is read (from a FIFO), where there was none
# at the start, is not overwritten: nothing may be there at the end. The writer's first
# 200,000 bytes fit in no pipe: once they are written, the program has read most of them.
needs posix-files
big_log big.hex
mkfifo fifo
{ head -c 200000 big.hex; cp "$G/huge.kml" route.kml; tail -c +200001 big.hex; } >fifo &
writer=$!

run kml fifo route.kml >/dev/null
expect status 1
says 'kml: route.kml: was changed while the log was read; refusing to overwrite it'

wait "$writer"
expect route.kml huge.kml
test -z "$(find . -name ".kml-*")"
