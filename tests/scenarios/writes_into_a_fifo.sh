# A FIFO as the KML is written into as it is, not replaced.
needs posix-files
mkfifo route
cat route >got &
reader=$!

run kml eeprom.hex route
expect status 0
expect stdout sample.out
expect stderr nothing

wait "$reader"
expect got sample.kml
test -p route
