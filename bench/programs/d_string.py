def main():
    s = ""
    i = 0
    while i < 20000:
        s = s + chr(97 + i - (i // 26) * 26)
        i = i + 1
    alphabet = "abcdefghijklmnopqrstuvwxyz"
    n = 0
    i = 0
    while i < 20000:
        n = n + alphabet.find(s[i:i + 1])
        i = i + 1
    print(n)
main()
