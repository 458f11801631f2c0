# NaN and infinite coordinates are listed but left out of the route, with a word.
"$MAKELOG" "$G/not_finite.txt" log.bin

run kml log.bin route.kml
expect stdout not_finite.out
says 'kml: log.bin: 5 position(s) left out of the route, coordinates not finite (first at POS 1)'

expect route.kml not_finite.kml
dumps_agree log.bin 0
