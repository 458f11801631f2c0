# A log of no bytes at all: no records, an empty route, status 0.
"$MAKELOG" "$G/empty.txt" log.bin

run kml log.bin route.kml
expect stdout empty.out

expect route.kml empty.kml
dumps_agree log.bin 0
