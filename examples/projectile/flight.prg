"The two trajectories, drawn while the balls fly, with a dot every half second. The helpers
 (plotarea, axes, legend, legenddot, marker, textat, roundup) come from defaultg.prg.";
CLEARVIEW(0);
plotarea(0, roundup(1.05 * vacrange), 0, roundup(1.2 * vacapex));
axes("distance (m)", "height (m)", "A ball with and without air drag");
ax.legright := 1;
ax.legw := 16;
legend("without air drag", 40, 90, 210);
legend("with air drag", 215, 60, 40);
legenddot("every 0.5 s", 110, 110, 110);
"Colours of ball 0 and ball 1.";
cr[0] := 40; cg[0] := 90; cb[0] := 210;
cr[1] := 215; cg[1] := 60; cb[1] := 40;
dotevery := MAX(1, LONG(0.5 / dt));
b := 0;
WHILE({b < 2}, {lastx[b] := px[b]; lasty[b] := py[b]; lastflying[b] := 1; b := b + 1});

"One piece of the path of ball fl.b since the last update.";
piece(fl.b) := {
    IF(lastflying[fl.b], {
        FGRCOLOR(cr[fl.b], cg[fl.b], cb[fl.b]);
        PENSIZE(2);
        MOVETO(lastx[fl.b], lasty[fl.b]);
        LINETO(px[fl.b], py[fl.b]);
        IF(step - (step / dotevery) * dotevery == 0, {marker(px[fl.b], py[fl.b], 5)}, {0});
        lastx[fl.b] := px[fl.b];
        lasty[fl.b] := py[fl.b];
        lastflying[fl.b] := flying[fl.b]
    }, {0})
};
ONUPDATE({
    piece(0);
    piece(1);
    DISPLAYVIEW(0)
});

"At the end (FORALLVIEWS with this name): the highest points and the landing points.";
results := {
    b := 0;
    WHILE({b < 2}, {
        FGRCOLOR(cr[b], cg[b], cb[b]);
        marker(topx[b], topy[b], 8);
        textat(topx[b], topy[b] + 1.1 * ax.em * ax.uy, ANYTOS("%1.1lf", topy[b]) + " m", 1);
        marker(px[b], 0.0, 8);
        textat(px[b] + 0.6 * ax.em * ax.ux, 0.9 * ax.em * ax.uy, ANYTOS("%1.1lf", px[b]) + " m", 0);
        b := b + 1
    });
    DISPLAYVIEW(0)
}
