# start_xvfb [SCREEN]: starts an Xvfb on a display number the server picks itself (-displayfd,
# so two runs never take the same one), points DISPLAY at it and sets xvfb_pid; the caller kills
# it. SCREEN defaults to 1280x1024x24. Sourced by the scripts that need a display.
start_xvfb() {
  local ready
  ready=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${1:-1280x1024x24}" -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    if [ -s "$ready" ]; then break; fi
    sleep 0.1
  done
  if [ ! -s "$ready" ]; then
    rm -f "$ready"
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n 1 "$ready")"
  rm -f "$ready"
}
