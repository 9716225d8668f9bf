"Prey and predators over time, two curves in one view. The helpers come from defaultg.prg.";
CLEARVIEW(0);
"This window is twice as wide as it is high: so is its clip window.";
ax.cliph := 14999;
plotarea(0, duration, 0, roundup(1.05 * MAX(preymax, predmax)));
axes("time (years)", "number of animals", "Predators and prey over time");
ax.legright := 1;
legend("prey", 30, 150, 70);
legend("predators", 210, 50, 40);
PENSIZE(2);
lastt := t; lastprey := prey; lastpred := predators;
ONUPDATE({
    FGRCOLOR(30, 150, 70);
    MOVETO(lastt, lastprey); LINETO(t, prey);
    FGRCOLOR(210, 50, 40);
    MOVETO(lastt, lastpred); LINETO(t, predators);
    lastt := t; lastprey := prey; lastpred := predators;
    DISPLAYVIEW(0)
})
