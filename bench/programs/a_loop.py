def main():
    i = 0
    s = 0
    while i < 3000000:
        t = s * 31 + i
        s = t - (t // 1000003) * 1000003
        i = i + 1
    print(s)
main()
