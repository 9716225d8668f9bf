def main():
    i = 0
    x = 0.0
    while i < 2000000:
        x = x * 0.999 + i * 0.5
        i = i + 1
    print("%.6f" % x)
main()
