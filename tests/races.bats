# What others do to the KML's path while the log is read from a FIFO: whatever is at the
# path at the end is replaced only if it is still the KML that was checked.
load helper

# changed_while_reading COMMAND...: COMMAND changes route.kml while the log is read; the
# run refuses, having listed the whole log, and leaves no new file.
changed_while_reading() {
  while_reading "$@"
  convert fifo route.kml
  wait
  expect 1 'kml: route.kml: was changed while the log was read; refusing to overwrite it'
  listing=whole.out convert big.hex whole.kml
  same stdout whole.out
  assert_equal "$(find . -name '.kml-*')" ""
}

@test "a KML, notes or a link put where there was none while the log is read are kept" {
  needs posix-files
  changed_while_reading cp "$G/huge.kml" route.kml
  same route.kml "$G/huge.kml"
  rm route.kml
  changed_while_reading sh -c 'echo "my notes" >route.kml'
  assert_equal "$(cat route.kml)" 'my notes'
  rm route.kml
  changed_while_reading ln -s eeprom.hex route.kml
  same eeprom.hex "$SAMPLE"
}

@test "notes swapped with the old KML in one step while the log is read: both kept" {
  needs exchange
  cp "$G/huge.kml" route.kml
  echo 'my thesis' >notes.txt
  changed_while_reading "$EXCHANGE" notes.txt route.kml
  assert_equal "$(cat route.kml)" 'my thesis'
  same notes.txt "$G/huge.kml"
}

@test "notes swapped with the KML again and again while it is replaced, 40 times: never lost" {
  needs exchange
  cp "$G/huge.kml" route.kml
  echo 'my thesis' >notes.txt
  as_sample eeprom.hex route.kml
  "$EXCHANGE" notes.txt route.kml stop 3>&- &
  local swapper=$!
  for _ in {1..40}; do
    kml eeprom.hex route.kml >/dev/null 2>>refusals || assert_equal "status $?" "status 1"
  done
  : >stop
  wait "$swapper"
  refusal='kml: route.kml: (was changed while the log was read|exists and is not a KML document); refusing to overwrite it'
  assert_equal "$(grep -cvxE "$refusal" refusals)" 0
  assert_equal "$(cat notes.txt route.kml | grep -cx 'my thesis')" 1
  assert_equal "$(find . -name '.kml-*')" ""
}

@test "a hang-up the caller ignores stays ignored: the run goes on and converts" {
  needs direct
  trap '' HUP
  while_reading pkill -HUP -f -- 'fifo hup[.]kml'
  listing=/dev/null convert fifo hup.kml
  wait
  expect 0
  listing=/dev/null convert big.hex whole.kml
  same hup.kml whole.kml
}
