"The phase plot of the pendulum: omega against theta, drawn one time step at a time.
 plotarea, axes, marker and textat come from defaultg.prg.";
CLEARVIEW(0);
plotarea(-pi, pi, -roundup(1.08 * omegamax), roundup(1.08 * omegamax));
axes("angle theta (rad)", "angular velocity omega (rad/s)", "Phase plot of the damped pendulum");
FGRCOLOR(0, 150, 60);
marker(theta, omega, 7);
textat(theta, omega + 0.9 * ax.em * ax.uy, "start", 1);
PENSIZE(2);
MOVETO(theta, omega);
lasttheta := theta;
ONUPDATE({
    "The colour goes from blue to red as time passes.";
    FGRCOLOR(LONG(30 + 200 * t / duration), 60, LONG(220 - 180 * t / duration));
    "A jump from pi to -pi (over the top) starts a new piece of the curve.";
    IF(ABS(theta - lasttheta) > pi, {MOVETO(theta, omega)}, {LINETO(theta, omega)});
    lasttheta := theta;
    DISPLAYVIEW(0)
})
