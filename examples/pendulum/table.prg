"The table view of the pendulum: a row of t, theta and omega every half second.
 row(a, b, c) comes from the default program of text views (defaultt.prg).";
CLEARVIEW(0);
rowevery := MAX(1, LONG(0.5 / dt));
PRINTF("%s", "Damped pendulum, one row every 0.5 s" + CHR(10) + CHR(10));
PRINTF("%s", "         t     theta     omega" + CHR(10));
PRINTF("%s", "       (s)     (rad)   (rad/s)" + CHR(10));
ONUPDATE({
    IF(step - (step / rowevery) * rowevery == 0, {
        PRINTF("%s", row(t, theta, omega));
        DISPLAYVIEW(0)
    }, {0})
})
