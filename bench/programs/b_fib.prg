fib(n) := {IF(n < 2, {n}, {fib(n - 1) + fib(n - 2)})};
fib(24)
