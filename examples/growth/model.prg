"The main program of the growth document (growth.tvd). The logistic equation
     N' = rate N (1 - N / capacity)
 has a known solution:
     N(t) = capacity / (1 + (capacity / start - 1) exp(-rate t)).
 Each run asks for the growth rate (GETUSERINPUT) and, at its end, whether to run again
 (ASKUSERYESNO).";

"squeeze and param come from the default.prg of the application.";

defaultrate := param("rate", 0.5);
capacity := param("capacity", 1000.0);
start := param("start", 10.0);
years := param("years", 25.0);
dt := param("dt", 0.1);
steps := LONG(years / dt);

population(time) := {
    IF(start > 0.0, {capacity / (1.0 + (capacity / start - 1.0) * EXP(-rate * time))}, {0.0})
};

EXECVIEWTEMPLATES(0);
run := 0;
again := -1;
WHILE({again}, {
    answer := GETUSERINPUT("Growth rate per year (leave empty for "
                           + ANYTOS("%1.2lf", defaultrate) + ")");
    rate := IF(STRLEN(squeeze(answer)) == 0, {defaultrate}, {ATOF(answer)});
    run := run + 1;
    step := 0;
    t := 0.0;
    n := population(t);
    "FORALLVIEWS runs the program called newrun in every view that has one.";
    FORALLVIEWS("newrun");
    WHILE({step < steps}, {
        step := step + 1;
        t := step * dt;
        n := population(t);
        UPDATEVIEWS(0)
    });
    "The time at which half the capacity is reached, or -1 when it is not.";
    thalf := IF(rate > 0.0 && start > 0.0 && start < capacity / 2.0,
                {LOG(capacity / start - 1.0) / rate}, {-1.0});
    FORALLVIEWS("endrun");
    again := IF(run < 8, {ASKUSERYESNO("Run again with another growth rate?")}, {0})
});
run
