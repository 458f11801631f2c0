# The listing goes into a pipe whose reader quits at once: the listing stops, and
# the route is the same as in a run whose listing is read to the end.
needs posix
big_log big.hex
mkfifo pipe
true <pipe >first &
reader=$!

run kml big.hex big.kml >pipe
expect status 3
says 'kml: standard output: Broken pipe'

wait "$reader"
test "$(cat first)" = ""
kml big.hex whole.kml >/dev/null
cmp big.kml whole.kml
