x := 0.0; i := 0;
WHILE({i < 1000000}, {x := x + SIN(i * 0.001) * COS(i * 0.002); i := i + 1});
ANYTOS("%1.6lf", x)
