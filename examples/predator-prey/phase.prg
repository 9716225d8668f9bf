"The phase portrait: predators against prey. The helpers come from defaultg.prg.";
CLEARVIEW(0);
plotarea(0, roundup(1.05 * preymax), 0, roundup(1.1 * predmax));
axes("prey", "predators", "Phase portrait");
"The two lines on which one population stands still (its rate of change is 0) cross
 at the equilibrium.";
FGRCOLOR(120, 130, 200);
PENSIZE(1);
MOVETO(preyeq, ax.ylo); LINETO(preyeq, ax.yhi);
MOVETO(ax.xlo, predeq); LINETO(ax.xhi, predeq);
textat(preyeq + 0.4 * ax.em * ax.ux, ax.yhi - 0.8 * ax.em * ax.uy, "predators' = 0", 0);
textat(ax.xhi - 0.4 * ax.em * ax.ux, predeq + 0.8 * ax.em * ax.uy, "prey' = 0", 2);
FGRCOLOR(40, 40, 40);
marker(preyeq, predeq, 6);
textat(preyeq + 0.6 * ax.em * ax.ux, predeq - 0.8 * ax.em * ax.uy, "equilibrium", 0);
FGRCOLOR(0, 150, 60);
marker(prey, predators, 7);
textat(prey, predators - 1.0 * ax.em * ax.uy, "start", 1);
FGRCOLOR(110, 60, 170);
PENSIZE(2);
MOVETO(prey, predators);
ONUPDATE({
    LINETO(prey, predators);
    DISPLAYVIEW(0)
})
