# Sourced by scripts: start_private_xvfb SIZE LOG [DPI] starts a private X
# server of one screen of SIZE (1920x1080), its errors in LOG, and sets DISPLAY
# and xvfb_pid. Returns 1 when no server could be started. DPI (default the
# server's own, 96) decides the physical size the screen reports:
# SIZE x 25.4 / DPI millimetres, which is how a script plays a monitor that
# misreports its size.
#
# The display number is chosen here, not by the server with -displayfd: in a
# network namespace the server cannot see the abstract sockets of the servers
# outside, and with -displayfd it takes no lock file, so it would take display
# :0 and replace the socket file of the machine's own :0 in /tmp/.X11-unix. A
# number with neither a socket file nor a lock file, locked by the server
# itself, leaves every other display alone.
start_private_xvfb() {
  local size=$1 log=$2 dpi=${3:-96} n
  for n in $(seq 20 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${size}x24" -dpi "$dpi" -nolisten tcp 2>"$log" &
    xvfb_pid=$!
    for _ in $(seq 50); do
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      # Gone: another server took the number first; try the next one.
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.2
    done
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  done
  return 1
}
