# Records at addresses beyond any log are checked but not kept.
sample_dump ihex
sed -i '$i :02000004FFFFFC\n:02FFFE00ABCD89' dump.hex

run kml dump.hex
expect stdout sample.out

expect trasa.kml sample.kml
