# Arguments after the second are ignored.

run kml eeprom.hex out.kml extra more
expect stdout sample.out

expect out.kml sample.kml
test ! -e extra
