# The end marker comes before the count is reached.
"$MAKELOG" "$G/marker_fourth.txt" log.bin

run kml log.bin route.kml
expect status 0
expect stdout marker_fourth.out
expect stderr nothing

expect route.kml marker_fourth.kml
dumps_agree log.bin 0
