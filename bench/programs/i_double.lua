local i, x = 0, 0.0
while i < 2000000 do
  x = x * 0.999 + i * 0.5
  i = i + 1
end
print(string.format("%.6f", x))
