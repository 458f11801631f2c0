# Known conversions: signs, every kind of T, values near whole degrees.
"$MAKELOG" "$G/worked.txt" log.bin

run kml log.bin route.kml
expect stdout worked.out

expect route.kml worked.kml
dumps_agree log.bin 0
