"The results view: where both balls are every half second, and at the end (FORALLVIEWS
 with the name 'results') range, highest point, flight time and landing speed.
 both(text, format, a, b) comes from the default program of text views (defaultt.prg).";
CLEARVIEW(0);
rowevery := MAX(1, LONG(0.5 / dt));
PRINTF("%s", "A ball with and without air drag" + CHR(10) + CHR(10));
PRINTF("%s", "         without drag    with air drag" + CHR(10));
PRINTF("%s", "    t      x       y       x       y" + CHR(10));
PRINTF("%s", "  (s)    (m)     (m)     (m)     (m)" + CHR(10));
ONUPDATE({
    IF(step - (step / rowevery) * rowevery == 0, {
        PRINTF("%5.1lf", t);
        PRINTF("%7.1lf", px[0]); PRINTF("%8.1lf", py[0]);
        PRINTF("%8.1lf", px[1]); PRINTF("%8.1lf", py[1]);
        PRINTF("%s", CHR(10));
        DISPLAYVIEW(0)
    }, {0})
});
results := {
    PRINTF("%s", CHR(10) + "                       without      with" + CHR(10));
    PRINTF("%s", "                          drag  air drag" + CHR(10));
    both("range (m)           ", "%10.1lf", px[0], px[1]);
    both("highest point (m)   ", "%10.1lf", topy[0], topy[1]);
    both("flight time (s)     ", "%10.2lf", landtime[0], landtime[1]);
    both("landing speed (m/s) ", "%10.1lf", landspeed[0], landspeed[1]);
    PRINTF("%s", CHR(10) + "Air drag shortens the range to ");
    PRINTF("%1.0lf", 100.0 * px[1] / px[0]);
    PRINTF("%s", " per cent." + CHR(10));
    DISPLAYVIEW(0)
}
