# A count of 0: no records, an empty route.
"$MAKELOG" "$G/count_zero.txt" log.bin

run kml log.bin route.kml
expect stdout count_zero.out

expect route.kml count_zero.kml
dumps_agree log.bin 0
