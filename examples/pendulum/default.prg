fix(x) := {ANYTOS("%10.4lf", x)};
row(a, b, c) := {fix(a) + fix(b) + fix(c) + CHR(10)};
