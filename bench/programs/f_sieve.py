def main():
    n = 2000000
    p = [0] * (n + 1)
    i = 2
    while i <= n:
        p[i] = 1
        i = i + 1
    i = 2
    while i * i <= n:
        if p[i] != 0:
            j = i * i
            while j <= n:
                p[j] = 0
                j = j + i
        i = i + 1
    c = 0
    i = 2
    while i <= n:
        c = c + p[i]
        i = i + 1
    print(c)
main()
