# Through a link, the file it points to is replaced, with its permissions; the link
# stays.
needs posix
cp "$G/huge.kml" old.kml
chmod 604 old.kml
ln -s old.kml route.kml

run kml eeprom.hex route.kml
expect stdout sample.out

expect old.kml sample.kml
test -L route.kml
test "$(stat -c %a old.kml)" = 604
