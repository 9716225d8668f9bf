fix(x) := {ANYTOS("%10.4lf", x)};
row(a, b, c) := {fix(a) + fix(b) + fix(c) + CHR(10)};
g := 9.81; length := 1.0; friction := 0.3;
theta := 1.2; omega := 0.0;
dt := 0.01; t := 0.0; step := 0;
table := "         t     theta     omega" + CHR(10);
WHILE({step <= 1000}, {
    IF(step - (step / 100) * 100 == 0, {table := table + row(t, theta, omega)}, {0});
    alpha := -g / length * SIN(theta) - friction * omega;
    omega := omega + alpha * dt;
    theta := theta + omega * dt;
    t := t + dt;
    step := step + 1
});
table
