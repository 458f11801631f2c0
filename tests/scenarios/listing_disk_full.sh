# The listing cannot be written (a full device): status 3, the KML whole.

run kml >/dev/full
expect status 3
says 'kml: standard output: No space left on device'

expect trasa.kml sample.kml
