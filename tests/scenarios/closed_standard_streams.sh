# Standard input and output closed: no file the program opens takes their place, so the
# KML is clean and the listing fails (status 3). With standard error closed too, nothing
# of a message reaches the KML.
needs posix-files

run kml eeprom.hex z.kml <&- >&-
expect status 3
says 'kml: standard output: Bad file descriptor'
expect z.kml sample.kml

kml eeprom.hex quiet.kml >&- 2>&- || test $? = 3
expect quiet.kml sample.kml
