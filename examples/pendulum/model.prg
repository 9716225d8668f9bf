"The main program of the damped pendulum document (pendulum.tvd).
   theta' = omega
   omega' = -(gravity / length) sin(theta) - friction omega";

"squeeze(text): the text without blanks, in small letters.";
squeeze(p.text) := {
    p.out := ""; p.k := 0;
    WHILE({p.k < STRLEN(p.text)}, {
        p.c := ASC(STRMID(p.text, p.k, 1));
        IF(p.c > 32, {
            IF(p.c >= 65 && p.c <= 90, {p.out := p.out + CHR(p.c + 32)},
                                       {p.out := p.out + CHR(p.c)})
        }, {0});
        p.k := p.k + 1
    });
    p.out
};

"param(name, default): the number after 'name =' in the main input, or the default.";
param(p.name, p.default) := {
    p.value := p.default * 1.0;
    p.rest := GETCONFIG(0) + CHR(10);
    WHILE({STRLEN(p.rest) > 0}, {
        p.end := FINDCHAR(p.rest, CHR(10));
        p.line := STRMID(p.rest, 0, p.end);
        p.rest := STRMID(p.rest, p.end + 1, STRLEN(p.rest));
        p.eq := FINDCHAR(p.line, "=");
        IF(p.eq > 0, {
            IF(squeeze(STRMID(p.line, 0, p.eq)) == squeeze(p.name),
               {p.value := ATOF(STRMID(p.line, p.eq + 1, STRLEN(p.line)))}, {0})
        }, {0})
    });
    p.value
};

length := param("length", 1.0);
gravity := param("gravity", 9.81);
friction := param("friction", 0.25);
theta := param("theta0", 2.8);
omega := param("omega0", 0.0);
dt := param("dt", 0.01);
duration := param("duration", 16.0);
pi := 4.0 * ATAN(1.0);

"The largest angular velocity the pendulum can reach (friction only lowers it).";
omegamax := POW(omega * omega + 2.0 * gravity / length * (1.0 - COS(theta)), 0.5);

t := 0.0;
step := 0;
steps := LONG(duration / dt);

"Start the views, show the state at t = 0, then one update per time step.";
EXECVIEWTEMPLATES(0);
UPDATEVIEWS(0);
WHILE({step < steps}, {
    alpha := -gravity / length * SIN(theta) - friction * omega;
    omega := omega + alpha * dt;
    theta := theta + omega * dt;
    "Keep the angle between -pi and pi: over the top is round again.";
    IF(theta > pi, {theta := theta - 2.0 * pi}, {0});
    IF(theta < -pi, {theta := theta + 2.0 * pi}, {0});
    t := t + dt;
    step := step + 1;
    UPDATEVIEWS(0)
});
step
