"defaultg.prg runs first in every graphics view, unless the document's folder (or its
 template's) has a defaultg.prg of its own, which then runs instead. It keeps plotting
 helpers:
   plotarea(xmin, xmax, ymin, ymax)  clip window, background and a world window in which
                                     the plot area runs from xmin to xmax and from ymin
                                     (bottom) to ymax (top), with margins for the labels
   axes(xname, yname, title)         grid, frame, tick numbers and the three texts
   textat(x, y, text, align)         text centred vertically on y; align 0 left, 1 centre,
                                     2 right of x
   legend(text, r, g, b)             the next legend line: a colour sample and its text,
                                     at the top left of the plot, or at the top right
                                     when ax.legright is 1 (room for ax.legw letters);
                                     from the bottom up when ax.legbottom is 1
   legenddot(text, r, g, b)          the same with a dot as the sample
   marker(x, y, size)                a dot of the current colour
   roundup(v)                        a round number (1, 1.2, 1.5, 2, 2.5, 3, 4, 5, 6, 8 or
                                     10 times a power of ten) not below v
   darktheme(1)                      light lines and text on a dark background
 Names starting with ax. belong to the helpers; the main program does not use them.";

ax.cliph := 22499;
ax.pt := 9;
ax.lm := 4.8;
ax.legright := 0;
ax.legw := 10;
ax.legbottom := 0;
ax.nleg := 0;
ax.br := 255; ax.bg := 255; ax.bb := 255;
ax.tr := 30; ax.tg := 30; ax.tb := 30;
ax.gr := 222; ax.gg := 226; ax.gb := 232;
ax.zr := 150; ax.zg := 150; ax.zb := 150;

darktheme(ax.on) := {
    IF(ax.on, {
        ax.br := 12; ax.bg := 14; ax.bb := 30;
        ax.tr := 215; ax.tg := 220; ax.tb := 235;
        ax.gr := 38; ax.gg := 44; ax.gb := 70;
        ax.zr := 90; ax.zg := 98; ax.zb := 130
    }, {0})
};

plotarea(ax.x1, ax.x2, ax.y1, ax.y2) := {
    CLIPWINDOW(0, 0, 29999, ax.cliph);
    BGRCOLOR(ax.br, ax.bg, ax.bb);
    ax.xlo := ax.x1 * 1.0; ax.xhi := ax.x2 * 1.0;
    ax.ylo := ax.y1 * 1.0; ax.yhi := ax.y2 * 1.0;
    "The font height in clip units, and the plot area's edges in clip units.";
    ax.em := 66.67 * ax.pt;
    ax.px1 := ax.lm * ax.em; ax.px2 := 29999 - 1.6 * ax.em;
    ax.py1 := 4.4 * ax.em; ax.py2 := ax.cliph - 3.4 * ax.em;
    "World units per clip unit, across and up.";
    ax.ux := (ax.xhi - ax.xlo) / (ax.px2 - ax.px1);
    ax.uy := (ax.yhi - ax.ylo) / (ax.py2 - ax.py1);
    "Left and top edge first: y grows upwards.";
    WINDOWEXT(ax.xlo - ax.px1 * ax.ux, ax.yhi + ax.py1 * ax.uy,
              ax.xhi + (29999 - ax.px2) * ax.ux, ax.ylo - (ax.cliph - ax.py2) * ax.uy);
    ax.nleg := 0
};

textat(ax.px, ax.py, ax.s, ax.al) := {
    ax.w := STRLEN(ax.s) * 0.58 * ax.em;
    MOVETO(ax.px - ax.al * 0.5 * ax.w * ax.ux, ax.py + 0.62 * ax.em * ax.uy);
    PRINTF("%s", ax.s)
};

nicestep(ax.range) := {
    ax.raw := ax.range / 6.0;
    ax.mag := POW(10.0, TRUNC(LOG10(ax.raw)));
    ax.f := ax.raw / ax.mag;
    ax.mag * IF(ax.f < 1.5, 1.0, IF(ax.f < 3.0, 2.0, IF(ax.f < 7.0, 5.0, 10.0)))
};

roundup(ax.v) := {
    ax.r := 1.0;
    IF(ax.v > 0.0, {
        ax.mag := POW(10.0, TRUNC(LOG10(ax.v)));
        ax.f := ax.v / ax.mag * 0.999999;
        ax.r := ax.mag * IF(ax.f <= 1.0, 1.0, IF(ax.f <= 1.2, 1.2, IF(ax.f <= 1.5, 1.5,
                IF(ax.f <= 2.0, 2.0, IF(ax.f <= 2.5, 2.5, IF(ax.f <= 3.0, 3.0, IF(ax.f <= 4.0, 4.0,
                IF(ax.f <= 5.0, 5.0, IF(ax.f <= 6.0, 6.0, IF(ax.f <= 8.0, 8.0, 10.0))))))))))
    }, {0});
    ax.r
};

tickformat(ax.step) := {
    IF(ax.step >= 0.999, "%1.0lf", IF(ax.step >= 0.0999, "%1.1lf", IF(ax.step >= 0.00999, "%1.2lf", "%1.3lf")))
};

axes(ax.xname, ax.yname, ax.title) := {
    CHANGEFONT("DejaVu Sans", ax.pt, 0);
    PENSIZE(0.6);
    "Grid lines and numbers along x.";
    ax.s := nicestep(ax.xhi - ax.xlo);
    ax.fmt := tickformat(ax.s);
    ax.k := -TRUNC(0.000001 - ax.xlo / ax.s);
    WHILE({ax.k * ax.s <= ax.xhi + 0.000001 * ax.s}, {
        ax.v := ax.k * ax.s;
        FGRCOLOR(ax.gr, ax.gg, ax.gb);
        MOVETO(ax.v, ax.ylo); LINETO(ax.v, ax.yhi);
        FGRCOLOR(ax.tr, ax.tg, ax.tb);
        textat(ax.v, ax.ylo - 0.95 * ax.em * ax.uy, ANYTOS(ax.fmt, ax.v), 1);
        ax.k := ax.k + 1
    });
    "Grid lines and numbers along y.";
    ax.s := nicestep(ax.yhi - ax.ylo);
    ax.fmt := tickformat(ax.s);
    ax.k := -TRUNC(0.000001 - ax.ylo / ax.s);
    WHILE({ax.k * ax.s <= ax.yhi + 0.000001 * ax.s}, {
        ax.v := ax.k * ax.s;
        FGRCOLOR(ax.gr, ax.gg, ax.gb);
        MOVETO(ax.xlo, ax.v); LINETO(ax.xhi, ax.v);
        FGRCOLOR(ax.tr, ax.tg, ax.tb);
        textat(ax.xlo - 0.5 * ax.em * ax.ux, ax.v, ANYTOS(ax.fmt, ax.v), 2);
        ax.k := ax.k + 1
    });
    "The zero lines, when zero is inside the plot.";
    PENSIZE(1);
    FGRCOLOR(ax.zr, ax.zg, ax.zb);
    IF(ax.xlo < 0.0 && ax.xhi > 0.0, {MOVETO(0.0, ax.ylo); LINETO(0.0, ax.yhi)}, {0});
    IF(ax.ylo < 0.0 && ax.yhi > 0.0, {MOVETO(ax.xlo, 0.0); LINETO(ax.xhi, 0.0)}, {0});
    "The frame.";
    FGRCOLOR(ax.tr, ax.tg, ax.tb);
    MOVETO(ax.xlo, ax.ylo); LINETO(ax.xhi, ax.ylo); LINETO(ax.xhi, ax.yhi);
    LINETO(ax.xlo, ax.yhi); LINETO(ax.xlo, ax.ylo);
    "The names of the axes and the title.";
    textat((ax.xlo + ax.xhi) / 2.0, ax.ylo - 2.3 * ax.em * ax.uy, ax.xname, 1);
    textat(ax.xlo, ax.yhi + 1.0 * ax.em * ax.uy, ax.yname, 0);
    CHANGEFONT("DejaVu Sans", ax.pt * 1.25, 0);
    textat((ax.xlo + ax.xhi) / 2.0, ax.yhi + 2.75 * ax.em * ax.uy, ax.title, 1);
    CHANGEFONT("DejaVu Sans", ax.pt, 0)
};

legend(ax.s, ax.lr, ax.lg, ax.lb) := {
    ax.ly := IF(ax.legbottom, ax.ylo + (1.2 + 1.5 * ax.nleg) * ax.em * ax.uy,
                ax.yhi - (1.2 + 1.5 * ax.nleg) * ax.em * ax.uy);
    ax.lx := IF(ax.legright, ax.xhi - (3.4 + 0.58 * ax.legw) * ax.em * ax.ux,
                ax.xlo + 0.9 * ax.em * ax.ux);
    FGRCOLOR(ax.lr, ax.lg, ax.lb);
    PENSIZE(3);
    MOVETO(ax.lx, ax.ly); LINETO(ax.lx + 2.0 * ax.em * ax.ux, ax.ly);
    FGRCOLOR(ax.tr, ax.tg, ax.tb);
    textat(ax.lx + 2.6 * ax.em * ax.ux, ax.ly, ax.s, 0);
    ax.nleg := ax.nleg + 1
};

legenddot(ax.s, ax.lr, ax.lg, ax.lb) := {
    legend(ax.s, ax.br, ax.bg, ax.bb);
    FGRCOLOR(ax.lr, ax.lg, ax.lb);
    marker(ax.lx + 1.0 * ax.em * ax.ux, ax.ly, 6)
};

marker(ax.mx, ax.my, ax.size) := {
    PENSIZE(ax.size);
    MOVETO(ax.mx, ax.my);
    LINETO(ax.mx + 2.0 * ax.ux, ax.my)
}
