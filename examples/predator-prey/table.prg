"The table: one row a year while the run is shown, and a summary at its end, printed by
 the program 'summary', which the main program starts with FORALLVIEWS with its name.
 say(text, value) comes from the default program of text views (defaultt.prg).";
CLEARVIEW(0);
rowevery := MAX(1, LONG(1.0 / dt));
PRINTF("%s", "Predators and prey, one row a year" + CHR(10) + CHR(10));
PRINTF("%s", "   year      prey  predators" + CHR(10));
ONUPDATE({
    IF(k - (k / rowevery) * rowevery == 0, {
        PRINTF("%7.1lf", t);
        PRINTF("%10.2lf", prey);
        PRINTF("%11.2lf", predators);
        PRINTF("%s", CHR(10));
        DISPLAYVIEW(0)
    }, {0})
});
summary := {
    PRINTF("%s", CHR(10));
    say("prey between       ", preymin); say(" and ", preymax); PRINTF("%s", CHR(10));
    say("predators between  ", predmin); say(" and ", predmax); PRINTF("%s", CHR(10));
    say("equilibrium: prey  ", preyeq); say(", predators ", predeq); PRINTF("%s", CHR(10));
    say("period of a cycle  ", period); PRINTF("%s", " years" + CHR(10));
    say("small cycles: 2 pi / sqrt(alpha gamma) = ", 8.0 * ATAN(1.0) / POW(alpha * gamma, 0.5));
    PRINTF("%s", " years" + CHR(10));
    DISPLAYVIEW(0)
}
