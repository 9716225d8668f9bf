n := 2000000;
i := 2;
WHILE({i <= n}, {p[i] := 1; i := i + 1});
i := 2;
WHILE({i * i <= n}, {
    IF(p[i], {j := i * i; WHILE({j <= n}, {p[j] := 0; j := j + i})}, {0});
    i := i + 1
});
c := 0; i := 2;
WHILE({i <= n}, {c := c + p[i]; i := i + 1});
c
