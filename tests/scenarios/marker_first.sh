# The count is 65535, and the end marker comes at once.
"$MAKELOG" "$G/marker_first.txt" log.bin

run kml log.bin route.kml
expect stdout marker_first.out

expect route.kml marker_first.kml
dumps_agree log.bin 0
