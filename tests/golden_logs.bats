# Logs whose listing and KML are known byte for byte: tests/golden/NAME.txt describes a
# log, NAME.out and NAME.kml are what it must give. Each converts the same as text dumps.
load helper

# golden_log NAME STATUS [MESSAGE...]: the log NAME, as ./log.bin, gives its listing, its
# KML, STATUS and the messages; and so do text dumps of it (dumps_agree).
golden_log() {
  local name=$1 want=$2
  shift 2
  echo "golden log $name:"
  "$MAKELOG" "$G/$name.txt" log.bin
  convert log.bin route.kml
  expect "$want" "$@"
  same stdout "$G/$name.out"
  same route.kml "$G/$name.kml"
  dumps_agree log.bin "$want"
}

# dumps_agree LOG STATUS: LOG written as text dumps converts as the raw log did (status,
# listing, messages, KML): by objcopy (which takes no empty file) in other line lengths
# and S3 addresses, and by srec_cat, where it is installed, with type 04 records and an S5
# count. S-records come with their data records reversed. Of an empty log, a dump holds no
# data record, and is refused.
dumps_agree() {
  local log=$1 want=$2 tool options output
  while read -r tool options; do
    [ -s "$log" ] || continue
    if [ "$tool" = srec_cat ] && ! command -v srec_cat >/dev/null; then continue; fi
    rm -rf d
    mkdir d
    # shellcheck disable=SC2086 # the options are words
    case $tool in
      objcopy) objcopy -I binary $options "$log" d/dump ;;
      srec_cat) srec_cat "$log" -binary -o d/dump $options ;;
    esac
    { head -1 d/dump; sed 1d d/dump | sed -n '/^S[1-3]/p' | tac; sed 1d d/dump | sed '/^S[1-3]/d'; } >"d/$log"
    echo "as written by $tool $options:"
    (cd d && convert "$log" route.kml && echo "$status" >status)
    assert_equal "status $(cat d/status)" "status $want"
    for output in stdout stderr route.kml; do same "d/$output" "$output"; done
  done <<EOF
objcopy -O ihex
objcopy -O srec
objcopy -O srec --srec-forceS3 --srec-len=7
objcopy -O srec --srec-len=40
srec_cat -intel -address-length=4 -line-length=27
srec_cat -motorola
EOF
}

@test "every golden log, and the sample, gives its listing, KML, status and messages, raw and as text dumps" {
  "$MAKELOG" "$SRC/examples/trip.txt" made.hex
  cmp made.hex eeprom.hex
  # NAME@STATUS@MESSAGE@...: each tests/golden/NAME.txt says what its log holds.
  while IFS=@ read -r name want messages; do
    IFS=@ read -r -a said <<<"$messages"
    golden_log "$name" "$want" "${said[@]}"
  done <<'ROWS'
empty@0@
count_zero@0@
count_under@0@
marker_fourth@0@
cold_start@0@kml: log.bin: 3 position(s) at exactly 0 degrees latitude and longitude, where a logger puts them while it has no fix (first at POS 0)
count_over@0@
marker_first@0@
colon_first@0@
worked@0@
ties@0@
not_finite@0@kml: log.bin: 5 position(s) left out of the route, coordinates not finite (first at POS 1)@kml: log.bin: does not look like a position log: no position on the Earth in 5 of the 7 records read
huge@0@kml: log.bin: 4 position(s) beyond 90 degrees of latitude or 180 of longitude (first at POS 0)@kml: log.bin: does not look like a position log: no position on the Earth in 4 of the 5 records read
short_count@2@kml: log.bin: log ends inside the record count
short_inside@2@kml: log.bin: log ends after 1 of 2 records, with no end marker
short_marker@2@kml: log.bin: log ends after 1 of 2 records, with no end marker
short_records@2@kml: log.bin: log ends after 2 of 4 records, with no end marker
ROWS
}

@test "GDAL reads one route, Trasa GPS, through the 42 positions; and the empty route" {
  needs gdal
  as_sample
  "$OGRINFO" -ro -al trasa.kml >gdal
  "$OGRINFO" -ro -al "$G/empty.kml" >/dev/null
  grep -qx 'Feature Count: 1' gdal
  grep -qx '  Name (String) = Trasa GPS' gdal
  assert_equal "$(grep -o 'LINESTRING.*' gdal | tr -cd ',' | wc -c)" 41
  # Its first point is the listing's first position in degrees, longitude first.
  local point
  point=$(sed -n 's/.*LINESTRING (*\([-0-9.]*\) \([-0-9.]*\)[ ,].*/\1 \2/p' gdal)
  echo "$point $(sed -n 3p stdout)" | awk 'NF == 10 { d = $1 - $10; e = $2 - $8; ok = d * d < 3e-11 && e * e < 3e-11 }
    END { exit !ok }'
}

@test "300 random logs convert as in the build made here: status, listing, messages, KML" {
  needs other-build
  for n in $(seq 300); do
    echo "random $n" >description
    "$MAKELOG" description log
    convert log log.kml >/dev/null
    local here=0
    # shellcheck disable=SC2153 # the build made here, from CTest
    "$HERE" log here.kml >here.out 2>here.err || here=$?
    assert_equal "log $n: status $status" "log $n: status $here"
    for output in stdout:out stderr:err log.kml:kml; do
      as_written <"here.${output#*:}" >expected
      same "${output%:*}" expected
    done
  done
}
