# A file system that fills up: no half-written KML is left behind.
needs small-disk
big_log big.hex

run kml big.hex small/big.kml >/dev/null
expect status 255
says 'kml: small/big.kml: No space left on device; no KML was created'

test -z "$(ls -A small)"
