# Degrees beyond 32 bits, and positions off the Earth, with a word that the file may be
# no position log.
"$MAKELOG" "$G/huge.txt" log.bin

run kml log.bin route.kml
expect stdout huge.out
says 'kml: log.bin: 4 position(s) beyond 90 degrees of latitude or 180 of longitude (first at POS 0); is this a position log?'

expect route.kml huge.kml
dumps_agree log.bin 0
