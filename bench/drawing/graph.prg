WINDOWEXT(-1.2, -1.2, 1.2, 1.2);
i := 0; t := 0.0;
WHILE({i < 200000}, {
    r := 0.6 + 0.4 * SIN(i * 0.0001);
    x := r * COS(t);
    y := r * SIN(t);
    LINETO(x, y);
    t := t + 0.7;
    i := i + 1
});
i
