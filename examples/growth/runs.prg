"The runs view: one line per run, printed by the program endrun, which the main program
 starts with FORALLVIEWS at the end of each run.";
CLEARVIEW(0);
PRINTF("%s", "Logistic growth, capacity ");
PRINTF("%1.0lf", capacity);
PRINTF("%s", ", start ");
PRINTF("%1.0lf", start);
PRINTF("%s", CHR(10) + CHR(10));
PRINTF("%s", "run    rate  population  half capacity" + CHR(10));
PRINTF("%s", "             at the end  reached after" + CHR(10));
endrun := {
    PRINTF("%3ld", run);
    PRINTF("%8.2lf", rate);
    PRINTF("%12.1lf", n);
    IF(thalf >= 0.0, {PRINTF("%9.1lf", thalf); PRINTF("%s", " years")},
                     {PRINTF("%s", "    not reached")});
    PRINTF("%s", CHR(10));
    DISPLAYVIEW(0)
}
