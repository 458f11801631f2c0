# Binary that begins like an S-record is a raw log: its count is "S1", 12,627.
{ printf S1; tail -c +3 eeprom.hex; } >s1.bin

run kml s1.bin

{ echo 'Ilosc pozycji: 12627' | as_written; sed 1d "$G/sample.out"; } >s1.out
expect stdout ./s1.out
expect trasa.kml sample.kml
