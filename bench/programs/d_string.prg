s := ""; i := 0;
WHILE({i < 20000}, {s := s + CHR(97 + i - (i / 26) * 26); i := i + 1});
alphabet := "abcdefghijklmnopqrstuvwxyz";
n := 0; i := 0;
WHILE({i < 20000}, {n := n + FINDCHAR(alphabet, STRMID(s, i, 1)); i := i + 1});
n
