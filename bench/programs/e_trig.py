from math import sin, cos
def main():
    x = 0.0
    i = 0
    while i < 1000000:
        x = x + sin(i * 0.001) * cos(i * 0.002)
        i = i + 1
    print("%.6f" % x)
main()
