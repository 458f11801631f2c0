# A log that ends inside its record count: status 2, an empty route.
"$MAKELOG" "$G/short_count.txt" log.bin

run kml log.bin route.kml
expect status 2
expect stdout short_count.out
says 'kml: log.bin: log ends inside the record count'

expect route.kml short_count.kml
dumps_agree log.bin 2
