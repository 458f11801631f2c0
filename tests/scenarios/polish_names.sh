# Polish letters in both paths.
mv eeprom.hex trasa_łódź.hex

run kml trasa_łódź.hex wycieczka_żółw.kml
expect stdout sample.out

expect wycieczka_żółw.kml sample.kml
test ! -e trasa.kml
