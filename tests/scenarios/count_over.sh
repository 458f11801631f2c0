# The count says more records than the log holds before its end marker.
"$MAKELOG" "$G/count_over.txt" log.bin

run kml log.bin route.kml
expect stdout count_over.out

expect route.kml count_over.kml
dumps_agree log.bin 0
