# Known conversions: signs, every kind of T, values near whole degrees.
"$MAKELOG" "$G/worked.txt" log.bin

run kml log.bin route.kml
expect status 0
expect stdout worked.out
expect stderr nothing

expect route.kml worked.kml
dumps_agree log.bin 0
