# A log that ends inside what would be the end marker.
"$MAKELOG" "$G/short_marker.txt" log.bin

run kml log.bin route.kml
expect status 2
expect stdout short_marker.out
says 'kml: log.bin: log ends after 1 of 2 records, with no end marker'

expect route.kml short_marker.kml
dumps_agree log.bin 2
