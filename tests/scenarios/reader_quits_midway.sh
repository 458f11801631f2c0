# The listing goes into a pipe whose reader quits after one line: the listing stops, and
# the route is the same as in a run whose listing is read to the end.
needs posix
big_log big.hex
mkfifo pipe
head -1 <pipe >first &
reader=$!

run kml big.hex big.kml >pipe
expect status 3
says 'kml: standard output: Broken pipe'

wait "$reader"
test "$(cat first)" = "Ilosc pozycji: 65535"
kml big.hex whole.kml >/dev/null
cmp big.kml whole.kml
