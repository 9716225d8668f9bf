"The Lorenz attractor seen from the side: z against x, one line piece per time step, the
 colour going slowly round the colour circle. The helpers come from defaultg.prg.";
CLEARVIEW(0);
darktheme(1);
"Show the picture again after every 8 new drawing items (2 to the power 3).";
UPDFREQUENCY(3);
plotarea(-roundup(1.05 * xmax), roundup(1.05 * xmax), MIN(0.0, zmin), roundup(1.02 * zmax));
axes("x", "z", "The Lorenz attractor, x-z plane");

"The two points around which the curve winds: x = +-sqrt(beta (rho - 1)), z = rho - 1.";
FGRCOLOR(235, 235, 245);
marker(POW(beta * (rho - 1.0), 0.5), rho - 1.0, 6);
marker(-POW(beta * (rho - 1.0), 0.5), rho - 1.0, 6);

"The colour for a hue from 0 to 6: red, yellow, green, cyan, blue, magenta and red again.";
huecolour(hc.h) := {
    hc.i := TRUNC(hc.h);
    hc.f := hc.h - hc.i;
    hc.i := hc.i - (hc.i / 6) * 6;
    hc.r := IF(hc.i == 0 || hc.i == 5, 1.0, IF(hc.i == 1, 1.0 - hc.f, IF(hc.i == 4, hc.f, 0.0)));
    hc.g := IF(hc.i == 1 || hc.i == 2, 1.0, IF(hc.i == 3, 1.0 - hc.f, IF(hc.i == 0, hc.f, 0.0)));
    hc.b := IF(hc.i == 3 || hc.i == 4, 1.0, IF(hc.i == 5, 1.0 - hc.f, IF(hc.i == 2, hc.f, 0.0)));
    FGRCOLOR(LONG(70 + 185 * hc.r), LONG(70 + 185 * hc.g), LONG(70 + 185 * hc.b))
};

"The hue goes once round the circle during the run, changing every 20 steps.";
huecolour(0.0);
PENSIZE(1.5);
MOVETO(x, z);
ONUPDATE({
    IF(step - (step / 20) * 20 == 0, {huecolour(6.0 * t / duration)}, {0});
    LINETO(x, z)
})
