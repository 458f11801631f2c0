# The count says fewer records than the log holds: the rest is not read.
"$MAKELOG" "$G/count_under.txt" log.bin

run kml log.bin route.kml
expect stdout count_under.out

expect route.kml count_under.kml
dumps_agree log.bin 0
