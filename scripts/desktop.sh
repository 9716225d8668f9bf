# Sourced by the scripts that drive the real application: a private copy of an example model
# (saving must not touch the repository's files) and an Xvfb display of 1280 x 800, both gone
# when the script exits, with the application if it still runs.
# desktop_start DOC_SRC: sets work (the copy's folder), doc (its document) and DISPLAY.
desktop_start() {
  work=$(mktemp -d)
  cp -r "$(dirname "$1")"/. "$work/"
  doc=$work/$(basename "$1")
  # The application's settings (recent files) stay with the copy, not in the user's own.
  export XDG_CONFIG_HOME=$work/.config
  # Xvfb picks a free display itself and writes its number once it accepts connections, so
  # that runs side by side (and stale locks) never collide.
  # A display that does not answer (a server that lost a race and quit) is started again.
  local number=$work.display attempt
  app_pid=
  trap desktop_cleanup EXIT
  for attempt in 1 2 3; do
    rm -f "$number"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 200); do [ -s "$number" ] && break; sleep 0.1; done
    export DISPLAY=:$(head -n 1 "$number")
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break 2; sleep 0.1; done
    echo "desktop: display $DISPLAY does not answer (attempt $attempt)" >&2
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  done
  rm -f "$number"
}

desktop_cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; fi
  # Waited for: a server that quits after the next one took its display number would remove
  # that one's socket on its way out.
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
