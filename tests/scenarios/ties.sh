# Values exactly halfway between two printed ones round to even, as printf rounds them:
# in the listing (six decimals) and in the KML (five), both ways, with either sign.
"$MAKELOG" "$G/ties.txt" log.bin

run kml log.bin route.kml
expect stdout ties.out

expect route.kml ties.kml
dumps_agree log.bin 0
