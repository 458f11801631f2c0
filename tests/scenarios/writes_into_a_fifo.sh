# A FIFO as the KML is written into as it is, not replaced.
needs posix-files
mkfifo route
cat route >got &
reader=$!

run kml eeprom.hex route
expect stdout sample.out

wait "$reader"
expect got sample.kml
test -p route
