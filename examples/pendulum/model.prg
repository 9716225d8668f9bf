"The main program of the damped pendulum document (pendulum.tvd).
   theta' = omega
   omega' = -(gravity / length) sin(theta) - friction omega";

"squeeze and param come from the default.prg of the application.";

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
