"The values view: the point of the curve every two time units.";
CLEARVIEW(0);
rowevery := MAX(1, LONG(2.0 / dt));
PRINTF("%s", "The Lorenz system, a row every 2 time units" + CHR(10) + CHR(10));
PRINTF("%s", "      t        x        y        z" + CHR(10));
ONUPDATE({
    IF(step - (step / rowevery) * rowevery == 0, {
        PRINTF("%7.1lf", t);
        PRINTF("%9.3lf", x); PRINTF("%9.3lf", y); PRINTF("%9.3lf", z);
        PRINTF("%s", CHR(10));
        DISPLAYVIEW(0)
    }, {0})
})
