# A hang-up that the caller ignores (nohup, a background job) stays ignored: the run
# goes on and converts. The writer sends it once the program is well into the log.
needs direct
big_log big.hex
mkfifo fifo
trap '' HUP
{ head -c 200000 big.hex; pkill -HUP -f -- 'fifo hup[.]kml'; tail -c +200001 big.hex; } >fifo &
writer=$!

run kml fifo hup.kml >/dev/null

wait "$writer"
kml big.hex whole.kml >/dev/null
cmp whole.kml hup.kml
