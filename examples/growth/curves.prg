"The population over time, one curve per run in its own colour. The helpers come from
 defaultg.prg.";
CLEARVIEW(0);
plotarea(0, years, 0, roundup(1.12 * MAX(capacity, start)));
axes("time (years)", "population", "Logistic growth");
"The capacity.";
FGRCOLOR(120, 120, 120);
PENSIZE(1.5);
MOVETO(0.0, capacity); LINETO(years, capacity);
textat(0.6 * ax.em * ax.ux, capacity + 0.8 * ax.em * ax.uy, "capacity", 0);
"Eight colours, one for each run.";
pr[0] := 30;  pg[0] := 110; pb[0] := 210;
pr[1] := 220; pg[1] := 70;  pb[1] := 40;
pr[2] := 30;  pg[2] := 150; pb[2] := 70;
pr[3] := 150; pg[3] := 60;  pb[3] := 180;
pr[4] := 230; pg[4] := 150; pb[4] := 20;
pr[5] := 20;  pg[5] := 160; pb[5] := 170;
pr[6] := 200; pg[6] := 60;  pb[6] := 140;
pr[7] := 90;  pg[7] := 90;  pb[7] := 90;
ax.legright := 1;
ax.legbottom := 1;
ax.legw := 11;

"Run by the main program at the start of each run.";
newrun := {
    c := (run - 1) - ((run - 1) / 8) * 8;
    legend("rate " + ANYTOS("%1.2lf", rate), pr[c], pg[c], pb[c]);
    FGRCOLOR(pr[c], pg[c], pb[c]);
    PENSIZE(2.5);
    MOVETO(t, n)
};
ONUPDATE({
    LINETO(t, n);
    IF(step - (step / 5) * 5 == 0, {DISPLAYVIEW(0)}, {0})
})
