# The end marker comes before the count is reached.
"$MAKELOG" "$G/marker_fourth.txt" log.bin

run kml log.bin route.kml
expect stdout marker_fourth.out

expect route.kml marker_fourth.kml
dumps_agree log.bin 0
