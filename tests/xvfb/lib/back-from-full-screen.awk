# Reads a Wayland client's debug log (WAYLAND_DEBUG=1): after the compositor imposes full screen
# (a configure at the 1024 x 768 screen's size) and then puts the window back (a configure at its
# own size), prints the milliseconds from the first to the window's next frame, which is when the
# compositor shows it back at its place; prints nothing while it is not back.
function stamp(line) { return substr(line, 2, index(line, "]") - 2) + 0 }
/xdg_toplevel[@#][0-9]+\.configure\(1024, 768,/ { imposed = stamp($0); back = 0; next }
imposed && /xdg_toplevel[@#][0-9]+\.configure\(496, 433,/ { back = 1; next }
back && /wl_surface[@#][0-9]+\.commit\(\)/ { printf "%.1f\n", stamp($0) - imposed; exit }
