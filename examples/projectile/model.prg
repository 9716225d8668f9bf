"The main program of the projectile document (projectile.tvd). Two balls leave together:
 ball 0 flies without air drag, ball 1 with a drag force against its velocity,
     F = 1/2 density cd A speed^2,   A = pi diameter^2 / 4,
 so that its acceleration is  a = -g - k |v| v  with  k = density cd A / (2 mass).
 Both use the same midpoint method, which is exact for ball 0.";

"squeeze and param come from the default.prg of the application.";

speed := param("speed", 50.0);
angle := param("angle", 45.0);
height0 := param("height0", 1.5);
mass := param("mass", 0.145);
diameter := param("diameter", 0.074);
cd := param("cd", 0.35);
density := param("density", 1.2);
gravity := param("gravity", 9.81);
dt := param("dt", 0.005);
pi := 4.0 * ATAN(1.0);
drag := density * cd * pi * diameter * diameter / 4.0 / (2.0 * mass);

"Without drag the flight is known in advance: the views take their scales from it.";
vx0 := speed * COS(angle * pi / 180.0);
vy0 := speed * SIN(angle * pi / 180.0);
vacapex := height0 + MAX(vy0, 0.0) * MAX(vy0, 0.0) / (2.0 * gravity);
vactime := (vy0 + POW(vy0 * vy0 + 2.0 * gravity * MAX(height0, 0.0), 0.5)) / gravity;
vacrange := vx0 * vactime;

"The state of ball j: position px[j], py[j], velocity pvx[j], pvy[j].";
kdrag[0] := 0.0;
kdrag[1] := drag;
j := 0;
WHILE({j < 2}, {
    px[j] := 0.0; py[j] := height0; pvx[j] := vx0; pvy[j] := vy0;
    flying[j] := 1; topx[j] := 0.0; topy[j] := height0;
    j := j + 1
});

"One time step of ball j; when it passes the ground, the landing point by interpolation.";
move(j) := {
    oldx := px[j]; oldy := py[j];
    v := POW(pvx[j] * pvx[j] + pvy[j] * pvy[j], 0.5);
    mvx := pvx[j] - 0.5 * dt * kdrag[j] * v * pvx[j];
    mvy := pvy[j] - 0.5 * dt * (gravity + kdrag[j] * v * pvy[j]);
    mv := POW(mvx * mvx + mvy * mvy, 0.5);
    px[j] := px[j] + dt * mvx;
    py[j] := py[j] + dt * mvy;
    pvx[j] := pvx[j] - dt * kdrag[j] * mv * mvx;
    pvy[j] := pvy[j] - dt * (gravity + kdrag[j] * mv * mvy);
    IF(py[j] > topy[j], {topy[j] := py[j]; topx[j] := px[j]}, {0});
    IF(py[j] < 0.0, {
        f := oldy / (oldy - py[j]);
        px[j] := oldx + f * (px[j] - oldx);
        py[j] := 0.0;
        landtime[j] := t - dt + f * dt;
        landspeed[j] := POW(pvx[j] * pvx[j] + pvy[j] * pvy[j], 0.5);
        flying[j] := 0
    }, {0})
};

t := 0.0;
step := 0;
EXECVIEWTEMPLATES(0);
UPDATEVIEWS(0);
"Until both balls are down (or after 100000 steps, should gravity be switched off).";
WHILE({(flying[0] || flying[1]) && step < 100000}, {
    t := t + dt;
    step := step + 1;
    IF(flying[0], {move(0)}, {0});
    IF(flying[1], {move(1)}, {0});
    UPDATEVIEWS(0)
});
FORALLVIEWS("results");
px[1]
