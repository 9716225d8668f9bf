def main():
    i = 0
    s = 0
    while i < 3000000:
        if i - (i // 3) * 3 == 0:
            s = s + 2
        else:
            s = s - (i - (i // 2) * 2)
        i = i + 1
    print(s)
main()
