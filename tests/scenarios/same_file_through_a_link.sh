# The log named as its own KML, through a symbolic link: refused, the log kept.
echo '<kml/>' >trasa.kml

run kml eeprom.hex link
expect status 1
expect stdout nothing
expect stderr <<'EOF'
kml: link: is the log itself; refusing to overwrite it
EOF

cmp eeprom.hex "$SAMPLE"
