# NaN and infinite coordinates are listed but left out of the route, with a word.
"$MAKELOG" "$G/not_finite.txt" log.bin

run kml log.bin route.kml
expect status 0
expect stdout not_finite.out
expect stderr <<'EOF'
kml: log.bin: 5 position(s) left out of the route, coordinates not finite (first at POS 1)
EOF

expect route.kml not_finite.kml
dumps_agree log.bin 0
