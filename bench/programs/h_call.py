def f(x):
    return x * x - x
def main():
    i = 0
    s = 0
    while i < 1000000:
        t = s + f(i - (i // 100) * 100)
        s = t - (t // 1000003) * 1000003
        i = i + 1
    print(s)
main()
