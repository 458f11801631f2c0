# A text file taken for a log converts, with a word that it may be none.
printf 'Dear diary, today we walked from Zakopane to the lake.\n' >notes.txt

run kml notes.txt >/dev/null
expect status 2
says 'kml: notes.txt: 4 position(s) beyond 90 degrees of latitude or 180 of longitude (first at POS 0); is this a position log?' \
  'kml: notes.txt: log ends after 4 of 25924 records, with no end marker'

test -s trasa.kml
