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

@test "what is put at the path, or made of what was there, while the log is read is kept as it then is" {
  needs posix-files
  cp "$G/huge.kml" old.kml
  # BEFORE@CHANGE@KEPT: the path as BEFORE makes it, CHANGE while the log is read, and
  # what KEPT checks afterwards.
  while IFS=@ read -r before change kept; do
    echo "row: $before @ $change"
    rm -rf route.kml a.kml b.kml
    eval "$before"
    changed_while_reading sh -c "$change"
    eval "$kept"
  done <<'ROWS'
:@cp old.kml route.kml@same route.kml old.kml
:@echo 'my notes' >route.kml@assert_equal "$(cat route.kml)" 'my notes'
:@ln -s eeprom.hex route.kml@same eeprom.hex "$SAMPLE"
cp old.kml route.kml@echo 'my thesis' >route.kml@assert_equal "$(cat route.kml)" 'my thesis'
cp old.kml route.kml@cp "$G/worked.kml" route.kml@same route.kml "$G/worked.kml"
cp old.kml route.kml@rm route.kml; echo 'my thesis' >route.kml@assert_equal "$(cat route.kml)" 'my thesis'
cp old.kml route.kml@rm route.kml; mkdir route.kml; echo x >route.kml/inside@assert_equal "$(cat route.kml/inside)" x
cp old.kml route.kml; touch -r route.kml when@sed 's/<kml /<xyz /' old.kml >route.kml; touch -r when route.kml@grep -q '<xyz ' route.kml
cp old.kml a.kml; ln -s a.kml route.kml@rm route.kml; echo 'my thesis' >route.kml@same a.kml old.kml
cp old.kml a.kml; cp a.kml b.kml; ln -s a.kml route.kml@ln -sfn b.kml route.kml@same a.kml old.kml; same b.kml old.kml
ROWS
}

@test "Ctrl-C and kill while the new file is written remove it" {
  needs direct strace
  local first
  first=$(new_file_open)
  [ -n "$first" ]
  for signal in SIGINT SIGTERM; do
    # The signal comes the moment the new file is made.
    status=0
    (ulimit -c 0; exec strace -qq -o /dev/null -e trace=openat -e inject=openat:signal=$signal:when="$first" \
      "$KML" eeprom.hex new.kml >/dev/null 2>&1) || status=$?
    assert_equal "$signal: status $status" "$signal: status $((128 + $(kill -l "$signal")))"
    assert_not_exists new.kml
    assert_equal "$signal: $(find . -name '.kml-*')" "$signal: "
  done
}

@test "a FIFO put at the path while the log is read is never waited on: refused, the FIFO where it was" {
  needs posix-files
  for old in '' huge.kml; do
    rm -f route.kml
    if [ -n "$old" ]; then cp "$G/$old" route.kml; fi
    while_reading sh -c 'rm -f route.kml; mkfifo route.kml'
    bound=60 listing=/dev/null convert fifo route.kml
    wait
    expect 1 'kml: route.kml: was changed while the log was read; refusing to overwrite it'
    assert_fifo_exists route.kml
    assert_equal "$(find . -name '.kml-*')" ""
  done
}
