# The log named as its own KML: refused, the log kept.
echo '<kml/>' >trasa.kml

run kml eeprom.hex eeprom.hex
expect status 1
expect stdout nothing
expect stderr <<'EOF'
kml: eeprom.hex: is the log itself; refusing to overwrite it
EOF

cmp eeprom.hex "$SAMPLE"
