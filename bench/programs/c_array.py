def main():
    a = []
    i = 0
    while i < 1000000:
        a.append(i - (i // 1000) * 1000)
        i = i + 1
    i = 0
    s = 0
    while i < 1000000:
        s = s + a[i]
        i = i + 1
    print(s)
main()
