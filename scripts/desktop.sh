# Sourced by the scripts that drive the real application: a private copy of an example model
# (saving must not touch the repository's files) and an Xvfb display of 1280 x 800, both gone
# when the script exits, with the application if it still runs.
# desktop_start DOC_SRC: sets work (the copy's folder), doc (its document) and DISPLAY.
desktop_start() {
  work=$(mktemp -d)
  cp -r "$(dirname "$1")"/. "$work/"
  doc=$work/$(basename "$1")
  local display=:$((70 + RANDOM % 29))
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  app_pid=
  trap desktop_cleanup EXIT
  export DISPLAY=$display
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
}

desktop_cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; fi
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
