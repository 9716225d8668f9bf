"The main program of the predator and prey document (predator-prey.tvd): the Lotka-Volterra
 equations, solved with the classical Runge-Kutta method.";

"squeeze and param come from the default.prg of the application.";

alpha := param("alpha", 1.0);
beta := param("beta", 0.1);
delta := param("delta", 0.075);
gamma := param("gamma", 1.5);
duration := param("duration", 30.0);
dt := param("dt", 0.01);
steps := LONG(duration / dt);

"The rates of change.";
dprey(u, v) := {alpha * u - beta * u * v};
dpred(u, v) := {delta * u * v - gamma * v};

"First the whole run, into the arrays preys[] and preds[], so that the views know the
 largest populations before they draw their axes.";
prey := param("prey0", 10.0);
predators := param("predators0", 5.0);
preys[0] := prey; preds[0] := predators;
preymax := prey; preymin := prey; predmax := predators; predmin := predators;
"Once in every cycle the prey pass their equilibrium value gamma / delta upwards (the
 predators are fewest then): the times between these passes give the period of the cycle.";
preyeq := gamma / delta;
predeq := alpha / beta;
crossings := 0; firstcross := 0.0; lastcross := 0.0;
k := 0;
WHILE({k < steps}, {
    k1x := dprey(prey, predators);
    k1y := dpred(prey, predators);
    k2x := dprey(prey + 0.5 * dt * k1x, predators + 0.5 * dt * k1y);
    k2y := dpred(prey + 0.5 * dt * k1x, predators + 0.5 * dt * k1y);
    k3x := dprey(prey + 0.5 * dt * k2x, predators + 0.5 * dt * k2y);
    k3y := dpred(prey + 0.5 * dt * k2x, predators + 0.5 * dt * k2y);
    k4x := dprey(prey + dt * k3x, predators + dt * k3y);
    k4y := dpred(prey + dt * k3x, predators + dt * k3y);
    oldprey := prey;
    prey := prey + dt / 6.0 * (k1x + 2.0 * k2x + 2.0 * k3x + k4x);
    predators := predators + dt / 6.0 * (k1y + 2.0 * k2y + 2.0 * k3y + k4y);
    k := k + 1;
    preys[k] := prey; preds[k] := predators;
    preymax := MAX(preymax, prey); preymin := MIN(preymin, prey);
    predmax := MAX(predmax, predators); predmin := MIN(predmin, predators);
    IF(oldprey < preyeq && prey >= preyeq, {
        "Where between the two steps the equilibrium was passed.";
        lastcross := (k - 1 + (preyeq - oldprey) / (prey - oldprey)) * dt;
        IF(crossings == 0, {firstcross := lastcross}, {0});
        crossings := crossings + 1
    }, {0})
});
period := IF(crossings > 1, {(lastcross - firstcross) / (crossings - 1)}, {0.0});

"Then the run again, step by step, for the views.";
k := 0;
t := 0.0;
prey := preys[0];
predators := preds[0];
EXECVIEWTEMPLATES(0);
WHILE({k <= steps}, {
    t := k * dt;
    prey := preys[k];
    predators := preds[k];
    UPDATEVIEWS(0);
    k := k + 1
});
FORALLVIEWS("summary");
period
