# A raw log that begins with ':' is no text dump.
"$MAKELOG" "$G/colon_first.txt" log.bin

run kml log.bin route.kml
expect stdout colon_first.out

expect route.kml colon_first.kml
dumps_agree log.bin 0
