"The main program of the Lorenz document (lorenz.tvd), solved with the classical
 Runge-Kutta method.";

"squeeze and param come from the default.prg of the application.";

sigma := param("sigma", 10.0);
rho := param("rho", 28.0);
beta := param("beta", 8.0 / 3.0);
dt := param("dt", 0.005);
duration := param("duration", 40.0);
steps := LONG(duration / dt);

"The rates of change at the point (u, v, w).";
dx(u, v, w) := {sigma * (v - u)};
dy(u, v, w) := {u * (rho - w) - v};
dz(u, v, w) := {u * v - beta * w};

"One Runge-Kutta step of length h from (x, y, z).";
advance(h) := {
    k1x := dx(x, y, z); k1y := dy(x, y, z); k1z := dz(x, y, z);
    mx := x + 0.5 * h * k1x; my := y + 0.5 * h * k1y; mz := z + 0.5 * h * k1z;
    k2x := dx(mx, my, mz); k2y := dy(mx, my, mz); k2z := dz(mx, my, mz);
    mx := x + 0.5 * h * k2x; my := y + 0.5 * h * k2y; mz := z + 0.5 * h * k2z;
    k3x := dx(mx, my, mz); k3y := dy(mx, my, mz); k3z := dz(mx, my, mz);
    mx := x + h * k3x; my := y + h * k3y; mz := z + h * k3z;
    k4x := dx(mx, my, mz); k4y := dy(mx, my, mz); k4z := dz(mx, my, mz);
    x := x + h / 6.0 * (k1x + 2.0 * k2x + 2.0 * k3x + k4x);
    y := y + h / 6.0 * (k1y + 2.0 * k2y + 2.0 * k3y + k4y);
    z := z + h / 6.0 * (k1z + 2.0 * k2z + 2.0 * k3z + k4z)
};

"A first run finds how far the curve goes, so that the view can choose its scales.";
x := param("x0", 1.0); y := param("y0", 1.0); z := param("z0", 1.0);
xmax := ABS(x); zmin := z; zmax := z;
step := 0;
WHILE({step < steps}, {
    advance(dt);
    xmax := MAX(xmax, ABS(x)); zmin := MIN(zmin, z); zmax := MAX(zmax, z);
    step := step + 1
});

"The same run again from the same start, one update of the views per step.";
x := param("x0", 1.0); y := param("y0", 1.0); z := param("z0", 1.0);
t := 0.0;
step := 0;
EXECVIEWTEMPLATES(0);
UPDATEVIEWS(0);
WHILE({step < steps}, {
    advance(dt);
    step := step + 1;
    t := step * dt;
    UPDATEVIEWS(0)
});
z
